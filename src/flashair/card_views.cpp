// The card tree in control 111; the thumbnail grid is still empty.
#include "flashair/card_views.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "base/fs.h"
#include "base/handle.h"
#include "core/state.h"
#include "flashair/card_session.h"
#include "flashair/tree_order.h"
#include "ui/bar.h"
#include "ui/ids.h"

namespace {

struct ImageListTraits {
    static HIMAGELIST Invalid() { return nullptr; }
    static void Close(HIMAGELIST h) { ImageList_Destroy(h); }
};
using ImageList = win::Owned<HIMAGELIST, ImageListTraits>;

// Index 0 is a blank in the tree's background, so items "without image"
// keep their text aligned with the marked ones; 1..4 are Tree_1..Tree_4.
constexpr int kNoImage = 0;
constexpr int kLoadedImage = 1;
constexpr int kTreeIconCount = 4;

ImageList g_treeImages;

// The picture scaled onto an icon-sized bitmap over the background colour.
win::Bitmap IconBitmap(const images::Picture* picture, int size, COLORREF background) {
    HDC screen = GetDC(nullptr);
    win::Bitmap bitmap(CreateCompatibleBitmap(screen, size, size));
    win::MemoryDC dc(screen);
    ReleaseDC(nullptr, screen);
    if (!bitmap || !dc) return bitmap;
    win::ScopedSelect select(dc.get(), bitmap.get());
    RECT rc{0, 0, size, size};
    win::Brush brush(CreateSolidBrush(background));
    FillRect(dc.get(), &rc, brush.get());
    if (picture && *picture) images::DrawScaled(dc.get(), *picture, rc, true);
    return bitmap;
}

void AttachTreeImages(HWND tree) {
    if (g_treeImages) return;
    int size = GetSystemMetrics(SM_CYSMICON);
    g_treeImages.reset(ImageList_Create(size, size, ILC_COLOR32, kTreeIconCount + 1, 0));
    if (!g_treeImages) return;
    COLORREF background = TreeView_GetBkColor(tree);
    ImageList_Add(g_treeImages.get(), IconBitmap(nullptr, size, background).get(), nullptr);
    for (int i = 0; i < kTreeIconCount; i++)
        ImageList_Add(g_treeImages.get(), IconBitmap(bar::Image(ids::kFirstTreeImage + i), size, background).get(),
                      nullptr);
    TreeView_SetImageList(tree, g_treeImages.get(), TVSIL_NORMAL);
}

HTREEITEM AddItem(HWND tree, HTREEITEM parent, const std::wstring& text, int image, LPARAM data) {
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    ins.item.pszText = const_cast<wchar_t*>(text.c_str());
    ins.item.iImage = ins.item.iSelectedImage = image;
    ins.item.lParam = data;
    return TreeView_InsertItem(tree, &ins);
}

std::wstring RootCaption() {
    if (TFA_GetData(L"SSID", L"")) return g_card.CardSsid + L" (" + g_settings.UrlLastConnect + L")";
    // Folders need a root above them; without an answer it keeps the bar's name.
    return g_settings.OccurenceName;
}

void WalkCard() {
    bar::ShowButtonImage(6, ids::kBusyImageOffset + 6);
    TFA_GetData(L"ExamineTREE", L"/");
    bar::ShowButtonImage(6, 6);
}

void AddCardItems(HWND tree, HTREEITEM root) {
    card::CardLists& lists = g_card.Lists;
    card::SortForTree(lists.CardDirectories, lists.CardFiles);
    HTREEITEM folder = nullptr;
    for (const card::TreeRow& row : card::TreeRows(lists.CardDirectories, lists.CardFiles)) {
        if (row.level == 1) {
            if (folder) TreeView_Expand(tree, folder, TVE_EXPAND);
            folder = AddItem(tree, root, *row.text, kNoImage, 0);
            continue;
        }
        bool stored = fs::IsNonEmptyFile(g_settings.StoragePath + L"\\" + row.file->Name);
        AddItem(tree, folder, *row.text, stored ? kLoadedImage : kNoImage, row.file->RecordIndex);
    }
    if (folder) TreeView_Expand(tree, folder, TVE_EXPAND);
    TreeView_Expand(tree, root, TVE_EXPAND);
}

}  // namespace

uint8_t TFA_CreateTree() {
    if (TFA_CheckUpdate() == 0) return 0;
    HWND tree = bar::Control(ids::kTree);
    AttachTreeImages(tree);
    TreeView_DeleteAllItems(tree);
    HTREEITEM root = AddItem(tree, TVI_ROOT, RootCaption(), kNoImage, 0);
    bar::SetTreeRoot(root);
    WalkCard();
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    AddCardItems(tree, root);
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
    return static_cast<uint8_t>(std::min<size_t>(g_card.Lists.CardRecords.size(), 255));
}


void MarkTreeItemStored(HTREEITEM item) {
    if (!item) return;
    TVITEMW tv{};
    tv.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tv.hItem = item;
    tv.iImage = tv.iSelectedImage = kLoadedImage;
    TreeView_SetItem(bar::Control(ids::kTree), &tv);
}

HTREEITEM FindTreeItemOf(int32_t index) {
    HWND tree = bar::Control(ids::kTree);
    HTREEITEM root = TreeView_GetRoot(tree);
    for (HTREEITEM folder = TreeView_GetChild(tree, root); folder; folder = TreeView_GetNextSibling(tree, folder)) {
        for (HTREEITEM file = TreeView_GetChild(tree, folder); file; file = TreeView_GetNextSibling(tree, file)) {
            TVITEMW tv{};
            tv.mask = TVIF_HANDLE | TVIF_PARAM;
            tv.hItem = file;
            if (TreeView_GetItem(tree, &tv) && tv.lParam == index) return file;
        }
    }
    return nullptr;
}
