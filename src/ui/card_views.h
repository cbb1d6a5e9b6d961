// Builders of the card's views in the info panel: the file tree, and the
// lists of the last card walk that the tree and the thumbnail grid show.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

#include "model/card_list.h"

// Card thread: walks the card and has the interface rebuild the tree
// (control 111): the root "SSID (address)", the folders sorted, each with its
// files sorted; files in the storage folder carry the tree image for loaded
// files. 0 when the card did not answer (the old tree stays), else the
// number of card entries, at most 255.
uint8_t TFA_CreateTree();

// The card as the tree and the thumbnail grid show it: the lists of the last
// walk, handed over by the card thread. Interface thread only. Generation
// grows with every walk, so work handed out before it can tell that the
// records it named have been replaced.
struct ShownCard {
    card::CardLists Lists;
    uint32_t Generation = 0;
};
ShownCard& Shown();

// Interface thread: has the card walked and the tree rebuilt (once, while a
// request is under way).
void RequestTree();

// Gives a file item the mark of a file present in the storage folder.
void MarkTreeItemStored(HTREEITEM item);
// The first file item (below the root) whose data is the record index.
HTREEITEM FindTreeItemOf(int32_t index);
// Marks the item of the card file directory/name, when the tree shows it.
void MarkFileStored(const std::wstring& directory, const std::wstring& name);
