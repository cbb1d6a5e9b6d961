// The thumbnail grid of the info panel: card thumbnails fetched once into a
// disk cache, one tile (picture, toggle, caption) per picture of the camera
// folder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Image number of the fetched thumbnail of a card JPEG, or 0.
int32_t TFA_TransferThumb(const std::wstring& name, const std::wstring& directory);
// Rebuilds the tiles; returns the number of rows + 1.
int32_t TFA_CreateThumbs();

// Record index of the n-th tile (0-based here) and the number of tiles.
extern std::vector<int32_t> ThumbIndexList;
extern int32_t ThumbCount;

namespace thumbs {
// Paints a tile's picture (owner-drawn button); false when not a tile.
bool DrawTile(const DRAWITEMSTRUCT& di);
// Shows the toggle face for the record's storage state and check state.
void RefreshToggleFace(int32_t index);
}  // namespace thumbs
