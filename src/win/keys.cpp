// Keys synthesised for the viewer: taking the keyboard, chords with their
// modifiers sent only while the viewer holds it, and waiting until the
// viewer has taken them.
#include "win/keys.h"

namespace win {

namespace {

// Fixed time stamp of the synthesised key-down (0 would let the system stamp it).
constexpr DWORD kKeyEventTime = 160;
static_assert(sizeof(void*) != 8 || sizeof(INPUT) == 40, "one keyboard input record of the 64-bit layout");
// Longest wait for a viewer to take the keyboard. Windows may keep another
// program in front, and then the click sends nothing.
constexpr ULONGLONG kFocusWaitMs = 1000;
// How long the viewer must hold the keyboard before the first key: a
// program that pulls the foreground back when it loses it does so at once.
constexpr ULONGLONG kSteadyMs = 30;
// Longest wait for a viewer to take its keys before the bar comes back on top.
constexpr ULONGLONG kKeysTakenWaitMs = 250;

// Input goes to the window that has the keyboard when it is queued: the
// foreground window, whose own thread has made it active and holds the focus
// in it. Anything else would hand the key to a program the user works in.
bool HasKeyboard(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetForegroundWindow() == window &&
           GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndActive == window &&
           info.hwndFocus != nullptr && (info.hwndFocus == window || IsChild(window, info.hwndFocus));
}

// The viewer takes the keyboard only when its own thread handles the
// activation; keys sent before would reach the window in front. Brought
// forward, it counts as taken once it has held the keyboard for kSteadyMs; a
// viewer that held it already took it from nobody, so nothing pulls it back.
bool TakeKeyboard(HWND window) {
    if (HasKeyboard(window)) return true;
    SetForegroundWindow(window);
    const ULONGLONG deadline = GetTickCount64() + kFocusWaitMs;
    ULONGLONG heldSince = 0;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        if (!HasKeyboard(window)) {
            heldSince = 0;
        } else if (!heldSince) {
            heldSince = now;
        } else if (now - heldSince >= kSteadyMs) {
            return true;
        }
        Sleep(2);
    }
    return false;
}

// The first `count` modifiers, in the order they were pressed.
void ReleaseModifiers(const model::KeyChord& chord, uint8_t count) {
    for (uint8_t i = 0; i < count; i++) keybd_event(chord.modifiers[i], 0, KEYEVENTF_KEYUP, 0);
}

bool AnyKeyDown(const model::KeyChord& chord) {
    for (uint8_t i = 0; i < chord.modifierCount; i++)
        if (GetAsyncKeyState(chord.modifiers[i]) & 0x8000) return true;
    return (GetAsyncKeyState(chord.key) & 0x8000) != 0;
}

// True while the window, or the child covering its corner, has something to paint.
bool PaintPending(HWND window) {
    if (GetUpdateRect(window, nullptr, FALSE)) return true;
    HWND child = ChildWindowFromPointEx(window, POINT{0, 0}, CWP_SKIPINVISIBLE);
    return child && child != window && GetUpdateRect(child, nullptr, FALSE);
}

}  // namespace

// The keys have passed the system's input stream, and a paint of one pixel,
// which a window gets only after its queued input, is done. A viewer that
// paints nothing in time (hidden, or busy with the next picture) holds the
// bar no longer than the bound.
void WaitForViewerToTakeKeys(HWND viewer, const model::KeyChord& chord) {
    const ULONGLONG deadline = GetTickCount64() + kKeysTakenWaitMs;
    while (AnyKeyDown(chord) && GetTickCount64() < deadline) Sleep(1);
    RECT corner{0, 0, 1, 1};
    RedrawWindow(viewer, &corner, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    while (PaintPending(viewer) && GetTickCount64() < deadline) Sleep(1);
}

// The keyboard is taken once per click and never wrested back during a
// chord: a key goes only if the window still has it at that moment.
UINT own_PressKey(HWND window, WORD virtualKey, DWORD inputType) {
    if (!HasKeyboard(window)) return 0;
    INPUT input{};
    input.type = inputType;
    input.ki.wVk = virtualKey;
    input.ki.time = kKeyEventTime;
    UINT inserted = SendInput(1, &input, sizeof(INPUT));
    if (inserted) keybd_event(static_cast<BYTE>(virtualKey), 0, KEYEVENTF_KEYUP, 0);
    return inserted;
}

ChordResult PressChord(HWND window, const model::KeyChord& chord) {
    if (!TakeKeyboard(window)) return ChordResult::NotBroughtForward;
    uint8_t pressed = 0;
    for (; pressed < chord.modifierCount; pressed++) {
        if (!HasKeyboard(window)) break;
        keybd_event(chord.modifiers[pressed], 0, 0, 0);
    }
    const bool sent = pressed == chord.modifierCount && own_PressKey(window, chord.key, INPUT_KEYBOARD) != 0;
    ReleaseModifiers(chord, pressed);
    return sent ? ChordResult::Sent : ChordResult::KeyboardLost;
}

}  // namespace win
