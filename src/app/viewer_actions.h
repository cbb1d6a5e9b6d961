// The viewer: finding its window, its keys behind the buttons, handing it
// stored pictures, and copying the shown picture to the selection. Interface
// thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "model/settings/settings.h"
#include "model/viewer/handover_logic.h"
#include "model/viewer/viewer_reach.h"
#include "ui/bar.h"

namespace app {

// Opens the file as the plan says (with the viewer, or with the program
// associated with the picture's extension); false when Windows could not.
[[nodiscard]] bool OpenAsPlanned(const model::ShowFilePlan& plan, const std::wstring& path,
                                 const std::wstring& viewerPath);

class ViewerActions {
public:
    // `viewerPath`: the viewer program start-up found (empty when none).
    ViewerActions(ui::Bar& bar, const model::Settings& settings, const std::wstring& viewerPath)
        : bar_(bar), settings_(settings), viewerPath_(viewerPath) {}

    // The working mode's viewer window, nullptr when none runs.
    HWND FindViewerWindow() const;
    // A viewer button (1 to 5, 9): the viewer's keys, or for nomacs's button
    // 1 the copy of the shown picture to the selection.
    void Drive(int button);
    // Button 10: the touch keyboard, with the bar kept above the viewers
    // that grab the foreground.
    void OpenTouchKeyboard();
    // Shows a stored file as the working mode says; false when it is not shown.
    bool ShowFile(const std::wstring& path);
    // Copies the file named in text (the viewer's title) into the selection
    // folder; true when it is there afterwards.
    bool CopyToSelection(const std::wstring& text);

private:
    void ShowRefusedLamp(int button);
    void ClearRefused(int button);
    void ReportRefused(int button, model::ViewerRefusal why);
    bool BlockedByRights(HWND viewer, int button);
    bool MayReach(HWND viewer, int button);
    void CloseNomacsWindow(HWND nomacs) const;
    void CopyShownPicture(HWND viewer, int button);
    void CloseRunningNomacs();

    ui::Bar& bar_;
    const model::Settings& settings_;
    const std::wstring& viewerPath_;
    uint32_t refusedLamps_ = 0;   // bit n: button n's lower lamp shows a click the viewer did not get
    DWORD rightsReportedFor_ = 0;  // the viewer process whose higher rights the journal named
};

}  // namespace app
