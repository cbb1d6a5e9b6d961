// The buttons: what each does, and its busy face.
#include "app/buttons.h"

#include <windows.h>

#include "base/fs.h"
#include "model/common/ids.h"
#include "model/common/journal.h"
#include "win/desktop.h"

namespace app {

namespace {

// The button's busy face while its action runs and DelayChg after.
class BusyButton {
public:
    BusyButton(ui::Bar& bar, int button, int pauseMs) : bar_(bar), button_(button), pauseMs_(pauseMs) {
        bar_.ShowBusyFace(button_, true);
    }
    ~BusyButton() {
        // Waits without handling input, but lets what was drawn reach the
        // screen (a plain Sleep can hold back the busy face on compositing
        // systems).
        ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(pauseMs_);
        for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64())
            MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), 0, 0);
        bar_.ShowBusyFace(button_, false);
    }
    BusyButton(const BusyButton&) = delete;
    BusyButton& operator=(const BusyButton&) = delete;

private:
    ui::Bar& bar_;
    int button_, pauseMs_;
};

}  // namespace

void Buttons::OnClick(int button) {
    if (button < 1 || button > model::ids::kButtonCount) return;
    if (button == model::ids::kCardButton) return CardButton();
    // While a download runs the info panel keeps its view (a view may need
    // card work of its own); the viewer buttons always act at once. With
    // several cards one of them is downloading most of a busy day: the
    // panel then changes anyway, and a card's walk waits for its download.
    const bool heldByDownload = cards_.size() == 1 && AnyDownloading(cards_);
    if (busy_ || (button == model::ids::kInfoButton && heldByDownload)) return;
    busy_ = true;
    {
        BusyButton face(bar_, button, settings_.Graphics.DelayChg);
        Act(button);
    }
    busy_ = false;
}

void Buttons::Act(int button) {
    switch (button) {
    case model::ids::kCopyButton:
        // With the thumbnail view shown and tiles picked, button 1 transfers
        // those files instead of copying.
        if (!tree_.TransferPicked()) viewer_.Drive(button);
        break;
    case model::ids::kLogButton: JournalOrTreeOrTaskbar(); break;
    case model::ids::kInfoButton: NextInfoView(); break;
    case model::ids::kEndButton:
        viewer_.Drive(button);
        // The program ends whether or not a viewer took the keys.
        endProgram_();
        break;
    case model::ids::kKeyboardButton: viewer_.OpenTouchKeyboard(); break;
    case model::ids::kMinimiseButton:
        if (!settings_.HideTaskBar) bar_.Minimise();
        break;
    default: viewer_.Drive(button); break;  // 2 to 5: the viewer's keys
    }
}

// Button 6: a click while a download runs cancels it (on every card);
// otherwise the button transfer is queued on each card's thread (once,
// however often it is clicked while it waits), and the busy face stays
// until they have ended.
void Buttons::CardButton() {
    bool cancelled = false;
    for (const auto& card : cards_) cancelled = card->thread.CancelDownload() || cancelled;
    if (cancelled || busy_ || buttonTransfersWaiting_ > 0) return;
    for (const auto& card : cards_)
        buttonTransfersWaiting_ += card->thread.RunWithBusyFace(
            [&card = *card] {
                card.thread.Events().ButtonTransferBegun();
                card.transfers.TransferNew(false);
            },
            settings_.Graphics.DelayChg);
}

// Button 7: saves the journal, walks the cards again for the tree or the
// grid, or with the panel closed shows or hides the taskbar.
void Buttons::JournalOrTreeOrTaskbar() {
    switch (bar_.VisibleView()) {
    case ui::InfoView::Journal: SaveJournal(); break;
    case ui::InfoView::Tree:
    case ui::InfoView::Thumbnails:
        // The walks run on the card threads; a shown grid is rebuilt from
        // the lists as each arrives.
        bar_.SetLamp(model::ids::kCardButton, model::Lamp::Blue, model::LampAt::Top);
        tree_.RequestTree();
        bar_.Grid().ForgetRows();
        break;
    case ui::InfoView::Closed: {
        bool hide = win::TaskBarVisible();
        win::own_ShowHideTaskBar(!hide);
        bar_.EnableButton(model::ids::kMinimiseButton, !hide);
        break;
    }
    }
}

void Buttons::NextInfoView() {
    // Its lamp called the user to the journal, which this button opens.
    bar_.SetLamp(model::ids::kInfoButton, model::Lamp::Clear, model::LampAt::Bottom);
    if (!settings_.ShowInfoText && !settings_.ShowInfoTree && !settings_.ShowInfoThumbs) {
        bar_.EnableButton(model::ids::kInfoButton, false);
        return;
    }
    bar_.ShowInfo(L"");
}

void Buttons::SaveJournal() {
    static const wchar_t kFilter[] = L"Text (*.txt)\0*.txt\0Alle Dateien (*.*)\0*.*\0";
    std::optional<std::wstring> file =
        bar_.AskFileToSave(L"Wemlox Save Log", model::LogFileName(model::NowLocal()), kFilter);
    if (!file) return;
    // An existing journal file is never overwritten; say so instead of
    // leaving the user to believe it was saved.
    if (fs::IsNonEmptyFile(*file)) {
        bar_.ShowInfo(L"Log not saved, the file exists: " + *file);
        return;
    }
    if (!model::own_SaveTextFile(*file, bar_.JournalText(), false))
        bar_.ShowInfo(L"Log not saved, the file cannot be written: " + *file);
}

}  // namespace app
