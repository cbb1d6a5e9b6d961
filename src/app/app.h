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
// The card thread has handed over actions for the interface.
void OnCardMail();
// The last modal loop (dialog, message box, drag) has ended.
void OnModalLoopEnded();

}  // namespace app
