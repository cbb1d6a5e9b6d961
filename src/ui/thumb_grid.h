// The thumbnail grid of the info panel: one tile (picture, toggle, caption)
// per picture of each card's camera folder, card by card, built from the
// shown card lists, with the decoded thumbnails and the toggles' faces.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/bar/thumb_layout.h"
#include "model/bar/thumb_picks.h"
#include "model/bar/tree_menu_logic.h"
#include "model/pictures/picture.h"
#include "win/images.h"

namespace ui {

class Bar;

// A thumbnail the grid has no picture for: fetched by the program above.
struct ThumbRequest {
    size_t card = 0;
    int32_t index = 0;
    model::PictureId id;                 // the picture (its folder as the card lists it)
    std::string rawDirectory, rawName;  // the card's own spelling
};

class ThumbGrid {
public:
    explicit ThumbGrid(Bar& bar) : bar_(bar) {}

    // Rebuilds the tiles of every card's shown lists at once, with the
    // pictures known so far; `wanted` gets the thumbnails to fetch. Returns
    // the rows + 1.
    int32_t Build(std::vector<ThumbRequest>& wanted);
    // Sizes the scrolling area to the grid as built (rows + 1 as Build gave).
    void SizeArea(int32_t rows);
    // Empties the grid: it is built anew when shown.
    void Clear();
    // Rows of the built grid; 0 = not built.
    int32_t ThumbRowCount() const { return rowCount_; }
    void ForgetRows() { rowCount_ = 0; }
    int32_t LastBuild() const { return lastBuild_; }

    // A picture fetched for a record's tile (`key`: the card picture's
    // identity); dropped when a walk has replaced the records since it was
    // asked for.
    void PictureArrived(size_t card, uint32_t generation, int32_t index, const std::wstring& key,
                        win::Picture picture);

    // The tile a control of the grid is part of (None for other controls).
    model::TileRef TileOfControl(int id) const;
    // The card path of the file a tile's control shows; nothing for another control.
    std::optional<std::wstring> CardPathOfControl(int id) const;
    // A control of the record's tile; nullptr when the grid has no such tile.
    HWND TileControl(model::TileKey tile, model::TilePart part) const;
    // Paints a tile's picture (owner-drawn button); false when not a tile.
    bool DrawTile(const DRAWITEMSTRUCT& di);
    // Shows the toggle face for the record's storage state and check state.
    void RefreshToggleFace(model::TileKey tile);
    // Sets the record's toggle picked or not, with its face.
    void SetPicked(model::TileKey tile, bool picked);
    // The grid is on show.
    bool Visible() const;
    // The pictures picked, kept across rebuilds; nullptr before the bar is open.
    model::Picks* Picks() const;
    // Every tile in display order with its toggle's state.
    std::vector<model::Cell> Cells() const;

private:
    HWND Area() const;
    const win::Picture* PictureOf(int32_t number) const;
    void DestroyTiles();

    Bar& bar_;
    model::CardFileRecord* RecordOf(model::TileKey tile) const;
    // The tiles of one card after those before it; false once the grid is full.
    bool AddTiles(size_t card, int32_t& column, int32_t& row, std::vector<ThumbRequest>& wanted);

    std::vector<model::TileKey> tiles_;           // by grid position
    std::map<model::TileKey, size_t> positionOf_;  // grid position of each tile
    int32_t rowCount_ = 0;
    int32_t lastBuild_ = 0;
    // Decoded thumbnails; image number n is entry n - 1. A picture's
    // thumbnail is decoded once per run: every card walk empties the
    // records, and decoding again on each refresh would pile up a bitmap per
    // tile until the system's GDI quota runs out. By the card picture's
    // identity: a name may come back as another picture.
    std::vector<win::Picture> pictures_;
    std::map<std::wstring, int32_t> pictureOf_;
};

}  // namespace ui
