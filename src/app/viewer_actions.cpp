// The viewer: finding its window, its keys behind the buttons, handing it
// stored pictures, and copying the shown picture to the selection.
#include <windows.h>

#include <algorithm>
#include <optional>

#include "app/app.h"
#include "model/ids.h"
#include "app/operations.h"
#include "base/str.h"
#include "model/handover_logic.h"
#include "model/key_table.h"
#include "model/viewer_reach.h"
#include "win/keys.h"
#include "win/process_rights.h"
#include "win/window_search.h"

namespace {

app::App& App() { return app::TheApp(); }

// The one finder behind the five named ones: the search state keeps what it found.
std::wstring GetPGMData(std::wstring_view viewerId, const std::wstring& request) {
    win::WindowSearchState& search = App().search;
    const wchar_t* windowClass = model::ViewerWindowClass(viewerId);
    search.SearchText = windowClass ? windowClass : L"";
    search.MatchByClass = true;
    win::FoundWindow found = win::FindViewerWindow(viewerId, App().run.ViewerPath);
    search.ViewerWindow = found.window;
    if (!found.window) return L"%ERR%";
    search.SearchText = found.windowClass;
    return str::ToLower(str::Trim(request)) == L"hwnd" ? search.SearchText : L"%ERR%";
}

// The clicked button's lower lamp shows red until a click of it reaches the
// viewer again (0: no button was clicked).
void ShowRefusedLamp(int button) {
    if (button == 0) return;
    SetLamp(button, model::Lamp::Red, model::LampAt::Bottom);
    App().run.RefusedLamps |= 1u << button;
}

void ClearRefused(int button) {
    uint32_t& lamps = App().run.RefusedLamps;
    if (!(lamps & (1u << button))) return;
    lamps &= ~(1u << button);
    SetLamp(button, model::Lamp::Clear, model::LampAt::Bottom);
}

// A click that did not reach the viewer: one journal line and the red lamp.
void ReportRefused(int button, model::ViewerRefusal why) {
    ShowInfo(model::RefusalLine(why, App().settings.Mode));
    ShowRefusedLamp(button);
}

// Windows silently drops what a program sends to a viewer started with
// higher rights; nothing is sent to it, and the user learns why once per
// viewer process.
bool BlockedByRights(HWND viewer, int button) {
    if (!InputBlockedByRights(win::OwnRights(), win::RightsOfWindowOwner(viewer))) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(viewer, &pid);
    if (App().run.RightsReportedFor != pid) {
        App().run.RightsReportedFor = pid;
        ShowInfo(model::RefusalLine(model::ViewerRefusal::HigherRights, App().settings.Mode));
    }
    ShowRefusedLamp(button);
    return true;
}

// The viewer may be sent anything: Windows lets it through and the window answers.
bool MayReach(HWND viewer, int button) {
    if (BlockedByRights(viewer, button)) return false;
    if (win::WindowAnswers(viewer)) return true;
    ReportRefused(button, model::ViewerRefusal::NotAnswering);
    return false;
}

// Longest wait for a closed nomacs to let go of its window.
constexpr DWORD kCloseWaitMaxMs = 1000;

// nomacs closes its picture on the system's close command, which reaches its
// window wherever the keyboard is. Gives it the time to let go of its window
// before the next one starts (as long as [System] Delay, no more than a second).
void CloseNomacsWindow(HWND nomacs) {
    if (!win::PostCloseCommand(nomacs)) return;
    win::WaitUntilWindowGone(nomacs, std::min(static_cast<DWORD>(App().settings.Delay), kCloseWaitMaxMs));
}

// nomacs's button 1: the shown picture's name comes from its title.
void CopyShownPicture(HWND viewer, int button) {
    if (BlockedByRights(viewer, button)) return;
    std::optional<std::wstring> title = win::AskWindowText(viewer);
    if (!title) return ReportRefused(button, model::ViewerRefusal::NotAnswering);
    ClearRefused(button);
    Viewer_CopyToSel(*title);
}

void DriveViewer(int button) {
    const model::ViewerCommand command = model::ViewerCommandFor(button, App().settings.Mode);
    if (command.action == model::ViewerAction::None) return;
    HWND viewer = FindModeViewerWindow();
    if (!viewer) return;
    if (command.action == model::ViewerAction::CopyToSelection) return CopyShownPicture(viewer, button);
    if (!MayReach(viewer, button)) return;
    const win::ChordResult result = win::PressChord(viewer, command.chord);
    if (result != win::ChordResult::Sent) {
        ReportRefused(button, result == win::ChordResult::NotBroughtForward ? model::ViewerRefusal::NotBroughtForward
                                                                        : model::ViewerRefusal::KeyboardLost);
        // End still closes the picture: the close its Alt+F4 stands for goes
        // to the window itself.
        if (command.chord == model::kCloseWindowChord) CloseNomacsWindow(viewer);
        return;
    }
    ClearRefused(button);
    if (!command.raiseBar) return;
    win::WaitForViewerToTakeKeys(viewer, command.chord);
    HWND bar = App().bar.Window();
    BringWindowToTop(bar);
    // What was drawn just before the bar took the activation does not always
    // reach the screen (seen under Wine on the bar's first activation); drawn
    // again, the busy face stays in sight.
    RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// nomacs opens every picture in a window of its own: the old one is closed
// first, without the keyboard, so the user's work elsewhere is untouched.
void CloseRunningNomacs() {
    Nomacs_GetPGMData(L"hwnd");
    HWND nomacs = App().search.ViewerWindow;
    if (!nomacs || !MayReach(nomacs, 0)) return;
    CloseNomacsWindow(nomacs);
}

}  // namespace

std::wstring Irfan_GetPGMData(const std::wstring& request) { return GetPGMData(L"irfan", request); }
std::wstring Fast_GetPGMData(const std::wstring& request) { return GetPGMData(L"fast", request); }
std::wstring XnView_GetPGMData(const std::wstring& request) { return GetPGMData(L"xnview", request); }
std::wstring Nomacs_GetPGMData(const std::wstring& request) { return GetPGMData(L"nomacs", request); }
std::wstring PS_GetPGMData(const std::wstring& request) { return GetPGMData(L"ps", request); }

HWND FindModeViewerWindow() {
    const std::wstring& mode = App().settings.Mode;
    if (!model::ViewerWindowClass(mode)) return nullptr;
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
    win::LaunchCommandLine(L"TabTip.exe");
    // The viewers that grab the foreground would otherwise cover the bar.
    const std::wstring& mode = App().settings.Mode;
    if (mode == L"fast" || mode == L"irfan") {
        if (FindModeViewerWindow()) BringWindowToTop(App().bar.Window());
    }
}

uint8_t Viewer_ShowFile(const std::wstring& path) {
    const model::Settings& s = App().settings;
    const model::ShowFilePlan plan = model::PlanShowFile(path, s.Mode, App().run.ViewerPath, s.TransferHiRes, s.TransferLoRes);
    if (plan.closeRunningViewer) CloseRunningNomacs();
    if (!plan.journal.empty()) ShowInfo(plan.journal);
    if (!plan.commandLine.empty()) win::LaunchCommandLine(plan.commandLine);
    if (plan.raiseBar) BringWindowToTop(App().bar.Window());
    return plan.result;
}

uint8_t Viewer_CopyToSel(const std::wstring& text) {
    const model::Settings& s = App().settings;
    // Without FlashAir the card settings are not loaded; the built-in file's
    // extensions name the pictures then.
    const model::SelectionFolders folders{s.SourcePath, s.StoragePath, s.Active ? s.TransferHiRes : L".cr2",
                                   s.Active ? s.TransferLoRes : L".jpg"};
    const model::CopyFeedback feedback{
        [](const std::wstring& line) { ShowInfo(line); },
        [](model::Lamp colour, model::LampAt at) { SetLamp(model::ids::kCopyButton, colour, at); }};
    return model::CopyShownFileToSelection(text, folders, feedback);
}
