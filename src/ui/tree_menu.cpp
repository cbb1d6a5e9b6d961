// Tree popup menu, file operations and thumbnail selection states.
#include "ui/tree_menu.h"

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "app/state.h"
#include "model/card_session.h"
#include "app/card_thread.h"
#include "ui/card_views.h"
#include "ui/thumbs.h"
#include "app/transfer.h"
#include "ui/bar.h"
#include "model/ids.h"
#include "ui/info_panel.h"
#include "ui/thumb_area.h"
#include "model/tree_menu_logic.h"
#include "app/handover.h"

namespace {

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

CardFile FileOf(const card::CardFileRecord& r) {
    return {r.Index, Shown().Generation, r.Name, r.Directory,
            {r.RawDirectory, r.RawName, static_cast<uint64_t>(r.Size > 0 ? r.Size : 0)}};
}

// After a transfer: the tile's faces and the tree mark, unless a walk has
// replaced the records meanwhile (the rebuilt views show the store anyway).
void RefreshAfterTransfer(const CardFile& f) {
    if (f.generation != Shown().Generation) return;
    if (thumbs::TileControl(f.index, thumbs::TilePart::Toggle)) WLX_THUMB_State(L"transferfile", f.index);
}

// The picked cell is let go once its file has been fetched.
void UnpickAfterTransfer(const CardFile& f) {
    // By its path: the pick may outlast a walk that replaced the records.
    if (selection::Picks* picks = thumbarea::PicksOf(bar::Control(ids::kThumbArea)))
        picks->Set(f.directory, f.name, false);
    if (f.generation != Shown().Generation) return;
    if (card::CardFileRecord* r = Shown().Lists.Record(f.index)) r->Selected = 0;
    SendMessageW(thumbs::TileControl(f.index, thumbs::TilePart::Toggle), BM_SETCHECK, BST_UNCHECKED, 0);
    WLX_THUMB_State(L"transferfile", f.index);
}

// Card thread: fetches the file into the storage folder (and shows it).
void TransferToStorage(const CardFile& f) {
    TFA_TransferFile(f.name, f.directory, g_card.Config.StoragePath, 1, f.as);
    cardthread::OnUi([f] { RefreshAfterTransfer(f); });
}

struct Selection {
    HTREEITEM item = nullptr;
    std::wstring text;
    LPARAM data = 0;
};

Selection SelectedItem() {
    HWND tree = bar::Control(ids::kTree);
    Selection sel;
    sel.item = TreeView_GetSelection(tree);
    if (!sel.item) return sel;
    wchar_t buf[1024] = {};
    TVITEMW tv{};
    tv.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_PARAM;
    tv.hItem = sel.item;
    tv.pszText = buf;
    tv.cchTextMax = 1024;
    if (TreeView_GetItem(tree, &tv)) {
        sel.text = buf;
        sel.data = tv.lParam;
    }
    return sel;
}

// Also true with nothing selected: the items for a file or folder need one.
bool IsRoot(const Selection& sel) { return !sel.item || sel.item == TreeView_GetRoot(bar::Control(ids::kTree)); }

const card::CardFileRecord* RecordAt(int32_t index) { return index > 0 ? Shown().Lists.Record(index) : nullptr; }

// Held with its "." like every extension; the settings file gets it as the
// file name spells it.
void AdoptExtension(const std::wstring& text, std::wstring& setting, std::wstring& toSave) {
    if (auto ext = treemenu::ExtensionToAdopt(text)) {
        setting = L"." + *ext;
        toSave = *ext;
    }
}

void UseAsSourcePath(const Selection& sel, bool folder) {
    if (folder) {
        g_settings.Path = sel.text.substr(1);
        ShowInfo(L"Set: TFA Path: " + g_settings.Path);
    }
    // The new path goes with the work, in the settings it is handed.
    RunOnCard([folder] {
        if (folder) {
            g_card.PathChanged = true;
            TFA_CreateTree();
        }
        g_card.TransferCandidateCount = TFA_GetData(L"DIR", L"");
    });
}

// Card thread: the card's name becomes the occurrence name.
void AdoptCardName() {
    bool answered = TFA_GetData(L"SSID", L"") != 0;
    std::wstring ssid = g_card.CardSsid;
    cardthread::OnUi([answered, ssid] {
        if (answered) g_settings.OccurenceName = ssid;
        ShowInfo(L"Set: TFA occurence Name: " + g_settings.OccurenceName);
    });
}

// The toggle carries the pick; the record and the area's picks follow it, so
// a rebuild of the cells shows it again.
void KeepPick(HWND area, int32_t index, bool on) {
    card::CardFileRecord* r = Shown().Lists.Record(index);
    selection::Picks* picks = thumbarea::PicksOf(area);
    if (!r || !picks) return;
    r->Selected = on ? 1 : 0;
    picks->Set(r->Directory, r->Name, on);
}

std::vector<selection::Cell> ReadCells(HWND area) {
    std::vector<selection::Cell> cells;
    for (int32_t index : ThumbIndexList) {
        HWND toggle = thumbs::TileControl(index, thumbs::TilePart::Toggle);
        cells.push_back({index, toggle && SendMessageW(toggle, BM_GETCHECK, 0, 0) == BST_CHECKED});
    }
    return cells;
}

}  // namespace

