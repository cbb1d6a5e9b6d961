// The settings window, built by code from the settings form: the fields
// and their number follow the form's table, and every size is laid out at the
// DPI of the bar that opened it. Each tab is a page window of its own over
// the tab control, so the keyboard walks only the page on show.
#include "ui/settings_window.h"

#include <commctrl.h>

#include <algorithm>

#include "base/str.h"
#include "model/bar/placement.h"
#include "model/common/ids.h"
#include "model/settings/folders.h"
#include "win/dpi.h"
#include "win/user_shell.h"

namespace ui {

namespace {

constexpr wchar_t kWindowClass[] = L"WemloxSettings";
constexpr wchar_t kPageClass[] = L"WemloxSettingsPage";
constexpr COLORREF kProblemText = RGB(192, 0, 0);

// Sizes at 96 DPI.
constexpr int kClientWidth = 660;
constexpr int kMargin = 8;
constexpr int kPad = 10;          // inside a page
constexpr int kColumnGap = 16;
constexpr int kLabelWidth = 160;
constexpr int kLabelGap = 6;
constexpr int kControlHeight = 22;
constexpr int kListHeight = 200;  // a drop-down list's own height
constexpr int kMessageHeight = 15;
constexpr int kRowGap = 4;
constexpr int kCheckHeight = 20;
constexpr int kBrowseWidth = 75;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr int kNoteHeight = 30;   // two lines

// How one list of sources looks: the inbox folders, the cards' addresses.
struct ListLook {
    const wchar_t* entryLabel;
    const wchar_t* add;
    const wchar_t* remove;
    const wchar_t* cue;       // greyed in the empty entry
    const wchar_t* about;     // what the list is for, under it
    const wchar_t* notAdded;  // on OK while the entry holds what is not in the list
    bool browse;              // folders can be picked
    int listHeight, aboutLines;  // at 96 DPI
};

constexpr ListLook kInboxLook{
    L"F&older to add", L"&Add", L"&Remove", L"",
    L"Pictures that an FTP server, a camera maker's transfer program or tethering software writes into these "
    L"folders are taken into the picture folder as a card's are. The folders themselves are only read.",
    L"This folder is not in the list yet: add it with Add, or empty the field.", true, 120, 4};
// Their own access keys: both lists share the tab.
constexpr ListLook kCardLook{
    L"&Card address to add", L"A&dd", L"Re&move", L"192.168.0.1, 192.168.0.201-209 or 192.168.0.*",
    L"A FlashAir card is looked for at each entry: at its address, or at every address of its range "
    L"(192.168.0.* is 1 to 254).",
    L"This address is not in the list yet: add it with Add, or empty the field.", false, 66, 2};

const ListLook& LookOf(const model::FormField& f) {
    return f.kind == model::FieldKind::CardList ? kCardLook : kInboxLook;
}

enum Piece { kLabel = 0, kField = 1, kBrowse = 2, kMessage = 3, kEntryLabel = 4, kEntry = 5, kAdd = 6, kRemove = 7 };

int ControlId(size_t row, Piece piece) {
    return model::ids::kSettingsFirstField + static_cast<int>(row) * model::ids::kSettingsControlsPerField + piece;
}

size_t TabIndex(model::SettingsTab tab) {
    for (size_t i = 0; i < std::size(model::kSettingsTabs); i++)
        if (model::kSettingsTabs[i] == tab) return i;
    return 0;
}

std::wstring Text(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));
    return text;
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, DWORD exStyle = 0) {
    return CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

bool SettingsWindow::Open(HWND owner, std::vector<model::FormField> form, int dpi) {
    if (window_) {
        if (IsIconic(window_)) ShowWindow(window_, SW_RESTORE);
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
        BringWindowToTop(window_);
        return true;
    }
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExW(inst, kWindowClass, &existing)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.hIcon = LoadIconW(inst, MAKEINTRESOURCEW(1));
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = kWindowClass;
        RegisterClassExW(&wc);
        wc.hIcon = nullptr;
        wc.lpfnWndProc = PageProc;
        wc.lpszClassName = kPageClass;
        RegisterClassExW(&wc);
    }
    dpi_ = dpi > 0 ? dpi : model::kBaseDpi;
    rows_.clear();
    for (model::FormField& f : form) rows_.push_back(Row{std::move(f)});
    font_.reset(win::CreateMessageFont(dpi_));
    if (!CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kWindowClass, L"Wemlox Settings",
                         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0, 0, 0, 0, owner, nullptr, inst,
                         this))
        return false;
    CreateControls();
    tab_ = model::SettingsTab::Bar;
    Layout();
    // In the middle of the owner's monitor.
    RECT rc;
    GetWindowRect(window_, &rc);
    const model::Rect area = owner ? win::WorkAreaOf(owner) : win::WorkAreaOf(window_);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    SetWindowPos(window_, nullptr, area.x + std::max(0, (area.width - w) / 2),
                 area.y + std::max(0, (area.height - h) / 2), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowTab(model::SettingsTab::Bar);
    UpdateNote();
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    for (const Row& r : rows_)
        if (r.field.tab == tab_) {
            SetFocus(r.control);
            break;
        }
    return true;
}

