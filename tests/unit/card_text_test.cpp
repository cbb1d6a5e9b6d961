#include "flashair/card_text.h"

#include <gtest/gtest.h>

#include "base/str.h"

TEST(CardText, PercentEncoding) {
    struct Case { std::string in, out; } cases[] = {
        {"/DCIM/101_PANA", "/DCIM/101_PANA"},
        {"", ""},
        {"/a b/c&d=e#f?g%h+i,j", "/a%20b/c%26d%3De%23f%3Fg%25h%2Bi%2Cj"},
        {"/\xC3\x84~x-y.z_", "/%C3%84~x-y.z_"},
        {std::string("\0\xFF", 2), "%00%FF"},
    };
    for (auto& c : cases) EXPECT_EQ(card::PercentEncode(c.in), c.out) << c.in;
    EXPECT_EQ(card::UrlPath(L"DCIM/\xC4 1"), L"DCIM/%C3%84%201");
    EXPECT_EQ(card::UrlPathFromBytes("/\xC4"), L"/%C4");  // the card's own bytes, whatever they are
}

TEST(CardText, SafeLocalNames) {
    struct Case { std::wstring name; bool safe; } cases[] = {
        {L"P1010001.JPG", true}, {L"a..b.jpg", true}, {L".hidden", true}, {L"Holiday, day 1.JPG", true},
        {L"\xC4rger \x20AC.jpg", true}, {L"CONSOLE.JPG", true}, {L"COM10.JPG", true}, {L" lead.jpg", true},
        {std::wstring(255, L'a'), true},
        {L"", false}, {L".", false}, {L"..", false}, {L"...", false},
        {L"..\\x.jpg", false}, {L"a/b.jpg", false}, {L"C:x.jpg", false}, {L"x.jpg:stream", false},
        {L"a*b", false}, {L"a?b", false}, {L"a\"b", false}, {L"a<b", false}, {L"a>b", false}, {L"a|b", false},
        {L"a\tb", false}, {std::wstring(L"a\0b", 3), false}, {L"a\x7F", false}, {L"x\n", false},
        {L"name.", false}, {L"name ", false},
        {L"CON", false}, {L"con.jpg", false}, {L"Nul.JPG", false}, {L"AUX .txt", false}, {L"prn", false},
        {L"COM1.JPG", false}, {L"lpt9", false}, {L"COM\xB9.jpg", false}, {L"CONIN$", false},
        {std::wstring(256, L'a'), false},
    };
    for (auto& c : cases) EXPECT_EQ(card::IsSafeLocalName(c.name), c.safe) << str::ToUtf8(card::Printable(c.name));
}
