// Creation, painting and messages of the button bar and its child controls.
#include "ui/bar.h"

#include <commdlg.h>
#include <richedit.h>
#include <windowsx.h>

#include <iterator>
#include <vector>

#include "model/bar/tree_menu_logic.h"
#include "ui/theme.h"
#include "ui/thumb_area.h"
#include "win/dpi.h"
#include "win/user_shell.h"

namespace ui {

namespace {

constexpr wchar_t kBarClass[] = L"WemloxBar";

// The window rectangle whose client area is (x, y, w, h) with this style: the
// window's corner stays at (x, y); the frame grows to the right and down.
RECT FramedRect(int x, int y, int w, int h, DWORD style, DWORD exStyle) {
    RECT rc{x, y, x + w, y + h};
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    OffsetRect(&rc, x - rc.left, y - rc.top);
    return rc;
}

struct BarStyle {
    DWORD style, exStyle;
};

BarStyle StyleFor(bool titled) {
    BarStyle b{WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOPMOST};
    if (titled) {
        b.style |= WS_CAPTION;
        b.exStyle |= WS_EX_TOOLWINDOW;
    }
    return b;
}

}  // namespace

Bar::Bar(model::Settings& settings, BarEvents& events) : settings_(settings), events_(events), tree_(*this), grid_(*this) {}

Bar::~Bar() { Destroy(); }

void Bar::Destroy() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
}

LRESULT CALLBACK Bar::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* bar = static_cast<Bar*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bar));
        bar->window_ = hwnd;
    }
    auto* bar = reinterpret_cast<Bar*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return bar ? bar->Handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT Bar::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_DRAWITEM: {
        const auto& di = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (!grid_.DrawTile(di)) DrawButton(di);
        return TRUE;
    }
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(window_, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, background_.get());
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        SetTextColor(reinterpret_cast<HDC>(wp), theme::kText);
        SetBkColor(reinterpret_cast<HDC>(wp), theme::kBackground);
        return reinterpret_cast<LRESULT>(background_.get());
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lp));
    case WM_TIMER:
        events_.OnTimer(static_cast<unsigned>(wp));
        return 0;
    case WM_MOVE:
        OnMoved();
        return 0;
    case WM_DPICHANGED:
        // The system's suggested rectangle keeps the window's size in
        // proportion; the bar lays itself out from its settings instead, at
        // the place they give (for a user position: where it was dropped).
        ChangeDpi(LOWORD(wp));
        return 0;
    case WM_CLOSE:
        events_.OnClose();
        return 0;
    case WM_MOUSEACTIVATE:
        return OnMouseActivate(wp, lp);
    case WM_CONTEXTMENU:
        if (OnContextMenu(reinterpret_cast<HWND>(wp), lp)) return 0;
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        if (OnMenuKey(window_, msg, wp)) return 0;
        break;
    case WM_DISPLAYCHANGE:
        // A monitor came or went: the bar stays on one.
        Relayout();
        break;
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP:
        EnterModalLoop();
        break;
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP:
        LeaveModalLoop();
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        window_ = nullptr;
        return 0;
    default:
        if (msg == model::ids::kCardMail) {
            events_.OnCardMail();
            return 0;
        }
        if (msg == model::ids::kComeForward) {
            ComeForward();
            return 0;
        }
        break;
    }
    return DefWindowProcW(window_, msg, wp, lp);
}

void Bar::OnCommand(int id, int code, HWND control) {
    if (id >= model::ids::kFirstButton && id <= model::ids::kButtonCount && control) {
        // Owner-drawn buttons report a quick second click as a double click.
        if (code == BN_CLICKED || code == BN_DOUBLECLICKED) events_.OnButton(id);
        return;
    }
    if (!control && id >= model::ids::kMenuTransfer && id <= model::ids::kMenuHiRes) {
        events_.OnMenu(id);
        return;
    }
    if (!control) return;
    model::TileRef tile = grid_.TileOfControl(id);
    if (tile.part != model::TilePart::None) events_.OnTile(tile);
}