void SettingsWindow::Close() {
    if (window_) DestroyWindow(window_);
}

void SettingsWindow::OnDestroyed() {
    window_ = tabs_ = note_ = ok_ = cancel_ = nullptr;
    pages_.clear();
    rows_.clear();
}

LRESULT CALLBACK SettingsWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<SettingsWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = hwnd;
    }
    auto* self = reinterpret_cast<SettingsWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->Handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

// A page hands what its controls report to the window.
LRESULT CALLBACK SettingsWindow::PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND || msg == WM_CTLCOLORSTATIC || msg == WM_NOTIFY)
        return SendMessageW(GetParent(hwnd), msg, wp, lp);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT SettingsWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
        return 0;
    case WM_NOTIFY: {
        const auto& hdr = *reinterpret_cast<const NMHDR*>(lp);
        if (hdr.hwndFrom == tabs_ && hdr.code == TCN_SELCHANGE)
            ShowTab(model::kSettingsTabs[static_cast<size_t>(std::max(0, TabCtrl_GetCurSel(tabs_)))]);
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        auto control = reinterpret_cast<HWND>(lp);
        bool problem = false;
        for (const Row& r : rows_) problem = problem || r.message == control;
        if (control == note_) problem = noteIsFailure_;
        if (!problem) break;
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, kProblemText);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case DM_GETDEFID:
        // Enter in an entry to add adds it; anywhere else it is OK.
        for (size_t i = 0; i < rows_.size(); i++)
            if (rows_[i].entry && rows_[i].entry == GetFocus()) return MAKELRESULT(ControlId(i, kAdd), DC_HASDEFID);
        return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_NEXTDLGCTL: {
        // What a dialog does for the keyboard (an access key of a label, the
        // arrow keys): the control named, or the next or previous one.
        HWND next = lp ? reinterpret_cast<HWND>(wp) : GetNextDlgTabItem(window_, GetFocus(), wp != 0);
        if (next) SetFocus(next);
        return 0;
    }
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wp);
        win::Font old = std::move(font_);
        font_.reset(win::CreateMessageFont(dpi_));
        ApplyFont(true);
        const RECT& suggested = *reinterpret_cast<const RECT*>(lp);
        SetWindowPos(window_, nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Layout();
        return 0;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        OnDestroyed();
        return 0;
    default: break;
    }
    return DefWindowProcW(window_, msg, wp, lp);
}

void SettingsWindow::CreateControls() {
    tabs_ = Child(window_, WC_TABCONTROLW, L"", WS_TABSTOP | WS_CLIPSIBLINGS, model::ids::kSettingsTabControl);
    for (size_t i = 0; i < std::size(model::kSettingsTabs); i++) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        std::wstring title = model::TabTitle(model::kSettingsTabs[i]);
        item.pszText = title.data();
        TabCtrl_InsertItem(tabs_, static_cast<int>(i), &item);
        HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                                    window_, nullptr, GetModuleHandleW(nullptr), nullptr);
        // Pages lie over the tab control and come first in the keyboard's order.
        SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        pages_.push_back(page);
    }
    for (size_t i = 0; i < rows_.size(); i++) CreateRow(i, pages_[TabIndex(rows_[i].field.tab)]);
    note_ = Child(window_, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, model::ids::kSettingsNote);
    ok_ = Child(window_, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK);
    cancel_ = Child(window_, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL);
    ApplyFont(false);
}

