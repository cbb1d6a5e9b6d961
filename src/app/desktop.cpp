// Taskbar, touch keyboard and minimise.
#include "app/desktop.h"

#include <windows.h>

#include "app/state.h"
#include "ui/bar.h"
#include "win/window_search.h"

uint32_t own_ShowHideTaskBar(int showCommand) {
    HWND tray = SearchTopLevelWindow(L"Shell_TrayWnd", true);
    if (tray) ShowWindow(tray, showCommand);
    return 1;
}

bool TaskBarVisible() {
    HWND tray = SearchTopLevelWindow(L"Shell_TrayWnd", true);
    return tray && IsWindowVisible(tray);
}

void WLX_btn_10() {
    LaunchCommandLine(L"TabTip.exe");
    // The viewers that grab the foreground would otherwise cover the bar.
    if (g_settings.Mode == L"fast" || g_settings.Mode == L"irfan") {
        if (FindModeViewerWindow()) BringWindowToTop(bar::Window());
    }
}

void WLX_btn_11() {
    if (!g_settings.HideTaskBar) ShowWindow(bar::Window(), SW_MINIMIZE);
}