// A click on a viewer button leaves the keyboard where it is: a viewer that
// holds it keeps it, and its keys go without waiting for it to settle.
LRESULT Bar::OnMouseActivate(WPARAM wp, LPARAM lp) {
    const DWORD at = GetMessagePos();
    HWND under = WindowFromPoint(POINT{GET_X_LPARAM(at), GET_Y_LPARAM(at)});
    for (int i = model::ids::kFirstButton; i <= model::ids::kLastViewerButton; i++)
        if (under && under == buttons_[i]) return MA_NOACTIVATE;
    return DefWindowProcW(window_, WM_MOUSEACTIVATE, wp, lp);
}

LRESULT Bar::OnNotify(const NMHDR& hdr) {
    if (hdr.code == TTN_GETDISPINFOW && hdr.hwndFrom == tips_) {
        FillTip(*reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(&hdr)));
        return 0;
    }
    if (hdr.code == TTN_SHOW && hdr.hwndFrom == tips_) return PlaceTip(reinterpret_cast<HWND>(hdr.idFrom)) ? 1 : 0;
    if (hdr.idFrom != static_cast<UINT_PTR>(model::ids::kTree)) return 0;
    if (hdr.code == NM_RCLICK) {
        ShowTreeMenu(hdr.hwndFrom);
        return 1;
    }
    if (hdr.code == NM_DBLCLK) {
        SetLamp(model::ids::kCardButton, model::Lamp::Blue, model::LampAt::Top);
        events_.OnTreeDoubleClick();
        return 1;
    }
    return 0;
}

void Bar::OnMoved() {
    if (placing_) return;              // the panel opening or closing, not the user
    if (IsIconic(window_)) return;     // minimised: the system's place, not the user's
    RECT rc;
    if (GetWindowRect(window_, &rc)) events_.OnMoved(rc.left, rc.top);
}

void Bar::DrawButton(const DRAWITEMSTRUCT& di) {
    HDC dc = di.hDC;
    RECT rc = di.rcItem;
    FillRect(dc, &rc, background_.get());
    int id = static_cast<int>(di.CtlID);
    if (id < 1 || id > model::ids::kButtonCount) return;
    const win::Picture* face = Image(shownImage_[id]);
    RECT dest = rc;
    if (di.itemState & ODS_SELECTED) OffsetRect(&dest, Scaled(1), Scaled(1));  // pressed look
    if (face) win::DrawScaled(dc, *face, dest, true);
    if (id == model::ids::kCardButton) DrawProgress(dc, dest);
    if (di.itemState & ODS_DISABLED) {
        // Dim a disabled face so it reads as unavailable.
        win::MemoryDC mem(dc);
        win::Bitmap one(CreateCompatibleBitmap(dc, 1, 1));
        win::ScopedSelect sel(mem.get(), one.get());
        SetPixel(mem.get(), 0, 0, theme::kBackground);
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 170, 0};
        AlphaBlend(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, mem.get(), 0, 0, 1, 1, blend);
    }
}

RECT Bar::ClientToWindowRect(int x, int y, int w, int h) const {
    return FramedRect(x, y, w, h, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)),
                      static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)));
}

void Bar::LoadImages() {
    const model::GraphicsSettings& g = settings_.Graphics;
    for (int i = 1; i <= model::ids::kButtonCount; i++) images_[i] = win::LoadJpeg(g.Button[i]);
    for (int i = 1; i <= model::ids::kButtonCount; i++) images_[model::ids::kBusyImageOffset + i] = win::LoadJpeg(g.Busy);
    for (int i = 1; i <= 4; i++) images_[model::ids::kFirstTreeImage + i - 1] = win::LoadJpeg(g.Tree[i]);
    thumb_ = win::LoadJpeg(g.Thumb);
    toggles_[0] = win::LoadJpeg(g.NotLoadedUnchecked);
    toggles_[1] = win::LoadJpeg(g.NotLoadedChecked);
    toggles_[2] = win::LoadJpeg(g.LoadedUnchecked);
    toggles_[3] = win::LoadJpeg(g.LoadedChecked);
}

void Bar::CreateButtons(HINSTANCE inst) {
    for (int i = 1; i <= model::ids::kButtonCount; i++) {
        const model::PlacementRecord& r = geometry_.buttons[i];
        shownImage_[i] = i;
        buttons_[i] = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW | BS_FLAT, r.x, r.y,
                                      r.width, r.height, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(i)),
                                      inst, nullptr);
        // A button with the keyboard focus takes the keys that open the bar's menu.
        SetWindowSubclass(buttons_[i], ButtonKeys, 0, reinterpret_cast<DWORD_PTR>(this));
    }
}