void SettingsWindow::ApplyFont(bool redraw) {
    struct Apply {
        HFONT font;
        BOOL redraw;
    } apply{font_.get(), redraw ? TRUE : FALSE};
    EnumChildWindows(
        window_,
        [](HWND child, LPARAM lp) -> BOOL {
            const Apply& a = *reinterpret_cast<const Apply*>(lp);
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(a.font), a.redraw);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&apply));
}

void SettingsWindow::CreateRow(size_t i, HWND page) {
    Row& r = rows_[i];
    const model::FormField& f = r.field;
    const std::wstring shown = f.Shown();
    if (f.IsList()) return CreateListRow(i, page);
    if (f.kind == model::FieldKind::YesNo) {
        r.control = Child(page, L"BUTTON", f.label.c_str(), WS_TABSTOP | BS_AUTOCHECKBOX, ControlId(i, kField));
        SendMessageW(r.control, BM_SETCHECK, shown == L"Yes" ? BST_CHECKED : BST_UNCHECKED, 0);
        return;
    }
    r.label = Child(page, L"STATIC", f.label.c_str(), SS_LEFT, ControlId(i, kLabel));
    if (f.kind == model::FieldKind::Choice || !f.choices.empty()) {
        const bool list = f.kind == model::FieldKind::Choice;
        r.control = Child(page, WC_COMBOBOXW, L"",
                          WS_TABSTOP | WS_VSCROLL | (list ? CBS_DROPDOWNLIST : CBS_DROPDOWN | CBS_AUTOHSCROLL),
                          ControlId(i, kField));
        for (const std::wstring& c : f.choices) {
            auto at = SendMessageW(r.control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.c_str()));
            if (list && str::EqualsI(c, shown)) SendMessageW(r.control, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
        }
        if (!list) SetWindowTextW(r.control, shown.c_str());
    } else {
        r.control = Child(page, L"EDIT", shown.c_str(), WS_TABSTOP | ES_AUTOHSCROLL, ControlId(i, kField),
                          WS_EX_CLIENTEDGE);
        // An empty folder shows, greyed, the one it stands for.
        if (!f.hint.empty()) SendMessageW(r.control, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(f.hint.c_str()));
    }
    if (f.kind == model::FieldKind::Folder || f.kind == model::FieldKind::Program)
        r.browse = Child(page, L"BUTTON", L"Browse\u2026", WS_TABSTOP | BS_PUSHBUTTON, ControlId(i, kBrowse));
    r.message = Child(page, L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, ControlId(i, kMessage));
}

