// What the program asks of Windows on the user's behalf: starting with
// Windows (the per-user Run entry), the monitors' work areas, the standard
// pickers for a folder and a program, a folder in Explorer, the one message
// box of a start that cannot go on, and bringing a running bar forward.
// Each call is thin; none knows the bar.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "model/bar/placement.h"

namespace win {

// HKCU\Software\Microsoft\Windows\CurrentVersion\Run, value "Wemlox".
inline constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Whether the Run entry starts this program file.
bool StartsWithWindows(const std::wstring& programFile);
// Writes the Run entry for this program file (on) or removes it (off);
// true when the entry is as asked afterwards.
[[nodiscard]] bool SetStartWithWindows(bool on, const std::wstring& programFile);

// The work area (the monitor without the taskbar) of every monitor, in
// screen pixels.
std::vector<model::Rect> MonitorWorkAreas();
// The work area of the monitor that holds most of the window (the nearest).
model::Rect WorkAreaOf(HWND window);

// The standard folder picker, starting in `start`; the folder chosen, or
// nothing when the user cancels.
std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& title, const std::wstring& start);
// The standard open dialog for a program file (*.exe).
std::optional<std::wstring> PickProgram(HWND owner, const std::wstring& title, const std::wstring& start);

// Opens the folder in Explorer; false when Windows cannot.
[[nodiscard]] bool OpenFolder(const std::wstring& folder);

// The message box of a start that cannot go on: no owner (there is no bar
// yet), an error icon, title "Wemlox". Returns when the user closes it.
void ShowStartupProblem(const std::wstring& text);

// Another start of the program found the running bar: asks it to come to the
// front on a monitor (it handles model::ids::kComeForward) and lets it take
// the foreground.
void BringBarForward(HWND bar);

}  // namespace win
