// The card tree of the info panel (control 111): the lists of the last card
// walk that the tree and the thumbnail grid show, the tree's items and their
// "stored" marks, and the selected item.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "model/pictures/card_list.h"
#include "win/handle.h"

namespace ui {

class Bar;

// The card as the tree and the thumbnail grid show it: the lists of the last
// walk, handed over by the card thread. Generation grows with every walk, so
// work handed out before it can tell that the records it named were replaced.
struct ShownCard {
    model::CardLists Lists;
    uint32_t Generation = 0;
};

// What a walk hands to the tree: the sorted lists and, per file, whether it
// lies in the storage folder (looked up on the card thread).
struct Walk {
    model::CardLists lists;
    std::vector<bool> stored;
};

class CardTree {
public:
    explicit CardTree(Bar& bar) : bar_(bar) {}

    ShownCard& Shown() { return shown_; }
    // The root the bar starts with, named after the card ([TFA] OccurenceName).
    void AddStartRoot(const std::wstring& caption);
    // An empty tree with its root, as a walk begins.
    void Start(const std::wstring& caption);
    // The walk's lists become the shown ones; the tree gets their items.
    void Install(Walk& walk);
    UINT ItemCount() const;

    struct Selection {
        HTREEITEM item = nullptr;
        std::wstring text;
        LPARAM data = 0;
    };
    Selection Selected() const;
    // Also true with nothing selected: the items for a file or folder need one.
    bool IsRoot(const Selection& sel) const;

    // Gives a file item the mark of a file present in the storage folder.
    void MarkStored(HTREEITEM item);
    // The first file item (below a folder) whose data is the record index.
    HTREEITEM FindItemOf(int32_t index) const;
    // Marks the item of the card file directory/name, when the tree shows it.
    void MarkFileStored(const std::wstring& directory, const std::wstring& name);
    // Makes the icons anew at the bar's DPI (when the tree has them yet).
    void ScaleImages();

private:
    HWND Control() const;
    void AttachImages();
    void MakeImages();
    HTREEITEM AddItem(HTREEITEM parent, const std::wstring& text, int image, LPARAM data);
    void AddCardItems(const std::vector<bool>& stored);
    template <typename Match>
    HTREEITEM FindFileItem(Match match) const;

    Bar& bar_;
    ShownCard shown_;
    HTREEITEM root_ = nullptr;
    win::Owned<HIMAGELIST, win::ImageListTraits> images_;
};

}  // namespace ui
