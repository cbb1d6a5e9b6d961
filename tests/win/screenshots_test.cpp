// Not a check but a tool: with WEMLOX_SHOTS_DIR set, saves pictures of the
// bar's menu and of each tab of the settings window, at the DPI the process
// runs at (scripts/settings_shots.sh runs it at 96 and 192 DPI and makes
// PNG files of them). Skipped otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "base/fs.h"
#include "model/common/ids.h"
#include "ui_fixture.h"

namespace {

using uitest::UiTest;

// The screen inside `rc` as a 24-bit BMP file.
bool SaveScreen(const RECT& rc, const std::wstring& file) {
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    std::vector<COLORREF> pixels = driver::ScreenPixels(rc);
    if (pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) return false;
    const int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{sizeof ih, w, h, 1, 24, BI_RGB, static_cast<DWORD>(stride * h), 0, 0, 0, 0};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&fh), sizeof fh);
    bytes.append(reinterpret_cast<const char*>(&ih), sizeof ih);
    for (int y = h - 1; y >= 0; y--) {  // bottom-up
        std::string row(static_cast<size_t>(stride), '\0');
        for (int x = 0; x < w; x++) {
            COLORREF c = pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
            row[static_cast<size_t>(x) * 3] = static_cast<char>(GetBValue(c));
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<char>(GetGValue(c));
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<char>(GetRValue(c));
        }
        bytes += row;
    }
    return fs::WriteFile(file, bytes);
}

RECT Union(HWND a, HWND b) {
    RECT ra{}, rb{}, both{};
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    UnionRect(&both, &ra, &rb);
    InflateRect(&both, 8, 8);
    // A copy that reaches past the screen's edge comes back black.
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&both, &both, &screen);
    return both;
}

}  // namespace

TEST_F(UiTest, SaveScreenshotsOfTheMenuAndTheSettingsTabs) {
    std::optional<std::wstring> dir = fs::GetEnv(L"WEMLOX_SHOTS_DIR");
    if (!dir || dir->empty()) GTEST_SKIP() << "WEMLOX_SHOTS_DIR names no folder";
    const std::wstring dpi = std::to_wstring(bar.Dpi());
    Shell().startsWithWindows = true;

    // The menu on button 3, read off the screen while it is open.
    bool menuSaved = false;
    std::thread shooter([&] {
        HWND menu = nullptr;
        driver::WaitFor([&] { return (menu = driver::FindOwnWindow(GetCurrentProcessId(), L"#32768")) != nullptr; }, 5000);
        if (!menu) return;
        // Drawn once its rows show (a popup menu paints after it appears).
        RECT m{};
        GetWindowRect(menu, &m);
        driver::WaitFor([&] {
            std::vector<COLORREF> px = driver::ScreenPixels(m);
            return std::count(px.begin(), px.end(), RGB(0, 0, 0)) < static_cast<std::ptrdiff_t>(px.size() / 2);
        }, 3000);
        menuSaved = SaveScreen(Union(bar.Control(3), menu), *dir + L"\\menu-" + dpi + L".bmp");
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        keybd_event(VK_ESCAPE, 0, 0, 0);
        keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
    });
    RECT rc = driver::ClientOnScreen(bar.Control(3));
    driver::MouseAt((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2, true);
    Pump([&] { return menuSaved; }, 8000);
    shooter.join();
    EXPECT_TRUE(menuSaved);
    Pump([] { return false; }, 300);

    model::IniDocument ini(str::ToUtf8(model::DefaultSettingsText()));
    ASSERT_TRUE(window.Open(bar.Window(), model::BuildSettingsForm(ini), bar.Dpi()));
    // One value that cannot work, so that its message shows on the Card tab.
    SetWindowTextW(window.FieldControl(L"TFA", L"PingTimeoutMs"), L"5");
    // A second card's range in the list, and an address typed that the first names.
    SetWindowTextW(window.EntryControl(L"TFA", L"Url"), L"192.168.1.201-209");
    SendMessageW(window.AddButton(L"TFA", L"Url"), BM_CLICK, 0, 0);
    SetWindowTextW(window.EntryControl(L"TFA", L"Url"), L"192.168.0.1");
    // An inbox in the list, and a folder typed that holds the picture folder.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    SetWindowTextW(window.EntryControl(L"Inbox", L"Folders"), temp);
    SendMessageW(window.AddButton(L"Inbox", L"Folders"), BM_CLICK, 0, 0);
    SetWindowTextW(window.EntryControl(L"Inbox", L"Folders"), L"C:\\");
    for (model::SettingsTab tab : model::kSettingsTabs) {
        window.ShowTab(tab);
        Pump([] { return false; }, 300);
        // The client area: without a window manager the caption is not drawn.
        RECT shown = driver::ClientOnScreen(window.Window());
        std::wstring name = model::TabTitle(tab);
        EXPECT_TRUE(SaveScreen(shown, *dir + L"\\settings-" + str::ToLower(name) + L"-" + dpi + L".bmp"));
    }
}
