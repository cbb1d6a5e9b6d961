// The taskbar window, found by its class.
#include "win/desktop.h"

#include <windows.h>

#include "win/window_search.h"

namespace win {

uint32_t own_ShowHideTaskBar(int showCommand) {
    HWND tray = win::FindTopLevelWindow(L"Shell_TrayWnd", true);
    if (tray) ShowWindow(tray, showCommand);
    return 1;
}

bool TaskBarVisible() {
    HWND tray = win::FindTopLevelWindow(L"Shell_TrayWnd", true);
    return tray && IsWindowVisible(tray);
}

}  // namespace win
