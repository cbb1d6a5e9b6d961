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

const model::CardFileRecord* TreeActions::RecordAt(int32_t index) {
    return index > 0 ? bar_.Tree().Shown().Lists.Record(index) : nullptr;
}

CardFile TreeActions::FileOf(const model::CardFileRecord& r) {
    return {r.Index, bar_.Tree().Shown().Generation, r.Name, r.Directory, r.RawDirectory, r.RawName,
            static_cast<uint64_t>(r.Size > 0 ? r.Size : 0), r.RawDate, r.RawTime};
}

// The new camera folder goes with the work, in the settings it is handed.
void TreeActions::UseAsCameraFolder(const ui::CardTree::Selection& sel, bool folder) {
    if (folder) {
        settings_.Path = sel.text.substr(1);
        bar_.ShowInfo(L"Set: TFA Path: " + settings_.Path);
    }
    thread_.RunWithBusyFace([this, folder] {
        if (folder) {
            card_.CameraFolderChosen();
            views_.WalkCard();
        }
        (void)card_.ListCameraFolder();
    });
}

void TreeActions::OnMenu(int menuId) {
    const ui::CardTree::Selection sel = bar_.Tree().Selected();
    const bool folder = sel.text.find(L'/') != std::wstring::npos;
    const bool root = bar_.Tree().IsRoot(sel);
    switch (menuId) {
    case model::ids::kMenuTransfer:
        if (const model::CardFileRecord* r = RecordAt(static_cast<int32_t>(sel.data)); r && r->Size > 0)
            thread_.RunWithBusyFace([this, f = FileOf(*r)] {
                bool arrived = transfers_.FetchToFolder(f, card_.Config().StoragePath, true);
                thread_.Events().SingleTransferEnded(f, SingleTransfer::FromTree, arrived);
            });
        break;
    case model::ids::kMenuFileInfo: Act(FileCommand::Report, static_cast<int32_t>(sel.data)); break;
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
        if (root && sel.item)
            thread_.RunWithBusyFace([this] {
                thread_.Events().CardNamed(card_.AskSsid() ? std::optional(card_.CardSsid()) : std::nullopt);
            });
        break;
    case model::ids::kMenuRefresh: views_.RequestTree(); break;
    case model::ids::kMenuClose: bar_.ShowInfo(L""); break;
    case model::ids::kMenuLoRes: AdoptExtension(sel.text, settings_.TransferLoRes, settings_.TransferLoResToSave); break;
    case model::ids::kMenuHiRes: AdoptExtension(sel.text, settings_.TransferHiRes, settings_.TransferHiResToSave); break;
    }
}

void TreeActions::Act(FileCommand command, int32_t index) {
    const model::CardFileRecord* r = RecordAt(index);
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
        thread_.RunWithBusyFace([this, f = FileOf(*r)] {
            bool arrived = transfers_.FetchToFolder(f, card_.Config().StoragePath, true);
            thread_.Events().SingleTransferEnded(f, SingleTransfer::FromTree, arrived);
        });
        return;
    }
    model::ReportFile f{r->Directory, r->Name, r->Size, r->Year, r->Month, r->Day, r->Hour, r->Minute, r->Second};
    std::wstring report = model::FileReport(f, settings_, [](const std::wstring& p) { return fs::IsNonEmptyFile(p); });
    bar_.ShowInfo(report);
    bar_.ShowMessage(std::wstring(model::kProgramName) + L" - Glimmerdeck - " + model::kProgramVersion, report);
}

// The tile's faces and the tree mark, from the storage folder.
void TreeActions::RefreshTile(int32_t index) {
    const model::CardFileRecord* r = RecordAt(index);
    if (!r) return;
    bar_.Grid().RefreshToggleFace(index);
    if (!r->Name.empty() && r->Size > 0 &&
        fs::IsNonEmptyFile(model::StoreFile(settings_, model::Store::Storage, r->Name)))
        bar_.Tree().MarkStored(bar_.Tree().FindItemOf(index));
}

// The toggle carries the pick; the record and the grid's picks follow it, so
// a rebuild of the cells shows it again.
void TreeActions::KeepPick(int32_t index, bool on) {
    model::CardFileRecord* r = bar_.Tree().Shown().Lists.Record(index);
    model::Picks* picks = bar_.Grid().Picks();
    if (!r || !picks) return;
    r->Selected = on;
    picks->Set(r->Directory, r->Name, on);
}

void TreeActions::Pick(model::PickClick click, int32_t index) {
    ui::ThumbGrid& grid = bar_.Grid();
    std::vector<model::Cell> cells = grid.Cells();
    model::CardLists& lists = bar_.Tree().Shown().Lists;
    bool done = model::ApplyClick(click, cells, currentThumb_, previousThumb_, [&lists](int32_t i, bool on) {
        if (model::CardFileRecord* rec = lists.Record(i)) rec->Selected = on;
    });
    if (!done) {
        // An ignored Shift click still flipped its toggle; its face follows.
        grid.RefreshToggleFace(index);
        for (const model::Cell& c : cells)
            if (c.index == index) KeepPick(c.index, c.on);
        return;
    }
    for (const model::Cell& c : cells) {
        grid.SetPicked(c.index, c.on);
        KeepPick(c.index, c.on);
    }
}

// A click on a tile: its picture shows or fetches the file, its toggle
// selects, its caption reports.
void TreeActions::OnTile(const model::TileRef& tile, uint16_t modifiers) {
    const int32_t k = tile.recordIndex;
    const model::CardFileRecord* r = bar_.Tree().Shown().Lists.Record(k);
    const bool inUse = r && r->Index == k;
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
    std::vector<CardFile> picked;
    for (const model::Cell& c : bar_.Grid().Cells())
        if (const model::CardFileRecord* r = c.on ? RecordAt(c.index) : nullptr) picked.push_back(FileOf(*r));
    if (picked.empty()) return false;
    thread_.RunWithBusyFace([this, picked = std::move(picked)] {
        for (const CardFile& f : picked) {
            if (thread_.Worker().StopRequested()) return;
            bool arrived = transfers_.FetchToFolder(f, card_.Config().StoragePath, false);
            thread_.Events().SingleTransferEnded(f, SingleTransfer::Picked, arrived);
        }
    });
    return true;
}

void TreeActions::SingleTransferEnded(const CardFile& f, SingleTransfer how, bool arrived) {
    // Unless a walk has replaced the records meanwhile (the rebuilt views
    // show the store anyway), the tile's faces and the tree mark follow.
    const bool current = f.generation == bar_.Tree().Shown().Generation;
    if (how == SingleTransfer::FromTree) {
        if (arrived) bar_.Tree().MarkFileStored(f.directory, f.name);
        if (current && bar_.Grid().TileControl(f.index, model::TilePart::Toggle)) RefreshTile(f.index);
        return;
    }
    // A picture that did not arrive (the camera went to sleep) stays picked
    // for the next try; one that came is let go, by its path, as the pick may
    // outlast a walk that replaced the records.
    if (!arrived) {
        bar_.ShowInfo(L"Not transferred, still picked: " + f.directory + L"/" + f.name);
        return;
    }
    if (model::Picks* picks = bar_.Grid().Picks()) picks->Set(f.directory, f.name, false);
    if (!current) return;
    if (model::CardFileRecord* r = bar_.Tree().Shown().Lists.Record(f.index)) r->Selected = false;
    bar_.Grid().SetPicked(f.index, false);
    RefreshTile(f.index);
}

}  // namespace app
