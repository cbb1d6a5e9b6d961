// The card tree: its items from the walk's sorted lists, the icons and the
// marks of stored files.
#include "ui/card_tree.h"

#include "model/bar/tree_order.h"
#include "model/common/ids.h"
#include "ui/bar.h"
#include "win/dpi.h"

namespace ui {

namespace {

// Index 0 is a blank in the tree's background, so items "without image"
// keep their text aligned with the marked ones; 1..4 are Tree_1..Tree_4.
constexpr int kNoImage = 0;
constexpr int kLoadedImage = 1;
constexpr int kTreeIconCount = 4;

// The picture scaled onto an icon-sized bitmap over the background colour.
win::Bitmap IconBitmap(const win::Picture* picture, int size, COLORREF background) {
    HDC screen = GetDC(nullptr);
    win::Bitmap bitmap(CreateCompatibleBitmap(screen, size, size));
    win::MemoryDC dc(screen);
    ReleaseDC(nullptr, screen);
    if (!bitmap || !dc) return bitmap;
    win::ScopedSelect select(dc.get(), bitmap.get());
    RECT rc{0, 0, size, size};
    win::Brush brush(CreateSolidBrush(background));
    FillRect(dc.get(), &rc, brush.get());
    if (picture && *picture) win::DrawScaled(dc.get(), *picture, rc, true);
    return bitmap;
}

}  // namespace

HWND CardTree::Control() const { return bar_.Control(model::ids::kTree); }

void CardTree::AttachImages() {
    if (!images_) MakeImages();
}

void CardTree::ScaleImages() {
    if (images_) MakeImages();
}

void CardTree::MakeImages() {
    HWND tree = Control();
    int size = win::MetricForDpi(SM_CYSMICON, bar_.Dpi());
    win::Owned<HIMAGELIST, win::ImageListTraits> list(
        ImageList_Create(size, size, ILC_COLOR32, kTreeIconCount + 1, 0));
    if (!list) return;
    COLORREF background = TreeView_GetBkColor(tree);
    ImageList_Add(list.get(), IconBitmap(nullptr, size, background).get(), nullptr);
    for (int i = 0; i < kTreeIconCount; i++)
        ImageList_Add(list.get(), IconBitmap(bar_.Image(model::ids::kFirstTreeImage + i), size, background).get(), nullptr);
    // The tree lets go of the old list before it is destroyed.
    TreeView_SetImageList(tree, list.get(), TVSIL_NORMAL);
    images_ = std::move(list);
}

ShownCard& CardTree::Shown(size_t card) {
    // A card without a walk yet shows nothing.
    if (card >= shown_.size()) shown_.resize(card + 1);
    return shown_[card];
}

HTREEITEM CardTree::AddItem(HTREEITEM parent, HTREEITEM after, const std::wstring& text, int image, LPARAM data) {
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = after;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    ins.item.pszText = const_cast<wchar_t*>(text.c_str());
    ins.item.iImage = ins.item.iSelectedImage = image;
    ins.item.lParam = data;
    return TreeView_InsertItem(Control(), &ins);
}

void CardTree::AddStartRoot(const std::wstring& caption) {
    TVINSERTSTRUCTW ins{};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT;
    ins.item.pszText = const_cast<wchar_t*>(caption.c_str());
    roots_.push_back(TreeView_InsertItem(Control(), &ins));
    Shown(roots_.size() - 1);
}

void CardTree::Start(size_t card, const std::wstring& caption) {
    AttachImages();
    if (card >= roots_.size()) roots_.resize(card + 1, nullptr);
    Shown(card);
    HWND tree = Control();
    if (roots_[card]) TreeView_DeleteItem(tree, roots_[card]);
    // In its place among the others: after the nearest card before it that has a root.
    HTREEITEM after = TVI_FIRST;
    for (size_t c = card; c-- > 0;)
        if (roots_[c]) {
            after = roots_[c];
            break;
        }
    roots_[card] = AddItem(TVI_ROOT, after, caption, kNoImage, 0);
}

void CardTree::AddCardItems(size_t card, const std::vector<bool>& stored) {
    HWND tree = Control();
    const model::CardLists& lists = shown_[card].Lists;
    const HTREEITEM root = roots_[card];
    HTREEITEM folder = nullptr;
    for (const model::TreeRow& row : model::TreeRows(lists.CardDirectories, lists.CardFiles)) {
        if (row.level == 1) {
            if (folder) TreeView_Expand(tree, folder, TVE_EXPAND);
            folder = AddItem(root, TVI_LAST, *row.text, kNoImage, 0);
            continue;
        }
        size_t at = static_cast<size_t>(row.file - lists.CardFiles.data());
        bool isStored = at < stored.size() && stored[at];
        AddItem(folder, TVI_LAST, *row.text, isStored ? kLoadedImage : kNoImage, row.file->RecordIndex);
    }
    if (folder) TreeView_Expand(tree, folder, TVE_EXPAND);
    TreeView_Expand(tree, root, TVE_EXPAND);
}

void CardTree::Install(size_t card, Walk& walk) {
    ShownCard& shown = Shown(card);
    shown.Lists = std::move(walk.lists);
    shown.Generation++;
    if (card >= roots_.size() || !roots_[card]) return;  // every walk starts with its root
    HWND tree = Control();
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    AddCardItems(card, walk.stored);
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
}

UINT CardTree::ItemCount() const { return TreeView_GetCount(Control()); }

bool CardTree::WantsWalk(std::optional<size_t> card) const {
    HWND tree = Control();
    for (size_t c = 0; c < roots_.size(); c++)
        if ((!card || c == *card) && roots_[c] && !TreeView_GetChild(tree, roots_[c])) return true;
    return false;
}

CardTree::Selection CardTree::Selected() const {
    HWND tree = Control();
    Selection sel;
    sel.item = TreeView_GetSelection(tree);
    if (!sel.item) return sel;
    HTREEITEM top = sel.item;
    while (HTREEITEM up = TreeView_GetParent(tree, top)) top = up;
    for (size_t c = 0; c < roots_.size(); c++)
        if (roots_[c] == top) sel.card = c;
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

bool CardTree::IsRoot(const Selection& sel) const { return !sel.item || !TreeView_GetParent(Control(), sel.item); }

void CardTree::MarkStored(HTREEITEM item) {
    if (!item) return;
    TVITEMW tv{};
    tv.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tv.hItem = item;
    tv.iImage = tv.iSelectedImage = kLoadedImage;
    TreeView_SetItem(Control(), &tv);
}

template <typename Match>
HTREEITEM CardTree::FindFileItem(size_t card, Match match) const {
    HWND tree = Control();
    HTREEITEM root = card < roots_.size() ? roots_[card] : nullptr;
    if (!root) return nullptr;
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

HTREEITEM CardTree::FindItemOf(size_t card, int32_t index) const {
    return FindFileItem(card, [index](int32_t data) { return data == index; });
}

void CardTree::MarkFileStored(size_t card, const std::wstring& directory, const std::wstring& name) {
    if (card >= shown_.size()) return;
    MarkStored(FindFileItem(card, [&](int32_t data) {
        const model::CardFileRecord* r = shown_[card].Lists.Record(data);
        return r && r->Directory == directory && r->Name == name;
    }));
}

}  // namespace ui
