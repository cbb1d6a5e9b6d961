// The eleven buttons: one table from button to action, the busy face around
// an action, and the actions of the buttons that are neither the viewer's nor
// the card's own (the journal, the info panel, the taskbar, minimising).
// Interface thread.
#pragma once

#include <functional>

#include "app/cards.h"
#include "app/transfers.h"
#include "app/tree_actions.h"
#include "app/viewer_actions.h"
#include "model/settings/settings.h"
#include "ui/bar.h"

namespace app {

class Buttons {
public:
    // `endProgram`: button 9's end of the program, once its keys are sent.
    Buttons(ui::Bar& bar, const model::Settings& settings, CardList& cards, TreeActions& tree, ViewerActions& viewer,
            std::function<void()> endProgram)
        : bar_(bar),
          settings_(settings),
          cards_(cards),
          tree_(tree),
          viewer_(viewer),
          endProgram_(std::move(endProgram)) {}

    // A click on button 1..11.
    void OnClick(int button);
    // Button 6's transfer, queued behind other card work, has begun.
    void ButtonTransferBegun() {
        if (buttonTransfersWaiting_ > 0) buttonTransfersWaiting_--;
    }

private:
    void Act(int button);
    void CardButton();
    void JournalOrTreeOrTaskbar();
    void NextInfoView();
    void SaveJournal();

    ui::Bar& bar_;
    const model::Settings& settings_;
    CardList& cards_;
    TreeActions& tree_;
    ViewerActions& viewer_;
    std::function<void()> endProgram_;
    bool busy_ = false;                    // an action runs; further clicks are dropped
    int buttonTransfersWaiting_ = 0;  // button 6's transfers waiting behind other card work, one per card
};

}  // namespace app
