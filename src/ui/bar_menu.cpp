// The bar's own popup menu (settings, picture folder, start with Windows,
// About, End), how it opens from the mouse and the keyboard, the About box,
// and the bar coming forward for another start of the program.
#include <windows.h>
#include <windowsx.h>

#include "model/bar/bar_menu.h"
#include "ui/bar.h"
#include "win/handle.h"

namespace ui {

bool Bar::OnContextMenu(HWND from, LPARAM at) {
    bool ours = from == window_;
    for (int i = 1; i <= model::ids::kButtonCount; i++) ours = ours || from == buttons_[i];
    if (!ours) return false;  // the card tree keeps its own menu; the panel's views have none
    POINT pt{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (pt.x == -1 && pt.y == -1) {
        // From the keyboard: below the focused button (or the bar's corner).
        RECT rc;
        GetWindowRect(from, &rc);
        pt = {rc.left + (rc.right - rc.left) / 2, rc.top + (rc.bottom - rc.top) / 2};
    }
    ShowBarMenu(pt);
    return true;
}

bool Bar::OnMenuKey(HWND from, UINT msg, WPARAM key) {
    const bool apps = key == VK_APPS && (msg == WM_KEYDOWN || msg == WM_KEYUP);
    const bool shiftF10 = key == VK_F10 && (msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP) &&
                          (GetKeyState(VK_SHIFT) & 0x8000);
    if (!apps && !shiftF10) return false;
    // The menu opens on the press; the release is swallowed as well, so that
    // the system does not open it a second time.
    if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) OnContextMenu(from, -1);
    return true;
}

void Bar::ShowBarMenu(POINT at) {
    win::Menu menu(CreatePopupMenu());
    if (!menu) return;
    for (const model::BarMenuEntry& e : model::kBarMenu) {
        if (e.separatorBefore) AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
        UINT flags = MF_STRING;
        if (e.item == model::BarMenuItem::StartWithWindows && events_.StartsWithWindows()) flags |= MF_CHECKED;
        AppendMenuW(menu.get(), flags, static_cast<UINT_PTR>(e.id), e.text);
    }
    SetForegroundWindow(window_);  // so the menu closes when the user clicks elsewhere
    const int chosen = static_cast<int>(TrackPopupMenuEx(
        menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y,
        window_, nullptr));
    PostMessageW(window_, WM_NULL, 0, 0);
    if (std::optional<model::BarMenuItem> item = model::BarMenuItemOf(chosen)) events_.OnBarMenu(*item);
}

void Bar::ShowAbout(const std::wstring& settingsFile, const std::wstring& pictureFolder) {
    ModalScope modal(*this);
    const std::wstring text = model::AboutText(settingsFile, pictureFolder);
    MessageBoxW(window_, text.c_str(), L"About Wemlox", MB_OK | MB_ICONINFORMATION);
}

void Bar::ComeForward() {
    if (IsIconic(window_)) ShowWindow(window_, SW_RESTORE);
    Relayout();  // on a monitor that is there now
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    BringWindowToTop(window_);
}

}  // namespace ui