// The entry to add first (typed or chosen, checked as it comes), then the list.
void SettingsWindow::CreateListRow(size_t i, HWND page) {
    Row& r = rows_[i];
    const ListLook& look = LookOf(r.field);
    r.entryLabel = Child(page, L"STATIC", look.entryLabel, SS_LEFT, ControlId(i, kEntryLabel));
    r.entry = Child(page, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, ControlId(i, kEntry), WS_EX_CLIENTEDGE);
    if (*look.cue) SendMessageW(r.entry, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(look.cue));
    if (look.browse)
        r.browse = Child(page, L"BUTTON", L"Browse\u2026", WS_TABSTOP | BS_PUSHBUTTON, ControlId(i, kBrowse));
    // Two lines: a refusal names the entry it clashes with.
    r.message = Child(page, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, ControlId(i, kMessage));
    r.label = Child(page, L"STATIC", r.field.label.c_str(), SS_LEFT, ControlId(i, kLabel));
    r.control = Child(page, L"LISTBOX", L"", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                      ControlId(i, kField), WS_EX_CLIENTEDGE);
    for (const std::wstring& entry : r.field.Entries(r.field.Shown()))
        SendMessageW(r.control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    r.add = Child(page, L"BUTTON", look.add, WS_TABSTOP | BS_PUSHBUTTON, ControlId(i, kAdd));
    r.remove = Child(page, L"BUTTON", look.remove, WS_TABSTOP | BS_PUSHBUTTON, ControlId(i, kRemove));
    EnableWindow(r.add, FALSE);
    EnableWindow(r.remove, FALSE);
    r.about = Child(page, L"STATIC", look.about, SS_LEFT | SS_NOPREFIX, -1);
}

int SettingsWindow::S(int size) const { return model::ScaleToDpi(size, dpi_); }

void SettingsWindow::Layout() {
    const int width = S(kClientWidth), margin = S(kMargin);
    // The tab control's frame around a page, at this DPI.
    RECT tabRect{margin, margin, width - margin, margin + S(400)};
    MoveWindow(tabs_, tabRect.left, tabRect.top, tabRect.right - tabRect.left, tabRect.bottom - tabRect.top, FALSE);
    RECT display = tabRect;
    TabCtrl_AdjustRect(tabs_, FALSE, &display);
    const int pageWidth = display.right - display.left;
    const int column = (pageWidth - 2 * S(kPad) - S(kColumnGap)) / 2;
    const int textRow = S(kControlHeight) + S(kMessageHeight) + S(kRowGap);
    const int checkRow = S(kCheckHeight) + S(kRowGap);

    int pageHeight = 0;
    for (size_t t = 0; t < pages_.size(); t++) {
        const model::SettingsTab tab = model::kSettingsTabs[t];
        int y = S(kPad), col = 0;
        auto place = [&](Row& r, int x, int w, bool wide) {
            const int labelWidth = S(kLabelWidth), gap = S(kLabelGap);
            const int fieldX = x + labelWidth + gap;
            int fieldWidth = w - labelWidth - gap;
            if (r.browse) {
                fieldWidth -= S(kBrowseWidth) + gap;
                MoveWindow(r.browse, x + w - S(kBrowseWidth), y - 1, S(kBrowseWidth), S(kControlHeight) + 2, FALSE);
            }
            MoveWindow(r.label, x, y + S(3), labelWidth, S(kControlHeight) - S(3), FALSE);
            const bool combo = r.field.kind == model::FieldKind::Choice || !r.field.choices.empty();
            MoveWindow(r.control, fieldX, y, fieldWidth, S(kControlHeight) + (combo ? S(kListHeight) : 0), FALSE);
            if (combo) SendMessageW(r.control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), S(kControlHeight) - 6);
            MoveWindow(r.message, wide ? fieldX : x, y + S(kControlHeight) + 1, wide ? fieldWidth : w,
                       S(kMessageHeight), FALSE);
        };
        // The entry to add (with Browse) and its message, then the list with Add and Remove.
        auto placeList = [&](Row& r, int x, int w) {
            const ListLook& look = LookOf(r.field);
            const int labelWidth = S(kLabelWidth), gap = S(kLabelGap), fieldX = x + labelWidth + gap;
            const int buttonX = x + w - S(kBrowseWidth), fieldWidth = buttonX - gap - fieldX;
            MoveWindow(r.entryLabel, x, y + S(3), labelWidth, S(kControlHeight) - S(3), FALSE);
            MoveWindow(r.entry, fieldX, y, fieldWidth, S(kControlHeight), FALSE);
            if (r.browse) MoveWindow(r.browse, buttonX, y - 1, S(kBrowseWidth), S(kControlHeight) + 2, FALSE);
            y += S(kControlHeight) + 1;
            MoveWindow(r.message, fieldX, y, fieldWidth, 2 * S(kMessageHeight), FALSE);
            y += 2 * S(kMessageHeight) + S(kRowGap);
            MoveWindow(r.label, x, y + S(3), labelWidth, S(kControlHeight) - S(3), FALSE);
            MoveWindow(r.control, fieldX, y, fieldWidth, S(look.listHeight), FALSE);
            MoveWindow(r.add, buttonX, y, S(kBrowseWidth), S(kButtonHeight), FALSE);
            MoveWindow(r.remove, buttonX, y + S(kButtonHeight) + S(kRowGap), S(kBrowseWidth), S(kButtonHeight), FALSE);
            y += S(look.listHeight) + S(kRowGap);
            MoveWindow(r.about, fieldX, y, fieldWidth, S(look.aboutLines * kMessageHeight), FALSE);
            y += S(look.aboutLines * kMessageHeight) + S(kRowGap);
        };
        // Text fields first, two narrow ones to a row; then the check boxes.
        for (Row& r : rows_) {
            if (r.field.tab != tab || r.field.kind == model::FieldKind::YesNo) continue;
            if (r.field.IsList()) {
                if (col == 1) y += textRow, col = 0;
                // A list below other rows stands apart from them.
                if (y > S(kPad)) y += S(kPad);
                placeList(r, S(kPad), pageWidth - 2 * S(kPad));
                continue;
            }
            if (r.field.Wide()) {
                if (col == 1) y += textRow, col = 0;
                place(r, S(kPad), pageWidth - 2 * S(kPad), true);
                y += textRow;
                continue;
            }
            place(r, S(kPad) + col * (column + S(kColumnGap)), column, false);
            if (col == 1) y += textRow;
            col = 1 - col;
        }
        if (col == 1) y += textRow, col = 0;
        for (Row& r : rows_) {
            if (r.field.tab != tab || r.field.kind != model::FieldKind::YesNo) continue;
            MoveWindow(r.control, S(kPad) + col * (column + S(kColumnGap)), y, column, S(kCheckHeight), FALSE);
            if (col == 1) y += checkRow;
            col = 1 - col;
        }
        if (col == 1) y += checkRow;
        pageHeight = std::max(pageHeight, y + S(kPad));
    }
    // The tab control grows to hold the tallest page.
    const int frameHeight = (tabRect.bottom - tabRect.top) - (display.bottom - display.top);
    tabRect.bottom = tabRect.top + pageHeight + frameHeight;
    MoveWindow(tabs_, tabRect.left, tabRect.top, tabRect.right - tabRect.left, tabRect.bottom - tabRect.top, FALSE);
    for (HWND page : pages_) MoveWindow(page, display.left, display.top, pageWidth, pageHeight, FALSE);

    const int y = tabRect.bottom + S(8);
    const int buttons = 2 * S(kButtonWidth) + S(kLabelGap);
    MoveWindow(note_, margin, y, width - 2 * margin - buttons - S(kColumnGap), S(kNoteHeight), FALSE);
    MoveWindow(ok_, width - margin - buttons, y, S(kButtonWidth), S(kButtonHeight), FALSE);
    MoveWindow(cancel_, width - margin - S(kButtonWidth), y, S(kButtonWidth), S(kButtonHeight), FALSE);
    const int height = y + std::max(S(kNoteHeight), S(kButtonHeight)) + margin;

    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)));
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void SettingsWindow::ShowTab(model::SettingsTab tab) {
    if (!window_) return;
    tab_ = tab;
    const size_t shown = TabIndex(tab);
    TabCtrl_SetCurSel(tabs_, static_cast<int>(shown));
    for (size_t i = 0; i < pages_.size(); i++) {
        // A hidden page is disabled too, so that no access key of it is found.
        EnableWindow(pages_[i], i == shown);
        ShowWindow(pages_[i], i == shown ? SW_SHOW : SW_HIDE);
    }
}

