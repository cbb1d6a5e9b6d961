// Finding top-level windows by title or class (the viewer, the taskbar, a
// running Wemlox), the messages the program sends to the viewer's window
// (each with a short time-out), and starting programs.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace win {

// The top-level window whose title (or class) contains the text, ignoring
// case; of several, the last in the system's order that contains the first
// one's whole text. nullptr when none.
HWND FindTopLevelWindow(const std::wstring& text, bool byClass);

// The topmost visible top-level window of the viewer's class that the
// viewer's own program opened (a hidden one when there is no visible one);
// viewerPath is the viewer the user named. The class name found beside it.
struct FoundWindow {
    HWND window = nullptr;
    std::wstring windowClass;
};
FoundWindow FindViewerWindow(std::wstring_view viewerId, std::wstring_view viewerPath);


// How long the program waits for another program's window to answer a
// message: longer than a viewer busy with a large picture takes, short
// enough that a hung one does not hold the bar.
inline constexpr UINT kWindowAnswerMs = 400;

// Whether the window's thread handles a message within kWindowAnswerMs.
[[nodiscard]] bool WindowAnswers(HWND window);
// The window's text through WM_GETTEXT ("%ERR%" when it has none); nothing
// when the window does not answer in time.
std::optional<std::wstring> AskWindowText(HWND window);
// Asks the window to close as the user's Alt+F4 would (the system's close
// command), without the keyboard and without waiting for it. False when the
// request could not be queued.
[[nodiscard]] bool PostCloseCommand(HWND window);
// Waits until the window is gone, at most maxMs; true when it is.
bool WaitUntilWindowGone(HWND window, DWORD maxMs);

// Starts a command line ("program" args) without waiting; hands it to the
// shell when it cannot be started as a program. True when either worked.
bool LaunchCommandLine(const std::wstring& commandLine);

}  // namespace win
