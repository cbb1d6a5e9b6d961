// Info panel views, journal lines and button lamps.
#include "ui/info_panel.h"

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include "model/journal.h"
#include "app/state.h"
#include "ui/card_views.h"
#include "ui/thumbs.h"
#include "ui/bar.h"
#include "model/ids.h"
#include "model/info_logic.h"
#include "ui/thumb_area.h"

int ThumbRowCount = 0;

namespace {

uint8_t g_infoView = 0;
ui::JournalRepeatFilter g_repeat;

void AppendJournalLine(const std::wstring& text) {
    HWND journal = bar::Control(ids::kJournal);
    if (!journal) return;
    // Newest first: insert at the top instead of rewriting the whole text, so
    // a line costs the same however long the journal has grown.
    std::wstring line = JournalLine(own_DateTime(0), text);
    SendMessageW(journal, EM_SETSEL, 0, 0);
    SendMessageW(journal, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
}

void SetOpen(bool open) {
    ui::BarGeometry& geo = bar::Geometry();
    bar::PlaceWindow(geo.window, open);
    for (int i = 1; i <= ids::kButtonCount; i++) bar::PlaceButton(i, geo.buttons[i], open);
}

void Hide(int id) { ShowWindow(bar::Control(id), SW_HIDE); }

void PlaceView(int id, const ui::Rect& r) {
    SetWindowPos(bar::Control(id), HWND_TOP, r.x, r.y, r.width, r.height, 0);
}

// A switched-off view collapses and the cycle moves on at once.
uint8_t SkipView(int id) {
    SetWindowPos(bar::Control(id), nullptr, 0, 0, 0, 0, SWP_NOZORDER);
    Hide(id);
    return ShowInfo(L"");
}

uint8_t ShowJournalView() {
    ui::BarGeometry& geo = bar::Geometry();
    if (ui::IsUserMode(geo.mode)) {
        RECT rc;
        GetWindowRect(bar::Window(), &rc);
        if (auto pos = ui::CaptureUserPosition(geo.mode, rc.left, rc.top, g_settings.InfoSize, geo.window)) {
            g_settings.PositionX = pos->x;
            g_settings.PositionY = pos->y;
        }
    }
    SetOpen(true);
    PlaceView(ids::kJournal, ui::ComputeInfoViewRects(geo.mode, geo.info, g_settings.ButtonSpace).journal);
    Hide(ids::kTree);
    Hide(ids::kThumbArea);
    if (!g_settings.ShowInfoText) return SkipView(ids::kJournal);
    ShowWindow(bar::Control(ids::kJournal), SW_SHOW);
    return 0;
}

uint8_t ShowTreeView() {
    HWND tree = bar::Control(ids::kTree);
    UINT items = TreeView_GetCount(tree);
    if (items == 0) return 0;  // no card features: the journal stays
    ui::BarGeometry& geo = bar::Geometry();
    SetOpen(true);
    ui::Rect r = ui::ComputeInfoViewRects(geo.mode, geo.info, g_settings.ButtonSpace).treeAndThumbs;
    PlaceView(ids::kTree, r);
    PlaceView(ids::kThumbArea, r);
    if (items == 1) RequestTree();  // walked on the card thread; the items follow
    Hide(ids::kJournal);
    Hide(ids::kThumbArea);
    if (!g_settings.ShowInfoTree) return SkipView(ids::kTree);
    ShowWindow(tree, SW_SHOW);
    return 0;
}

uint8_t ShowThumbView() {
    HWND area = bar::Control(ids::kThumbArea);
    if (ThumbRowCount == 0) {
        int rows = TFA_CreateThumbs();
        SetOpen(true);
        const Settings& s = g_settings;
        thumbarea::SetScrollStep(area, ui::ThumbAreaScrollStep(s.ThumbSize, s.ThumbSelSize));
        thumbarea::SetInnerSize(area, ui::ThumbAreaInnerWidth(s.ThumbCols, s.ThumbSize, s.ButtonSpace),
                                ui::ThumbAreaInnerHeight(rows, s.ThumbSize, s.ThumbSelSize, s.ButtonSpace));
    }
    Hide(ids::kJournal);
    Hide(ids::kTree);
    if (!g_settings.ShowInfoThumbs) return SkipView(ids::kThumbArea);
    ShowWindow(area, SW_SHOW);
    return 0;
}

uint8_t CloseInfo() {
    Hide(ids::kJournal);
    Hide(ids::kTree);
    Hide(ids::kThumbArea);
    SetOpen(false);
    g_infoView = 0;
    return 1;
}

}  // namespace

uint8_t ShowInfo(const std::wstring& text) {
    if (text.empty()) {
        g_infoView++;
        switch (g_infoView) {
        case 1: return ShowJournalView();
        case 2: return ShowTreeView();
        case 3: return ShowThumbView();
        default: return CloseInfo();
        }
    }
    switch (ui::JournalLampColour(text)) {
    case L'b': SetState(6, L"b", L"t"); break;
    case L'r': SetState(6, L"r", L"t"); break;
    case L'g': SetState(6, L"g", L"t"); break;
    default: break;
    }
    if (!g_repeat.Accept(text)) return 1;
    AppendJournalLine(text);
    return 0;
}

int SetState(int image, const std::wstring& colour, const std::wstring& position) {
    images::Picture* pic = image == 0 ? nullptr : bar::Image(image);
    if (!pic || !*pic) return 0;
    win::MemoryDC dc;
    if (!dc) return 0;
    win::ScopedSelect sel(dc.get(), pic->bitmap.get());
    COLORREF clear = GetPixel(dc.get(), 2, 2);
    ui::LampRect lr = ui::LampRectFor(pic->width, pic->height, position);
    if (!lr.IsEmpty()) {
        win::Brush brush(CreateSolidBrush(ui::LampColour(colour, clear)));
        RECT rc{lr.left, lr.top, lr.right, lr.bottom};
        FillRect(dc.get(), &rc, brush.get());
    }
    GdiFlush();
    if (HWND button = bar::Control(image)) RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE);
    return 1;
}

int GetInfoState() {
    if (IsWindowVisible(bar::Control(ids::kJournal))) return 1;
    if (IsWindowVisible(bar::Control(ids::kTree))) return 2;
    if (IsWindowVisible(bar::Control(ids::kThumbArea))) return 3;
    return 0;
}

int CurrentInfoView() { return g_infoView; }