void WLX_TREE_POP_EnaDis() {
    HMENU menu = bar::TreeMenu();
    for (int id = ids::kMenuTransfer; id <= ids::kMenuHiRes; id++) EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
    for (auto& [id, text] : treemenu::ItemTexts(g_settings))
        ModifyMenuW(menu, id, MF_BYCOMMAND | MF_STRING | MF_GRAYED, id, text.c_str());
    Selection sel = SelectedItem();
    treemenu::ItemKind kind = sel.item ? treemenu::ItemKind::Root : treemenu::ItemKind::Nothing;
    if (!IsRoot(sel)) {
        const card::CardFileRecord* r = RecordAt(static_cast<int32_t>(sel.data));
        kind = r && r->Size >= 1 ? treemenu::ItemKind::File : treemenu::ItemKind::Folder;
    }
    for (int id : treemenu::EnabledItems(kind)) EnableMenuItem(menu, id, MF_BYCOMMAND | MF_ENABLED);
}

uint8_t WLX_TREE_POP(int menuId) {
    Selection sel = SelectedItem();
    bool folder = sel.text.find(L'/') != std::wstring::npos;
    bool root = IsRoot(sel);
    switch (menuId) {
    case ids::kMenuTransfer:
        if (const card::CardFileRecord* r = RecordAt(static_cast<int32_t>(sel.data)); r && r->Size > 0)
            RunOnCard([f = FileOf(*r)] { TransferToStorage(f); });
        break;
    case ids::kMenuFileInfo: WLX_TREE_POP(L"showfileinfo", static_cast<int32_t>(sel.data)); break;
    case ids::kMenuSourcePath:
        if (!root) UseAsSourcePath(sel, folder);
        break;
    case ids::kMenuNeverLoad:
        if (!root && !folder) {
            g_settings.DoNotLoad = sel.text;
            ShowInfo(L"Set: TFA DoNotLoad: " + sel.text);
        }
        break;
    case ids::kMenuOccurenceName:
        if (root && sel.item) RunOnCard(AdoptCardName);  // the root itself, not an empty selection
        break;
    case ids::kMenuRefresh: RequestTree(); break;
    case ids::kMenuClose: ShowInfo(L""); break;
    case ids::kMenuLoRes: AdoptExtension(sel.text, g_settings.TransferLoRes, g_settings.TransferLoResToSave); break;
    case ids::kMenuHiRes: AdoptExtension(sel.text, g_settings.TransferHiRes, g_settings.TransferHiResToSave); break;
    }
    return folder ? 2 : 1;
}

