#include "base/str.h"

#include <gtest/gtest.h>

TEST(Str, TrimAndCase) {
    EXPECT_EQ(str::Trim(L"  a b \t\r\n"), L"a b");
    EXPECT_EQ(str::Trim(L""), L"");
    EXPECT_EQ(str::Trim(L"\xFEFF[Main]"), L"[Main]");  // byte-order mark
    EXPECT_EQ(str::ToLower(L"AutoSEARCH \xC4"), L"autosearch \xE4");
    EXPECT_TRUE(str::EqualsI(L"PathFile", L"PATHFILE"));
    EXPECT_FALSE(str::EqualsI(L"a", L"ab"));
}

TEST(Str, FindIgnoringCase) {
    EXPECT_EQ(str::FindI(L"IMG_0042.JPG - nomacs", L".jpg"), 8u);
    EXPECT_EQ(str::FindI(L"photo.jpeg", L".jpg"), std::wstring::npos);
    EXPECT_EQ(str::FindI(L"abc", L""), std::wstring::npos);  // empty never matches
    EXPECT_EQ(str::FindI(L"", L"a"), std::wstring::npos);
    EXPECT_TRUE(str::ContainsI(L"UserHorizontalBottom", L"bottom"));
}

TEST(Str, LeadingInt) {
    struct Case { const wchar_t* in; int64_t out; } cases[] = {
        {L"48", 48}, {L" -1 ", -1}, {L"+7", 7}, {L"12px", 12}, {L"abc", 0}, {L"", 0},
        {L"-", 0}, {L"99999999999999999999999", INT64_MAX}, {L"-99999999999999999999999", INT64_MIN},
    };
    for (auto& c : cases) EXPECT_EQ(str::LeadingInt(c.in), c.out) << c.in;
    EXPECT_EQ(str::LeadingInt32(L"5000000000"), INT32_MAX);
}

TEST(Str, Utf8RoundTripAndFallback) {
    std::wstring w = L"Bl\xFC" L"te \x20AC";
    EXPECT_EQ(str::FromUtf8(str::ToUtf8(w)), w);
    EXPECT_EQ(str::ToUtf8(L"\xE4"), "\xC3\xA4");
    // Not UTF-8: each byte becomes one character, nothing is dropped.
    EXPECT_EQ(str::FromUtf8("a\xE4" "b"), std::wstring(L"a\xE4" L"b"));
    EXPECT_EQ(str::FromUtf8("\xC0\xAF"), std::wstring(L"\xC0\xAF"));  // overlong form
    // A character outside the basic plane survives the round trip.
    std::string emoji = "\xF0\x9F\x93\xB7";
    EXPECT_EQ(str::ToUtf8(str::FromUtf8(emoji)), emoji);
}
