// Viewer_ShowFile and Viewer_CopyToSel on the real desktop.
#include "app/handover.h"

#include <windows.h>

#include "app/state.h"
#include "ui/bar.h"
#include "ui/info_panel.h"
#include "app/commands.h"
#include "model/handover_logic.h"
#include "win/window_search.h"

namespace {

void CloseRunningNomacs() {
    Nomacs_GetPGMData(L"hwnd");
    if (!g_search.ViewerWindow) return;
    PressChord(g_search.ViewerWindow, kCloseWindowChord);
    // Gives nomacs the time to let go of its window before the next one starts.
    Sleep(static_cast<DWORD>(g_settings.Delay));
}

}  // namespace

uint8_t Viewer_ShowFile(const std::wstring& path) {
    const Settings& s = g_settings;
    const ShowFilePlan plan = PlanShowFile(path, s.Mode, g_run.ViewerPath, s.TransferHiRes, s.TransferLoRes);
    if (plan.closeRunningViewer) CloseRunningNomacs();
    if (!plan.journal.empty()) ShowInfo(plan.journal);
    if (!plan.commandLine.empty()) LaunchCommandLine(plan.commandLine);
    if (plan.raiseBar) BringWindowToTop(bar::Window());
    return plan.result;
}

uint8_t Viewer_CopyToSel(const std::wstring& text) {
    const Settings& s = g_settings;
    // Without FlashAir the card settings are not loaded; the built-in file's
    // extensions name the pictures then.
    const SelectionFolders folders{s.SourcePath, s.StoragePath, s.Active ? s.TransferHiRes : L".cr2",
                                   s.Active ? s.TransferLoRes : L".jpg"};
    const CopyFeedback feedback{
        [](const std::wstring& line) { ShowInfo(line); },
        [](const wchar_t* colour, const wchar_t* position) { SetState(1, colour, position); }};
    return CopyShownFileToSelection(text, folders, feedback);
}
