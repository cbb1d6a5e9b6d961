// Thumbnail grid: cache, tiles, faces.
#include "flashair/thumbs.h"

#include <map>

#include "base/fs.h"
#include "base/str.h"
#include "core/state.h"
#include "flashair/card_session.h"
#include "flashair/thumb_layout.h"
#include "flashair/transfer.h"
#include "ui/bar.h"
#include "ui/ids.h"
#include "ui/images.h"
#include "ui/info_panel.h"

std::vector<int32_t> ThumbIndexList;
int32_t ThumbCount = 0;

namespace {

constexpr int32_t kDefaultPicture = -1;  // the [Graphics] Thumb picture
constexpr size_t kTileCapacity = 8192;

// Decoded thumbnails; image number n is entry n - 1. A cache file is decoded
// once per run: every card walk empties the records, and decoding again on
// each refresh would pile up a bitmap per tile until the system's GDI quota
// runs out.
std::vector<images::Picture> g_pictures;
std::map<std::wstring, int32_t> g_pictureOfFile;

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
    ThumbCount = 0;
}

}  // namespace

int32_t TFA_TransferThumb(const std::wstring& name, const std::wstring& directory) {
    if (!thumbs::HasCardThumbnail(name)) return 0;
    std::wstring cacheFile = g_settings.ThumbnailPath + L"\\_thm_" + name;
    if (!fs::IsNonEmptyFile(cacheFile)) {
        std::wstring tmp = g_settings.TmpPath + L"\\" + name;
        if (TFA_TransFile(name, L"/thumbnail.cgi?/" + directory) && PlaceComplete(tmp, cacheFile))
            ShowInfo(L"Transfer: " + cacheFile);
        (void)fs::DeleteFileAt(tmp);
    }
    if (!fs::IsNonEmptyFile(cacheFile)) return 0;
    if (auto known = g_pictureOfFile.find(cacheFile); known != g_pictureOfFile.end()) return known->second;
    images::Picture pic = images::LoadJpeg(cacheFile);
    if (!pic) return 0;
    g_pictures.push_back(std::move(pic));
    int32_t number = static_cast<int32_t>(g_pictures.size());
    g_pictureOfFile.emplace(cacheFile, number);
    return number;
}

int32_t TFA_CreateThumbs() {
    HWND area = bar::Control(ids::kThumbArea);
    DestroyTiles(area);
    const Settings& s = g_settings;
    int32_t column = 0, row = 0;
    for (const card::CardFileEntry& entry : g_card.Lists.CardFiles) {
        card::CardFileRecord* r = g_card.Lists.Record(entry.RecordIndex);
        if (!r || !thumbs::WantsTile(r->Directory, r->Name, r->Size, s.Path, s.TransferHiRes, s.TransferLoRes))
            continue;
        if (ThumbIndexList.size() >= kTileCapacity || r->Index >= ids::kThumbIdLimit - ids::kThumbCaptionBase)
            break;  // control ids end at 3999
        if (r->ThumbImage == 0 || r->ThumbImage == kDefaultPicture) {
            int32_t loaded = TFA_TransferThumb(r->Name, r->Directory);
            r->ThumbImage = loaded ? loaded : kDefaultPicture;
        }
        thumbs::TileLayout t = thumbs::LayoutTile(column, row, s.ThumbSize, s.ThumbSelSize, s.ButtonSpace);
        MakeTileControl(area, ids::kThumbPictureBase + r->Index, t.picture, BS_OWNERDRAW, L"");
        HWND toggle = MakeTileControl(area, ids::kThumbToggleBase + r->Index, t.toggle,
                                      BS_PUSHLIKE | BS_AUTOCHECKBOX | BS_BITMAP, L"");
        ThumbIndexList.push_back(r->Index);
        ThumbCount = static_cast<int32_t>(ThumbIndexList.size());
        MakeTileControl(area, ids::kThumbCaptionBase + r->Index, t.caption, BS_MULTILINE | BS_LEFT | BS_FLAT,
                        thumbs::Caption(r->Directory, r->Name));
        r->ThumbControl = ids::kThumbPictureBase + r->Index;
        r->SelectControl = ids::kThumbToggleBase + r->Index;
        r->LabelControl = ids::kThumbCaptionBase + r->Index;
        SendMessageW(toggle, BM_SETCHECK, r->Selected ? BST_CHECKED : BST_UNCHECKED, 0);
        thumbs::RefreshToggleFace(r->Index);
        if (++column == s.ThumbCols) {
            column = 0;
            row++;
        }
    }
    ThumbRowCount = row;
    return row + 1;
}

namespace thumbs {

bool DrawTile(const DRAWITEMSTRUCT& di) {
    int id = static_cast<int>(di.CtlID);
    if (id < ids::kThumbPictureBase || id >= ids::kThumbToggleBase) return false;
    HBRUSH back = CreateSolidBrush(RGB(51, 51, 51));
    FillRect(di.hDC, &di.rcItem, back);
    DeleteObject(back);
    const card::CardFileRecord* r = g_card.Lists.Record(id - ids::kThumbPictureBase);
    if (const images::Picture* pic = r ? PictureOf(r->ThumbImage) : nullptr)
        images::DrawScaled(di.hDC, *pic, di.rcItem, true);
    return true;
}

void RefreshToggleFace(int32_t index) {
    const card::CardFileRecord* r = g_card.Lists.Record(index);
    HWND toggle = GetDlgItem(bar::Control(ids::kThumbArea), ids::kThumbToggleBase + index);
    if (!r || !toggle) return;
    bool stored = fs::IsNonEmptyFile(g_settings.StoragePath + L"\\" + r->Name);
    bool checked = SendMessageW(toggle, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const images::Picture& face = bar::ToggleFace((stored ? 2 : 0) + (checked ? 1 : 0));
    SendMessageW(toggle, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(face.bitmap.get()));
}

}  // namespace thumbs
