// The taskbar window, found by its class.
#include "win/desktop.h"

#include <windows.h>

#include "win/window_search.h"

namespace win {

void own_ShowHideTaskBar(bool show) {
    HWND tray = win::FindTopLevelWindow(L"Shell_TrayWnd", true);
    if (tray) ShowWindow(tray, show ? SW_SHOW : SW_HIDE);
}

bool TaskBarVisible() {
    HWND tray = win::FindTopLevelWindow(L"Shell_TrayWnd", true);
    return tray && IsWindowVisible(tray);
}

}  // namespace win
