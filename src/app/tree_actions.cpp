// What the user does with the card tree and the thumbnail grid: the tree's
// popup menu, the file report, show-or-transfer, and the toggle selection.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "app/app.h"
#include "app/operations.h"
#include "base/fs.h"
#include "base/str.h"
#include "model/folders.h"
#include "model/picture.h"
#include "model/ids.h"
#include "model/tree_menu_logic.h"
#include "ui/thumb_area.h"

namespace {

app::App& App() { return app::TheApp(); }
ui::Bar& Bar() { return App().bar; }
ui::ShownCard& Shown() { return Bar().Tree().Shown(); }

// Card work of a tree or thumbnail action: it waits behind the card work
// that runs, and button 6 shows its busy face from the click to its end.
void RunOnCard(std::function<void()> job) {
    cardthread::HoldBusyFace();
    bool queued = cardthread::Run([job = std::move(job)] {
        job();
        cardthread::OnUi([] { cardthread::ReleaseBusyFace(); });
    });
    if (!queued) cardthread::ReleaseBusyFace();
}

// A card file as card work needs it, copied from its record: the records
// may be replaced by a new walk before the work runs.
struct CardFile {
    int32_t index = 0;
    uint32_t generation = 0;
    std::wstring name, directory;
    CardSpelling as;
};

CardFile FileOf(const model::CardFileRecord& r) {
    return {r.Index, Shown().Generation, r.Name, r.Directory,
            {r.RawDirectory, r.RawName, static_cast<uint64_t>(r.Size > 0 ? r.Size : 0), r.RawDate, r.RawTime}};
}

// After a transfer: the tile's faces and the tree mark, unless a walk has
// replaced the records meanwhile (the rebuilt views show the store anyway).
void RefreshAfterTransfer(const CardFile& f) {
    if (f.generation != Shown().Generation) return;
    if (Bar().Grid().TileControl(f.index, model::TilePart::Toggle)) WLX_THUMB_State(L"transferfile", f.index);
}

// The picked cell is let go once its file has been fetched.
void UnpickAfterTransfer(const CardFile& f) {
    // By its path: the pick may outlast a walk that replaced the records.
    if (model::Picks* picks = ui::PicksOf(Bar().Control(model::ids::kThumbArea)))
        picks->Set(f.directory, f.name, false);
    if (f.generation != Shown().Generation) return;
    if (model::CardFileRecord* r = Shown().Lists.Record(f.index)) r->Selected = 0;
    SendMessageW(Bar().Grid().TileControl(f.index, model::TilePart::Toggle), BM_SETCHECK, BST_UNCHECKED, 0);
    WLX_THUMB_State(L"transferfile", f.index);
}

// Card thread: fetches the file into the storage folder (and shows it).
void TransferToStorage(const CardFile& f) {
    TFA_TransferFile(f.name, f.directory, App().card.Config.StoragePath, 1, f.as);
    cardthread::OnUi([f] { RefreshAfterTransfer(f); });
}

using Selection = ui::CardTree::Selection;

const model::CardFileRecord* RecordAt(int32_t index) { return index > 0 ? Shown().Lists.Record(index) : nullptr; }

// Held with its "." like every extension; the settings file gets it as the
// file name spells it.
void AdoptExtension(const std::wstring& text, std::wstring& setting, std::wstring& toSave) {
    if (auto ext = model::ExtensionToAdopt(text)) {
        setting = L"." + *ext;
        toSave = *ext;
    }
}

void UseAsSourcePath(const Selection& sel, bool folder) {
    if (folder) {
        App().settings.Path = sel.text.substr(1);
        ShowInfo(L"Set: TFA Path: " + App().settings.Path);
    }
    // The new path goes with the work, in the settings it is handed.
    RunOnCard([folder] {
        model::Session& card = App().card;
        if (folder) {
            card.PathChanged = true;
            TFA_CreateTree();
        }
        card.TransferCandidateCount = TFA_GetData(L"DIR", L"");
    });
}

// Card thread: the card's name becomes the occurrence name.
void AdoptCardName() {
    bool answered = TFA_GetData(L"SSID", L"") != 0;
    std::wstring ssid = App().card.CardSsid;
    cardthread::OnUi([answered, ssid] {
        model::Settings& s = App().settings;
        if (answered) s.OccurenceName = ssid;
        ShowInfo(L"Set: TFA occurence Name: " + s.OccurenceName);
    });
}

// The toggle carries the pick; the record and the area's picks follow it, so
// a rebuild of the cells shows it again.
void KeepPick(HWND area, int32_t index, bool on) {
    model::CardFileRecord* r = Shown().Lists.Record(index);
    model::Picks* picks = ui::PicksOf(area);
    if (!r || !picks) return;
    r->Selected = on ? 1 : 0;
    picks->Set(r->Directory, r->Name, on);
}


}  // namespace

