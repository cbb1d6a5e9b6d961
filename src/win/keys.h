// Keys synthesised for the viewer: a key or a chord sent only while the
// viewer's own window has the keyboard, and the wait until it has taken them.
#pragma once

#include <windows.h>

#include "model/viewer/key_table.h"

namespace win {

// Presses and releases one key in the system input stream if the window has
// the keyboard at that moment. The number of events the key-down inserted,
// 0 when nothing was sent.
UINT own_PressKey(HWND window, WORD virtualKey, DWORD inputType);

// How a chord went.
enum class ChordResult : uint8_t {
    Sent,               // every key reached the window
    NotBroughtForward,  // the window did not get the keyboard in time: nothing sent
    KeyboardLost,       // it lost the keyboard on the way: the rest was not sent
};
// Brings the window forward and holds the chord's modifiers around its key,
// each sent only while the window still has the keyboard. A chord cut short
// releases the modifiers it pressed.
[[nodiscard]] ChordResult PressChord(HWND window, const model::KeyChord& chord);
// A viewer that loses the activation drops the keys still in its queue, so
// the bar waits until the viewer has taken them (at most a short bound).
void WaitForViewerToTakeKeys(HWND viewer, const model::KeyChord& chord);

}  // namespace win
