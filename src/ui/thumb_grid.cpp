// The thumbnail grid: tiles, their pictures and the toggles' faces.
#include "ui/thumb_grid.h"

#include "base/fs.h"
#include "base/str.h"
#include "model/bar/placement.h"
#include "model/common/ids.h"
#include "model/settings/folders.h"
#include "ui/bar.h"
#include "ui/theme.h"
#include "ui/thumb_area.h"

namespace ui {

namespace {

constexpr int32_t kDefaultPicture = -1;  // the [Graphics] Thumb picture

HWND MakeTileControl(HWND area, int id, const model::TileRect& r, DWORD style, const std::wstring& text,
                     HFONT font) {
    HWND h = CreateWindowExW(0, L"BUTTON", text.c_str(), WS_CHILD | WS_VISIBLE | style, r.x, r.y, r.width, r.height,
                             area, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                             nullptr);
    // The dialog font: the caption's path fits in two lines of the tile.
    if (h) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return h;
}

}  // namespace

HWND ThumbGrid::Area() const { return bar_.Control(model::ids::kThumbArea); }

const win::Picture* ThumbGrid::PictureOf(int32_t number) const {
    if (number == kDefaultPicture) return &bar_.ThumbPicture();
    if (number < 1 || static_cast<size_t>(number) > pictures_.size()) return nullptr;
    return &pictures_[static_cast<size_t>(number - 1)];
}

model::CardFileRecord* ThumbGrid::RecordOf(model::TileKey tile) const {
    CardTree& tree = bar_.Tree();
    return tile.card < tree.CardCount() ? tree.Shown(tile.card).Lists.Record(tile.record) : nullptr;
}

void ThumbGrid::DestroyTiles() {
    HWND area = Area();
    // Children are destroyed from the last, so the walk stays valid.
    while (HWND child = GetWindow(area, GW_CHILD)) {
        bar_.RemoveTip(child);
        DestroyWindow(child);
    }
    tiles_.clear();
    positionOf_.clear();
}

void ThumbGrid::Clear() {
    DestroyTiles();
    rowCount_ = 0;
}

int32_t ThumbGrid::Build(std::vector<ThumbRequest>& wanted) {
    DestroyTiles();
    int32_t column = 0, row = 0;
    for (size_t card = 0; card < bar_.Tree().CardCount(); card++)
        if (!AddTiles(card, column, row, wanted)) break;
    rowCount_ = row;
    lastBuild_ = row + 1;
    return lastBuild_;
}

bool ThumbGrid::AddTiles(size_t card, int32_t& column, int32_t& row, std::vector<ThumbRequest>& wanted) {
    HWND area = Area();
    const model::Settings& s = bar_.Config();
    const model::Settings& sizes = bar_.Sizes();
    const HFONT font = bar_.CaptionFont();
    ShownCard& shown = bar_.Tree().Shown(card);
    model::CardLists& lists = shown.Lists;
    const std::wstring& cameraPath = shown.CameraPath ? *shown.CameraPath : s.Path;
    for (const model::CardFileEntry& entry : lists.CardFiles) {
        model::CardFileRecord* r = lists.Record(entry.RecordIndex);
        if (!r || !model::WantsTile(r->Directory, r->Name, r->Size, cameraPath, s.TransferHiRes, s.TransferLoRes))
            continue;
        const model::TileKey key{card, r->Index};
        std::optional<model::TileIds> tileIds = model::TileIdsFor(key, tiles_.size());
        model::TileLayout t = model::LayoutTile(column, row, sizes.ThumbSize, sizes.ThumbSelSize, sizes.ButtonSpace);
        HWND picture = tileIds ? MakeTileControl(area, tileIds->picture, t.picture, BS_OWNERDRAW, L"", font) : nullptr;
        if (!picture) {
            // Out of control ids or of the system's window quota.
            bar_.ShowInfo(L"Thumbnails: only the first " + str::FromInt(static_cast<int64_t>(tiles_.size())) +
                          L" pictures of the camera folder fit the grid");
            return false;
        }
        if (r->ThumbImage == 0 || r->ThumbImage == kDefaultPicture) {
            auto known = pictureOf_.find(model::IdOf(*r).Key());
            r->ThumbImage = known != pictureOf_.end() ? known->second : kDefaultPicture;
            if (r->ThumbImage == kDefaultPicture && model::HasCardThumbnail(r->Name))
                wanted.push_back({card, r->Index, model::IdOf(*r), r->RawDirectory, r->RawName});
        }
        HWND toggle = MakeTileControl(area, tileIds->toggle, t.toggle, BS_PUSHLIKE | BS_AUTOCHECKBOX | BS_BITMAP, L"", font);
        positionOf_[key] = tiles_.size();
        tiles_.push_back(key);
        HWND caption = MakeTileControl(area, tileIds->caption, t.caption, BS_MULTILINE | BS_LEFT | BS_FLAT,
                                       model::Caption(r->Directory, r->Name), font);
        // The caption shortens the path; the tooltip has it whole.
        bar_.AddTip(picture);
        bar_.AddTip(caption);
        r->ThumbControl = tileIds->picture;
        r->SelectControl = tileIds->toggle;
        r->LabelControl = tileIds->caption;
        // Records are made anew by every card walk; the picks are kept.
        if (const model::Picks* picks = PicksOf(area)) r->Selected = picks->Has(card, r->Directory, r->Name);
        SendMessageW(toggle, BM_SETCHECK, r->Selected ? BST_CHECKED : BST_UNCHECKED, 0);
        RefreshToggleFace(key);
        if (++column == sizes.ThumbCols) {
            column = 0;
            row++;
        }
    }
    return true;
}

void ThumbGrid::SizeArea(int32_t rows) {
    const model::Settings& s = bar_.Sizes();
    SetThumbAreaInnerSize(Area(), model::ThumbAreaInnerWidth(s.ThumbCols, s.ThumbSize, s.ButtonSpace),
                            model::ThumbAreaInnerHeight(rows, s.ThumbSize, s.ThumbSelSize, s.ButtonSpace));
}

void ThumbGrid::PictureArrived(size_t card, uint32_t generation, int32_t index, const std::wstring& key,
                               win::Picture picture) {
    if (card >= bar_.Tree().CardCount() || generation != bar_.Tree().Shown(card).Generation) return;
    model::CardFileRecord* r = RecordOf({card, index});
    if (!r) return;
    auto known = pictureOf_.find(key);
    if (known != pictureOf_.end()) {
        r->ThumbImage = known->second;
    } else {
        pictures_.push_back(std::move(picture));
        r->ThumbImage = static_cast<int32_t>(pictures_.size());
        pictureOf_.emplace(key, r->ThumbImage);
    }
    if (HWND tile = TileControl({card, index}, model::TilePart::Picture)) InvalidateRect(tile, nullptr, FALSE);
}

model::TileRef ThumbGrid::TileOfControl(int id) const { return model::TileOfId(id, tiles_); }

std::optional<std::wstring> ThumbGrid::CardPathOfControl(int id) const {
    model::TileRef tile = TileOfControl(id);
    if (tile.part == model::TilePart::None) return std::nullopt;
    const model::CardFileRecord* r = RecordOf({tile.card, tile.recordIndex});
    if (!r) return std::nullopt;
    return (r->Directory == L"/" ? L"" : r->Directory) + L"/" + r->Name;
}

HWND ThumbGrid::TileControl(model::TileKey tile, model::TilePart part) const {
    auto at = positionOf_.find(tile);
    if (at == positionOf_.end()) return nullptr;
    std::optional<model::TileIds> ids = model::TileIdsFor(tile, at->second);
    if (!ids) return nullptr;
    int id = part == model::TilePart::Picture ? ids->picture
             : part == model::TilePart::Toggle ? ids->toggle
                                                : ids->caption;
    return GetDlgItem(Area(), id);
}

bool ThumbGrid::DrawTile(const DRAWITEMSTRUCT& di) {
    model::TileRef tile = TileOfControl(static_cast<int>(di.CtlID));
    if (tile.part != model::TilePart::Picture) return false;
    win::Brush back(CreateSolidBrush(theme::kBackground));
    FillRect(di.hDC, &di.rcItem, back.get());
    const model::CardFileRecord* r = RecordOf({tile.card, tile.recordIndex});
    if (const win::Picture* pic = r ? PictureOf(r->ThumbImage) : nullptr)
        win::DrawScaled(di.hDC, *pic, di.rcItem, true);
    return true;
}

void ThumbGrid::RefreshToggleFace(model::TileKey tile) {
    const model::CardFileRecord* r = RecordOf(tile);
    HWND toggle = TileControl(tile, model::TilePart::Toggle);
    if (!r || !toggle) return;
    bool stored = fs::IsNonEmptyFile(model::StoreFile(bar_.Config(), model::Store::Storage, r->Name));
    bool checked = SendMessageW(toggle, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const win::Picture& face = bar_.ToggleFace((stored ? 2 : 0) + (checked ? 1 : 0));
    SendMessageW(toggle, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(face.bitmap.get()));
}

void ThumbGrid::SetPicked(model::TileKey tile, bool picked) {
    if (HWND toggle = TileControl(tile, model::TilePart::Toggle))
        SendMessageW(toggle, BM_SETCHECK, picked ? BST_CHECKED : BST_UNCHECKED, 0);
    RefreshToggleFace(tile);
}

bool ThumbGrid::Visible() const { return IsWindowVisible(Area()) != 0; }

model::Picks* ThumbGrid::Picks() const { return PicksOf(Area()); }

std::vector<model::Cell> ThumbGrid::Cells() const {
    std::vector<model::Cell> cells;
    for (model::TileKey tile : tiles_) {
        HWND toggle = TileControl(tile, model::TilePart::Toggle);
        cells.push_back({tile.record, toggle && SendMessageW(toggle, BM_GETCHECK, 0, 0) == BST_CHECKED, tile.card});
    }
    return cells;
}

}  // namespace ui