void WLX_TREE_POP_EnaDis() { Bar().PrepareTreeMenu(); }

uint8_t WLX_TREE_POP(int menuId) {
    Selection sel = Bar().Tree().Selected();
    bool folder = sel.text.find(L'/') != std::wstring::npos;
    bool root = Bar().Tree().IsRoot(sel);
    model::Settings& settings = App().settings;
    switch (menuId) {
    case model::ids::kMenuTransfer:
        if (const model::CardFileRecord* r = RecordAt(static_cast<int32_t>(sel.data)); r && r->Size > 0)
            RunOnCard([f = FileOf(*r)] { TransferToStorage(f); });
        break;
    case model::ids::kMenuFileInfo: WLX_TREE_POP(L"showfileinfo", static_cast<int32_t>(sel.data)); break;
    case model::ids::kMenuSourcePath:
        if (!root) UseAsSourcePath(sel, folder);
        break;
    case model::ids::kMenuNeverLoad:
        if (!root && !folder) {
            settings.DoNotLoad = sel.text;
            ShowInfo(L"Set: TFA DoNotLoad: " + sel.text);
        }
        break;
    case model::ids::kMenuOccurenceName:
        if (root && sel.item) RunOnCard(AdoptCardName);  // the root itself, not an empty selection
        break;
    case model::ids::kMenuRefresh: RequestTree(); break;
    case model::ids::kMenuClose: ShowInfo(L""); break;
    case model::ids::kMenuLoRes: AdoptExtension(sel.text, settings.TransferLoRes, settings.TransferLoResToSave); break;
    case model::ids::kMenuHiRes: AdoptExtension(sel.text, settings.TransferHiRes, settings.TransferHiResToSave); break;
    }
    return folder ? 2 : 1;
}

