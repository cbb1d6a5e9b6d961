// Creation and painting of the button bar and its child controls.
#include "ui/bar.h"

#include <richedit.h>

#include <array>
#include <vector>

#include "win/handle.h"
#include "app/app.h"
#include "app/state.h"
#include "ui/thumbs.h"
#include "model/ids.h"
#include "ui/thumb_area.h"
#include "model/tree_menu_logic.h"

namespace bar {

namespace {

constexpr COLORREF kBack = RGB(51, 51, 51);
constexpr COLORREF kText = RGB(204, 204, 204);
constexpr COLORREF kThumbAreaFront = RGB(0, 255, 0);
constexpr wchar_t kBarClass[] = L"WemloxBar";

struct BarState {
    HWND window = nullptr;
    std::array<HWND, ids::kButtonCount + 1> buttons{};
    std::array<int, ids::kButtonCount + 1> shownImage{};
    HWND journal = nullptr, tree = nullptr, thumbs = nullptr;
    HTREEITEM treeRoot = nullptr;
    win::Menu menu;
    win::Font font;
    win::Brush background;
    std::array<images::Picture, ids::kImageSlots> images;
    images::Picture thumb;
    std::array<images::Picture, 4> toggles;
    ui::BarGeometry geometry;
    bool placing = false;
    int modalLoops = 0;
};
BarState g_bar;

void DrawButton(const DRAWITEMSTRUCT& di) {
    HDC dc = di.hDC;
    RECT rc = di.rcItem;
    FillRect(dc, &rc, g_bar.background.get());
    int id = static_cast<int>(di.CtlID);
    if (id < 1 || id > ids::kButtonCount) return;
    const images::Picture* face = Image(g_bar.shownImage[id]);
    RECT dest = rc;
    if (di.itemState & ODS_SELECTED) OffsetRect(&dest, 1, 1);  // pressed look
    if (face) images::DrawScaled(dc, *face, dest, true);
    if (di.itemState & ODS_DISABLED) {
        // Dim a disabled face so it reads as unavailable.
        win::MemoryDC mem(dc);
        win::Bitmap one(CreateCompatibleBitmap(dc, 1, 1));
        win::ScopedSelect sel(mem.get(), one.get());
        SetPixel(mem.get(), 0, 0, kBack);
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 170, 0};
        AlphaBlend(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, mem.get(), 0, 0, 1, 1, blend);
    }
}

LRESULT OnCtlColor(HDC dc) {
    SetTextColor(dc, kText);
    SetBkColor(dc, kBack);
    return reinterpret_cast<LRESULT>(g_bar.background.get());
}

LRESULT CALLBACK BarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_DRAWITEM:
        if (!thumbs::DrawTile(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp)))
            DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, g_bar.background.get());
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return OnCtlColor(reinterpret_cast<HDC>(wp));
    case WM_COMMAND:
        app::OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
        return 0;
    case WM_NOTIFY:
        return app::OnNotify(*reinterpret_cast<const NMHDR*>(lp));
    case WM_TIMER:
        app::OnTimer(static_cast<unsigned>(wp));
        return 0;
    case WM_MOVE:
        app::OnMoved();
        return 0;
    case WM_CLOSE:
        app::OnClose();
        return 0;
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP:
        EnterModalLoop();
        break;
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP:
        LeaveModalLoop();
        break;
    default:
        if (msg == ids::kCardMail) {
            app::OnCardMail();
            return 0;
        }
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

RECT ClientToWindowRect(int x, int y, int w, int h) {
    RECT rc{x, y, x + w, y + h};
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(g_bar.window, GWL_STYLE));
    DWORD ex = static_cast<DWORD>(GetWindowLongPtrW(g_bar.window, GWL_EXSTYLE));
    AdjustWindowRectEx(&rc, style, FALSE, ex);
    // The window's corner stays at (x, y); the frame grows to the right and down.
    OffsetRect(&rc, x - rc.left, y - rc.top);
    return rc;
}

