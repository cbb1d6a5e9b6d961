// The card tree of the info panel (control 111): a root per card with the
// items of its last walk, the lists the tree and the thumbnail grid show of
// each card, the "stored" marks, and the selected item.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "model/pictures/card_list.h"
#include "win/handle.h"

namespace ui {

class Bar;

// A card as the tree and the thumbnail grid show it: the lists of its last
// walk, handed over by its card thread. Generation grows with every walk, so
// work handed out before it can tell that the records it named were replaced.
struct ShownCard {
    model::CardLists Lists;
    uint32_t Generation = 0;
    // The camera folder whose pictures get tiles; nothing: [TFA] Path.
    std::optional<std::wstring> CameraPath;
};

// What a walk hands to the tree: the sorted lists, per file whether it lies
// in the storage folder (looked up on the card thread), and the camera
// folder the card had then.
struct Walk {
    model::CardLists lists;
    std::vector<bool> stored;
    std::wstring cameraPath;
};

class CardTree {
public:
    explicit CardTree(Bar& bar) : bar_(bar) {}

    // The cards are numbered as their roots, from 0.
    ShownCard& Shown(size_t card = 0);
    size_t CardCount() const { return shown_.size(); }
    // The root of the next card, before its first walk (named after the card).
    void AddStartRoot(const std::wstring& caption);
    // The card's root emptied and captioned anew, in its place, as a walk begins.
    void Start(size_t card, const std::wstring& caption);
    // The walk's lists become the card's shown ones; its root gets their items.
    void Install(size_t card, Walk& walk);
    UINT ItemCount() const;
    // The card's root has nothing below it yet (the card is to be walked);
    // without a card: any card's root.
    bool WantsWalk(std::optional<size_t> card = std::nullopt) const;

    struct Selection {
        HTREEITEM item = nullptr;
        std::wstring text;
        LPARAM data = 0;
        size_t card = 0;  // the card whose root the item is, or is below
    };
    Selection Selected() const;
    // Also true with nothing selected: the items for a file or folder need one.
    bool IsRoot(const Selection& sel) const;

    // Gives a file item the mark of a file present in the storage folder.
    void MarkStored(HTREEITEM item);
    // The first file item of the card (below a folder) whose data is the record index.
    HTREEITEM FindItemOf(size_t card, int32_t index) const;
    // Marks the item of the card's file directory/name, when the tree shows it.
    void MarkFileStored(size_t card, const std::wstring& directory, const std::wstring& name);
    // Makes the icons anew at the bar's DPI (when the tree has them yet).
    void ScaleImages();

private:
    HWND Control() const;
    void AttachImages();
    void MakeImages();
    HTREEITEM AddItem(HTREEITEM parent, HTREEITEM after, const std::wstring& text, int image, LPARAM data);
    void AddCardItems(size_t card, const std::vector<bool>& stored);
    template <typename Match>
    HTREEITEM FindFileItem(size_t card, Match match) const;

    Bar& bar_;
    std::deque<ShownCard> shown_;  // by card; grows only, so references stay
    std::vector<HTREEITEM> roots_;  // by card; nullptr before its first root
    win::Owned<HIMAGELIST, win::ImageListTraits> images_;
};

}  // namespace ui
