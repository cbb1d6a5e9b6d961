// What the user does with the card tree and the thumbnail grid: the tree's
// popup menu, the file report, show-or-transfer, the toggle selection, and
// button 1's transfer of the picked pictures. Interface thread; the card work
// it asks for runs on the card thread.
#pragma once

#include <cstdint>

#include "app/card_events.h"
#include "app/card_thread.h"
#include "app/card_views.h"
#include "app/transfers.h"
#include "app/viewer_actions.h"
#include "model/bar/thumb_layout.h"
#include "model/bar/tree_menu_logic.h"
#include "model/card/card_session.h"
#include "model/settings/settings.h"
#include "ui/bar.h"

namespace app {

// What a click on a tile or the tree's menu asks of a card file.
enum class FileCommand : uint8_t {
    ShowOrTransfer,  // a local copy of the picture to the viewer, else the card's into the storage folder
    Report,          // the file's report: journal and message box
};

class TreeActions {
public:
    // `identitiesSince`: stored files older than this carry the download's
    // time (see model::StoredFileIs).
    TreeActions(ui::Bar& bar, model::Settings& settings, model::Session& card, CardThread& thread,
                Transfers& transfers, CardViews& views, ViewerActions& viewer, const int64_t& identitiesSince)
        : bar_(bar),
          settings_(settings),
          card_(card),
          thread_(thread),
          transfers_(transfers),
          views_(views),
          viewer_(viewer),
          identitiesSince_(identitiesSince) {}

    // A choice of the tree's popup menu (its item id), for the selected item.
    void OnMenu(int menuId);
    // A click on a part of a tile; `modifiers`: the MK_* flags of the press.
    void OnTile(const model::TileRef& tile, uint16_t modifiers);
    void Act(FileCommand command, int32_t index);
    // Button 1 with the thumbnail view shown: every picked picture into the
    // storage folder on the card thread. False when nothing was picked.
    bool TransferPicked();
    // A single file asked for by the user has arrived, or not.
    void SingleTransferEnded(const CardFile& file, SingleTransfer how, bool arrived);

private:
    const model::CardFileRecord* RecordAt(int32_t index);
    CardFile FileOf(const model::CardFileRecord& r);
    void RefreshTile(int32_t index);
    void Pick(model::PickClick click, int32_t index);
    void KeepPick(int32_t index, bool on);
    void UseAsCameraFolder(const ui::CardTree::Selection& sel, bool folder);

    ui::Bar& bar_;
    model::Settings& settings_;
    model::Session& card_;
    CardThread& thread_;
    Transfers& transfers_;
    CardViews& views_;
    ViewerActions& viewer_;
    const int64_t& identitiesSince_;
    int32_t currentThumb_ = 0, previousThumb_ = 0;  // the last two toggles clicked
};

}  // namespace app
