// Thumbnail grid: cache, tiles, faces.
#include "ui/thumbs.h"

#include <map>
#include <memory>
#include <unordered_map>

#include "base/fs.h"
#include "base/str.h"
#include "app/state.h"
#include "model/card_session.h"
#include "app/card_thread.h"
#include "ui/card_views.h"
#include "model/thumb_layout.h"
#include "app/transfer.h"
#include "ui/bar.h"
#include "model/ids.h"
#include "win/images.h"
#include "ui/info_panel.h"
#include "model/placement.h"
#include "ui/thumb_area.h"

std::vector<int32_t> ThumbIndexList;
int32_t ThumbCount = 0;

namespace {

constexpr int32_t kDefaultPicture = -1;  // the [Graphics] Thumb picture

// Grid position of each record's tile.
std::unordered_map<int32_t, size_t> g_positionOf;

// Decoded thumbnails; image number n is entry n - 1. A cache file is decoded
// once per run: every card walk empties the records, and decoding again on
// each refresh would pile up a bitmap per tile until the system's GDI quota
// runs out. Interface thread only.
std::vector<images::Picture> g_pictures;
std::map<std::wstring, int32_t> g_pictureOfFile;

std::wstring CacheFile(const std::wstring& thumbnailPath, const std::wstring& name) {
    return thumbnailPath + L"\\_thm_" + name;
}

// A thumbnail the card thread fetched and decoded, for the tile of a record.
struct Fetched {
    int32_t index = 0;
    std::wstring cacheFile;
    images::Picture picture;
};

// Interface thread: the picture goes to its tile, unless a walk has replaced
// the records since it was asked for.
void OnThumbArrived(uint32_t generation, Fetched& f) {
    if (generation != Shown().Generation) return;
    card::CardFileRecord* r = Shown().Lists.Record(f.index);
    if (!r) return;
    auto known = g_pictureOfFile.find(f.cacheFile);
    if (known != g_pictureOfFile.end()) {
        r->ThumbImage = known->second;
    } else {
        g_pictures.push_back(std::move(f.picture));
        r->ThumbImage = static_cast<int32_t>(g_pictures.size());
        g_pictureOfFile.emplace(f.cacheFile, r->ThumbImage);
    }
    if (HWND tile = thumbs::TileControl(f.index, thumbs::TilePart::Picture)) InvalidateRect(tile, nullptr, FALSE);
}

struct ThumbRequest {
    int32_t index = 0;
    std::wstring name, directory;
    CardSpelling as;  // the card's own spelling of folder and name
};

// Card thread: the thumbnail into the cache unless it is there; true when the
// cache holds it. No size is listed for a thumbnail: the download's own
// bound keeps it small.
bool FetchThumb(const std::wstring& name, const std::wstring& directory, const CardSpelling& as) {
    if (!thumbs::HasCardThumbnail(name)) return false;
    const Settings& s = g_card.Config;
    std::wstring cacheFile = CacheFile(s.ThumbnailPath, name);
    if (!fs::IsNonEmptyFile(cacheFile)) {
        std::wstring tmp = s.TmpPath + L"\\" + name;
        if (TFA_TransFile(name, L"/thumbnail.cgi?/" + directory, as) && PlaceComplete(tmp, cacheFile))
            cardthread::OnUi([cacheFile] { ShowInfo(L"Transfer: " + cacheFile); });
        (void)fs::DeleteFileAt(tmp);
    }
    return fs::IsNonEmptyFile(cacheFile);
}

// Card thread: fetches and decodes the thumbnails in tile order.
void FetchThumbs(uint32_t generation, const std::vector<ThumbRequest>& wanted) {
    for (const ThumbRequest& w : wanted) {
        if (cardthread::Worker().StopRequested()) return;
        if (!FetchThumb(w.name, w.directory, w.as)) continue;
        auto f = std::make_shared<Fetched>();
        f->index = w.index;
        f->cacheFile = CacheFile(g_card.Config.ThumbnailPath, w.name);
        f->picture = images::LoadJpeg(f->cacheFile);
        if (!f->picture) continue;  // the default picture stays
        cardthread::OnUi([generation, f] { OnThumbArrived(generation, *f); });
    }
}

const images::Picture* PictureOf(int32_t number) {
    if (number == kDefaultPicture) return &bar::ThumbPicture();
    if (number < 1 || static_cast<size_t>(number) > g_pictures.size()) return nullptr;
    return &g_pictures[static_cast<size_t>(number - 1)];
}

HWND MakeTileControl(HWND area, int id, const thumbs::TileRect& r, DWORD style, const std::wstring& text) {
    HWND h = CreateWindowExW(0, L"BUTTON", text.c_str(), WS_CHILD | WS_VISIBLE | style, r.x, r.y, r.width,
                             r.height, area, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    // The dialog font: the caption's path fits in two lines of the tile.
    if (h) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return h;
}

void DestroyTiles(HWND area) {
    // Children are destroyed from the last, so the walk stays valid.
    while (HWND child = GetWindow(area, GW_CHILD)) DestroyWindow(child);
    ThumbIndexList.clear();
    g_positionOf.clear();
    ThumbCount = 0;
}

}  // namespace

int32_t TFA_TransferThumb(const std::wstring& name, const std::wstring& directory) {
    return FetchThumb(name, directory, {}) ? 1 : 0;
}

int32_t TFA_CreateThumbs() {
    HWND area = bar::Control(ids::kThumbArea);
    DestroyTiles(area);
    const Settings& s = g_settings;
    card::CardLists& lists = Shown().Lists;
    std::vector<ThumbRequest> wanted;
    int32_t column = 0, row = 0;
    for (const card::CardFileEntry& entry : lists.CardFiles) {
        card::CardFileRecord* r = lists.Record(entry.RecordIndex);
        if (!r || !thumbs::WantsTile(r->Directory, r->Name, r->Size, s.Path, s.TransferHiRes, s.TransferLoRes))
            continue;
        std::optional<thumbs::TileIds> tileIds = thumbs::TileIdsFor(r->Index, ThumbIndexList.size());
        thumbs::TileLayout t = thumbs::LayoutTile(column, row, s.ThumbSize, s.ThumbSelSize, s.ButtonSpace);
        HWND picture = tileIds ? MakeTileControl(area, tileIds->picture, t.picture, BS_OWNERDRAW, L"") : nullptr;
        if (!picture) {
            // Out of control ids or of the system's window quota.
            ShowInfo(L"Thumbnails: only the first " + str::FromInt(static_cast<int64_t>(ThumbIndexList.size())) +
                     L" pictures of the camera folder fit the grid");
            break;
        }
        if (r->ThumbImage == 0 || r->ThumbImage == kDefaultPicture) {
            auto known = g_pictureOfFile.find(CacheFile(s.ThumbnailPath, r->Name));
            r->ThumbImage = known != g_pictureOfFile.end() ? known->second : kDefaultPicture;
            if (r->ThumbImage == kDefaultPicture && thumbs::HasCardThumbnail(r->Name))
                wanted.push_back({r->Index, r->Name, r->Directory, {r->RawDirectory, r->RawName, 0}});
        }
        HWND toggle = MakeTileControl(area, tileIds->toggle, t.toggle, BS_PUSHLIKE | BS_AUTOCHECKBOX | BS_BITMAP, L"");
        g_positionOf[r->Index] = ThumbIndexList.size();
        ThumbIndexList.push_back(r->Index);
        ThumbCount = static_cast<int32_t>(ThumbIndexList.size());
        MakeTileControl(area, tileIds->caption, t.caption, BS_MULTILINE | BS_LEFT | BS_FLAT,
                        thumbs::Caption(r->Directory, r->Name));
        r->ThumbControl = tileIds->picture;
        r->SelectControl = tileIds->toggle;
        r->LabelControl = tileIds->caption;
        // Records are made anew by every card walk; the picks are kept.
        if (const selection::Picks* picks = thumbarea::PicksOf(area)) r->Selected = picks->Has(r->Directory, r->Name);
        SendMessageW(toggle, BM_SETCHECK, r->Selected ? BST_CHECKED : BST_UNCHECKED, 0);
        thumbs::RefreshToggleFace(r->Index);
        if (++column == s.ThumbCols) {
            column = 0;
            row++;
        }
    }
    ThumbRowCount = row;
    if (!wanted.empty())
        cardthread::Run([generation = Shown().Generation, wanted = std::move(wanted)] { FetchThumbs(generation, wanted); });
    return row + 1;
}

void RebuildThumbsAfterWalk() {
    HWND area = bar::Control(ids::kThumbArea);
    DestroyTiles(area);
    ThumbRowCount = 0;
    if (IsWindowVisible(area)) thumbs::BuildGrid();
}

namespace thumbs {

void BuildGrid() {
    int rows = TFA_CreateThumbs();
    const Settings& s = g_settings;
    thumbarea::SetInnerSize(bar::Control(ids::kThumbArea), ui::ThumbAreaInnerWidth(s.ThumbCols, s.ThumbSize, s.ButtonSpace),
                            ui::ThumbAreaInnerHeight(rows, s.ThumbSize, s.ThumbSelSize, s.ButtonSpace));
}

TileRef TileOfControl(int id) { return TileOfId(id, ThumbIndexList); }

HWND TileControl(int32_t index, TilePart part) {
    auto at = g_positionOf.find(index);
    if (at == g_positionOf.end()) return nullptr;
    std::optional<TileIds> tile = TileIdsFor(index, at->second);
    if (!tile) return nullptr;
    int id = part == TilePart::Picture ? tile->picture : part == TilePart::Toggle ? tile->toggle : tile->caption;
    return GetDlgItem(bar::Control(ids::kThumbArea), id);
}

bool DrawTile(const DRAWITEMSTRUCT& di) {
    TileRef tile = TileOfControl(static_cast<int>(di.CtlID));
    if (tile.part != TilePart::Picture) return false;
    HBRUSH back = CreateSolidBrush(RGB(51, 51, 51));
    FillRect(di.hDC, &di.rcItem, back);
    DeleteObject(back);
    const card::CardFileRecord* r = Shown().Lists.Record(tile.recordIndex);
    if (const images::Picture* pic = r ? PictureOf(r->ThumbImage) : nullptr)
        images::DrawScaled(di.hDC, *pic, di.rcItem, true);
    return true;
}

void RefreshToggleFace(int32_t index) {
    const card::CardFileRecord* r = Shown().Lists.Record(index);
    HWND toggle = TileControl(index, TilePart::Toggle);
    if (!r || !toggle) return;
    bool stored = fs::IsNonEmptyFile(g_settings.StoragePath + L"\\" + r->Name);
    bool checked = SendMessageW(toggle, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const images::Picture& face = bar::ToggleFace((stored ? 2 : 0) + (checked ? 1 : 0));
    SendMessageW(toggle, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(face.bitmap.get()));
}

}  // namespace thumbs
