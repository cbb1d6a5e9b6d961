// Per-monitor DPI: the process's awareness and the DPI a window is drawn at.
// Functions that older systems lack are looked up at run time.
#pragma once

#include <windows.h>

namespace win {

// Asks for per-monitor awareness (version 2) where the manifest did not
// already give it; does nothing where the system cannot.
void UsePerMonitorDpi();
// The DPI of the monitor the window is on (the system DPI where the system
// knows no per-window DPI).
int WindowDpi(HWND window);
// The DPI of the primary monitor as the process sees it.
int SystemDpi();
// A system metric (icon sizes and the like) at the given DPI.
int MetricForDpi(int index, int dpi);
// The font of message boxes and dialogs at the given DPI; the caller owns it.
HFONT CreateMessageFont(int dpi);

}  // namespace win
