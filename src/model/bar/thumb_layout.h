// The thumbnail grid's pure parts: which files get a tile, the tile's
// caption and where its three controls go.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/pictures/picture.h"

namespace model {

// Only complete pictures of the camera folder itself get a tile.
bool WantsTile(std::wstring_view directory, std::wstring_view name, int64_t size, std::wstring_view cameraPath,
               std::wstring_view hiResExt, std::wstring_view loResExt);
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

// A tile's picture: the card it is on (its place in [TFA] Url) and its
// record in that card's walk. Ordered card by card, as the grid shows them.
struct TileKey {
    size_t card = 0;
    int32_t record = 0;
    friend auto operator<=>(const TileKey&, const TileKey&) = default;
};

// Control ids of a tile. The tile of the first card's record k below 1000
// has 1000 + k, 2000 + k and 3000 + k; later records and every other card's
// tiles have ids of a range of their own, three per grid position, so the
// grid holds every picture of every camera folder.
inline constexpr int32_t kFirstRecordTileId = 1000, kRecordTileIdEnd = 4000;
inline constexpr int32_t kPositionTileIdBase = 10000, kPositionTileIdEnd = 65536;
struct TileIds {
    int32_t picture = 0, toggle = 0, caption = 0;
};
// Nothing when the position is beyond every id (the grid is full).
std::optional<TileIds> TileIdsFor(TileKey tile, size_t position);

enum class TilePart { None, Picture, Toggle, Caption };
struct TileRef {
    TilePart part = TilePart::None;
    int32_t recordIndex = 0;
    size_t card = 0;
};
// The tile a control id names, with the grid's tiles by position.
TileRef TileOfId(int32_t id, const std::vector<TileKey>& tileOfPosition);

}  // namespace model
