// The viewer's buttons, showing files and copying to the selection.
#include "app/viewer_actions.h"

#include <algorithm>
#include <optional>

#include "model/common/ids.h"
#include "model/viewer/handover_logic.h"
#include "model/viewer/key_table.h"
#include "win/keys.h"
#include "win/process_rights.h"
#include "win/window_search.h"

namespace app {

namespace {

// Longest wait for a closed nomacs to let go of its window.
constexpr DWORD kCloseWaitMaxMs = 1000;

}  // namespace

HWND ViewerActions::FindViewerWindow() const {
    return win::FindViewerWindow(settings_.Mode, viewerPath_).window;
}

// The clicked button's lower lamp shows red until a click of it reaches the
// viewer again (0: no button was clicked).
void ViewerActions::ShowRefusedLamp(int button) {
    if (button == 0) return;
    bar_.SetLamp(button, model::Lamp::Red, model::LampAt::Bottom);
    refusedLamps_ |= 1u << button;
}

void ViewerActions::ClearRefused(int button) {
    if (!(refusedLamps_ & (1u << button))) return;
    refusedLamps_ &= ~(1u << button);
    bar_.SetLamp(button, model::Lamp::Clear, model::LampAt::Bottom);
}

// A click that did not reach the viewer: one journal line and the red lamp.
void ViewerActions::ReportRefused(int button, model::ViewerRefusal why) {
    bar_.ShowInfo(model::RefusalLine(why, settings_.Mode));
    ShowRefusedLamp(button);
}

// Windows silently drops what a program sends to a viewer started with
// higher rights; nothing is sent to it, and the user learns why once per
// viewer process.
bool ViewerActions::BlockedByRights(HWND viewer, int button) {
    if (!model::InputBlockedByRights(win::OwnRights(), win::RightsOfWindowOwner(viewer))) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(viewer, &pid);
    if (rightsReportedFor_ != pid) {
        rightsReportedFor_ = pid;
        bar_.ShowInfo(model::RefusalLine(model::ViewerRefusal::HigherRights, settings_.Mode));
    }
    ShowRefusedLamp(button);
    return true;
}

// The viewer may be sent anything: Windows lets it through and the window answers.
bool ViewerActions::MayReach(HWND viewer, int button) {
    if (BlockedByRights(viewer, button)) return false;
    if (win::WindowAnswers(viewer)) return true;
    ReportRefused(button, model::ViewerRefusal::NotAnswering);
    return false;
}

// nomacs closes its picture on the system's close command, which reaches its
// window wherever the keyboard is. Gives it the time to let go of its window
// before the next one starts (as long as [System] Delay, no more than a second).
void ViewerActions::CloseNomacsWindow(HWND nomacs) const {
    if (!win::PostCloseCommand(nomacs)) return;
    win::WaitUntilWindowGone(nomacs, std::min(static_cast<DWORD>(settings_.Delay), kCloseWaitMaxMs));
}

// nomacs's button 1: the shown picture's name comes from its title.
void ViewerActions::CopyShownPicture(HWND viewer, int button) {
    if (BlockedByRights(viewer, button)) return;
    std::optional<std::wstring> title = win::AskWindowText(viewer);
    if (!title) return ReportRefused(button, model::ViewerRefusal::NotAnswering);
    ClearRefused(button);
    CopyToSelection(*title);
}

void ViewerActions::Drive(int button) {
    const model::ViewerCommand command = model::ViewerCommandFor(button, settings_.Mode);
    if (command.action == model::ViewerAction::None) return;
    HWND viewer = FindViewerWindow();
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
    bar_.BringToTop();
}

// nomacs opens every picture in a window of its own: the old one is closed
// first, without the keyboard, so the user's work elsewhere is untouched.
void ViewerActions::CloseRunningNomacs() {
    HWND nomacs = win::FindViewerWindow(L"nomacs", viewerPath_).window;
    if (!nomacs || !MayReach(nomacs, 0)) return;
    CloseNomacsWindow(nomacs);
}

void ViewerActions::OpenTouchKeyboard() {
    (void)win::StartProgram(L"TabTip.exe", L"");
    // The viewers that grab the foreground would otherwise cover the bar.
    if ((settings_.Mode == L"fast" || settings_.Mode == L"irfan") && FindViewerWindow()) bar_.BringToTop();
}

bool OpenAsPlanned(const model::ShowFilePlan& plan, const std::wstring& path, const std::wstring& viewerPath) {
    switch (plan.open) {
    case model::Opener::None: return true;
    case model::Opener::Viewer: return win::StartProgram(viewerPath, L"\"" + path + L"\"");
    case model::Opener::Association: return win::OpenWithAssociation(path, plan.extension);
    }
    return false;
}

bool ViewerActions::ShowFile(const std::wstring& path) {
    const model::ShowFilePlan plan =
        model::PlanShowFile(path, settings_.Mode, viewerPath_, settings_.TransferHiRes, settings_.TransferLoRes);
    if (plan.closeRunningViewer) CloseRunningNomacs();
    if (!plan.journal.empty()) bar_.ShowInfo(plan.journal);
    if (!OpenAsPlanned(plan, path, viewerPath_)) bar_.ShowInfo(plan.notOpened);
    if (plan.raiseBar) bar_.BringToTop();
    return plan.shown;
}

bool ViewerActions::CopyToSelection(const std::wstring& text) {
    const model::Settings& s = settings_;
    // Without FlashAir the card settings are not loaded; the built-in file's
    // extensions name the pictures then.
    const model::SelectionFolders folders{s.SourcePath, s.StoragePath, s.Active ? s.TransferHiRes : L".cr2",
                                          s.Active ? s.TransferLoRes : L".jpg"};
    const model::CopyFeedback feedback{
        [this](const std::wstring& line) { bar_.ShowInfo(line); },
        [this](model::Lamp colour, model::LampAt at) { bar_.SetLamp(model::ids::kCopyButton, colour, at); }};
    return model::CopyShownFileToSelection(text, folders, feedback);
}

}  // namespace app
