// The info panel beside the buttons (journal, card tree, thumbnails), the
// journal's lines and the status lamps painted on the buttons.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <vector>

#include "model/common/journal.h"
#include "ui/bar.h"
#include "ui/thumb_area.h"

namespace ui {

void Bar::AppendJournalLine(const std::wstring& text) {
    if (!journal_) return;
    // Newest first: insert at the top instead of rewriting the whole text, so
    // a line costs the same however long the journal has grown.
    std::wstring line = model::JournalLine(model::own_DateTime(0), text);
    SendMessageW(journal_, EM_SETSEL, 0, 0);
    SendMessageW(journal_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
}

std::wstring Bar::JournalText() const {
    GETTEXTLENGTHEX len{GTL_USECRLF | GTL_NUMCHARS, 1200};
    LRESULT n = SendMessageW(journal_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len), 0);
    if (n <= 0) return {};
    std::vector<wchar_t> buf(static_cast<size_t>(n) + 1);
    GETTEXTEX get{};
    get.cb = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
    get.flags = GT_USECRLF;
    get.codepage = 1200;  // UTF-16
    LRESULT got =
        SendMessageW(journal_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(buf.data()));
    return std::wstring(buf.data(), static_cast<size_t>(got > 0 ? got : 0));
}

void Bar::PlaceWindow(const model::PlacementRecord& r, bool open) {
    RECT rc = open ? ClientToWindowRect(r.xInfo, r.yInfo, r.widthInfo, r.heightInfo)
                   : ClientToWindowRect(r.x, r.y, r.width, r.height);
    placing_ = true;
    SetWindowPos(window_, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    placing_ = false;
}

void Bar::PlaceButton(int button, const model::PlacementRecord& r, bool open) {
    SetWindowPos(buttons_[button], nullptr, open ? r.xInfo : r.x, open ? r.yInfo : r.y, open ? r.widthInfo : r.width,
                 open ? r.heightInfo : r.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Bar::SetOpen(bool open) {
    PlaceWindow(geometry_.window, open);
    for (int i = 1; i <= model::ids::kButtonCount; i++) PlaceButton(i, geometry_.buttons[i], open);
}

void Bar::PlaceView(int id, const model::Rect& r) {
    SetWindowPos(Control(id), HWND_TOP, r.x, r.y, r.width, r.height, 0);
}

// A switched-off view collapses and the cycle moves on at once.
void Bar::SkipView(int id) {
    SetWindowPos(Control(id), nullptr, 0, 0, 0, 0, SWP_NOZORDER);
    ShowWindow(Control(id), SW_HIDE);
    return ShowInfo(L"");
}

void Bar::ShowJournalView() {
    if (model::IsUserMode(geometry_.mode)) {
        RECT rc;
        GetWindowRect(window_, &rc);
        // Where the user dropped the bar is its new position; where the bar
        // put itself (its position lay off the monitors) is not.
        const bool dropped = rc.left != geometry_.window.x || rc.top != geometry_.window.y;
        auto pos = model::CaptureUserPosition(geometry_.mode, rc.left, rc.top, sizes_.InfoSize, geometry_.window);
        if (pos && dropped) {
            settings_.PositionX = pos->x;
            settings_.PositionY = pos->y;
        }
    }
    SetOpen(true);
    PlaceView(model::ids::kJournal, model::ComputeInfoViewRects(geometry_.mode, geometry_.info, sizes_.ButtonSpace).journal);
    ShowWindow(treeControl_, SW_HIDE);
    ShowWindow(thumbArea_, SW_HIDE);
    if (!settings_.ShowInfoText) return SkipView(model::ids::kJournal);
    ShowWindow(journal_, SW_SHOW);
}

void Bar::ShowTreeView() {
    UINT items = tree_.ItemCount();
    if (items == 0) return;  // no card features: the journal stays
    SetOpen(true);
    model::Rect r = model::ComputeInfoViewRects(geometry_.mode, geometry_.info, sizes_.ButtonSpace).treeAndThumbs;
    PlaceView(model::ids::kTree, r);
    PlaceView(model::ids::kThumbArea, r);
    if (tree_.WantsWalk()) events_.OnTreeWanted();  // walked on the card threads; the items follow
    ShowWindow(journal_, SW_HIDE);
    ShowWindow(thumbArea_, SW_HIDE);
    if (!settings_.ShowInfoTree) return SkipView(model::ids::kTree);
    ShowWindow(treeControl_, SW_SHOW);
}

void Bar::ShowThumbView() {
    if (grid_.ThumbRowCount() == 0) {
        events_.OnGridWanted();
        SetOpen(true);
        grid_.SizeArea(grid_.LastBuild());
    }
    ShowWindow(journal_, SW_HIDE);
    ShowWindow(treeControl_, SW_HIDE);
    if (!settings_.ShowInfoThumbs) return SkipView(model::ids::kThumbArea);
    ShowWindow(thumbArea_, SW_SHOW);
}

void Bar::CloseInfo() {
    ShowWindow(journal_, SW_HIDE);
    ShowWindow(treeControl_, SW_HIDE);
    ShowWindow(thumbArea_, SW_HIDE);
    SetOpen(false);
    infoView_ = InfoView::Closed;
}

void Bar::ShowInfo(const std::wstring& text) {
    if (text.empty()) {
        infoView_ = static_cast<InfoView>(static_cast<uint8_t>(infoView_) + 1);
        switch (infoView_) {
        case InfoView::Journal: return ShowJournalView();
        case InfoView::Tree: return ShowTreeView();
        case InfoView::Thumbnails: return ShowThumbView();
        default: return CloseInfo();
        }
    }
    if (std::optional<model::Lamp> lamp = model::JournalLamp(text)) SetLamp(model::ids::kCardButton, *lamp, model::LampAt::Top);
    if (!repeat_.Accept(text)) return;
    AppendJournalLine(text);
}

bool Bar::SetLamp(int image, model::Lamp colour, model::LampAt at) {
    win::Picture* pic = image == 0 ? nullptr : Image(image);
    if (!pic || !*pic) return false;
    win::MemoryDC dc;
    if (!dc) return false;
    win::ScopedSelect sel(dc.get(), pic->bitmap.get());
    COLORREF clear = GetPixel(dc.get(), 2, 2);
    model::LampRect lr = model::LampRectFor(pic->width, pic->height, at);
    if (!lr.IsEmpty()) {
        win::Brush brush(CreateSolidBrush(model::LampColour(colour, clear)));
        RECT rc{lr.left, lr.top, lr.right, lr.bottom};
        FillRect(dc.get(), &rc, brush.get());
    }
    GdiFlush();
    if (HWND button = Control(image)) RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE);
    return true;
}

InfoView Bar::VisibleView() const {
    if (IsWindowVisible(journal_)) return InfoView::Journal;
    if (IsWindowVisible(treeControl_)) return InfoView::Tree;
    if (IsWindowVisible(thumbArea_)) return InfoView::Thumbnails;
    return InfoView::Closed;
}

}  // namespace ui
