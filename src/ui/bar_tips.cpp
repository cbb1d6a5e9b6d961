// The bar's tooltips (the eleven buttons say what a click does now, a
// thumbnail tile names its file on the card) and the progress bar drawn on
// button 6's face during long card work.
#include <windows.h>
#include <commctrl.h>

#include "model/bar/work_progress.h"
#include "ui/bar.h"
#include "ui/theme.h"

namespace ui {

namespace {

TTTOOLINFOW ToolOf(HWND owner, HWND control) {
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    // A tip over the pointer lets the click through to the button beneath.
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS | TTF_TRANSPARENT;
    ti.hwnd = owner;  // receives TTN_GETDISPINFO
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = LPSTR_TEXTCALLBACKW;
    return ti;
}

}  // namespace

void Bar::CreateTips(HINSTANCE inst) {
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, inst, nullptr);
    if (!tips_) return;
    // Several lines for the progress of a download; wide enough for a path.
    SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, Scaled(480));
    for (int i = 1; i <= model::ids::kButtonCount; i++) AddTip(buttons_[i]);
}

void Bar::AddTip(HWND control) {
    if (!tips_ || !control) return;
    TTTOOLINFOW ti = ToolOf(window_, control);
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void Bar::RemoveTip(HWND control) {
    if (!tips_ || !control) return;
    TTTOOLINFOW ti = ToolOf(window_, control);
    SendMessageW(tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

bool Bar::FillTip(NMTTDISPINFOW& info) {
    auto control = reinterpret_cast<HWND>(info.hdr.idFrom);
    int id = GetDlgCtrlID(control);
    if (GetParent(control) == window_ && id >= 1 && id <= model::ids::kButtonCount)
        tipText_ = events_.TipFor(id);
    else if (std::optional<std::wstring> path = grid_.CardPathOfControl(id); path && GetParent(control) == thumbArea_)
        tipText_ = *path;
    else
        return false;
    info.lpszText = tipText_.data();
    info.hinst = nullptr;
    return true;
}

bool Bar::PlaceTip(HWND control) {
    int id = GetDlgCtrlID(control);
    if (GetParent(control) != window_ || id < 1 || id > model::ids::kButtonCount) return false;
    // Beside the button, towards the screen's inside, so the tip covers
    // neither the button's face nor the buttons next to it.
    RECT button, tip;
    GetWindowRect(control, &button);
    GetWindowRect(tips_, &tip);
    const int w = tip.right - tip.left, h = tip.bottom - tip.top, gap = Scaled(4);
    // A tip beside a column of buttons is centred on its button.
    int x = button.left, y = button.top;
    const int centred = (button.top + button.bottom - h) / 2;
    switch (geometry_.mode) {
    case model::BarMode::Right:
    case model::BarMode::VerticalRight: x = button.left - gap - w, y = centred; break;
    case model::BarMode::Left:
    case model::BarMode::VerticalLeft: x = button.right + gap, y = centred; break;
    case model::BarMode::Top:
    case model::BarMode::HorizontalTop: y = button.bottom + gap; break;
    case model::BarMode::Bottom:
    case model::BarMode::HorizontalBottom: y = button.top - gap - h; break;
    }
    SetWindowPos(tips_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void Bar::SetProgress(std::optional<double> fraction) {
    if (fraction == progress_) return;
    const bool barChanges = fraction.has_value() != progress_.has_value();
    progress_ = fraction;
    HWND button = buttons_[model::ids::kCardButton];
    if (barChanges) {
        InvalidateRect(button, nullptr, FALSE);
    } else {
        // Only the bar is drawn again: a download at a card's pace would
        // otherwise stretch the face anew several times a second.
        RECT rc;
        GetClientRect(button, &rc);
        if (HDC dc = GetDC(button)) {
            DrawProgress(dc, rc);
            ReleaseDC(button, dc);
        }
    }
    // A tooltip on show follows the work: the text is asked for again.
    if (!tips_ || !IsWindowVisible(tips_)) return;
    TTTOOLINFOW ti = ToolOf(window_, button);
    SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void Bar::DrawProgress(HDC dc, const RECT& face) {
    if (!progress_) return;
    // A thin bar along the face's lower edge, thick in proportion to the face.
    const int width = face.right - face.left, height = face.bottom - face.top;
    const int thick = std::max(3, height / 12), inset = std::max(2, width / 16);
    RECT track{face.left + inset, face.bottom - inset - thick, face.right - inset, face.bottom - inset};
    win::Brush back(CreateSolidBrush(theme::kProgressTrack)), fill(CreateSolidBrush(theme::kProgressFill));
    FillRect(dc, &track, back.get());
    RECT done = track;
    done.right = done.left + model::ProgressFill(*progress_, track.right - track.left);
    FillRect(dc, &done, fill.get());
}

}  // namespace ui
