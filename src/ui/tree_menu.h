// What the user does with the card tree and the thumbnail grid: the tree's
// popup menu, the file report, show-or-transfer, and the toggle selection.
#pragma once

#include <cstdint>
#include <string>

void WLX_TREE_POP_EnaDis();
// Menu choice 161..171 for the selected tree item; returns 1 file, 2 folder.
uint8_t WLX_TREE_POP(int menuId);
// "transferfile" or "showfileinfo" on the record at position index.
int32_t WLX_TREE_POP(const std::wstring& command, int32_t index);
// "normal", "shift", "ctrl" after a toggle click; "transferfile" refreshes
// one cell's faces and tree mark.
int32_t WLX_THUMB_State(const std::wstring& mode, int32_t index);

// Button 1 with the thumbnail view shown: has every checked cell transferred
// to the storage folder, in display order, on the card thread. False when
// there was nothing to do.
bool TransferSelectedThumbnails();
