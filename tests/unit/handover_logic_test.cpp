#include "model/handover_logic.h"
#include "model/settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "test_util.h"

namespace {

using testutil::TempDir;

std::string Utf8(const std::wstring& s) { return str::ToUtf8(s); }

}  // namespace

TEST(ShowFile, PlanPerModeAndPath) {
    const std::wstring viewer = L"C:\\Program Files\\IrfanView\\i_view64.exe";
    const std::wstring quotedViewer = L"\"" + viewer + L"\" ";
    struct Case {
        const wchar_t* mode;
        std::wstring path;
        std::wstring journal, commandLine;
        bool close, raise, shown;
    } cases[] = {
        {L"irfan", L"D:\\cards\\IMG_0001.CR2", L"View: D:\\cards\\IMG_0001.CR2",
         quotedViewer + L"\"D:\\cards\\IMG_0001.CR2\"", false, true, true},
        {L"irfan", L"D:\\x\\clip.mov", L"TransferOnlyByExtension: D:\\x\\clip.mov", L"", false, false, false},
        {L"irfan", L"D:\\shoot.jpg\\clip.mov", L"View: D:\\shoot.jpg\\clip.mov",
         quotedViewer + L"\"D:\\shoot.jpg\\clip.mov\"", false, true, true},  // the folder counts
        {L"fast", L"D:\\x\\A.JPEG", L"View: D:\\x\\A.JPEG", quotedViewer + L"\"D:\\x\\A.JPEG\"", false, true, true},
        {L"transferonly", L"D:\\x\\clip.mov", L"TransferOnly: D:\\x\\clip.mov", L"", false, false, true},
        {L"systemonly", L"D:\\x\\a.jpg", L"View: D:\\x\\a.jpg", L"\"D:\\x\\a.jpg\"", false, false, true},
        {L"systemonly", L"D:\\x\\clip.mov", L"TransferOnlyByExtension: D:\\x\\clip.mov", L"", false, false, false},
        {L"userdefined", L"D:\\x\\a.jpg", L"View: D:\\x\\a.jpg", quotedViewer + L"\"D:\\x\\a.jpg\"", false, true, true},
        {L"nomacs", L"D:\\x\\a.jpg", L"View: D:\\x\\a.jpg", quotedViewer + L"\"D:\\x\\a.jpg\"", true, true, true},
        // nomacs is only closed when another picture takes its place.
        {L"nomacs", L"D:\\x\\clip.mov", L"TransferOnlyByExtension: D:\\x\\clip.mov", L"", false, false, false},
        {L"irfan", L"D:\\x\\IMG_1.TIF", L"TransferOnlyByExtension: D:\\x\\IMG_1.TIF", L"", false, false, false},
        {L"irfan", L"", L"", L"", false, false, false},
        {L"transferonly", L"", L"", L"", false, false, false},
    };
    for (const Case& c : cases) {
        model::ShowFilePlan plan = model::PlanShowFile(c.path, c.mode, viewer, L".cr2", L".jpg");
        std::string what = Utf8(c.mode) + " " + Utf8(c.path);
        EXPECT_EQ(plan.journal, c.journal) << what;
        EXPECT_EQ(plan.commandLine, c.commandLine) << what;
        EXPECT_EQ(plan.closeRunningViewer, c.close) << what;
        EXPECT_EQ(plan.raiseBar, c.raise) << what;
        EXPECT_EQ(plan.shown, c.shown) << what;
    }
}

