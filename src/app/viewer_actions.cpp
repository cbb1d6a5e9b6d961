// The viewer: finding its window, its keys behind the buttons, handing it
// stored pictures, and copying the shown picture to the selection.
#include <windows.h>

#include "app/app.h"
#include "model/ids.h"
#include "app/operations.h"
#include "base/str.h"
#include "model/handover_logic.h"
#include "model/key_table.h"
#include "win/keys.h"
#include "win/window_search.h"

namespace {

app::App& App() { return app::TheApp(); }

// The one finder behind the five named ones: the search state keeps what it found.
std::wstring GetPGMData(std::wstring_view viewerId, const std::wstring& request) {
    win::WindowSearchState& search = App().search;
    const wchar_t* windowClass = ViewerWindowClass(viewerId);
    search.SearchText = windowClass ? windowClass : L"";
    search.MatchByClass = true;
    win::FoundWindow found = win::FindViewerWindow(viewerId, App().run.ViewerPath);
    search.ViewerWindow = found.window;
    if (!found.window) return L"%ERR%";
    search.SearchText = found.windowClass;
    return str::ToLower(str::Trim(request)) == L"hwnd" ? search.SearchText : L"%ERR%";
}

void DriveViewer(int button) {
    const ViewerCommand command = ViewerCommandFor(button, App().settings.Mode);
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
    HWND bar = App().bar.Window();
    BringWindowToTop(bar);
    // What was drawn just before the bar took the activation does not always
    // reach the screen (seen under Wine on the bar's first activation); drawn
    // again, the busy face stays in sight.
    RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CloseRunningNomacs() {
    Nomacs_GetPGMData(L"hwnd");
    HWND nomacs = App().search.ViewerWindow;
    if (!nomacs) return;
    PressChord(nomacs, kCloseWindowChord);
    // Gives nomacs the time to let go of its window before the next one starts.
    Sleep(static_cast<DWORD>(App().settings.Delay));
}

}  // namespace

std::wstring Irfan_GetPGMData(const std::wstring& request) { return GetPGMData(L"irfan", request); }
std::wstring Fast_GetPGMData(const std::wstring& request) { return GetPGMData(L"fast", request); }
std::wstring XnView_GetPGMData(const std::wstring& request) { return GetPGMData(L"xnview", request); }
std::wstring Nomacs_GetPGMData(const std::wstring& request) { return GetPGMData(L"nomacs", request); }
std::wstring PS_GetPGMData(const std::wstring& request) { return GetPGMData(L"ps", request); }

HWND FindModeViewerWindow() {
    const std::wstring& mode = App().settings.Mode;
    if (!ViewerWindowClass(mode)) return nullptr;
    GetPGMData(mode, L"hwnd");
    return App().search.ViewerWindow;
}

void WLX_btn_01() {
    // With the thumbnail view shown and cells checked, button 1 transfers
    // those files instead of copying.
    if (TransferSelectedThumbnails()) return;
    DriveViewer(1);
}
void WLX_btn_02() { DriveViewer(2); }
void WLX_btn_03() { DriveViewer(3); }
void WLX_btn_04() { DriveViewer(4); }
void WLX_btn_05() { DriveViewer(5); }

void WLX_btn_09() {
    DriveViewer(9);
    // The program ends whether or not a viewer took the keys.
    App().run.QuitRequested = 1;
}

void WLX_btn_10() {
    LaunchCommandLine(L"TabTip.exe");
    // The viewers that grab the foreground would otherwise cover the bar.
    const std::wstring& mode = App().settings.Mode;
    if (mode == L"fast" || mode == L"irfan") {
        if (FindModeViewerWindow()) BringWindowToTop(App().bar.Window());
    }
}

uint8_t Viewer_ShowFile(const std::wstring& path) {
    const Settings& s = App().settings;
    const ShowFilePlan plan = PlanShowFile(path, s.Mode, App().run.ViewerPath, s.TransferHiRes, s.TransferLoRes);
    if (plan.closeRunningViewer) CloseRunningNomacs();
    if (!plan.journal.empty()) ShowInfo(plan.journal);
    if (!plan.commandLine.empty()) LaunchCommandLine(plan.commandLine);
    if (plan.raiseBar) BringWindowToTop(App().bar.Window());
    return plan.result;
}

uint8_t Viewer_CopyToSel(const std::wstring& text) {
    const Settings& s = App().settings;
    // Without FlashAir the card settings are not loaded; the built-in file's
    // extensions name the pictures then.
    const SelectionFolders folders{s.SourcePath, s.StoragePath, s.Active ? s.TransferHiRes : L".cr2",
                                   s.Active ? s.TransferLoRes : L".jpg"};
    const CopyFeedback feedback{
        [](const std::wstring& line) { ShowInfo(line); },
        [](model::Lamp colour, model::LampAt at) { SetLamp(ids::kCopyButton, colour, at); }};
    return CopyShownFileToSelection(text, folders, feedback);
}
