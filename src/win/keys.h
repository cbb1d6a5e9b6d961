// Keys synthesised for the viewer: a key or a chord at a window that is given
// the keyboard first, and the wait until the viewer has taken them.
#pragma once

#include <windows.h>

#include "model/key_table.h"

// Brings the window to the foreground and presses and releases one key in
// the system input stream. The number of events the key-down inserted.
UINT own_PressKey(HWND window, WORD virtualKey, DWORD inputType);
// Holds the chord's modifiers around own_PressKey of its key, once the
// window has the keyboard.
void PressChord(HWND window, const KeyChord& chord);
// A viewer that loses the activation drops the keys still in its queue, so
// the bar waits until the viewer has taken them (at most a short bound).
void WaitForViewerToTakeKeys(HWND viewer, const KeyChord& chord);
