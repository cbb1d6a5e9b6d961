// Finding top-level windows by title or class (the viewer, the taskbar, a
// running Wemlox), reading a window's text, and starting programs.
#pragma once

#include <windows.h>

#include <string>

// State shared by every top-level window search.
struct WindowSearchState {
    std::wstring SearchText;      // grows to the first match's whole text
    HWND ViewerWindow = nullptr;  // last window that matched
    bool MatchByClass = false;    // compare class names instead of titles
};
extern WindowSearchState g_search;

// EnumWindows callback: compares one window's title or class with SearchText.
BOOL CALLBACK own_GetWinHandle(HWND window, LPARAM parameter);

// Sets the search state, enumerates all top-level windows and returns the
// window found (nullptr when none).
HWND SearchTopLevelWindow(const std::wstring& text, bool byClass);

// The viewer finders: request "hwnd" finds the topmost visible top-level
// window of the viewer's class that the viewer's own program opened (a hidden
// one when there is no visible one). The class name found, with ViewerWindow
// holding its window, or "%ERR%" when none matched or for any other request.
std::wstring Irfan_GetPGMData(const std::wstring& request);
std::wstring Fast_GetPGMData(const std::wstring& request);
std::wstring XnView_GetPGMData(const std::wstring& request);
std::wstring Nomacs_GetPGMData(const std::wstring& request);
std::wstring PS_GetPGMData(const std::wstring& request);

// The window of the working mode's viewer, nullptr when the mode names no
// viewer or none is running. Searched anew on every call.
HWND FindModeViewerWindow();

// The window's text through WM_GETTEXT, or "%ERR%".
std::wstring own_GetTextControl(HWND window);

// Starts a command line ("program" args) without waiting; hands it to the
// shell when it cannot be started as a program. True when either worked.
bool LaunchCommandLine(const std::wstring& commandLine);
