// Finding top-level windows by title or class (the viewer, the taskbar, a
// running Wemlox), reading a window's text, and starting programs.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace win {

// The state of one top-level window search.
struct WindowSearchState {
    std::wstring SearchText;      // grows to the match's whole text
    HWND ViewerWindow = nullptr;  // last window that matched
    bool MatchByClass = false;    // compare class names instead of titles
};

// Sets the search state, enumerates all top-level windows and returns the
// window found (nullptr when none).
HWND SearchTopLevelWindow(WindowSearchState& state, const std::wstring& text, bool byClass);
// The same with a search state of its own.
HWND FindTopLevelWindow(const std::wstring& text, bool byClass);

// The topmost visible top-level window of the viewer's class that the
// viewer's own program opened (a hidden one when there is no visible one);
// viewerPath is the viewer the user named. The class name found beside it.
struct FoundWindow {
    HWND window = nullptr;
    std::wstring windowClass;
};
FoundWindow FindViewerWindow(std::wstring_view viewerId, std::wstring_view viewerPath);

}  // namespace win

// EnumWindows callback: compares one window's title or class with the text of
// the search state that `state` points to.
BOOL CALLBACK own_GetWinHandle(HWND window, LPARAM state);

// The window's text through WM_GETTEXT, or "%ERR%".
std::wstring own_GetTextControl(HWND window);

// Starts a command line ("program" args) without waiting; hands it to the
// shell when it cannot be started as a program. True when either worked.
bool LaunchCommandLine(const std::wstring& commandLine);
