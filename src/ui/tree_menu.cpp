// Tree popup menu, file operations and thumbnail selection states.
#include "ui/tree_menu.h"

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "core/state.h"
#include "flashair/card_session.h"
#include "flashair/card_views.h"
#include "flashair/thumbs.h"
#include "flashair/transfer.h"
#include "ui/bar.h"
#include "ui/ids.h"
#include "ui/info_panel.h"
#include "ui/tree_menu_logic.h"
#include "viewer/handover.h"

namespace {

bool g_reportOpen = false;

// Busy face on button 6 for as long as a tree or thumbnail action runs.
struct BusyCardButton {
    BusyCardButton() { bar::ShowButtonImage(6, ids::kBusyImageOffset + 6); }
    ~BusyCardButton() { bar::ShowButtonImage(6, 6); }
    BusyCardButton(const BusyCardButton&) = delete;
    BusyCardButton& operator=(const BusyCardButton&) = delete;
};

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

bool IsRoot(const Selection& sel) { return !sel.item || sel.item == TreeView_GetRoot(bar::Control(ids::kTree)); }

const card::CardFileRecord* RecordAt(int32_t index) { return index > 0 ? g_card.Lists.Record(index) : nullptr; }

void AdoptExtension(const std::wstring& text, std::wstring& setting) {
    if (auto ext = treemenu::ExtensionToAdopt(text)) setting = L"." + *ext;
}

void UseAsSourcePath(const Selection& sel, bool folder) {
    if (folder) {
        g_settings.Path = sel.text.substr(1);
        ShowInfo(L"Set: TFA Path: " + g_settings.Path);
        g_card.PathChanged = true;
        TFA_CreateTree();
    }
    g_run.TransferCandidateCount = static_cast<uint16_t>(TFA_GetData(L"DIR", L""));
}

std::vector<selection::Cell> ReadCells(HWND area) {
    std::vector<selection::Cell> cells;
    for (int32_t index : ThumbIndexList) {
        HWND toggle = GetDlgItem(area, ids::kThumbToggleBase + index);
        cells.push_back({index, toggle && SendMessageW(toggle, BM_GETCHECK, 0, 0) == BST_CHECKED});
    }
    return cells;
}

}  // namespace

bool ReportOpen() { return g_reportOpen; }

void WLX_TREE_POP_EnaDis() {
    HMENU menu = bar::TreeMenu();
    for (int id = ids::kMenuTransfer; id <= ids::kMenuHiRes; id++) EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
    for (auto& [id, text] : treemenu::ItemTexts(g_settings))
        ModifyMenuW(menu, id, MF_BYCOMMAND | MF_STRING | MF_GRAYED, id, text.c_str());
    Selection sel = SelectedItem();
    treemenu::ItemKind kind = treemenu::ItemKind::Root;
    if (!IsRoot(sel)) {
        const card::CardFileRecord* r = RecordAt(static_cast<int32_t>(sel.data));
        kind = r && r->Size >= 1 ? treemenu::ItemKind::File : treemenu::ItemKind::Folder;
    }
    for (int id : treemenu::EnabledItems(kind)) EnableMenuItem(menu, id, MF_BYCOMMAND | MF_ENABLED);
}

uint8_t WLX_TREE_POP(int menuId) {
    BusyCardButton busy;
    Selection sel = SelectedItem();
    bool folder = sel.text.find(L'/') != std::wstring::npos;
    bool root = IsRoot(sel);
    switch (menuId) {
    case ids::kMenuTransfer:
        if (const card::CardFileRecord* r = RecordAt(static_cast<int32_t>(sel.data)); r && r->Size > 0) {
            int32_t index = r->Index;
            TFA_TransferFile(r->Name, r->Directory, g_settings.StoragePath, 1);
            if (GetDlgItem(bar::Control(ids::kThumbArea), ids::kThumbToggleBase + index))
                WLX_THUMB_State(L"transferfile", index);
        }
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
        if (root) {
            if (TFA_GetData(L"SSID", L"")) g_settings.OccurenceName = g_card.CardSsid;
            ShowInfo(L"Set: TFA occurence Name: " + g_settings.OccurenceName);
        }
        break;
    case ids::kMenuRefresh: TFA_CreateTree(); break;
    case ids::kMenuClose: ShowInfo(L""); break;
    case ids::kMenuLoRes: AdoptExtension(sel.text, g_settings.TransferLoRes); break;
    case ids::kMenuHiRes: AdoptExtension(sel.text, g_settings.TransferHiRes); break;
    }
    return folder ? 2 : 1;
}

