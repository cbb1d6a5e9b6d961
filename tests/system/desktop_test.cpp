// The taskbar hidden and shown again, the touch keyboard (button 10) and
// minimising the bar (button 11), against stand-ins for the taskbar and
// "TabTip.exe".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standins.h"

using namespace driver;
using namespace standins;

namespace {

std::vector<std::wstring> VisibilityLines(const StandIn& s) {
    std::vector<std::wstring> lines;
    for (auto& line : Lines(s.Log()))
        if (line == L"shown" || line == L"hidden") lines.push_back(line);
    return lines;
}

// Starts the taskbar stand-in; the program acts on the last window of the
// taskbar's class, which the stand-in makes sure to be.
void StartTaskbar(const Sandbox& box, StandIn& tray) {
    tray = Install(box.root + L"\\Tray\\explorer.exe", L"Shell_TrayWnd|");
    Launch(box, tray, L"Shell_TrayWnd");
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(tray.window) != 0; }));
    ASSERT_TRUE(WaitFor([&] {
        std::vector<HWND> trays = WindowsOfClass(L"Shell_TrayWnd");
        return !trays.empty() && trays.back() == tray.window;
    })) << "another taskbar lies below the stand-in";
}

}  // namespace

TEST(Desktop, HiddenTaskbarComesBackWhenTheProgramEnds) {
    struct Case { const char* what; bool hide; bool endButton; } cases[] = {
        {"HideTaskBar, ended with button 9", true, true},
        {"HideTaskBar, bar closed", true, false},
        {"taskbar left alone", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        StandIn tray;
        StartTaskbar(box, tray);
        RunningBar run(box, Quiet({{L"System.HideTaskBar", c.hide ? L"Yes" : L"No"}}));
        ASSERT_TRUE(run.bar);
        EXPECT_EQ(IsWindowEnabled(run.Control(11)) != 0, !c.hide);
        if (c.hide) {
            EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(tray.window); }));
        } else {
            EXPECT_TRUE(IsWindowVisible(tray.window));
        }
        if (c.endButton) {
            ClickButton(run.Control(9));
            EXPECT_EQ(WaitExit(run.process), 0);
        } else {
            EXPECT_EQ(CloseBar(run.process, run.bar), 0);
        }
        EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(tray.window) != 0; }));
        std::vector<std::wstring> expected = {L"shown"};
        if (c.hide) expected = {L"shown", L"hidden", L"shown"};
        EXPECT_EQ(VisibilityLines(tray), expected);
        Stop(tray);
    }
}

TEST(Desktop, MinimiseButtonMinimisesTheBar) {
    Sandbox box;
    RunningBar run(box, Quiet({}));
    ASSERT_TRUE(run.bar);
    EXPECT_FALSE(IsIconic(run.bar));
    ClickButton(run.Control(11));
    EXPECT_TRUE(WaitFor([&] { return IsIconic(run.bar) != 0; }));
}

TEST(Desktop, TouchKeyboardStartsAndTheBarRisesOverIrfanAndFastStoneOnly) {
    struct Case { const wchar_t* subPath; const wchar_t* windowClass; bool raised; } cases[] = {
        {L"IrfanView\\i_view64.exe", L"FullScreenClass", true},
        {L"FastStone Image Viewer\\FSViewer.exe", L"TFullScreenWindow", true},
        {L"XnView\\XnView.exe", L"XmainClass", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(str::ToUtf8(c.subPath));
        Sandbox box;
        StandIn viewer = Install(box.programFiles + L"\\" + c.subPath, std::wstring(c.windowClass) + L"|viewer");
        Launch(box, viewer, c.windowClass);
        // Started by file name alone: found in the program's working folder.
        StandIn tabTip = Install(box.root + L"\\TabTip.exe", L"");
        RunningBar run(box, Quiet({}));
        ASSERT_TRUE(run.bar);

        // A mouse click would activate the bar by itself; the button's click
        // notification leaves the viewer in front, so a raise shows. Sent, it
        // returns once the action has run.
        SetForegroundWindow(viewer.window);
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == viewer.window; }, 5000));
        DWORD_PTR ignored = 0;
        ASSERT_TRUE(SendMessageTimeoutW(run.bar, WM_COMMAND, MAKEWPARAM(10, BN_CLICKED),
                                        reinterpret_cast<LPARAM>(run.Control(10)), SMTO_NORMAL, 10000, &ignored));

        EXPECT_TRUE(WaitFor([&] { return tabTip.Log().find(L"start: ") != std::wstring::npos; }, 5000));
        EXPECT_EQ(GetForegroundWindow() != viewer.window, c.raised);
        Stop(viewer);
    }
}