TEST(CopyToSelection, CutFileName) {
    struct Case { const wchar_t* text; const wchar_t* extension; std::optional<std::wstring> name; } cases[] = {
        {L"IMG_0042.JPG - nomacs", L".jpg", L"IMG_0042.JPG"},
        {L"IMG_0042.CR2 [1/20]", L".cr2", L"IMG_0042.CR2"},
        {L"a.jpg.cr2", L".cr2", L"a.jpg.cr2"},
        {L"a.jpg.cr2", L".jpg", L"a.jpg"},
        {L"photo.jpeg", L".jpg", std::nullopt},
        {L"%ERR%", L".jpg", std::nullopt},
        {L"", L".jpg", std::nullopt},
        {L"x.jpg", L"", std::nullopt},
        // A title never names a file outside the picture folders.
        {L"C:\\Pictures\\IMG_1.JPG - nomacs", L".jpg", L"IMG_1.JPG"},
        {L"..\\..\\Windows\\evil.jpg", L".jpg", L"evil.jpg"},
        {L"../up/IMG_2.jpg", L".jpg", L"IMG_2.jpg"},
        {L"D:IMG_3.jpg", L".jpg", L"IMG_3.jpg"},
        {L"dir.jpg\\x", L".jpg", L"dir.jpg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::CutFileName(c.text, c.extension), c.name) << Utf8(c.text) << " / " << Utf8(c.extension);
    EXPECT_EQ(model::WithLeadingDot(L"cr2"), L".cr2");
    EXPECT_EQ(model::WithLeadingDot(L".cr2"), L".cr2");
    EXPECT_EQ(model::WithLeadingDot(L""), L"");  // no extension: that kind is not transferred
}

namespace {

// The picture folders below a scratch folder, and what one copy reported.
class SelectionCopy : public ::testing::Test {
protected:
    SelectionCopy() {
        source_ = dir_.MakeDir(L"src");
        storage_ = dir_.MakeDir(L"store");
        for (const wchar_t* sub : {L"\\Lores", L"\\HiRes", L"\\Selected"}) EXPECT_TRUE(fs::CreateDir(source_ + sub));
        folders_ = {source_, storage_, L"cr2", L"jpg"};
    }

    void Put(const std::wstring& path, std::string_view bytes) { ASSERT_TRUE(fs::WriteFile(path, bytes)) << Utf8(path); }
    std::wstring Lores(const std::wstring& name) const { return source_ + L"\\Lores\\" + name; }
    std::wstring HiRes(const std::wstring& name) const { return source_ + L"\\HiRes\\" + name; }
    std::wstring Selected(const std::wstring& name) const { return source_ + L"\\Selected\\" + name; }
    std::wstring Stored(const std::wstring& name) const { return storage_ + L"\\" + name; }

    bool Copy(const std::wstring& text) {
        journal_.clear();
        lamps_.clear();
        model::CopyFeedback feedback{[this](const std::wstring& line) { journal_.push_back(line); },
                              [this](model::Lamp colour, model::LampAt at) {
                                  static const wchar_t kLetters[] = L"rgbycx";
                                  lamps_.push_back(std::wstring(1, kLetters[static_cast<int>(colour)]) + L"/" +
                                                   (at == model::LampAt::Top ? L"t" : L"b"));
                              }};
        return model::CopyShownFileToSelection(text, folders_, feedback);
    }

    TempDir dir_;
    std::wstring source_, storage_;
    model::SelectionFolders folders_;
    std::vector<std::wstring> journal_, lamps_;
};

using Lines = std::vector<std::wstring>;

}  // namespace

TEST_F(SelectionCopy, FromLowResolutionFirst) {
    Put(Lores(L"IMG_0042.JPG"), "lo");
    Put(HiRes(L"IMG_0042.JPG"), "hi");
    EXPECT_TRUE(Copy(L"IMG_0042.JPG - nomacs"));
    EXPECT_EQ(journal_, (Lines{L"Extension: .cr2 not found in File Name: IMG_0042.JPG - nomacs",
                               L"Transfer File exists: " + Lores(L"IMG_0042.JPG"),
                               L"Copy: " + Lores(L"IMG_0042.JPG") + L" to: " + Selected(L"IMG_0042.JPG")}));
    EXPECT_EQ(lamps_, (Lines{L"b/t", L"g/b"}));
    EXPECT_EQ(testutil::ReadAll(Selected(L"IMG_0042.JPG")), "lo");

    // Clicked again: the selection has this picture. Another picture of the
    // name (a different size) is not it, and goes beside.
    EXPECT_TRUE(Copy(L"IMG_0042.JPG - nomacs"));
    EXPECT_EQ(journal_.back(), L"Copy File exists: " + Selected(L"IMG_0042.JPG"));
    Put(Lores(L"IMG_0042.JPG"), "another");
    EXPECT_TRUE(Copy(L"IMG_0042.JPG - nomacs"));
    EXPECT_EQ(testutil::ReadAll(Selected(L"IMG_0042.JPG")), "lo");
    EXPECT_EQ(testutil::ReadAll(Selected(L"IMG_0042-2.JPG")), "another");
}

TEST_F(SelectionCopy, SourcesInOrderSkippingMissingAndEmptyOnes) {
    struct Case {
        const char* what;
        std::wstring text, name;
        bool loresEmpty, inHiRes, inStorage;
        std::string expected;  // the selection's content afterwards, "" for none
    } cases[] = {
        {"high resolution", L"IMG_0042.CR2 [1/20]", L"IMG_0042.CR2", false, true, true, "hi"},
        {"empty low resolution copy", L"IMG_0043.CR2", L"IMG_0043.CR2", true, true, false, "hi"},
        {"only in storage", L"a.jpg.cr2", L"a.jpg.cr2", false, false, true, "store"},
        {"nowhere", L"IMG_0044.JPG", L"IMG_0044.JPG", false, false, false, ""},
    };
    for (const Case& c : cases) {
        if (c.loresEmpty) Put(Lores(c.name), "");
        if (c.inHiRes) Put(HiRes(c.name), "hi");
        if (c.inStorage) Put(Stored(c.name), "store");
        EXPECT_EQ(Copy(c.text), !c.expected.empty()) << c.what;
        EXPECT_EQ(testutil::ReadAll(Selected(c.name)), c.expected) << c.what;
        EXPECT_EQ(lamps_, (Lines{L"b/t", c.expected.empty() ? L"r/b" : L"g/b"})) << c.what;
        // "Transfer File exists" belongs to the low-resolution copy alone.
        for (const std::wstring& line : journal_)
            EXPECT_FALSE(str::StartsWith(line, L"Transfer File exists")) << c.what;
    }
}

TEST_F(SelectionCopy, NoRecognisedExtension) {
    Put(Lores(L"photo.jpeg"), "lo");
    for (const wchar_t* text : {L"photo.jpeg", L"%ERR%"}) {
        EXPECT_FALSE(Copy(text));
        std::wstring hi = L"Extension: .cr2 not found in File Name: " + std::wstring(text);
        EXPECT_EQ(journal_, (Lines{hi, L"Extension: .jpg not found in File Name: " + std::wstring(text), hi}));
        EXPECT_EQ(lamps_, (Lines{L"r/b"}));
    }
    EXPECT_FALSE(fs::FileSize(Selected(L"photo.jpeg")));
}

TEST_F(SelectionCopy, MissingSelectionFolderFails) {
    folders_.sourcePath = dir_.MakeDir(L"other");
    ASSERT_TRUE(fs::CreateDir(folders_.sourcePath + L"\\Lores"));
    Put(folders_.sourcePath + L"\\Lores\\IMG_1.JPG", "lo");
    EXPECT_FALSE(Copy(L"IMG_1.JPG"));
    EXPECT_EQ(lamps_, (Lines{L"b/t", L"r/b"}));
    EXPECT_FALSE(str::StartsWith(journal_.back(), L"Copy: "));
}

TEST_F(SelectionCopy, AnEmptyExtensionIsNotLookedForAndCutsNothing) {
    Put(Lores(L"IMG.0042.JPG"), "lo");
    folders_.hiResExtension = L"";  // raw files are not transferred
    EXPECT_TRUE(Copy(L"IMG.0042.JPG - nomacs"));
    EXPECT_EQ(journal_.front(), L"Transfer File exists: " + Lores(L"IMG.0042.JPG"));
    EXPECT_EQ(testutil::ReadAll(Selected(L"IMG.0042.JPG")), "lo");

    folders_.loResExtension = L"";
    EXPECT_FALSE(Copy(L"IMG.0043.JPG - nomacs"));
    EXPECT_EQ(lamps_, (Lines{L"r/b"}));
    EXPECT_FALSE(fs::FileSize(Selected(L"IMG.0043.JPG")));
}
