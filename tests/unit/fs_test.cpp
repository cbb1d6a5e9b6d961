// The file-system edge where the program relies on it beyond the calls it
// wraps: names compared as the file system compares them, reads that are
// whole or nothing, and replacing a file that a user made hidden, read-only
// or a link.
#include "base/fs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_util.h"
#ifdef _WIN32
#include <windows.h>
#endif

TEST(Fs, NameKeyComparesLikeTheFileSystem) {
    struct Case {
        const wchar_t *a, *b;
        bool same;
    } cases[] = {
        {L"p1010001.jpg", L"P1010001.JPG", true},
        {L"\x142.JPG", L"\x141.jpg", true},            // Polish L with stroke
        {L"\xE4rger.jpg", L"\xC4RGER.JPG", true},      // Latin-1
        {L"\x3B1\x3B2.jpg", L"\x391\x392.JPG", true},  // Greek
        {L"\x434.jpg", L"\x414.JPG", true},            // Cyrillic
        {L"P1.JPG", L"P2.JPG", false},
        {L"\xDF.JPG", L"SS.JPG", false},  // no letter becomes two
        {L"P1.JPG", L"P1.JPG ", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fs::NameKey(c.a) == fs::NameKey(c.b), c.same) << str::ToUtf8(c.a) << " / " << str::ToUtf8(c.b);
}

TEST(Fs, AReadIsWholeOrNothing) {
    testutil::TempDir dir;
    const std::wstring file = dir.Write(L"record.txt", "abc");
    dir.Write(L"empty.txt", "");
    EXPECT_EQ(fs::ReadFile(file), "abc");
    EXPECT_EQ(fs::ReadFile(file, 3), "abc");
    EXPECT_EQ(fs::ReadFile(file, 2), std::nullopt);  // larger than the limit
    EXPECT_EQ(fs::ReadFile(dir / L"empty.txt", 0), "");
    EXPECT_EQ(fs::ReadFile(dir / L"missing.txt"), std::nullopt);
    EXPECT_EQ(fs::ReadFile(dir.path()), std::nullopt);
#ifndef _WIN32
    // Files whose contents are not their size, as a read that broke off.
    for (const wchar_t* odd : {L"/sys/devices/system/cpu/online", L"/proc/self/stat"})
        if (fs::FileSize(odd)) EXPECT_EQ(fs::ReadFile(odd), std::nullopt) << str::ToUtf8(odd);
#endif
}

TEST(Fs, ReplacingKeepsWhatTheUserMadeOfTheFile) {
    testutil::TempDir dir;
    const std::wstring file = dir.Write(L"Wemlox.ini", "old");
    const auto nativeFile = testutil::NativePath(file);
    namespace sfs = std::filesystem;
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(fs::WriteFileReplacing(file, "new"));
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN, DWORD{FILE_ATTRIBUTE_HIDDEN});
#else
    sfs::permissions(nativeFile, sfs::perms::owner_read | sfs::perms::owner_write);
    ASSERT_TRUE(fs::WriteFileReplacing(file, "new"));
    EXPECT_EQ(sfs::status(nativeFile).permissions(), sfs::perms::owner_read | sfs::perms::owner_write);
#endif
    EXPECT_EQ(testutil::ReadAll(file), "new");

    // A link stays a link, and the file it points to gets the bytes.
    std::error_code linked;
    sfs::create_symlink(nativeFile, testutil::NativePath(dir / L"link.ini"), linked);
    if (!linked) {
        ASSERT_TRUE(fs::WriteFileReplacing(dir / L"link.ini", "through the link"));
        EXPECT_TRUE(sfs::is_symlink(testutil::NativePath(dir / L"link.ini")));
        EXPECT_EQ(testutil::ReadAll(file), "through the link");
    }

    // A read-only file is the user's word: it is not replaced.
    const std::string before = testutil::ReadAll(file);
    sfs::permissions(nativeFile, sfs::perms::owner_write | sfs::perms::group_write | sfs::perms::others_write,
                     sfs::perm_options::remove);
    EXPECT_FALSE(fs::WriteFileReplacing(file, "newer"));
    EXPECT_EQ(testutil::ReadAll(file), before);
    sfs::permissions(nativeFile, sfs::perms::owner_write, sfs::perm_options::add);
}

TEST(Fs, AVerifiedCopyIsWholeWithItsTimeOrNotThere) {
    testutil::TempDir dir;
    std::string bytes(3 * (1 << 20) + 17, '\0');
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = static_cast<char>(i * 7 + i / 4096);
    const std::wstring from = dir.Write(L"P1.JPG", bytes), part = dir / L"P1.part";
    ASSERT_TRUE(fs::SetLastWriteTime(from, 1'500'000'000'000'000'000));
    EXPECT_EQ(fs::CopyVerified(from, part, [] { return true; }), fs::CopyOutcome::Copied);
    EXPECT_TRUE(fs::ReadFile(part) == bytes && fs::LastWriteTime(part) == fs::LastWriteTime(from));
    EXPECT_EQ(fs::CopyVerified(from, part, [n = 0]() mutable { return ++n < 3; }), fs::CopyOutcome::Stopped);
    EXPECT_EQ(fs::CopyVerified(dir / L"gone.JPG", part, [] { return true; }), fs::CopyOutcome::Failed);
    EXPECT_FALSE(fs::FileSize(part));  // neither leaves a part
}
