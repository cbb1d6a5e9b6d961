// The thumbnail grid of the info panel: card thumbnails fetched once into a
// disk cache on the card thread, one tile (picture, toggle, caption) per
// picture of the camera folder built on the interface thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "model/thumb_layout.h"

// Card thread: fetches the thumbnail of a card JPEG into the cache unless it
// is there already; 1 when the cache holds it, else 0.
int32_t TFA_TransferThumb(const std::wstring& name, const std::wstring& directory);
// Interface thread: rebuilds the tiles of the shown card lists at once, with
// the pictures known so far; the missing ones are fetched on the card thread
// and appear as they arrive. Returns the number of rows + 1.
int32_t TFA_CreateThumbs();

// Record index of the n-th tile (0-based here) and the number of tiles.
extern std::vector<int32_t> ThumbIndexList;
extern int32_t ThumbCount;

// After a new card walk: the tiles named the old records. The grid is
// emptied, and built anew when it is shown.
void RebuildThumbsAfterWalk();

namespace thumbs {
// The tile a control of the grid is part of (None for other controls).
TileRef TileOfControl(int id);
// A control of the record's tile; nullptr when the grid has no such tile.
HWND TileControl(int32_t index, TilePart part);
// Builds the grid and sizes the scrolling area to it.
void BuildGrid();
// Paints a tile's picture (owner-drawn button); false when not a tile.
bool DrawTile(const DRAWITEMSTRUCT& di);
// Shows the toggle face for the record's storage state and check state.
void RefreshToggleFace(int32_t index);
}  // namespace thumbs
