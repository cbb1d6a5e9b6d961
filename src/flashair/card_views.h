// Builders of the card's views in the info panel: the file tree and the
// thumbnail grid.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

// Walks the card and rebuilds the tree (control 111): the root "SSID
// (address)", the folders sorted, each with its files sorted; files in the
// storage folder carry the tree image for loaded files. 0 when the card did
// not answer (the old tree stays), else the number of card entries, at most
// 255.
uint8_t TFA_CreateTree();

// Gives a file item the mark of a file present in the storage folder.
void MarkTreeItemStored(HTREEITEM item);
// The first file item (below the root) whose data is the record index.
HTREEITEM FindTreeItemOf(int32_t index);
