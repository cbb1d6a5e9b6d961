#include "model/pictures/card_text.h"

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
    for (auto& c : cases) EXPECT_EQ(model::PercentEncode(c.in), c.out) << c.in;
    EXPECT_EQ(model::UrlPath(L"DCIM/\xC4 1"), L"DCIM/%C3%84%201");
    EXPECT_EQ(model::UrlPathFromBytes("/\xC4"), L"/%C4");  // the card's own bytes, whatever they are
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
    for (auto& c : cases) EXPECT_EQ(model::IsSafeLocalName(c.name), c.safe) << str::ToUtf8(model::Printable(c.name));
}

TEST(CardText, SafeCardFolders) {
    struct Case { std::wstring folder; bool safe; } cases[] = {
        {L"", true}, {L"/", true}, {L"/DCIM", true}, {L"/DCIM/101_PANA", true}, {L"DCIM/101_PANA", true},
        {L"/\xC4 b/c, d", true},
        {L"//", false}, {L"/DCIM/", false}, {L"/DCIM//101", false}, {L"/..", false}, {L"/DCIM/../..", false},
        {L"/./x", false}, {L"/a\\b", false}, {L"C:", false}, {L"/x:y", false}, {L"/a\x01", false},
        {L"/NUL/x", false}, {L"/dir./x", false}, {L"/" + std::wstring(256, L'a'), false},
    };
    for (auto& c : cases) EXPECT_EQ(model::IsSafeCardFolder(c.folder), c.safe) << str::ToUtf8(model::Printable(c.folder));
}

TEST(CardText, SsidOnlyFromAnAnswerThatCanBeOne) {
    struct Case { std::string answer; std::optional<std::wstring> ssid; } cases[] = {
        {"flashair_e8e0b756a7fb", L"flashair_e8e0b756a7fb"},
        {"flashair\r\n", L"flashair"},                          // one line end is no part of it
        {"x", L"x"}, {std::string(32, 'a'), std::wstring(32, L'a')},
        {"Caf\xC3\xA9 <3", L"Caf\xE9 <3"},
        {"", std::nullopt}, {"\r\n", std::nullopt},
        {std::string(33, 'a'), std::nullopt},                   // longer than an SSID can be
        {"a\r\nb", std::nullopt}, {"tab\there", std::nullopt}, {std::string("nul\0", 4), std::nullopt},
        {"x\r\n\r\n", std::nullopt},
        {"<html><body>Login</body></html>", std::nullopt},  // a router's page in the card's place
        {"<!DOCTYPE html>", std::nullopt}, {" <b>", std::nullopt},
    };
    for (auto& c : cases) EXPECT_EQ(model::SsidFromAnswer(c.answer), c.ssid) << c.answer;
    EXPECT_EQ(model::kSsidAnswerBytes, 33u);
}
