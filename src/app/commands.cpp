// Button procedures: each viewer button sends the working viewer its own
// shortcut, found in the key table; the bar comes back on top afterwards.
#include "app/commands.h"

#include "app/state.h"
#include "ui/bar.h"
#include "ui/info_panel.h"
#include "ui/tree_menu.h"
#include "app/handover.h"
#include "win/window_search.h"

namespace {

// Fixed time stamp of the synthesised key-down (0 would let the system stamp it).
constexpr DWORD kKeyEventTime = 160;
static_assert(sizeof(void*) != 8 || sizeof(INPUT) == 40, "one keyboard input record of the 64-bit layout");
// Longest wait for a viewer to take the keyboard; a hung one gets the keys late.
constexpr ULONGLONG kFocusWaitMs = 1000;
// Longest wait for a viewer to take its keys before the bar comes back on top.
constexpr ULONGLONG kKeysTakenWaitMs = 250;

bool HasKeyboard(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetForegroundWindow() == window &&
           GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndActive == window &&
           info.hwndFocus != nullptr;
}

// Input goes to whichever window has the keyboard when it is queued, and the
// viewer takes it over only when its own thread handles the activation; keys
// sent before would reach the bar, a chord would lose its modifiers.
void TakeKeyboard(HWND window) {
    SetForegroundWindow(window);
    const ULONGLONG deadline = GetTickCount64() + kFocusWaitMs;
    while (!HasKeyboard(window) && GetTickCount64() < deadline) Sleep(2);
}

void ReleaseModifiers(const KeyChord& chord) {
    for (uint8_t i = 0; i < chord.modifierCount; i++) keybd_event(chord.modifiers[i], 0, KEYEVENTF_KEYUP, 0);
}

void PressModifiers(const KeyChord& chord) {
    for (uint8_t i = 0; i < chord.modifierCount; i++) keybd_event(chord.modifiers[i], 0, 0, 0);
}

bool AnyKeyDown(const KeyChord& chord) {
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

// A viewer that loses the activation drops the keys still in its queue, so
// the bar waits until the viewer has taken them: the events have passed the
// system's input stream, and a paint of one pixel, which a window gets only
// after its queued input, is done. A viewer that paints nothing in time
// (hidden, or busy with the next picture) holds the bar no longer than the bound.
void WaitForViewerToTakeKeys(HWND viewer, const KeyChord& chord) {
    const ULONGLONG deadline = GetTickCount64() + kKeysTakenWaitMs;
    while (AnyKeyDown(chord) && GetTickCount64() < deadline) Sleep(1);
    RECT corner{0, 0, 1, 1};
    RedrawWindow(viewer, &corner, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    while (PaintPending(viewer) && GetTickCount64() < deadline) Sleep(1);
}

void DriveViewer(int button) {
    const ViewerCommand command = ViewerCommandFor(button, g_settings.Mode);
    if (command.action == ViewerAction::None) return;
    HWND viewer = FindModeViewerWindow();
    if (!viewer) return;
    if (command.action == ViewerAction::CopyToSelection) {
        Viewer_CopyToSel(own_GetTextControl(viewer));
        return;
    }
    PressChord(viewer, command.chord);
    if (!command.raiseBar) return;
    WaitForViewerToTakeKeys(viewer, command.chord);
    BringWindowToTop(bar::Window());
    // What was drawn just before the bar took the activation does not always
    // reach the screen (seen under Wine on the bar's first activation); drawn
    // again, the busy face stays in sight.
    RedrawWindow(bar::Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// With the thumbnail view shown and cells checked, button 1 transfers those
// files instead of copying. True when it did.
bool TransferCheckedThumbnails() { return TransferSelectedThumbnails(); }

}  // namespace

UINT own_PressKey(HWND window, WORD virtualKey, DWORD inputType) {
    INPUT input{};
    input.type = inputType;
    input.ki.wVk = virtualKey;
    input.ki.time = kKeyEventTime;
    SetForegroundWindow(window);
    SetActiveWindow(window);
    UINT inserted = SendInput(1, &input, sizeof(INPUT));
    keybd_event(static_cast<BYTE>(virtualKey), 0, KEYEVENTF_KEYUP, 0);
    return inserted;
}

void PressChord(HWND window, const KeyChord& chord) {
    TakeKeyboard(window);
    PressModifiers(chord);
    own_PressKey(window, chord.key, INPUT_KEYBOARD);
    ReleaseModifiers(chord);
}

void WLX_btn_01() {
    if (TransferCheckedThumbnails()) return;
    DriveViewer(1);
}
void WLX_btn_02() { DriveViewer(2); }
void WLX_btn_03() { DriveViewer(3); }
void WLX_btn_04() { DriveViewer(4); }
void WLX_btn_05() { DriveViewer(5); }

void WLX_btn_8() {
    if (!g_settings.ShowInfoText && !g_settings.ShowInfoTree && !g_settings.ShowInfoThumbs) {
        EnableWindow(bar::Control(8), FALSE);
        return;
    }
    ShowInfo(L"");
}

void WLX_btn_09() {
    DriveViewer(9);
    // The program ends whether or not a viewer took the keys.
    g_run.QuitRequested = 1;
}
