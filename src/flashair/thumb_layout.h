// The thumbnail grid's pure parts: which files get a tile, the tile's
// caption and where its three controls go.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace thumbs {

// Only complete pictures of the camera folder itself get a tile.
bool WantsTile(std::wstring_view directory, std::wstring_view name, int64_t size, std::wstring_view cameraPath,
               std::wstring_view hiResExt, std::wstring_view loResExt);
// Only JPEG files have a thumbnail on the card.
bool HasCardThumbnail(std::wstring_view name);
// "directory/name", shortened in the middle to 18 + " ... " + 18 characters.
std::wstring Caption(std::wstring_view directory, std::wstring_view name);

struct TileRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const TileRect&, const TileRect&) = default;
};
struct TileLayout {
    TileRect picture, toggle, caption;
};
// Tile at grid position (column, row).
TileLayout LayoutTile(int32_t column, int32_t row, int32_t thumbSize, int32_t thumbSelSize, int32_t buttonSpace);

}  // namespace thumbs