const SettingsWindow::Row* SettingsWindow::RowOf(std::wstring_view group, std::wstring_view key) const {
    for (const Row& r : rows_)
        if (str::EqualsI(r.field.group, group) && str::EqualsI(r.field.key, key)) return &r;
    return nullptr;
}

HWND SettingsWindow::PartOf(std::wstring_view group, std::wstring_view key, HWND Row::*part) const {
    const Row* r = RowOf(group, key);
    return r ? r->*part : nullptr;
}

HWND SettingsWindow::FieldControl(std::wstring_view group, std::wstring_view key) const {
    return PartOf(group, key, &Row::control);
}

HWND SettingsWindow::MessageControl(std::wstring_view group, std::wstring_view key) const {
    return PartOf(group, key, &Row::message);
}

std::wstring SettingsWindow::ValueOf(const Row& r, bool fromSelection) const {
    if (r.field.IsList()) return r.field.Joined(ListedEntries(r));
    if (r.field.kind == model::FieldKind::YesNo)
        return SendMessageW(r.control, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"Yes" : L"No";
    if (fromSelection) {
        // During a choice from the list the edit part still shows the old text.
        LRESULT at = SendMessageW(r.control, CB_GETCURSEL, 0, 0);
        LRESULT length = at == CB_ERR ? CB_ERR : SendMessageW(r.control, CB_GETLBTEXTLEN, static_cast<WPARAM>(at), 0);
        if (length != CB_ERR) {
            std::wstring text(static_cast<size_t>(length) + 1, L'\0');
            SendMessageW(r.control, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<size_t>(length));
            return text;
        }
    }
    const int length = GetWindowTextLengthW(r.control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(r.control, text.data(), length + 1)));
    return text;
}

bool SettingsWindow::CheckRow(Row& r, bool fromSelection) {
    if (!r.message) return true;
    const std::wstring value = ValueOf(r, fromSelection);
    // What the file already says is left as it is, whatever it is.
    std::optional<std::wstring> problem;
    if (r.field.IsList()) {
        // The store's folders may have changed on their tab since a folder was added.
        if (value != r.field.Shown())
            problem = r.field.kind == model::FieldKind::CardList ? model::CardListProblem(ListedEntries(r))
                                                                 : model::InboxListProblem(Neighbours());
        if (!problem && GetWindowTextLengthW(r.entry) > 0) problem = LookOf(r.field).notAdded;
    } else if (str::Trim(value) != str::Trim(r.field.Shown())) {
        problem = model::CheckFieldValue(r.field, value);
    }
    SetWindowTextW(r.message, problem.value_or(L"").c_str());
    return !problem;
}

