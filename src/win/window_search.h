// Finding top-level windows by title or class (the viewer, the taskbar, a
// running Wemlox), the messages the program sends to the viewer's window
// (each with a short time-out), and starting programs and opening files.
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
// The window's text through WM_GETTEXT, "" when it has none; nothing when
// the window does not answer in time.
std::optional<std::wstring> AskWindowText(HWND window);
// Asks the window to close as the user's Alt+F4 would (the system's close
// command), without the keyboard and without waiting for it. False when the
// request could not be queued.
[[nodiscard]] bool PostCloseCommand(HWND window);
// Waits until the window is gone, at most maxMs; true when it is.
bool WaitUntilWindowGone(HWND window, DWORD maxMs);

// Starts a program the user or this program chose, with its arguments,
// without waiting. The program is never read from the arguments, so a file
// named there is only ever an argument. A program that cannot be started
// from its file (a name alone, such as "TabTip.exe") goes to the shell,
// which finds the programs it knows by name. True when either worked.
[[nodiscard]] bool StartProgram(const std::wstring& program, const std::wstring& arguments);
// Opens a file with the program Windows associates with `extension`
// (".jpg"), whatever the file's own name ends with. False when no program
// is associated with it (the shell might otherwise take the file itself
// for one) or it could not be started.
[[nodiscard]] bool OpenWithAssociation(const std::wstring& file, const std::wstring& extension);

}  // namespace win
