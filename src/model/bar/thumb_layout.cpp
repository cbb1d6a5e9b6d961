// Thumbnail tiles: selection, captions, layout.
#include "model/bar/thumb_layout.h"

#include "base/str.h"
#include "model/pictures/card_list.h"

namespace model {

namespace {

constexpr size_t kCaptionLimit = 36;
constexpr size_t kCaptionKeep = 18;

}  // namespace

bool WantsTile(std::wstring_view directory, std::wstring_view name, int64_t size, std::wstring_view cameraPath,
               std::wstring_view hiResExt, std::wstring_view loResExt) {
    std::wstring wanted = L"/" + std::wstring(cameraPath);
    return directory == wanted && !name.empty() && size > 0 &&
           (IsOfKind(name, hiResExt) || IsOfKind(name, loResExt));
}


std::wstring Caption(std::wstring_view directory, std::wstring_view name) {
    std::wstring caption = std::wstring(directory) + L"/" + std::wstring(name);
    if (caption.size() <= kCaptionLimit) return caption;
    return caption.substr(0, kCaptionKeep) + L" ... " + caption.substr(caption.size() - kCaptionKeep);
}

TileLayout LayoutTile(int32_t column, int32_t row, int32_t thumbSize, int32_t thumbSelSize, int32_t buttonSpace) {
    int32_t x = column * (buttonSpace + thumbSize);
    int32_t y = row * (buttonSpace + thumbSize + thumbSelSize);
    TileLayout t;
    t.picture = {x, y, thumbSize, thumbSize};
    t.toggle = {x, y + thumbSize + 1, thumbSelSize, thumbSelSize};
    t.caption = {x + thumbSelSize, y + thumbSize + 1, thumbSize - thumbSelSize, thumbSelSize};
    return t;
}

namespace {

bool HasRecordIds(TileKey tile) { return tile.card == 0 && tile.record > 0 && tile.record < 1000; }

}  // namespace

std::optional<TileIds> TileIdsFor(TileKey tile, size_t position) {
    if (HasRecordIds(tile)) return TileIds{kFirstRecordTileId + tile.record, 2000 + tile.record, 3000 + tile.record};
    if (position >= static_cast<size_t>(kPositionTileIdEnd - kPositionTileIdBase) / 3) return std::nullopt;
    int32_t first = kPositionTileIdBase + 3 * static_cast<int32_t>(position);
    return TileIds{first, first + 1, first + 2};
}

TileRef TileOfId(int32_t id, const std::vector<TileKey>& tileOfPosition) {
    if (id >= kFirstRecordTileId && id < kRecordTileIdEnd) {
        int32_t k = id % 1000;
        if (k == 0) return {};
        return {static_cast<TilePart>(static_cast<int>(TilePart::Picture) + id / 1000 - 1), k};
    }
    if (id < kPositionTileIdBase || id >= kPositionTileIdEnd) return {};
    size_t position = static_cast<size_t>(id - kPositionTileIdBase) / 3;
    if (position >= tileOfPosition.size()) return {};
    const TileKey tile = tileOfPosition[position];
    if (HasRecordIds(tile)) return {};  // that tile has ids of the first kind
    return {static_cast<TilePart>(static_cast<int>(TilePart::Picture) + (id - kPositionTileIdBase) % 3), tile.record,
            tile.card};
}

}  // namespace model
