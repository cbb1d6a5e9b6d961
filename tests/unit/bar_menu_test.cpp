#include "model/bar/bar_menu.h"

#include <gtest/gtest.h>

#include "base/str.h"
#include "model/common/ids.h"

TEST(BarMenu, ItemsTheirTextsAndIds) {
    std::vector<std::wstring> texts;
    for (const model::BarMenuEntry& e : model::kBarMenu) {
        texts.push_back(e.text);
        EXPECT_EQ(model::BarMenuItemOf(e.id), e.item);
    }
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Settings\u2026", L"Open picture folder", L"Start with Windows",
                                                L"About Wemlox", L"End Wemlox"}));
    EXPECT_FALSE(model::BarMenuItemOf(model::ids::kMenuTransfer));  // the tree's menu is another
    std::wstring about = model::AboutText(L"C:\\Users\\u\\AppData\\Roaming\\Wemlox\\Wemlox.ini", L"C:\\Users\\u\\Wemlox");
    for (const wchar_t* part : {L"2017.11.14.4268", L"Roaming\\Wemlox\\Wemlox.ini", L"C:\\Users\\u\\Wemlox"})
        EXPECT_NE(about.find(part), std::wstring::npos) << str::ToUtf8(part);
}

TEST(BarMenu, TheRunEntryStartsThisProgram) {
    const std::wstring exe = L"C:\\Users\\u\\AppData\\Local\\Programs\\Wemlox\\Wemlox.exe";
    EXPECT_EQ(model::RunCommand(exe), L"\"" + exe + L"\"");
    struct Case { std::wstring command; bool starts; };
    const Case cases[] = {
        {model::RunCommand(exe), true},
        {L"  \"c:\\users\\u\\appdata\\local\\programs\\wemlox\\WEMLOX.EXE\" ", true},
        {exe, true},
        {L"\"D:\\Portable\\Wemlox.exe\"", false},
        {L"\"" + exe, true},  // an unclosed quote is still the path
        {L"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(model::RunCommandStarts(c.command, exe), c.starts) << str::ToUtf8(c.command);
}
