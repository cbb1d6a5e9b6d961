// The eleven buttons: one table from button to action, the busy face around
// an action, button 6's card transfer and button 7.
#include <windows.h>
#include <commdlg.h>

#include <iterator>

#include "app/app.h"
#include "app/operations.h"
#include "base/fs.h"
#include "model/ids.h"
#include "model/journal.h"
#include "win/desktop.h"

namespace {

app::App& App() { return app::TheApp(); }
ui::Bar& Bar() { return App().bar; }

void Button7() { (void)WLX_btn_07(); }

// What each button does; button 6 hands its work to the card thread (see
// App::OnCardButton).
struct ButtonAction {
    int button;
    void (*action)();
};
constexpr ButtonAction kButtons[] = {
    {1, WLX_btn_01}, {2, WLX_btn_02}, {3, WLX_btn_03}, {4, WLX_btn_04}, {5, WLX_btn_05}, {6, nullptr},
    {7, Button7},    {8, WLX_btn_8},  {9, WLX_btn_09}, {10, WLX_btn_10}, {11, WLX_btn_11},
};
static_assert(std::size(kButtons) == model::ids::kButtonCount);

// The button's busy face while its action runs and DelayChg after.
class BusyButton {
public:
    explicit BusyButton(int button) : button_(button) { Bar().ShowBusyFace(button_, true); }
    ~BusyButton() {
        // Waits without handling input, but lets what was drawn reach the
        // screen (a plain Sleep can hold back the busy face on compositing
        // systems).
        ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(App().settings.Graphics.DelayChg);
        for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64())
            MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), 0, 0);
        Bar().ShowBusyFace(button_, false);
    }
    BusyButton(const BusyButton&) = delete;
    BusyButton& operator=(const BusyButton&) = delete;

private:
    int button_;
};

// Button 6: a click while a download runs cancels it; otherwise the button
// transfer is queued on the card thread (once, however often it is clicked
// while it waits), and the busy face stays until it has ended.
void OnCardButton() {
    app::RunState& run = App().run;
    app::CardThread& cards = App().cards;
    if (cards.CancelDownload() || run.ButtonBusy || run.ManualTransferWaiting) return;
    const int pause = App().settings.Graphics.DelayChg;
    cards.HoldBusyFace();
    run.ManualTransferWaiting = cards.Run([pause] {
        cardthread::OnUi([] { App().run.ManualTransferWaiting = false; });
        TFA_Transfer(0);
        cardthread::OnUi([pause] { cardthread::ReleaseBusyFace(pause); });
    });
    if (!run.ManualTransferWaiting) cards.ReleaseBusyFace(pause);  // no card access
}

void SaveJournal() {
    wchar_t file[MAX_PATH * 4] = {};
    std::wstring proposed = model::LogFileName(model::NowLocal());
    proposed.copy(file, std::size(file) - 1);
    static const wchar_t kFilter[] = L"Text (*.txt)\0*.txt\0Alle Dateien (*.*)\0*.*\0";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Bar().Window();
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = static_cast<DWORD>(std::size(file));
    ofn.lpstrTitle = L"Wemlox Save Log";
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    bool chosen = false;
    {
        ui::ModalScope modal(Bar());
        chosen = GetSaveFileNameW(&ofn) && file[0] != 0;
    }
    if (!chosen) return;
    std::wstring name = file;
    // An existing journal file is never overwritten; say so instead of
    // leaving the user to believe it was saved.
    if (fs::IsNonEmptyFile(name)) {
        ShowInfo(L"Log not saved, the file exists: " + name);
        return;
    }
    if (!model::own_SaveTextFile(name, Bar().JournalText(), 0)) ShowInfo(L"Log not saved, the file cannot be written: " + name);
}

// The walk runs on the card thread; a shown thumbnail grid is rebuilt from
// its lists when they arrive.
void RebuildTree() {
    SetLamp(model::ids::kCardButton, model::Lamp::Blue, model::LampAt::Top);
    RequestTree();
    Bar().Grid().ForgetRows();
}

}  // namespace

namespace app {

void App::OnButton(int n) {
    if (n == model::ids::kCardButton) return OnCardButton();
    // While a download runs the info panel keeps its view (a view may need
    // card work of its own); the viewer buttons always act at once.
    if (run.ButtonBusy || (n == model::ids::kInfoButton && cards.Downloading())) return;
    run.ButtonBusy = true;
    {
        BusyButton busy(n);
        kButtons[n - 1].action();
    }
    run.ButtonBusy = false;
}

}  // namespace app

uint8_t WLX_btn_07() {
    switch (Bar().VisibleView()) {
    case ui::InfoView::Journal: SaveJournal(); break;
    case ui::InfoView::Tree:
    case ui::InfoView::Thumbnails: RebuildTree(); break;
    case ui::InfoView::Closed: {
        bool hide = win::TaskBarVisible();
        win::own_ShowHideTaskBar(hide ? SW_HIDE : SW_SHOW);
        EnableWindow(Bar().Control(model::ids::kMinimiseButton), hide ? FALSE : TRUE);
        break;
    }
    }
    return 1;
}

void WLX_btn_8() {
    const model::Settings& s = App().settings;
    if (!s.ShowInfoText && !s.ShowInfoTree && !s.ShowInfoThumbs) {
        EnableWindow(Bar().Control(model::ids::kInfoButton), FALSE);
        return;
    }
    ShowInfo(L"");
}

void WLX_btn_11() {
    if (!App().settings.HideTaskBar) ShowWindow(Bar().Window(), SW_MINIMIZE);
}
