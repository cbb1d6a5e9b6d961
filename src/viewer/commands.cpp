// Button procedures: each viewer button sends the working viewer its own
// shortcut, found in the key table; the bar comes back on top afterwards.
#include "viewer/commands.h"

#include "core/state.h"
#include "ui/bar.h"
#include "ui/ids.h"
#include "ui/info_panel.h"
#include "viewer/handover.h"
#include "viewer/window_search.h"

namespace {

// The event time the viewers have always been given.
constexpr DWORD kKeyEventTime = 160;

void ReleaseModifiers(const KeyChord& chord) {
    for (uint8_t i = 0; i < chord.modifierCount; i++) keybd_event(chord.modifiers[i], 0, KEYEVENTF_KEYUP, 0);
}

void PressModifiers(const KeyChord& chord) {
    for (uint8_t i = 0; i < chord.modifierCount; i++) keybd_event(chord.modifiers[i], 0, 0, 0);
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
    if (command.raiseBar) BringWindowToTop(bar::Window());
}

// TODO(thumbnail transfer): with the thumbnail view shown and cells checked,
// button 1 transfers those files instead of copying. True when it did.
bool TransferCheckedThumbnails() { return false; }

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
