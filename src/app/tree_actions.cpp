// The tree's menu, the tiles' clicks and the picks of the thumbnail grid.
#include "app/tree_actions.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "base/fs.h"
#include "model/common/ids.h"
#include "model/pictures/picture.h"
#include "model/settings/folders.h"

namespace app {

namespace {

// Held with its "." like every extension; the settings file gets it as the
// file name spells it.
void AdoptExtension(const std::wstring& text, std::wstring& setting, std::wstring& toSave) {
    if (auto ext = model::ExtensionToAdopt(text)) {
        setting = L"." + *ext;
        toSave = *ext;
    }
}

}  // namespace

Card* TreeActions::CardAt(size_t card) { return card < cards_.size() ? cards_[card].get() : nullptr; }

model::CardFileRecord* TreeActions::RecordAt(model::TileKey file) {
    ui::CardTree& tree = bar_.Tree();
    return file.record > 0 && file.card < tree.CardCount() ? tree.Shown(file.card).Lists.Record(file.record) : nullptr;
}

CardFile TreeActions::FileOf(size_t card, const model::CardFileRecord& r) {
    return {r.Index, bar_.Tree().Shown(card).Generation, r.Name, r.Directory, r.RawDirectory, r.RawName,
            static_cast<uint64_t>(r.Size > 0 ? r.Size : 0), r.RawDate, r.RawTime};
}

// The card's own file into the storage folder, on its thread.
void TreeActions::FetchToStorage(size_t card, CardFile file) {
    Card* c = CardAt(card);
    if (!c) return;
    c->thread.RunWithBusyFace([c, f = std::move(file)] {
        bool arrived = c->transfers.FetchToFolder(f, c->session.Config().StoragePath, true);
        c->thread.Events().SingleTransferEnded(f, SingleTransfer::FromTree, arrived);
    });
}

void TreeActions::RequestTree() {
    for (const auto& card : cards_) card->views.RequestTree();
}

// The new camera folder goes with the work, in the settings it is handed.
// [TFA] Path is the first card's; another card's thread is told its own.
void TreeActions::UseAsCameraFolder(const ui::CardTree::Selection& sel, bool folder) {
    Card* c = CardAt(sel.card);
    if (!c) return;
    const std::wstring path = folder ? sel.text.substr(1) : L"";
    if (folder && sel.card == 0) {
        settings_.Path = path;
        bar_.ShowInfo(L"Set: TFA Path: " + path);
    } else if (folder) {
        c->thread.ChooseCameraFolder(path);
    }
    c->thread.RunWithBusyFace([c, folder, path] {
        if (folder) {
            if (c->entry > 0) c->thread.Events().Journal(L"Set: TFA Path: " + path);
            c->session.CameraFolderChosen();
            c->views.WalkCard();
        }
        (void)c->session.ListCameraFolder();
    });
}

void TreeActions::OnMenu(int menuId) {
    const ui::CardTree::Selection sel = bar_.Tree().Selected();
    const bool folder = sel.text.find(L'/') != std::wstring::npos;
    const bool root = bar_.Tree().IsRoot(sel);
    const model::TileKey item{sel.card, static_cast<int32_t>(sel.data)};
    switch (menuId) {
    case model::ids::kMenuTransfer:
        if (const model::CardFileRecord* r = RecordAt(item); r && r->Size > 0) FetchToStorage(sel.card, FileOf(sel.card, *r));
        break;
    case model::ids::kMenuFileInfo: Act(FileCommand::Report, item); break;
    case model::ids::kMenuSourcePath:
        if (!root) UseAsCameraFolder(sel, folder);
        break;
    case model::ids::kMenuNeverLoad:
        if (!root && !folder) {
            settings_.DoNotLoad = sel.text;
            bar_.ShowInfo(L"Set: TFA DoNotLoad: " + sel.text);
        }
        break;
    case model::ids::kMenuOccurenceName:
        // The root itself, not an empty selection.
        if (Card* c = CardAt(sel.card); c && root && sel.item)
            c->thread.RunWithBusyFace([c] {
                c->thread.Events().CardNamed(c->session.AskSsid() ? std::optional(c->session.CardSsid())
                                                                   : std::nullopt);
            });
        break;
    case model::ids::kMenuRefresh: RequestTree(); break;
    case model::ids::kMenuClose: bar_.ShowInfo(L""); break;
    case model::ids::kMenuLoRes: AdoptExtension(sel.text, settings_.TransferLoRes, settings_.TransferLoResToSave); break;
    case model::ids::kMenuHiRes: AdoptExtension(sel.text, settings_.TransferHiRes, settings_.TransferHiResToSave); break;
    }
}

void TreeActions::Act(FileCommand command, model::TileKey file) {
    const model::CardFileRecord* r = RecordAt(file);
    if (!r) return;
    if (command == FileCommand::ShowOrTransfer) {
        bar_.SetLamp(model::ids::kCardButton, model::Lamp::Blue, model::LampAt::Top);
        // A local copy of this picture (not another of its name) is shown at
        // once; only the card waits its turn.
        for (model::Store where :
             {model::Store::LoRes, model::Store::HiRes, model::Store::Storage, model::Store::Target}) {
            const std::wstring folder = model::StoreFolder(settings_, where);
            std::optional<std::wstring> local =
                model::StoredName(model::FolderOnDisk(folder), model::IdOf(*r), identitiesSince_);
            if (!local) continue;
            viewer_.ShowFile(folder + L"\\" + *local);
            return;
        }
        FetchToStorage(file.card, FileOf(file.card, *r));
        return;
    }
    model::ReportFile f{r->Directory, r->Name, r->Size, r->Year, r->Month, r->Day, r->Hour, r->Minute, r->Second};
    std::wstring report = model::FileReport(f, settings_, [](const std::wstring& p) { return fs::IsNonEmptyFile(p); });
    bar_.ShowInfo(report);
    bar_.ShowMessage(std::wstring(model::kProgramName) + L" - Glimmerdeck - " + model::kProgramVersion, report);
}

// The tile's faces and the tree mark, from the storage folder.
void TreeActions::RefreshTile(model::TileKey tile) {
    const model::CardFileRecord* r = RecordAt(tile);
    if (!r) return;
    bar_.Grid().RefreshToggleFace(tile);
    if (!r->Name.empty() && r->Size > 0 &&
        fs::IsNonEmptyFile(model::StoreFile(settings_, model::Store::Storage, r->Name)))
        bar_.Tree().MarkStored(bar_.Tree().FindItemOf(tile.card, tile.record));
}

// The toggle carries the pick; the record and the grid's picks follow it, so
// a rebuild of the cells shows it again.
void TreeActions::KeepPick(model::TileKey tile, bool on) {
    model::CardFileRecord* r = RecordAt(tile);
    model::Picks* picks = bar_.Grid().Picks();
    if (!r || !picks) return;
    r->Selected = on;
    picks->Set(tile.card, r->Directory, r->Name, on);
}

void TreeActions::Pick(model::PickClick click, model::TileKey tile) {
    ui::ThumbGrid& grid = bar_.Grid();
    std::vector<model::Cell> cells = grid.Cells();
    bool done = model::ApplyClick(click, cells, currentThumb_, previousThumb_, [this](const model::Cell& c, bool on) {
        if (model::CardFileRecord* rec = RecordAt({c.card, c.index})) rec->Selected = on;
    });
    if (!done) {
        // An ignored Shift click still flipped its toggle; its face follows.
        grid.RefreshToggleFace(tile);
        for (const model::Cell& c : cells)
            if (c.index == tile.record && c.card == tile.card) KeepPick(tile, c.on);
        return;
    }
    for (const model::Cell& c : cells) {
        grid.SetPicked({c.card, c.index}, c.on);
        KeepPick({c.card, c.index}, c.on);
    }
}

// A click on a tile: its picture shows or fetches the file, its toggle
// selects, its caption reports.
void TreeActions::OnTile(const model::TileRef& tile, uint16_t modifiers) {
    const model::TileKey k{tile.card, tile.recordIndex};
    const model::CardFileRecord* r = RecordAt(k);
    const bool inUse = r && r->Index == k.record;
    if (tile.part == model::TilePart::Picture) {
        if (inUse) Act(FileCommand::ShowOrTransfer, k);
    } else if (tile.part == model::TilePart::Toggle) {
        previousThumb_ = currentThumb_;
        currentThumb_ = k;
        switch (modifiers) {
        case MK_LBUTTON: Pick(model::PickClick::Plain, k); break;
        case MK_LBUTTON | MK_SHIFT: Pick(model::PickClick::Shift, k); break;
        case MK_LBUTTON | MK_CONTROL: Pick(model::PickClick::Ctrl, k); break;
        default: bar_.Grid().RefreshToggleFace(k); break;
        }
    } else if (inUse) {
        Act(FileCommand::Report, k);
    }
}

bool TreeActions::TransferPicked() {
    if (!bar_.Grid().Visible()) return false;
    // Each card's picks go in one batch on its own thread, so a card that
    // sleeps holds back only its own.
    std::vector<std::vector<CardFile>> picked(cards_.size());
    bool any = false;
    for (const model::Cell& c : bar_.Grid().Cells())
        if (const model::CardFileRecord* r = c.on ? RecordAt({c.card, c.index}) : nullptr; r && c.card < picked.size()) {
            picked[c.card].push_back(FileOf(c.card, *r));
            any = true;
        }
    for (size_t card = 0; card < picked.size(); card++) {
        if (picked[card].empty()) continue;
        Card* c = cards_[card].get();
        c->thread.RunWithBusyFace([c, files = std::move(picked[card])] {
            for (const CardFile& f : files) {
                if (c->thread.Worker().StopRequested()) return;
                bool arrived = c->transfers.FetchToFolder(f, c->session.Config().StoragePath, false);
                c->thread.Events().SingleTransferEnded(f, SingleTransfer::Picked, arrived);
            }
        });
    }
    return any;
}

void TreeActions::SingleTransferEnded(size_t card, const CardFile& f, SingleTransfer how, bool arrived) {
    // Unless a walk has replaced the records meanwhile (the rebuilt views
    // show the store anyway), the tile's faces and the tree mark follow.
    if (card >= bar_.Tree().CardCount()) return;
    const bool current = f.generation == bar_.Tree().Shown(card).Generation;
    const model::TileKey tile{card, f.index};
    if (how == SingleTransfer::FromTree) {
        if (arrived) bar_.Tree().MarkFileStored(card, f.directory, f.name);
        if (current && bar_.Grid().TileControl(tile, model::TilePart::Toggle)) RefreshTile(tile);
        return;
    }
    // A picture that did not arrive (the camera went to sleep) stays picked
    // for the next try; one that came is let go, by its path, as the pick may
    // outlast a walk that replaced the records.
    if (!arrived) {
        bar_.ShowInfo(L"Not transferred, still picked: " + f.directory + L"/" + f.name);
        return;
    }
    if (model::Picks* picks = bar_.Grid().Picks()) picks->Set(card, f.directory, f.name, false);
    if (!current) return;
    if (model::CardFileRecord* r = RecordAt(tile)) r->Selected = false;
    bar_.Grid().SetPicked(tile, false);
    RefreshTile(tile);
}

}  // namespace app
