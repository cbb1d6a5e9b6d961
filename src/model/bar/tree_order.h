// The order of the card tree: folders sorted, each followed by its files
// sorted. Stable sorts by code unit, so equal texts keep the card's order.
// No platform headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/pictures/card_list.h"

namespace model {

// Sorts the walk's folders, and its files by FullPath, in place (the
// thumbnail view takes the files in this order too).
void SortForTree(std::vector<std::wstring>& directories, std::vector<CardFileEntry>& files);

// One item below the tree's root: a folder (level 1, file nullptr) or a file
// of the folder before it (level 2).
struct TreeRow {
    int level = 1;
    const std::wstring* text = nullptr;
    const CardFileEntry* file = nullptr;
};

// Rows from sorted lists: every folder, then the files whose Directory is
// exactly that folder's text. Files of the root and of folders not listed get
// no row. The rows point into the lists given.
std::vector<TreeRow> TreeRows(const std::vector<std::wstring>& directories, const std::vector<CardFileEntry>& files);

}  // namespace model
