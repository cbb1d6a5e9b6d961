#include "model/settings/folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/fs.h"
#include "base/str.h"
#include "model/settings/settings.h"
#include "test_util.h"

namespace {

using testutil::ScopedEnv;
using testutil::TempDir;

std::string Utf8(const std::wstring& s) { return str::ToUtf8(s); }

// Settings with empty [Copy] folders, as a new settings file has them.
class WorkingTree : public ::testing::Test {
protected:
    bool CreateTree() { return !model::MakeWorkingTree(settings_, tfaActive_, waiting_); }
    TempDir profile_;
    model::Settings settings_;
    bool tfaActive_ = false;
    std::vector<std::wstring> waiting_;
};

}  // namespace

TEST(Folders, GetEnv) {
    const std::wstring name = L"WEMLOX_TEST_VALUE";
    struct Case { std::optional<std::wstring> value; std::wstring expected; };
    const Case cases[] = {
        {L"C:\\Users\\u1", L"C:\\Users\\u1"},
        {std::wstring(255, L'x'), std::wstring(255, L'x')},
        {std::wstring(300, L'y'), std::wstring(300, L'y')},  // longer values stay whole
        {std::nullopt, std::wstring(256, L' ')},             // unset
    };
    for (const Case& c : cases) {
        ScopedEnv env(name, c.value);
        EXPECT_EQ(model::own_GetEnv(name), c.expected) << (c.value ? Utf8(*c.value) : "unset");
    }
}

TEST(Folders, ProgramFolderEndsWithSeparator) {
    std::wstring folder = model::own_GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(str::EndsWith(folder, L"\\") || str::EndsWith(folder, L"/"));
    EXPECT_TRUE(str::StartsWith(fs::ProgramFile(), folder));
    EXPECT_TRUE(fs::IsDirectory(folder));
}