int32_t WLX_TREE_POP(const std::wstring& command, int32_t index) {
    const card::CardFileRecord* r = RecordAt(index);
    if (!r) return 0;
    BusyCardButton busy;
    const Settings& s = g_settings;
    if (str::EqualsI(command, L"transferfile")) {
        SetState(6, L"b", L"t");
        for (const std::wstring& local : {s.SourcePath + L"\\LoRes\\" + r->Name, s.SourcePath + L"\\HiRes\\" + r->Name,
                                          s.StoragePath + L"\\" + r->Name, s.TargetPath + L"\\" + r->Name}) {
            if (!fs::IsNonEmptyFile(local)) continue;
            Viewer_ShowFile(local);
            return index;
        }
        TFA_TransferFile(r->Name, r->Directory, s.StoragePath, 1);
        WLX_THUMB_State(L"transferfile", index);
        return 0;
    }
    if (str::EqualsI(command, L"showfileinfo")) {
        treemenu::ReportFile f{r->Directory, r->Name, r->Size, r->Year, r->Month, r->Day, r->Hour, r->Minute, r->Second};
        std::wstring report = treemenu::FileReport(f, s, [](const std::wstring& p) { return fs::IsNonEmptyFile(p); });
        ShowInfo(report);
        std::wstring title = std::wstring(kProgramName) + L" - Glimmerdeck - " + kProgramVersion;
        // Modal for the bar only; the card timer waits while it is up.
        g_reportOpen = true;
        MessageBoxW(bar::Window(), report.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
        g_reportOpen = false;
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
        bar::ShowButtonImage(6, 6);
        return 1;
    }
    std::vector<selection::Cell> cells = ReadCells(area);
    bool done = selection::ApplyClick(mode, cells, g_run.CurrentThumb, g_run.PreviousThumb, [](int32_t i, bool on) {
        if (card::CardFileRecord* rec = g_card.Lists.Record(i)) rec->Selected = on ? 1 : 0;
    });
    if (!done) return 0;
    for (const selection::Cell& c : cells) {
        HWND toggle = GetDlgItem(area, ids::kThumbToggleBase + c.index);
        SendMessageW(toggle, BM_SETCHECK, c.on ? BST_CHECKED : BST_UNCHECKED, 0);
        thumbs::RefreshToggleFace(c.index);
    }
    bar::ShowButtonImage(6, 6);
    return 1;
}

bool TransferSelectedThumbnails() {
    HWND area = bar::Control(ids::kThumbArea);
    if (!IsWindowVisible(area)) return false;
    std::vector<selection::Cell> cells = ReadCells(area);
    bool any = false;
    for (const selection::Cell& c : cells) any = any || c.on;
    if (!any) return false;
    for (const selection::Cell& c : cells) {
        card::CardFileRecord* r = g_card.Lists.Record(c.index);
        if (!c.on || !r) continue;
        // The cell's own tree item is marked below; the tree's selection may
        // be another file.
        TFA_TransferFileSpecial(r->Name, r->Directory, g_settings.StoragePath, 0);
        r->Selected = 0;
        SendMessageW(GetDlgItem(area, ids::kThumbToggleBase + c.index), BM_SETCHECK, BST_UNCHECKED, 0);
        WLX_THUMB_State(L"transferfile", c.index);
    }
    return true;
}