void LoadImages() {
    const GraphicsSettings& g = g_settings.Graphics;
    for (int i = 1; i <= ids::kButtonCount; i++) g_bar.images[i] = images::LoadJpeg(g.Button[i]);
    for (int i = 1; i <= ids::kButtonCount; i++)
        g_bar.images[ids::kBusyImageOffset + i] = images::LoadJpeg(g.Busy);
    for (int i = 1; i <= 4; i++) g_bar.images[ids::kFirstTreeImage + i - 1] = images::LoadJpeg(g.Tree[i]);
    g_bar.thumb = images::LoadJpeg(g.Thumb);
    g_bar.toggles[0] = images::LoadJpeg(g.NotLoadedUnchecked);
    g_bar.toggles[1] = images::LoadJpeg(g.NotLoadedChecked);
    g_bar.toggles[2] = images::LoadJpeg(g.LoadedUnchecked);
    g_bar.toggles[3] = images::LoadJpeg(g.LoadedChecked);
}

void CreateButtons(HINSTANCE inst) {
    int b = g_settings.ButtonSize;
    for (int i = 1; i <= ids::kButtonCount; i++) {
        const ui::PlacementRecord& r = g_bar.geometry.buttons[i];
        g_bar.shownImage[i] = i;
        g_bar.buttons[i] = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW | BS_FLAT,
                                           r.x, r.y, b, b, g_bar.window,
                                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(i)), inst, nullptr);
    }
}

void CreateInfoViews(HINSTANCE inst) {
    const ui::PlacementRecord& info = g_bar.geometry.info;
    LoadLibraryW(L"riched20.dll");
    g_bar.journal = CreateWindowExW(
        0, L"RichEdit20W", L"",
        WS_CHILD | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_READONLY |
            ES_NOHIDESEL,
        info.x, info.y, info.width, info.height, g_bar.window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kJournal)), inst, nullptr);
    // The journal has no length limit of its own.
    SendMessageW(g_bar.journal, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    // Nobody undoes a journal line; an undo record per line only costs time.
    SendMessageW(g_bar.journal, EM_SETUNDOLIMIT, 0, 0);
    g_bar.tree = CreateWindowExW(
        0, WC_TREEVIEWW, L"",
        WS_CHILD | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
        info.x, info.y, info.width, info.height, g_bar.window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kTree)), inst, nullptr);
    TreeView_SetBkColor(g_bar.tree, kBack);
    TreeView_SetTextColor(g_bar.tree, kText);
    TreeView_SetLineColor(g_bar.tree, kText);
    g_bar.thumbs = thumbarea::Create(g_bar.window, inst, ids::kThumbArea, info.x, info.y, info.width, info.height);
    thumbarea::SetColours(g_bar.thumbs, kBack, kThumbAreaFront);
    thumbarea::SetInnerSize(g_bar.thumbs, info.width, info.height);
    thumbarea::SetScrollStep(g_bar.thumbs, ui::ThumbAreaScrollStep(g_settings.ThumbSize, g_settings.ThumbSelSize));
}

void CreateTreeMenu() {
    g_bar.menu.reset(CreatePopupMenu());
    HMENU m = g_bar.menu.get();
    if (!m) return;
    std::vector<std::pair<int, std::wstring>> texts = treemenu::ItemTexts(g_settings);
    auto add = [&](int id) {
        for (auto& [itemId, text] : texts)
            if (itemId == id) return (void)AppendMenuW(m, MF_STRING, id, text.c_str());
    };
    auto addPlain = [m](int id, const wchar_t* text) { AppendMenuW(m, MF_STRING, id, text); };
    add(ids::kMenuTransfer);
    add(ids::kMenuFileInfo);
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    add(ids::kMenuSourcePath);
    add(ids::kMenuNeverLoad);
    add(ids::kMenuOccurenceName);
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    add(ids::kMenuLoRes);
    add(ids::kMenuHiRes);
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    addPlain(ids::kMenuRefresh, L"Refresh");
    addPlain(ids::kMenuClose, L"Close");
}