LRESULT CALLBACK Bar::ButtonKeys(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR bar) {
    if ((msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP) &&
        reinterpret_cast<Bar*>(bar)->OnMenuKey(h, msg, wp))
        return 0;
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(h, ButtonKeys, 0);
    return DefSubclassProc(h, msg, wp, lp);
}

void Bar::CreateInfoViews(HINSTANCE inst) {
    const model::PlacementRecord& info = geometry_.info;
    LoadLibraryW(L"riched20.dll");
    journal_ = CreateWindowExW(0, L"RichEdit20W", L"",
                               WS_CHILD | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                                   ES_READONLY | ES_NOHIDESEL,
                               info.x, info.y, info.width, info.height, window_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(model::ids::kJournal)), inst, nullptr);
    // The journal has no length limit of its own.
    SendMessageW(journal_, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    // Nobody undoes a journal line; an undo record per line only costs time.
    SendMessageW(journal_, EM_SETUNDOLIMIT, 0, 0);
    treeControl_ = CreateWindowExW(0, WC_TREEVIEWW, L"",
                                   WS_CHILD | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                   info.x, info.y, info.width, info.height, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(model::ids::kTree)), inst, nullptr);
    TreeView_SetBkColor(treeControl_, theme::kBackground);
    TreeView_SetTextColor(treeControl_, theme::kText);
    TreeView_SetLineColor(treeControl_, theme::kText);
    thumbArea_ = CreateThumbArea(window_, inst, model::ids::kThumbArea, info.x, info.y, info.width, info.height);
    SetThumbAreaColours(thumbArea_, theme::kBackground, theme::kThumbAreaFront);
    SetThumbAreaInnerSize(thumbArea_, info.width, info.height);
    SetThumbAreaScrollStep(thumbArea_, model::ThumbAreaScrollStep(sizes_.ThumbSize, sizes_.ThumbSelSize));
}

void Bar::CreateTreeMenu() {
    menu_.reset(CreatePopupMenu());
    HMENU m = menu_.get();
    if (!m) return;
    std::vector<std::pair<int, std::wstring>> texts = model::ItemTexts(settings_);
    auto add = [&](int id) {
        for (auto& [itemId, text] : texts)
            if (itemId == id) return (void)AppendMenuW(m, MF_STRING, id, text.c_str());
    };
    auto addPlain = [m](int id, const wchar_t* text) { AppendMenuW(m, MF_STRING, id, text); };
    add(model::ids::kMenuTransfer);
    add(model::ids::kMenuFileInfo);
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    add(model::ids::kMenuSourcePath);
    add(model::ids::kMenuNeverLoad);
    add(model::ids::kMenuOccurenceName);
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    add(model::ids::kMenuLoRes);
    add(model::ids::kMenuHiRes);
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    addPlain(model::ids::kMenuRefresh, L"Refresh");
    addPlain(model::ids::kMenuClose, L"Close");
}

void Bar::Layout() {
    sizes_ = model::SizesAtDpi(settings_, dpi_);
    const DWORD style = window_ ? static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE))
                                : StyleFor(settings_.Titled).style;
    const DWORD exStyle = window_ ? static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE))
                                  : StyleFor(settings_.Titled).exStyle;
    model::BarInput in = model::BarInputFromSettings(settings_, GetSystemMetrics(SM_CXSCREEN),
                                                     GetSystemMetrics(SM_CYSCREEN), static_cast<int32_t>(style), dpi_);
    // A user position on a monitor that is gone still puts the bar where it can be seen.
    in.workAreas = win::MonitorWorkAreas();
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    in.frameWidth = frame.right - frame.left;
    in.frameHeight = frame.bottom - frame.top;
    geometry_ = model::ComputeBarGeometry(in);
}