void SettingsWindow::UpdateNote(const std::wstring& failure) {
    if (!note_) return;
    std::wstring text = failure;
    if (failure.empty()) {
        std::vector<model::FormField> fields;
        std::vector<std::wstring> values;
        for (const Row& r : rows_) {
            fields.push_back(r.field);
            values.push_back(ValueOf(r));
        }
        text = model::NextStartNote(model::WaitingForNextStart(fields, model::FormChanges(fields, values)));
    }
    noteIsFailure_ = !failure.empty();
    SetWindowTextW(note_, text.c_str());
}

void SettingsWindow::Browse(Row& r) {
    const std::wstring title = model::PlainLabel(r.field.label);
    const bool list = r.field.IsList();
    std::wstring start = str::Trim(list ? Text(r.entry) : ValueOf(r));
    if (list && start.empty()) {
        const std::vector<std::wstring> listed = ListedEntries(r);
        const LRESULT at = SendMessageW(r.control, LB_GETCURSEL, 0, 0);
        if (at != LB_ERR && static_cast<size_t>(at) < listed.size()) start = listed[static_cast<size_t>(at)];
    }
    events_.OnModalLoop(true);
    std::optional<std::wstring> chosen = r.field.kind == model::FieldKind::Program
                                             ? win::PickProgram(window_, title, start)
                                             : win::PickFolder(window_, title, start);
    events_.OnModalLoop(false);
    // The window may have gone while the picker was open.
    if (!window_ || !chosen) return;
    if (list) {
        SetWindowTextW(r.entry, chosen->c_str());
        SetFocus(CheckEntry(r) ? r.add : r.entry);
        return;
    }
    SetWindowTextW(r.control, chosen->c_str());
    CheckRow(r);
    UpdateNote();
    SetFocus(r.control);
}

void SettingsWindow::OnCommand(int id, int code, HWND control) {
    if (id == IDOK) return OnOk();
    if (id == IDCANCEL) return Close();
    if (id < model::ids::kSettingsFirstField) return;
    const size_t row = static_cast<size_t>(id - model::ids::kSettingsFirstField) / model::ids::kSettingsControlsPerField;
    const int part = (id - model::ids::kSettingsFirstField) % model::ids::kSettingsControlsPerField;
    if (row >= rows_.size()) return;
    Row& r = rows_[row];
    if (part == kBrowse && code == BN_CLICKED) return Browse(r);
    if (r.field.IsList()) {
        if (part == kEntry && code == EN_CHANGE) (void)CheckEntry(r);
        if (part == kAdd && code == BN_CLICKED) AddEntry(r);
        if (part == kRemove && code == BN_CLICKED) RemoveEntry(r);
        if (part == kField && code == LBN_SELCHANGE)
            EnableWindow(r.remove, SendMessageW(r.control, LB_GETCURSEL, 0, 0) != LB_ERR);
        return;
    }
    if (part != kField) return;
    const bool selected = code == CBN_SELCHANGE;
    if (code == EN_CHANGE || code == CBN_EDITCHANGE || selected || code == BN_CLICKED) {
        CheckRow(r, selected);
        // The folder typed to add is judged against the store as it is now.
        if (r.field.id == model::KeyId::PictureFolder || r.field.id == model::KeyId::BackupFolder)
            for (Row& list : rows_)
                if (list.entry) (void)CheckEntry(list);
        UpdateNote();
    }
}

void SettingsWindow::OnOk() {
    Row* first = nullptr;
    for (Row& r : rows_)
        if (!CheckRow(r) && !first) first = &r;
    if (first) {
        // Nothing is saved while a value cannot work: the first is shown.
        ShowTab(first->field.tab);
        SetFocus(first->entry && GetWindowTextLengthW(first->entry) > 0 ? first->entry : first->control);
        MessageBeep(MB_ICONWARNING);
        return;
    }
    std::vector<model::FormField> fields;
    std::vector<std::wstring> values;
    for (const Row& r : rows_) {
        fields.push_back(r.field);
        values.push_back(ValueOf(r));
    }
    std::vector<model::SettingChange> changes = model::FormChanges(fields, values);
    if (changes.empty()) return Close();
    std::optional<std::wstring> failure = events_.OnSettingsOk(changes);
    if (!failure) return Close();
    UpdateNote(*failure);
}

