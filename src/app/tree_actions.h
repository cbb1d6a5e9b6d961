// What the user does with the card tree and the thumbnail grid: the tree's
// popup menu, the file report, show-or-transfer, the toggle selection, and
// button 1's transfer of the picked pictures. Interface thread; the card work
// it asks for runs on the thread of the card the item or tile is on.
#pragma once

#include <cstdint>

#include "app/card_events.h"
#include "app/cards.h"
#include "app/viewer_actions.h"
#include "model/bar/thumb_layout.h"
#include "model/bar/tree_menu_logic.h"
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
    TreeActions(ui::Bar& bar, model::Settings& settings, CardList& cards, ViewerActions& viewer,
                const int64_t& identitiesSince)
        : bar_(bar), settings_(settings), cards_(cards), viewer_(viewer), identitiesSince_(identitiesSince) {}

    // A choice of the tree's popup menu (its item id), for the selected item.
    void OnMenu(int menuId);
    // A click on a part of a tile; `modifiers`: the MK_* flags of the press.
    void OnTile(const model::TileRef& tile, uint16_t modifiers);
    void Act(FileCommand command, model::TileKey file);
    // Button 1 with the thumbnail view shown: every picked picture into the
    // storage folder, each on its own card's thread. False when nothing was
    // picked.
    bool TransferPicked();
    // A single file asked for by the user has arrived from card `card`, or not.
    void SingleTransferEnded(size_t card, const CardFile& file, SingleTransfer how, bool arrived);
    // Every card walked again for the tree.
    void RequestTree();

private:
    Card* CardAt(size_t card);
    model::CardFileRecord* RecordAt(model::TileKey file);
    CardFile FileOf(size_t card, const model::CardFileRecord& r);
    void FetchToStorage(size_t card, CardFile file);
    void RefreshTile(model::TileKey tile);
    void Pick(model::PickClick click, model::TileKey tile);
    void KeepPick(model::TileKey tile, bool on);
    void UseAsCameraFolder(const ui::CardTree::Selection& sel, bool folder);

    ui::Bar& bar_;
    model::Settings& settings_;
    CardList& cards_;
    ViewerActions& viewer_;
    const int64_t& identitiesSince_;
    model::TileKey currentThumb_, previousThumb_;  // the last two toggles clicked
};

}  // namespace app
