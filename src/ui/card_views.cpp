// The card tree in control 111: the walk on the card thread, the items on
// the interface thread.
#include "ui/card_views.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "base/fs.h"
#include "win/handle.h"
#include "app/state.h"
#include "model/card_session.h"
#include "app/card_thread.h"
#include "ui/thumbs.h"
#include "model/tree_order.h"
#include "ui/bar.h"
#include "model/ids.h"
#include "ui/info_panel.h"

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

ShownCard g_shown;
bool g_treeRequested = false;

// What a walk hands to the interface: the sorted lists and, per file, whether
// it lies in the storage folder (looked up on the card thread, not while the
// interface waits).
struct Walk {
    card::CardLists lists;
    std::vector<bool> stored;
};

// Card thread.
std::wstring RootCaption() {
    if (TFA_GetData(L"SSID", L"")) return g_card.CardSsid + L" (" + g_card.UrlLastConnect + L")";
    // Folders need a root above them; without an answer it keeps the bar's name.
    return g_card.Config.OccurenceName;
}

// Card thread: the walk, sorted, with the storage marks.
std::shared_ptr<Walk> WalkCard() {
    {
        cardthread::BusyFace busy;
        TFA_GetData(L"ExamineTREE", L"/");
    }
    card::CardLists& lists = g_card.Lists;
    card::SortForTree(lists.CardDirectories, lists.CardFiles);
    auto walk = std::make_shared<Walk>();
    walk->lists.CardRecords = lists.CardRecords;
    walk->lists.CardDirectories = lists.CardDirectories;
    walk->lists.CardFiles = lists.CardFiles;
    walk->stored.reserve(lists.CardFiles.size());
    for (const card::CardFileEntry& f : lists.CardFiles)
        walk->stored.push_back(fs::IsNonEmptyFile(g_card.Config.StoragePath + L"\\" + f.Name));
    return walk;
}

// Interface thread: an empty tree with its root, as the walk begins.
void StartTree(const std::wstring& caption) {
    HWND tree = bar::Control(ids::kTree);
    AttachTreeImages(tree);
    TreeView_DeleteAllItems(tree);
    bar::SetTreeRoot(AddItem(tree, TVI_ROOT, caption, kNoImage, 0));
}

void AddCardItems(HWND tree, HTREEITEM root, const std::vector<bool>& stored) {
    const card::CardLists& lists = g_shown.Lists;
    HTREEITEM folder = nullptr;
    for (const card::TreeRow& row : card::TreeRows(lists.CardDirectories, lists.CardFiles)) {
        if (row.level == 1) {
            if (folder) TreeView_Expand(tree, folder, TVE_EXPAND);
            folder = AddItem(tree, root, *row.text, kNoImage, 0);
            continue;
        }
        size_t at = static_cast<size_t>(row.file - lists.CardFiles.data());
        bool isStored = at < stored.size() && stored[at];
        AddItem(tree, folder, *row.text, isStored ? kLoadedImage : kNoImage, row.file->RecordIndex);
    }
    if (folder) TreeView_Expand(tree, folder, TVE_EXPAND);
    TreeView_Expand(tree, root, TVE_EXPAND);
}

// Interface thread: the walk's lists become the shown ones; the tree gets
// their items and the thumbnail grid, whose tiles named the old records, is
// built anew.
void InstallWalk(Walk& walk) {
    g_shown.Lists = std::move(walk.lists);
    g_shown.Generation++;
    HWND tree = bar::Control(ids::kTree);
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    AddCardItems(tree, bar::TreeRoot(), walk.stored);
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
    RebuildThumbsAfterWalk();
}

}  // namespace

uint8_t TFA_CreateTree() {
    if (TFA_CheckUpdate() == 0) {
        cardthread::OnUi([] { g_treeRequested = false; });
        return 0;
    }
    std::wstring caption = RootCaption();
    cardthread::OnUi([caption] { StartTree(caption); });
    std::shared_ptr<Walk> walk = WalkCard();
    cardthread::OnUi([walk] {
        g_treeRequested = false;
        InstallWalk(*walk);
    });
    return static_cast<uint8_t>(std::min<size_t>(g_card.Lists.CardRecords.size(), 255));
}

ShownCard& Shown() { return g_shown; }

void RequestTree() {
    if (g_treeRequested) return;
    g_treeRequested = cardthread::Run([] { TFA_CreateTree(); });
}

void MarkTreeItemStored(HTREEITEM item) {
    if (!item) return;
    TVITEMW tv{};
    tv.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tv.hItem = item;
    tv.iImage = tv.iSelectedImage = kLoadedImage;
    TreeView_SetItem(bar::Control(ids::kTree), &tv);
}

namespace {

// The first file item (below a folder below the root) whose data matches.
template <typename Match>
HTREEITEM FindFileItem(Match match) {
    HWND tree = bar::Control(ids::kTree);
    HTREEITEM root = TreeView_GetRoot(tree);
    for (HTREEITEM folder = TreeView_GetChild(tree, root); folder; folder = TreeView_GetNextSibling(tree, folder)) {
        for (HTREEITEM file = TreeView_GetChild(tree, folder); file; file = TreeView_GetNextSibling(tree, file)) {
            TVITEMW tv{};
            tv.mask = TVIF_HANDLE | TVIF_PARAM;
            tv.hItem = file;
            if (TreeView_GetItem(tree, &tv) && match(static_cast<int32_t>(tv.lParam))) return file;
        }
    }
    return nullptr;
}

}  // namespace

HTREEITEM FindTreeItemOf(int32_t index) {
    return FindFileItem([index](int32_t data) { return data == index; });
}

void MarkFileStored(const std::wstring& directory, const std::wstring& name) {
    MarkTreeItemStored(FindFileItem([&](int32_t data) {
        const card::CardFileRecord* r = g_shown.Lists.Record(data);
        return r && r->Directory == directory && r->Name == name;
    }));
}
