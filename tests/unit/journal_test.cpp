#include "model/common/journal.h"

#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/str.h"
#include "test_util.h"

using testutil::TempDir;

TEST(Journal, FormatDateTime) {
    const model::LocalTime morning{2017, 3, 5, 7, 4, 9};
    const model::LocalTime evening{2017, 11, 14, 23, 59, 58};
    struct Case { model::LocalTime t; int mode; const wchar_t* expected; };
    const Case cases[] = {
        {morning, 0, L"05.03.2017 07:04:09"},
        {morning, 1, L"05.03.2017"},
        {morning, 2, L"07:04:09"},
        {morning, 3, L""},
        {morning, -1, L""},
        {morning, 255, L""},
        {evening, 0, L"14.11.2017 23:59:58"},
        {model::LocalTime{987, 1, 1, 0, 0, 0}, 1, L"01.01.987"},  // year without leading zeros
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::FormatDateTime(c.t, c.mode), c.expected) << c.mode;
}

TEST(Journal, DateTimeNowHasThePattern) {
    std::wstring stamp = model::own_DateTime(0);
    ASSERT_EQ(stamp.size(), 19u);
    const std::wstring pattern = L"dd.dd.dddd dd:dd:dd";
    for (size_t i = 0; i < stamp.size(); i++) {
        if (pattern[i] == L'd')
            EXPECT_TRUE(stamp[i] >= L'0' && stamp[i] <= L'9') << str::ToUtf8(stamp);
        else
            EXPECT_EQ(stamp[i], pattern[i]) << str::ToUtf8(stamp);
    }
    EXPECT_EQ(model::own_DateTime(3), L"");
    model::LocalTime now = model::NowLocal();
    EXPECT_GE(now.year, 2017);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12);
    EXPECT_TRUE(now.day >= 1 && now.day <= 31);
}

TEST(Journal, LeadingNull) {
    struct Case { const wchar_t* in; const wchar_t* out; };
    const Case cases[] = {{L"7", L"07"}, {L"12", L"12"}, {L"123", L"123"}, {L"", L"0"}, {L" ", L"0 "}};
    for (const Case& c : cases) EXPECT_EQ(model::own_LeadingNull(c.in), c.out) << str::ToUtf8(c.in);
}

TEST(Journal, LinesAndLogName) {
    EXPECT_EQ(model::JournalLine(L"14.11.2017 09:05:03", L"TFA Deactivated"),
              L"14.11.2017 09:05:03 TFA Deactivated\r");
    EXPECT_EQ(model::JournalLine(L"14.11.2017 09:05:03", L"\r**********"),
              L"14.11.2017 09:05:03 \r**********\r");
    EXPECT_EQ(model::LogFileName(model::LocalTime{2017, 11, 14, 9, 5, 3}), L"Wemlox_Log_201711140905.txt");
    EXPECT_EQ(model::LogFileName(model::LocalTime{2018, 1, 2, 23, 0, 59}), L"Wemlox_Log_201801022300.txt");
}

TEST(Journal, SaveTextFileWritesUtf8AsIs) {
    TempDir dir;
    const std::wstring file = dir / L"log.txt";
    EXPECT_TRUE(model::own_SaveTextFile(file, L"a\rB\x00FC\x20AC", false));
    EXPECT_EQ(testutil::ReadAll(file), "a\rB\xC3\xBC\xE2\x82\xAC");  // no BOM, no line end added
}

TEST(Journal, SaveTextFileRefusesExistingContent) {
    TempDir dir;
    struct Case {
        const char* before;  // nullptr: no file
        bool overwrite;
        bool written;
        const char* after;
    };
    const Case cases[] = {
        {nullptr, false, true, "new"},
        {"", false, true, "new"},
        {"old", false, false, "old"},
        {"old", true, true, "new"},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::wstring file = dir / (L"f" + str::FromInt(n++) + L".txt");
        if (c.before) {
            ASSERT_TRUE(fs::WriteFile(file, c.before));
        }
        EXPECT_EQ(model::own_SaveTextFile(file, L"new", c.overwrite), c.written) << n;
        EXPECT_EQ(testutil::ReadAll(file), c.after) << n;
    }
    // A file that cannot be created: nothing written, nothing left behind.
    EXPECT_FALSE(model::own_SaveTextFile(dir / L"missing\\f.txt", L"x", false));
    EXPECT_FALSE(model::own_SaveTextFile(dir.path(), L"x", true));  // a folder
    EXPECT_TRUE(fs::IsDirectory(dir.path()));
}