int32_t WLX_TREE_POP(const std::wstring& command, int32_t index) {
    const card::CardFileRecord* r = RecordAt(index);
    if (!r) return 0;
    const Settings& s = g_settings;
    if (str::EqualsI(command, L"transferfile")) {
        SetState(6, L"b", L"t");
        // A local copy is shown at once; only the card waits its turn.
        for (const std::wstring& local : {s.SourcePath + L"\\LoRes\\" + r->Name, s.SourcePath + L"\\HiRes\\" + r->Name,
                                          s.StoragePath + L"\\" + r->Name, s.TargetPath + L"\\" + r->Name}) {
            if (!fs::IsNonEmptyFile(local)) continue;
            Viewer_ShowFile(local);
            return index;
        }
        RunOnCard([f = FileOf(*r)] { TransferToStorage(f); });
        return 0;
    }
    if (str::EqualsI(command, L"showfileinfo")) {
        treemenu::ReportFile f{r->Directory, r->Name, r->Size, r->Year, r->Month, r->Day, r->Hour, r->Minute, r->Second};
        std::wstring report = treemenu::FileReport(f, s, [](const std::wstring& p) { return fs::IsNonEmptyFile(p); });
        ShowInfo(report);
        std::wstring title = std::wstring(kProgramName) + L" - Glimmerdeck - " + kProgramVersion;
        // Modal for the bar only; the card timer waits while it is up.
        bar::ModalScope modal;
        MessageBoxW(bar::Window(), report.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
    }
    return 0;
}

int32_t WLX_THUMB_State(const std::wstring& mode, int32_t index) {
    HWND area = bar::Control(ids::kThumbArea);
    if (str::EqualsI(mode, L"transferfile")) {
        const card::CardFileRecord* r = RecordAt(index);
        if (!r) return 0;
        thumbs::RefreshToggleFace(index);
        if (!r->Name.empty() && r->Size > 0 && fs::IsNonEmptyFile(g_settings.StoragePath + L"\\" + r->Name))
            MarkTreeItemStored(FindTreeItemOf(index));
        return 1;
    }
    std::vector<selection::Cell> cells = ReadCells(area);
    bool done = selection::ApplyClick(mode, cells, g_run.CurrentThumb, g_run.PreviousThumb, [](int32_t i, bool on) {
        if (card::CardFileRecord* rec = Shown().Lists.Record(i)) rec->Selected = on ? 1 : 0;
    });
    if (!done) {
        // An ignored Shift click still flipped its toggle; its face follows.
        thumbs::RefreshToggleFace(index);
        for (const selection::Cell& c : cells)
            if (c.index == index) KeepPick(area, c.index, c.on);
        return 0;
    }
    for (const selection::Cell& c : cells) {
        HWND toggle = thumbs::TileControl(c.index, thumbs::TilePart::Toggle);
        SendMessageW(toggle, BM_SETCHECK, c.on ? BST_CHECKED : BST_UNCHECKED, 0);
        thumbs::RefreshToggleFace(c.index);
        KeepPick(area, c.index, c.on);
    }
    return 1;
}

bool TransferSelectedThumbnails() {
    HWND area = bar::Control(ids::kThumbArea);
    if (!IsWindowVisible(area)) return false;
    std::vector<CardFile> picked;
    for (const selection::Cell& c : ReadCells(area))
        if (const card::CardFileRecord* r = c.on ? RecordAt(c.index) : nullptr) picked.push_back(FileOf(*r));
    if (picked.empty()) return false;
    RunOnCard([picked = std::move(picked)] {
        for (const CardFile& f : picked) {
            if (cardthread::Worker().StopRequested()) return;
            // The cell's own tree item is marked below; the tree's selection
            // may be another file.
            TFA_TransferFileSpecial(f.name, f.directory, g_card.Config.StoragePath, 0, f.as);
            cardthread::OnUi([f] { UnpickAfterTransfer(f); });
        }
    });
    return true;
}
