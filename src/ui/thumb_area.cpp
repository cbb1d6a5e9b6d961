// Scrolling thumbnail container.
#include "ui/thumb_area.h"

#include <algorithm>

#include "win/handle.h"

namespace ui {

namespace {

constexpr wchar_t kClass[] = L"WemloxThumbArea";

struct AreaState {
    int innerWidth = 0, innerHeight = 0, step = 20, offset = 0;
    COLORREF backColour = 0, front = 0;
    win::Brush back;  // none until the colours are set
    model::Picks picks;
};

LRESULT OnCtlColor(AreaState& st, HDC dc) {
    SetTextColor(dc, st.front);
    SetBkColor(dc, st.backColour);
    return reinterpret_cast<LRESULT>(st.back.get());
}

AreaState* StateOf(HWND h) { return reinterpret_cast<AreaState*>(GetWindowLongPtrW(h, GWLP_USERDATA)); }

void UpdateScrollBar(HWND h, AreaState& st) {
    RECT rc;
    GetClientRect(h, &rc);
    int page = static_cast<int>(rc.bottom - rc.top);
    int maxOffset = std::max(0, st.innerHeight - page);
    int newOffset = std::clamp(st.offset, 0, maxOffset);
    if (newOffset != st.offset) {
        ScrollWindowEx(h, 0, st.offset - newOffset, nullptr, nullptr, nullptr, nullptr,
                       SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
        st.offset = newOffset;
    }
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, st.innerHeight - 1);
    si.nPage = static_cast<UINT>(std::max(0, page));
    si.nPos = st.offset;
    SetScrollInfo(h, SB_VERT, &si, TRUE);
}

void ScrollTo(HWND h, AreaState& st, int target) {
    RECT rc;
    GetClientRect(h, &rc);
    int maxOffset = std::max(0, st.innerHeight - static_cast<int>(rc.bottom - rc.top));
    target = std::clamp(target, 0, maxOffset);
    if (target == st.offset) return;
    ScrollWindowEx(h, 0, st.offset - target, nullptr, nullptr, nullptr, nullptr,
                   SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
    st.offset = target;
    SetScrollPos(h, SB_VERT, st.offset, TRUE);
}

void OnVScroll(HWND h, AreaState& st, int code) {
    RECT rc;
    GetClientRect(h, &rc);
    int page = static_cast<int>(rc.bottom - rc.top);
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_TRACKPOS;
    GetScrollInfo(h, SB_VERT, &si);
    switch (code) {
    case SB_LINEUP: ScrollTo(h, st, st.offset - st.step); break;
    case SB_LINEDOWN: ScrollTo(h, st, st.offset + st.step); break;
    case SB_PAGEUP: ScrollTo(h, st, st.offset - page); break;
    case SB_PAGEDOWN: ScrollTo(h, st, st.offset + page); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: ScrollTo(h, st, si.nTrackPos); break;
    case SB_TOP: ScrollTo(h, st, 0); break;
    case SB_BOTTOM: ScrollTo(h, st, st.innerHeight); break;
    }
}

LRESULT CALLBACK AreaProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    AreaState* st = StateOf(h);
    switch (msg) {
    case WM_NCCREATE:
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new AreaState));
        break;
    case WM_NCDESTROY:
        delete st;
        SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        break;
    case WM_ERASEBKGND: {
        if (!st || !st->back) break;
        RECT rc;
        GetClientRect(h, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, st->back.get());
        return 1;
    }
    case WM_SIZE:
        if (st) UpdateScrollBar(h, *st);
        break;
    case WM_VSCROLL:
        if (st) OnVScroll(h, *st, LOWORD(wp));
        return 0;
    case WM_MOUSEWHEEL:
        if (st) ScrollTo(h, *st, st->offset - GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA * st->step);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (st && st->back) return OnCtlColor(*st, reinterpret_cast<HDC>(wp));
        break;
    case WM_COMMAND:
    case WM_DRAWITEM:
        // The cells' clicks and paints are the bar's business.
        return SendMessageW(GetParent(h), msg, wp, lp);
    }
    return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace

HWND CreateThumbArea(HWND parent, HINSTANCE inst, int id, int x, int y, int w, int h) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = AreaProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClass;
    RegisterClassExW(&wc);
    return CreateWindowExW(0, kClass, L"", WS_CHILD | WS_VSCROLL | WS_CLIPCHILDREN, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
}

void SetThumbAreaInnerSize(HWND area, int width, int height) {
    if (AreaState* st = StateOf(area)) {
        st->innerWidth = width;
        st->innerHeight = std::max(0, height);
        UpdateScrollBar(area, *st);
    }
}

void SetThumbAreaColours(HWND area, COLORREF back, COLORREF front) {
    AreaState* st = StateOf(area);
    if (!st) return;
    st->back.reset(CreateSolidBrush(back));
    st->backColour = back;
    st->front = front;
    InvalidateRect(area, nullptr, TRUE);
}

void SetThumbAreaScrollStep(HWND area, int step) {
    if (AreaState* st = StateOf(area)) st->step = std::max(1, step);
}

model::Picks* PicksOf(HWND area) {
    AreaState* st = area ? StateOf(area) : nullptr;
    return st ? &st->picks : nullptr;
}

}  // namespace ui
