// The button bar and the info panel as a user sees them.
#include <gtest/gtest.h>

#include <richedit.h>

#include "base/fs.h"
#include "base/str.h"
#include "core/settings.h"
#include "driver.h"
#include "ui/placement.h"

using namespace driver;

namespace {

struct RunningBar {
    Sandbox box;
    Started process;
    HWND bar = nullptr;

    explicit RunningBar(std::initializer_list<std::pair<std::wstring, std::wstring>> changes = {}) {
        box.WriteSettings(changes);
        process = Start(box, WemloxExe());
        bar = WaitForBar(process);
    }
    ~RunningBar() {
        if (bar && FindBar(process.pid)) CloseBar(process, bar);
    }
    HWND Control(int id) const { return GetDlgItem(bar, id); }
    std::wstring Journal() const { return WindowText(Control(101)); }
    Settings Loaded() const {
        Settings s;
        IniDocument ini(fs::ReadFile(box.SettingsFile()).value_or(""));
        LoadAllSettings(ini, TestBinDir() + L"Graphics\\", L"", L"", s);
        return s;
    }
};

ui::Rect ScreenRect(HWND h) {
    RECT rc = ClientOnScreen(h);
    return {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

}  // namespace

TEST(Bar, AppearsAtTheComputedPlaceWithElevenButtons) {
    struct Case { const wchar_t* position; bool center; } cases[] = {
        {L"Right", true}, {L"Bottom", true}, {L"Left", false}, {L"Top", false}};
    for (auto& c : cases) {
        RunningBar run({{L"Menu.Position", c.position}, {L"Menu.Center", c.center ? L"Yes" : L"No"}});
        ASSERT_TRUE(run.bar) << str::ToUtf8(c.position);
        Settings s = run.Loaded();
        ui::BarGeometry geo = ui::ComputeBarGeometry(
            ui::BarInputFromSettings(s, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 0));
        ui::Rect want{geo.window.x, geo.window.y, geo.window.width, geo.window.height};
        EXPECT_EQ(ScreenRect(run.bar), want) << str::ToUtf8(c.position);
        for (int i = 1; i <= 11; i++) {
            HWND b = run.Control(i);
            ASSERT_TRUE(b && IsWindowVisible(b)) << i;
            RECT rc;
            GetWindowRect(b, &rc);
            EXPECT_EQ(rc.right - rc.left, s.ButtonSize);
        }
        EXPECT_TRUE(WaitFor([&] { return (GetWindowLongW(run.bar, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 3000));
    }
}

TEST(Bar, JournalShowsTheStartLinesNewestFirst) {
    RunningBar run;
    ASSERT_TRUE(run.bar);
    std::wstring j;
    ASSERT_TRUE(WaitFor([&] { return (j = run.Journal()).find(L"Programmversion: 2017.11.14.4268") != std::wstring::npos; }));
    size_t graphics = j.find(L" Graphics: "), viewer = j.find(L" Viewer:  (systemonly)"),
           settings = j.find(L" Settings: "), search = j.find(L" TFA Search in 2 sec"),
           version = j.find(L" Programmversion: ");
    ASSERT_NE(graphics, std::wstring::npos) << str::ToUtf8(j);
    ASSERT_NE(viewer, std::wstring::npos) << str::ToUtf8(j);
    ASSERT_NE(settings, std::wstring::npos);
    ASSERT_NE(search, std::wstring::npos);
    EXPECT_LT(version, search);
    EXPECT_LT(search, settings);
    EXPECT_LT(settings, viewer);
    EXPECT_LT(viewer, graphics);
    // Each line starts with its time stamp: DD.MM.YYYY HH:MM:SS.
    std::wstring first = j.substr(0, 20);
    EXPECT_EQ(first[2], L'.');
    EXPECT_EQ(first[5], L'.');
    EXPECT_EQ(first[13], L':');
    EXPECT_EQ(first[19], L' ');
}

TEST(Bar, InfoButtonCyclesTheViewsAndOpensTowardsTheScreen) {
    RunningBar run;  // built-in settings: Right, InfoSize -1 -> 511
    ASSERT_TRUE(run.bar);
    ui::Rect closed = ScreenRect(run.bar);
    HWND journal = run.Control(101), tree = run.Control(111), thumbs = run.Control(801);
    auto shown = [&] { return std::make_tuple(IsWindowVisible(journal) != 0, IsWindowVisible(tree) != 0, IsWindowVisible(thumbs) != 0); };

    Click(run.Control(8));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(journal) != 0; }));
    ui::Rect open = ScreenRect(run.bar);
    EXPECT_EQ(open.width, closed.width + 511);
    EXPECT_EQ(open.x, closed.x - 511);  // opens to the left of a bar docked right
    EXPECT_EQ(ScreenRect(run.Control(1)).x, ScreenRect(run.Control(1)).x);
    EXPECT_EQ(shown(), std::make_tuple(true, false, false));

    Click(run.Control(8));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(tree) != 0; }));
    EXPECT_EQ(shown(), std::make_tuple(false, true, false));

    Click(run.Control(8));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(thumbs) != 0; }));
    EXPECT_EQ(shown(), std::make_tuple(false, false, true));

    Click(run.Control(8));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(thumbs); }));
    EXPECT_EQ(ScreenRect(run.bar), closed);
}

TEST(Bar, InfoCycleWithoutCardSkipsTheEmptyTree) {
    RunningBar run({{L"TFA.Active", L"No"}, {L"Menu.ShowInfoThumbs", L"No"}});
    ASSERT_TRUE(run.bar);
    HWND journal = run.Control(101), thumbs = run.Control(801);
    Click(run.Control(8));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(journal) != 0; }));
    Click(run.Control(8));  // the tree has no items: the journal stays
    Sleep(600);
    EXPECT_TRUE(IsWindowVisible(journal));
    Click(run.Control(8));  // thumbnails switched off: straight to closed
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(journal); }));
    EXPECT_FALSE(IsWindowVisible(thumbs));
}

TEST(Bar, InfoButtonDisablesItselfWhenEveryViewIsOff) {
    RunningBar run({{L"Menu.ShowInfoText", L"No"}, {L"Menu.ShowInfoTree", L"No"}, {L"Menu.ShowInfoThumbs", L"No"}});
    ASSERT_TRUE(run.bar);
    Click(run.Control(8));
    EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(run.Control(8)); }));
}

TEST(Bar, ClickShowsTheBusyFaceThenTheFaceAgain) {
    RunningBar run({{L"Graphics.DelayChg", L"1000"}, {L"TFA.Active", L"No"}});
    ASSERT_TRUE(run.bar);
    HWND b = run.Control(2);
    auto centre = [&] {
        RECT rc = ClientOnScreen(b);
        HDC screen = GetDC(nullptr);
        // The busy face is amber; the normal faces are grey on dark grey.
        COLORREF amber = 0;
        for (int y = rc.top; y < rc.bottom && !amber; y += 2)
            for (int x = rc.left; x < rc.right && !amber; x += 2) {
                COLORREF c = GetPixel(screen, x, y);
                if (GetRValue(c) > 150 && GetBValue(c) < 100 && GetGValue(c) > 80) amber = c;
            }
        ReleaseDC(nullptr, screen);
        return amber != 0;
    };
    EXPECT_FALSE(centre());
    Click(b);
    EXPECT_TRUE(WaitFor(centre, 3000));
    EXPECT_TRUE(WaitFor([&] { return !centre(); }, 5000));
}
