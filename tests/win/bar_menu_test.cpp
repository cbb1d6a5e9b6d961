// The bar's own menu on the real bar: it opens on a right click on a button
// and from the menu key, shows its items and the check mark, and reports the
// item chosen; and the bar placed on a monitor whatever its saved position.
#include <gtest/gtest.h>

#include <thread>

#include "model/common/ids.h"
#include "ui_fixture.h"
#include "win/user_shell.h"

namespace {

using uitest::UiTest;

struct MenuSeen {
    std::vector<std::wstring> texts;  // the rows with text, top to bottom
    bool startChecked = false;
};

// On another thread (this one is inside the menu's loop): waits for the
// process's popup menu, reads it, and clicks the row with `choose`.
std::thread ChooseFromMenu(const std::wstring& choose, MenuSeen& seen) {
    return std::thread([choose, &seen] {
        HWND menuWindow = nullptr;
        driver::WaitFor([&] { return (menuWindow = driver::FindOwnWindow(GetCurrentProcessId(), L"#32768")) != nullptr; },
                        5000);
        if (!menuWindow) return;
        auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
        const int count = menu ? GetMenuItemCount(menu) : 0;
        seen.startChecked = GetMenuState(menu, model::ids::kBarMenuStartWithWindows, MF_BYCOMMAND) & MF_CHECKED;
        // Every row is read before the click: the click ends the menu.
        RECT chosen{};
        bool found = false;
        for (int i = 0; i < count; i++) {
            wchar_t text[128] = {};
            if (GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION) <= 0) continue;
            seen.texts.push_back(text);
            if (text == choose) found = GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &chosen);
        }
        if (found) driver::MouseAt((chosen.left + chosen.right) / 2, (chosen.top + chosen.bottom) / 2, false);
    });
}

}  // namespace

TEST_F(UiTest, BarMenuOpensOnARightClickAndFromTheMenuKeyAndReportsTheChoice) {
    const std::vector<std::wstring> items = {L"Settings\u2026", L"Open picture folder", L"Start with Windows",
                                             L"About Wemlox", L"End Wemlox"};
    struct Case {
        bool startsWithWindows;
        bool byKey;  // the menu key on a focused button instead of a right click
        const wchar_t* choose;
        model::BarMenuItem reported;
    } cases[] = {
        {false, false, L"Settings\u2026", model::BarMenuItem::Settings},
        {true, false, L"Start with Windows", model::BarMenuItem::StartWithWindows},
        {false, true, L"End Wemlox", model::BarMenuItem::End},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(str::ToUtf8(c.choose));
        Shell().startsWithWindows = c.startsWithWindows;
        Shell().menuChoices.clear();
        MenuSeen seen;
        std::thread chooser = ChooseFromMenu(c.choose, seen);
        HWND button = bar.Control(3);
        if (c.byKey) {
            SetFocus(button);
            PostMessageW(button, WM_KEYDOWN, VK_APPS, 0);
            PostMessageW(button, WM_KEYUP, VK_APPS, 0);
        } else {
            RECT rc = driver::ClientOnScreen(button);
            driver::MouseAt((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2, true);
        }
        EXPECT_TRUE(Pump([&] { return !Shell().menuChoices.empty(); }));
        chooser.join();
        EXPECT_EQ(seen.texts, items);
        EXPECT_EQ(seen.startChecked, c.startsWithWindows);
        EXPECT_EQ(Shell().menuChoices, std::vector<model::BarMenuItem>{c.reported});
        Pump([] { return false; }, 200);  // the menu's end settles before the next press
    }
}

TEST_F(UiTest, ABarSavedOffEveryMonitorIsPlacedWhollyOnOne) {
    settings.Position = L"verticalright";
    settings.PositionX = 5000;
    settings.PositionY = 3000;
    bar.ApplyLayout();
    RECT rc{};
    GetWindowRect(bar.Window(), &rc);
    const model::Rect area = win::WorkAreaOf(bar.Window());
    EXPECT_GE(rc.left, area.x);
    EXPECT_GE(rc.top, area.y);
    EXPECT_LE(rc.right, area.x + area.width);
    EXPECT_LE(rc.bottom, area.y + area.height);
    // Opening the panel there is no move of the user's: the saved place stays.
    bar.ShowInfo(L"");
    bar.ShowInfo(L"");
    bar.ShowInfo(L"");
    bar.ShowInfo(L"");
    EXPECT_EQ(settings.PositionX, 5000);
    EXPECT_EQ(settings.PositionY, 3000);
    // A place on the monitor is taken as it is, at once.
    settings.PositionX = 200;
    settings.PositionY = 150;
    bar.ApplyLayout();
    GetWindowRect(bar.Window(), &rc);
    EXPECT_EQ(rc.left, 200);
    EXPECT_EQ(rc.top, 150);
}

TEST(UserShell, TheRunEntryIsWrittenReadAndRemoved) {
    const std::wstring exe = driver::TestBinDir() + L"Wemlox.exe";
    ASSERT_TRUE(win::SetStartWithWindows(false, exe));
    EXPECT_FALSE(win::StartsWithWindows(exe));
    ASSERT_TRUE(win::SetStartWithWindows(true, exe));
    EXPECT_TRUE(win::StartsWithWindows(exe));
    EXPECT_FALSE(win::StartsWithWindows(L"D:\\Other\\Wemlox.exe"));
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, win::kRunKey, L"Wemlox", RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), L"\"" + exe + L"\"");
    ASSERT_TRUE(win::SetStartWithWindows(false, exe));
    EXPECT_FALSE(win::StartsWithWindows(exe));
    EXPECT_TRUE(win::SetStartWithWindows(false, exe));  // already off
}
