// The button procedures that drive the viewer, the key synthesis they use,
// and the info button.
#pragma once

#include <windows.h>

#include "model/key_table.h"

// Brings the window to the foreground and presses and releases one key in
// the system input stream. The number of events the key-down inserted.
UINT own_PressKey(HWND window, WORD virtualKey, DWORD inputType);
// Holds the chord's modifiers around own_PressKey of its key.
void PressChord(HWND window, const KeyChord& chord);

void WLX_btn_01();
void WLX_btn_02();
void WLX_btn_03();
void WLX_btn_04();
void WLX_btn_05();
void WLX_btn_8();
void WLX_btn_09();