TEST(Folders, PathPartsWithoutDiskAccess) {
    using P = model::PathPart;
    struct Case { const wchar_t* path; P part; const wchar_t* expected; };
    const Case cases[] = {
        {L"C:\\a\\b\\photo.tar.JPG", P::PathFile, L"C:\\a\\b\\photo.tar.JPG"},
        {L"C:\\a\\b\\photo.tar.JPG", P::Path, L"C:\\a\\b\\"},
        {L"C:\\a\\b\\photo.tar.JPG", P::File, L"photo.tar.JPG"},
        {L"C:\\a\\b\\photo.tar.JPG", P::Ext, L"JPG"},
        {L"  C:\\a\\x.cr2 \t", P::PathFile, L"C:\\a\\x.cr2"},
        {L"C:\\a.d\\README", P::Ext, L""},  // the dot of a folder is no extension
        {L"C:\\a\\", P::File, L""},
        {L"C:\\a\\", P::Path, L"C:\\a\\"},
        {L"x.jpg", P::Path, L""},
        {L"x.jpg", P::File, L"x.jpg"},
        {L"", P::PathFile, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::own_CheckPathFile(c.path, false, c.part), c.expected)
            << Utf8(c.path) << " / " << static_cast<int>(c.part);
}

TEST(Folders, PathPartsOfExistingFilesOnly) {
    using P = model::PathPart;
    TempDir dir;
    std::wstring file = dir.Write(L"pic.jpg", "data");
    std::wstring empty = dir.Write(L"empty.jpg", "");
    std::wstring folder = dir.MakeDir(L"sub");
    std::wstring missing = dir / L"missing.jpg";
    struct Case { std::wstring path; P part; std::wstring expected; };
    const Case cases[] = {
        {file, P::PathFile, file},
        {L" " + file + L" ", P::PathFile, file},
        {file, P::Ext, L"jpg"},
        {file, P::Path, dir.path() + L"\\"},
        {empty, P::PathFile, L""},  // 0 bytes counts as missing
        {empty, P::File, L""},
        {missing, P::PathFile, L""},
        {missing, P::Path, L""},
        {folder, P::PathFile, L""},
        {folder, P::Path, dir.path() + L"\\"},  // a folder passes for the folder part alone
        {folder + L"\\", P::Path, folder + L"\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::own_CheckPathFile(c.path, true, c.part), c.expected)
            << Utf8(c.path) << " / " << static_cast<int>(c.part);
}

TEST(Folders, EnsureFolderMakesTheMissingParents) {
    TempDir dir;
    std::wstring file = dir.Write(L"file", "x");
    EXPECT_TRUE(model::EnsureFolder(dir / L"new"));
    EXPECT_TRUE(fs::IsDirectory(dir / L"new"));
    EXPECT_TRUE(model::EnsureFolder(dir / L"new"));           // exists already
    EXPECT_TRUE(model::EnsureFolder(dir / L"trail\\"));       // settings folder form
    EXPECT_TRUE(fs::IsDirectory(dir / L"trail"));
    EXPECT_TRUE(model::EnsureFolder(dir / L"Shoots\\2026\\Studio"));
    EXPECT_TRUE(fs::IsDirectory(dir / L"Shoots\\2026\\Studio"));
    EXPECT_FALSE(model::EnsureFolder(file));                   // a file is no folder
    EXPECT_FALSE(model::EnsureFolder(file + L"\\below"));
    EXPECT_FALSE(model::EnsureFolder(L"relative\\two"));       // one level where the program runs
}

TEST_F(WorkingTree, DefaultTreeBelowProfile) {
    ScopedEnv env(L"userprofile", profile_.path());
    for (bool tfa : {false, true}) {
        tfaActive_ = tfa;
        ASSERT_TRUE(CreateTree());
        const std::wstring base = profile_ / L"Wemlox";
        EXPECT_EQ(settings_.SourcePath, base);
        EXPECT_EQ(settings_.TargetPath, base + L"\\Selected");
        EXPECT_EQ(settings_.StoragePath, base + L"\\Storage");
        EXPECT_EQ(settings_.ThumbnailPath, base + L"\\Storage\\Thumbnails");
        EXPECT_EQ(settings_.TmpPath, base + L"\\Storage\\tmp");
        for (const std::wstring& f : {settings_.SourcePath, settings_.TargetPath,
                                      settings_.StoragePath, settings_.ThumbnailPath,
                                      settings_.TmpPath})
            EXPECT_TRUE(fs::IsDirectory(f)) << Utf8(f);
        EXPECT_EQ(fs::IsDirectory(base + L"\\HiRes"), tfa);
        EXPECT_EQ(fs::IsDirectory(base + L"\\LoRes"), tfa);
    }
}

TEST_F(WorkingTree, ConfiguredFoldersAndFtpTargets) {
    ScopedEnv env(L"userprofile", profile_.path());
    settings_.SourcePath = profile_ / L"Pics";
    settings_.TargetPath = L"FTP://host/dir";
    settings_.StoragePath = L"ftp://host/store";
    settings_.ThumbnailPath = L"ftp://host/thumbs";
    settings_.TmpPath = profile_ / L"Tmp";
    ASSERT_TRUE(CreateTree());
    EXPECT_TRUE(fs::IsDirectory(profile_ / L"Pics"));
    EXPECT_TRUE(fs::IsDirectory(profile_ / L"Tmp"));
    EXPECT_EQ(settings_.TargetPath, L"FTP://host/dir");  // kept as written
    EXPECT_FALSE(fs::IsDirectory(profile_ / L"Wemlox"));  // no default was needed
}

TEST_F(WorkingTree, FailsWhenAFolderCannotBeCreatedAndNamesIt) {
    ScopedEnv env(L"userprofile", profile_.path());
    const std::wstring file = profile_.Write(L"a-file", "x");
    settings_.TargetPath = file + L"\\parent";
    std::optional<model::SettingsProblem> problem = model::MakeWorkingTree(settings_, tfaActive_, waiting_);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind, model::SettingsProblemKind::FolderCannotBeMade);
    EXPECT_EQ(problem->key, L"TargetPath");
    EXPECT_EQ(problem->path, file + L"\\parent");
    EXPECT_TRUE(fs::IsDirectory(profile_ / L"Wemlox"));  // created before the failure
    EXPECT_FALSE(fs::IsDirectory(profile_ / L"Wemlox\\Storage"));
}

// A card reader or network drive not plugged in holds back the folders
// that can wait, never the start; the picture store and the downloads
// cannot wait.
TEST_F(WorkingTree, AFolderWhoseDriveIsNotThereWaitsForIt) {
    ScopedEnv env(L"userprofile", profile_.path());
#ifndef _WIN32
    // Here "Q:" is a name in the working folder; a file of that name holds
    // no folder, as a drive that is not there.
    TempDir here;
    here.Write(L"Q:", "no drive");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(testutil::NativePath(here.path()));
    struct Back {
        std::filesystem::path to;
        ~Back() { std::filesystem::current_path(to); }
    } back{before};
#endif
    ASSERT_FALSE(fs::IsDirectory(L"Q:\\"));
    struct Case {
        std::wstring model::Settings::*key;
        std::wstring path;
        std::optional<std::wstring> problemKey;  // nothing: the start goes on and the journal says it
    } cases[] = {
        {&model::Settings::TargetPath, L"Q:\\Selected", std::nullopt},
        {&model::Settings::StoragePath, L"Q:\\Storage", std::nullopt},
        {&model::Settings::ThumbnailPath, L"Q:\\Storage\\Thumbs", std::nullopt},
        {&model::Settings::SourcePath, L"Q:\\Shoots", L"SourcePath"},
        {&model::Settings::TmpPath, L"Q:\\tmp", L"TmpPath"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.path));
        settings_ = {};
        waiting_.clear();
        settings_.*c.key = c.path;
        std::optional<model::SettingsProblem> problem = model::MakeWorkingTree(settings_, true, waiting_);
        EXPECT_EQ(problem ? std::optional(problem->key) : std::nullopt, c.problemKey);
        if (c.problemKey) continue;
        ASSERT_EQ(waiting_.size(), 1u);
        EXPECT_NE(waiting_[0].find(c.path), std::wstring::npos) << Utf8(waiting_[0]);
        EXPECT_TRUE(fs::IsDirectory(settings_.TmpPath));  // the rest of the tree is made
        EXPECT_TRUE(fs::IsDirectory(settings_.SourcePath + L"\\LoRes"));
    }
}

TEST_F(WorkingTree, FailsWithoutProfile) {
    ScopedEnv env(L"userprofile", std::nullopt);
    EXPECT_FALSE(CreateTree());
    EXPECT_TRUE(str::StartsWith(settings_.SourcePath, std::wstring(256, L' ')));
}