void Bar::MakeDpiResources() {
    // 10 points at the monitor's DPI.
    font_.reset(CreateFontW(-MulDiv(10, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                            L"Fixedsys"));
    // The dialog font is made for the system DPI; the captions get it at the bar's.
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfHeight = MulDiv(lf.lfHeight, dpi_, win::SystemDpi());
    captionFont_.reset(CreateFontIndirectW(&lf));
    // A toggle shows its face unscaled, so the face is made at the bar's size.
    for (size_t i = 0; i < toggles_.size(); i++)
        scaledToggles_[i] = dpi_ == model::kBaseDpi
                                ? win::Picture{}
                                : win::Resized(toggles_[i], Scaled(toggles_[i].width), Scaled(toggles_[i].height));
}

void Bar::ChangeDpi(int dpi) {
    if (dpi <= 0 || dpi == dpi_ || !window_) return;
    dpi_ = dpi;
    // The controls let go of the old fonts before they are deleted.
    win::Font oldFont = std::move(font_), oldCaptionFont = std::move(captionFont_);
    MakeDpiResources();
    SendMessageW(journal_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    SendMessageW(treeControl_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    tree_.ScaleImages();
    Relayout();
}

void Bar::ApplyLayout() {
    if (window_) Relayout();
}

void Bar::Relayout() {
    Layout();
    SetOpen(infoView_ != InfoView::Closed);
    model::InfoViewRects views = model::ComputeInfoViewRects(geometry_.mode, geometry_.info, sizes_.ButtonSpace);
    if (IsWindowVisible(journal_)) PlaceView(model::ids::kJournal, views.journal);
    if (IsWindowVisible(treeControl_) || IsWindowVisible(thumbArea_)) {
        PlaceView(model::ids::kTree, views.treeAndThumbs);
        PlaceView(model::ids::kThumbArea, views.treeAndThumbs);
    }
    SetThumbAreaScrollStep(thumbArea_, model::ThumbAreaScrollStep(sizes_.ThumbSize, sizes_.ThumbSelSize));
    // The tiles are laid out anew at their new size (the picks are kept).
    grid_.Clear();
    if (IsWindowVisible(thumbArea_)) {
        events_.OnGridWanted();
        grid_.SizeArea(grid_.LastBuild());
    }
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

win::Picture& Bar::ToggleFace(int which) {
    const size_t i = static_cast<size_t>(which & 3);
    return scaledToggles_[i] ? scaledToggles_[i] : toggles_[i];
}

void Bar::StyleTextViews() {
    SendMessageW(journal_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SendMessageW(treeControl_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR;
    cf.crTextColor = theme::kText;
    SendMessageW(journal_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
    SendMessageW(journal_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
    SendMessageW(journal_, EM_SETBKGNDCOLOR, 0, theme::kBackground);
    // No sunken border on the text and the tree.
    for (HWND h : {journal_, treeControl_}) {
        LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
        SetWindowLongPtrW(h, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE));
        SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
}

bool Bar::Owns(HWND window) const { return window && window_ && (window == window_ || IsChild(window_, window)); }

void Bar::Show() {
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    UpdateWindow(window_);
}

void Bar::StayOnTop() { SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE); }

void Bar::BringToTop() {
    BringWindowToTop(window_);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Bar::Minimise() { ShowWindow(window_, SW_MINIMIZE); }

void Bar::EnableButton(int button, bool enabled) {
    if (HWND b = Control(button)) EnableWindow(b, enabled ? TRUE : FALSE);
}

void Bar::StartTimer(unsigned id, unsigned ms) { SetTimer(window_, id, ms, nullptr); }

void Bar::StopTimer(unsigned id) { KillTimer(window_, id); }

void Bar::PostCardMail() const { PostMessageW(window_, model::ids::kCardMail, 0, 0); }

std::optional<std::wstring> Bar::AskFileToSave(const std::wstring& title, const std::wstring& proposed,
                                               const wchar_t* filter) {
    wchar_t file[MAX_PATH * 4] = {};
    proposed.copy(file, std::size(file) - 1);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = window_;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = static_cast<DWORD>(std::size(file));
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    ModalScope modal(*this);
    if (!GetSaveFileNameW(&ofn) || file[0] == 0) return std::nullopt;
    return std::wstring(file);
}

void Bar::ShowMessage(const std::wstring& title, const std::wstring& text) {
    ModalScope modal(*this);
    MessageBoxW(window_, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
}

HWND Bar::Control(int id) const {
    if (id >= 1 && id <= model::ids::kButtonCount) return buttons_[id];
    if (id == model::ids::kJournal) return journal_;
    if (id == model::ids::kTree) return treeControl_;
    if (id == model::ids::kThumbArea) return thumbArea_;
    return nullptr;
}

win::Picture* Bar::Image(int number) {
    if (number < 1 || number >= model::ids::kImageSlots) return nullptr;
    return &images_[number];
}

void Bar::ShowButtonImage(int button, int image) {
    if (button < 1 || button > model::ids::kButtonCount || !buttons_[button]) return;
    shownImage_[button] = image;
    InvalidateRect(buttons_[button], nullptr, FALSE);
    UpdateWindow(buttons_[button]);
}

void Bar::ShowBusyFace(int button, bool busy) { ShowButtonImage(button, busy ? model::ids::kBusyImageOffset + button : button); }

void Bar::EnterModalLoop() { modalLoops_++; }

void Bar::LeaveModalLoop() {
    if (modalLoops_ > 0 && --modalLoops_ == 0) events_.OnModalLoopEnded();
}

void Bar::PrepareTreeMenu() {
    HMENU menu = menu_.get();
    for (int id = model::ids::kMenuTransfer; id <= model::ids::kMenuHiRes; id++) EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
    CardTree::Selection sel = tree_.Selected();
    // A card after the first has a camera folder of its own.
    model::Settings current = settings_;
    if (const std::optional<std::wstring>& path = tree_.Shown(sel.card).CameraPath) current.Path = *path;
    for (auto& [id, text] : model::ItemTexts(current))
        ModifyMenuW(menu, id, MF_BYCOMMAND | MF_STRING | MF_GRAYED, id, text.c_str());
    model::ItemKind kind = sel.item ? model::ItemKind::Root : model::ItemKind::Nothing;
    if (!tree_.IsRoot(sel)) {
        const model::CardFileRecord* r = tree_.Shown(sel.card).Lists.Record(static_cast<int32_t>(sel.data));
        kind = r && r->Size >= 1 ? model::ItemKind::File : model::ItemKind::Folder;
    }
    for (int id : model::EnabledItems(kind)) EnableMenuItem(menu, id, MF_BYCOMMAND | MF_ENABLED);
}

// The menu acts on the item under the mouse, as in any Windows tree.
void Bar::ShowTreeMenu(HWND tree) {
    SetLamp(model::ids::kCardButton, model::Lamp::Blue, model::LampAt::Top);
    POINT screen;
    GetCursorPos(&screen);
    TVHITTESTINFO hit{};
    hit.pt = screen;
    ScreenToClient(tree, &hit.pt);
    if (HTREEITEM item = TreeView_HitTest(tree, &hit)) TreeView_SelectItem(tree, item);
    PrepareTreeMenu();
    SetForegroundWindow(window_);  // so the menu closes when the user clicks elsewhere
    TrackPopupMenu(menu_.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, window_,
                   nullptr);
    PostMessageW(window_, WM_NULL, 0, 0);
}

bool Bar::Open() {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    LoadImages();
    const auto [style, exStyle] = StyleFor(settings_.Titled);
    // Laid out for the primary monitor first; a window that lands on another
    // one is laid out again below.
    dpi_ = win::SystemDpi();
    Layout();
    MakeDpiResources();
    background_.reset(CreateSolidBrush(theme::kBackground));

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(inst, MAKEINTRESOURCEW(1));
    wc.hbrBackground = background_.get();
    wc.lpszClassName = kBarClass;
    RegisterClassExW(&wc);

    const model::PlacementRecord& w = geometry_.window;
    RECT rc = FramedRect(w.x, w.y, w.width, w.height, style, exStyle);
    // The bar's first place is its own, not a move by the user.
    placing_ = true;
    HWND created = CreateWindowExW(exStyle, kBarClass, model::kProgramName, style, rc.left, rc.top,
                                   rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, inst, this);
    placing_ = false;
    if (!created) return false;
    CreateButtons(inst);
    CreateInfoViews(inst);
    CreateTips(inst);
    CreateTreeMenu();
    if (settings_.Active) tree_.AddStartRoot(settings_.OccurenceName);
    StyleTextViews();
    ChangeDpi(win::WindowDpi(window_));
    SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    return true;
}

}  // namespace ui
