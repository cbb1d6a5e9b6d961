// Start-up, the one event loop and shutdown, and the handlers the bar window
// hands its events to.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace app {

// Runs the program from start-up to shutdown; returns the process exit code.
int Run(int argc, wchar_t** argv);

void OnCommand(int id, int code, HWND control);
LRESULT OnNotify(const NMHDR& hdr);
void OnTimer(unsigned id);
void OnMoved();
void OnClose();

}  // namespace app