int32_t WLX_TREE_POP(const std::wstring& command, int32_t index) {
    const model::CardFileRecord* r = RecordAt(index);
    if (!r) return 0;
    const model::Settings& s = App().settings;
    if (str::EqualsI(command, L"transferfile")) {
        SetLamp(model::ids::kCardButton, model::Lamp::Blue, model::LampAt::Top);
        // A local copy of this picture (not another of its name) is shown at
        // once; only the card waits its turn.
        for (model::Store where : {model::Store::LoRes, model::Store::HiRes, model::Store::Storage, model::Store::Target}) {
            const std::wstring folder = model::StoreFolder(s, where);
            std::optional<std::wstring> local =
                model::StoredName(model::FolderOnDisk(folder), model::IdOf(*r), App().run.IdentitiesSince);
            if (!local) continue;
            Viewer_ShowFile(folder + L"\\" + *local);
            return index;
        }
        RunOnCard([f = FileOf(*r)] { TransferToStorage(f); });
        return 0;
    }
    if (str::EqualsI(command, L"showfileinfo")) {
        model::ReportFile f{r->Directory, r->Name, r->Size, r->Year, r->Month, r->Day, r->Hour, r->Minute, r->Second};
        std::wstring report = model::FileReport(f, s, [](const std::wstring& p) { return fs::IsNonEmptyFile(p); });
        ShowInfo(report);
        std::wstring title = std::wstring(model::kProgramName) + L" - Glimmerdeck - " + model::kProgramVersion;
        // Modal for the bar only; the card timer waits while it is up.
        ui::ModalScope modal(Bar());
        MessageBoxW(Bar().Window(), report.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
    }
    return 0;
}

int32_t WLX_THUMB_State(const std::wstring& mode, int32_t index) {
    HWND area = Bar().Control(model::ids::kThumbArea);
    ui::ThumbGrid& grid = Bar().Grid();
    if (str::EqualsI(mode, L"transferfile")) {
        const model::CardFileRecord* r = RecordAt(index);
        if (!r) return 0;
        grid.RefreshToggleFace(index);
        if (!r->Name.empty() && r->Size > 0 && fs::IsNonEmptyFile(model::StoreFile(App().settings, model::Store::Storage, r->Name)))
            Bar().Tree().MarkStored(Bar().Tree().FindItemOf(index));
        return 1;
    }
    std::vector<model::Cell> cells = grid.Cells();
    const app::RunState& run = App().run;
    bool done = model::ApplyClick(mode, cells, run.CurrentThumb, run.PreviousThumb, [](int32_t i, bool on) {
        if (model::CardFileRecord* rec = Shown().Lists.Record(i)) rec->Selected = on ? 1 : 0;
    });
    if (!done) {
        // An ignored Shift click still flipped its toggle; its face follows.
        grid.RefreshToggleFace(index);
        for (const model::Cell& c : cells)
            if (c.index == index) KeepPick(area, c.index, c.on);
        return 0;
    }
    for (const model::Cell& c : cells) {
        HWND toggle = Bar().Grid().TileControl(c.index, model::TilePart::Toggle);
        SendMessageW(toggle, BM_SETCHECK, c.on ? BST_CHECKED : BST_UNCHECKED, 0);
        grid.RefreshToggleFace(c.index);
        KeepPick(area, c.index, c.on);
    }
    return 1;
}

bool TransferSelectedThumbnails() {
    if (!IsWindowVisible(Bar().Control(model::ids::kThumbArea))) return false;
    std::vector<CardFile> picked;
    for (const model::Cell& c : Bar().Grid().Cells())
        if (const model::CardFileRecord* r = c.on ? RecordAt(c.index) : nullptr) picked.push_back(FileOf(*r));
    if (picked.empty()) return false;
    RunOnCard([picked = std::move(picked)] {
        for (const CardFile& f : picked) {
            if (cardthread::Worker().StopRequested()) return;
            // The cell's own tree item is marked below; the tree's selection
            // may be another file. A picture that did not arrive (the camera
            // went to sleep) stays picked for the next try.
            if (TFA_TransferFileSpecial(f.name, f.directory, App().card.Config.StoragePath, 0, f.as))
                cardthread::OnUi([f] { UnpickAfterTransfer(f); });
            else
                cardthread::OnUi([f] { ShowInfo(L"Not transferred, still picked: " + f.directory + L"/" + f.name); });
        }
    });
    return true;
}

namespace app {

// A click on a tile: its picture shows or fetches the file, its toggle
// selects, its caption reports.
void App::OnTile(const model::TileRef& tile) {
    int32_t k = tile.recordIndex;
    const model::CardFileRecord* r = Shown().Lists.Record(k);
    bool inUse = r && r->Index == k;
    if (tile.part == model::TilePart::Picture) {
        if (inUse) WLX_TREE_POP(L"TransferFile", k);
    } else if (tile.part == model::TilePart::Toggle) {
        run.PreviousThumb = run.CurrentThumb;
        run.CurrentThumb = k;
        switch (run.ClickModifiers) {
        case MK_LBUTTON: WLX_THUMB_State(L"normal", k); break;
        case MK_LBUTTON | MK_SHIFT: WLX_THUMB_State(L"shift", k); break;
        case MK_LBUTTON | MK_CONTROL: WLX_THUMB_State(L"ctrl", k); break;
        default: bar.Grid().RefreshToggleFace(k); break;
        }
    } else if (inUse) {
        WLX_TREE_POP(L"ShowFileInfo", k);
    }
}

}  // namespace app