HWND SettingsWindow::EntryControl(std::wstring_view group, std::wstring_view key) const {
    return PartOf(group, key, &Row::entry);
}

HWND SettingsWindow::AddButton(std::wstring_view group, std::wstring_view key) const {
    return PartOf(group, key, &Row::add);
}

HWND SettingsWindow::RemoveButton(std::wstring_view group, std::wstring_view key) const {
    return PartOf(group, key, &Row::remove);
}

std::vector<std::wstring> SettingsWindow::ListedEntries(const Row& r) const {
    std::vector<std::wstring> entries;
    const LRESULT count = SendMessageW(r.control, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        const LRESULT length = SendMessageW(r.control, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length == LB_ERR) continue;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(r.control, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        entries.push_back(std::move(text));
    }
    return entries;
}

// The window's values as they stand: the store's folders may be changed on
// their own tab before OK.
model::InboxNeighbours SettingsWindow::Neighbours() const {
    std::vector<model::FormField> fields;
    std::vector<std::wstring> values;
    for (const Row& r : rows_) {
        fields.push_back(r.field);
        values.push_back(ValueOf(r));
    }
    return model::InboxNeighboursOf(fields, values);
}

bool SettingsWindow::CheckEntry(Row& r) {
    const std::wstring entry = str::Trim(Text(r.entry));
    std::optional<std::wstring> problem;
    if (!entry.empty())
        problem = r.field.kind == model::FieldKind::CardList ? model::CardEntryProblem(entry, ListedEntries(r))
                                                             : model::InboxFolderProblem(entry, Neighbours());
    SetWindowTextW(r.message, problem.value_or(L"").c_str());
    EnableWindow(r.add, !entry.empty() && !problem);
    return !entry.empty() && !problem;
}

void SettingsWindow::AddEntry(Row& r) {
    if (!CheckEntry(r)) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    const std::wstring entry = str::Trim(Text(r.entry));
    const LRESULT at = SendMessageW(r.control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    SendMessageW(r.control, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
    EnableWindow(r.remove, TRUE);
    SetWindowTextW(r.entry, L"");
    (void)CheckEntry(r);
    UpdateNote();
    SetFocus(r.entry);
}

void SettingsWindow::RemoveEntry(Row& r) {
    const LRESULT at = SendMessageW(r.control, LB_GETCURSEL, 0, 0);
    if (at == LB_ERR) return;
    SendMessageW(r.control, LB_DELETESTRING, static_cast<WPARAM>(at), 0);
    const LRESULT left = SendMessageW(r.control, LB_GETCOUNT, 0, 0);
    if (left > 0) SendMessageW(r.control, LB_SETCURSEL, static_cast<WPARAM>(std::min(at, left - 1)), 0);
    // A disabled button keeps no focus: the list takes it.
    if (left <= 0 && GetFocus() == r.remove) SetFocus(r.control);
    EnableWindow(r.remove, left > 0);
    // The entry typed may clash no more.
    (void)CheckEntry(r);
    UpdateNote();
}

bool SettingsWindow::PreTranslate(MSG& msg) {
    if (!window_ || !msg.hwnd || (msg.hwnd != window_ && !IsChild(window_, msg.hwnd))) return false;
    const bool control = GetKeyState(VK_CONTROL) & 0x8000;
    if (msg.message == WM_KEYDOWN && control && (msg.wParam == VK_TAB || msg.wParam == VK_PRIOR || msg.wParam == VK_NEXT)) {
        const bool back = msg.wParam == VK_PRIOR || (msg.wParam == VK_TAB && (GetKeyState(VK_SHIFT) & 0x8000));
        const size_t count = std::size(model::kSettingsTabs);
        const size_t next = (TabIndex(tab_) + (back ? count - 1 : 1)) % count;
        ShowTab(model::kSettingsTabs[next]);
        for (const Row& r : rows_)
            if (r.field.tab == tab_) {
                SetFocus(r.control);
                break;
            }
        return true;
    }
    return IsDialogMessageW(window_, &msg) != FALSE;
}

}  // namespace ui