void StyleTextViews() {
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(10, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    g_bar.font.reset(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 FIXED_PITCH | FF_MODERN, L"Fixedsys"));
    SendMessageW(g_bar.journal, WM_SETFONT, reinterpret_cast<WPARAM>(g_bar.font.get()), FALSE);
    SendMessageW(g_bar.tree, WM_SETFONT, reinterpret_cast<WPARAM>(g_bar.font.get()), FALSE);
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR;
    cf.crTextColor = kText;
    SendMessageW(g_bar.journal, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
    SendMessageW(g_bar.journal, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
    SendMessageW(g_bar.journal, EM_SETBKGNDCOLOR, 0, kBack);
    // No sunken border on the text and the tree.
    for (HWND h : {g_bar.journal, g_bar.tree}) {
        LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
        SetWindowLongPtrW(h, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE));
        SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
}

}  // namespace

HWND Window() { return g_bar.window; }

HWND Control(int id) {
    if (id >= 1 && id <= ids::kButtonCount) return g_bar.buttons[id];
    if (id == ids::kJournal) return g_bar.journal;
    if (id == ids::kTree) return g_bar.tree;
    if (id == ids::kThumbArea) return g_bar.thumbs;
    return nullptr;
}

HMENU TreeMenu() { return g_bar.menu.get(); }
HTREEITEM TreeRoot() { return g_bar.treeRoot; }
void SetTreeRoot(HTREEITEM root) { g_bar.treeRoot = root; }
HFONT ProgramFont() { return g_bar.font.get(); }
ui::BarGeometry& Geometry() { return g_bar.geometry; }

images::Picture* Image(int number) {
    if (number < 1 || number >= ids::kImageSlots) return nullptr;
    return &g_bar.images[number];
}
images::Picture& ThumbPicture() { return g_bar.thumb; }
images::Picture& ToggleFace(int which) { return g_bar.toggles[static_cast<size_t>(which & 3)]; }

void ShowButtonImage(int button, int image) {
    if (button < 1 || button > ids::kButtonCount || !g_bar.buttons[button]) return;
    g_bar.shownImage[button] = image;
    InvalidateRect(g_bar.buttons[button], nullptr, FALSE);
    UpdateWindow(g_bar.buttons[button]);
}

void PlaceWindow(const ui::PlacementRecord& r, bool open) {
    RECT rc = open ? ClientToWindowRect(r.xInfo, r.yInfo, r.widthInfo, r.heightInfo)
                   : ClientToWindowRect(r.x, r.y, r.width, r.height);
    g_bar.placing = true;
    SetWindowPos(g_bar.window, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    g_bar.placing = false;
}

bool PlacingWindow() { return g_bar.placing; }

bool InModalLoop() { return g_bar.modalLoops > 0; }
void EnterModalLoop() { g_bar.modalLoops++; }
void LeaveModalLoop() {
    if (g_bar.modalLoops > 0 && --g_bar.modalLoops == 0) app::OnModalLoopEnded();
}

void PlaceButton(int button, const ui::PlacementRecord& r, bool open) {
    int b = g_settings.ButtonSize;
    SetWindowPos(g_bar.buttons[button], nullptr, open ? r.xInfo : r.x, open ? r.yInfo : r.y, b, b,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

int OpenMainWindowImpl() {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    LoadImages();
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    DWORD style = WS_POPUP | WS_CLIPCHILDREN;
    DWORD exStyle = WS_EX_TOPMOST;
    if (g_settings.Titled) {
        style |= WS_CAPTION;
        exStyle |= WS_EX_TOOLWINDOW;
    }
    g_bar.geometry = ui::ComputeBarGeometry(
        ui::BarInputFromSettings(g_settings, sw, sh, static_cast<int32_t>(style)));
    g_bar.background.reset(CreateSolidBrush(kBack));

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = BarProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(inst, MAKEINTRESOURCEW(1));
    wc.hbrBackground = g_bar.background.get();
    wc.lpszClassName = kBarClass;
    RegisterClassExW(&wc);

    const ui::PlacementRecord& w = g_bar.geometry.window;
    RECT rc{w.x, w.y, w.x + w.width, w.y + w.height};
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    OffsetRect(&rc, w.x - rc.left, w.y - rc.top);
    g_bar.window = CreateWindowExW(exStyle, kBarClass, kProgramName, style, rc.left, rc.top,
                                   rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, inst, nullptr);
    if (!g_bar.window) return 0;
    CreateButtons(inst);
    CreateInfoViews(inst);
    CreateTreeMenu();
    if (g_settings.Active) {
        TVINSERTSTRUCTW ins{};
        ins.hParent = TVI_ROOT;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT;
        ins.item.pszText = const_cast<wchar_t*>(g_settings.OccurenceName.c_str());
        g_bar.treeRoot = TreeView_InsertItem(g_bar.tree, &ins);
    }
    StyleTextViews();
    SetWindowPos(g_bar.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    return 0;
}

}  // namespace bar

int OpenMainWindow() { return bar::OpenMainWindowImpl(); }
