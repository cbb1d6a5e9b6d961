// Stand-in for an image viewer: logs the command line it was started with
// and, when "<exe>.window" names a class and title ("class|title"), opens a
// top-level window of that class that logs every key it receives. The log is
// "<exe>.log" beside the program.
#include <windows.h>

#include <string>

#include "base/fs.h"
#include "base/str.h"

namespace {

std::wstring g_log;

void Log(const std::wstring& line) {
    std::string bytes = fs::ReadFile(g_log).value_or("") + str::ToUtf8(line) + "\r\n";
    (void)fs::WriteFile(g_log, bytes);
}

std::wstring Modifiers() {
    std::wstring m;
    if (GetKeyState(VK_CONTROL) & 0x8000) m += L" ctrl";
    if (GetKeyState(VK_SHIFT) & 0x8000) m += L" shift";
    if (GetKeyState(VK_MENU) & 0x8000) m += L" alt";
    return m;
}

LRESULT CALLBACK ViewerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        Log(L"down " + std::to_wstring(wp) + Modifiers());
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        Log(L"up " + std::to_wstring(wp) + Modifiers());
        return 0;
    case WM_CLOSE:
        Log(L"close");
        DestroyWindow(h);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
    std::wstring exe = fs::ProgramFile();
    g_log = exe + L".log";
    Log(L"start: " + std::wstring(GetCommandLineW()));
    auto spec = fs::ReadFile(exe + L".window");
    if (!spec) return 0;
    std::wstring s = str::Trim(str::FromUtf8(*spec));
    size_t bar = s.find(L'|');
    std::wstring cls = s.substr(0, bar), title = bar == std::wstring::npos ? cls : s.substr(bar + 1);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ViewerProc;
    wc.hInstance = inst;
    wc.lpszClassName = cls.c_str();
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, cls.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 640, 480,
                             nullptr, nullptr, inst, nullptr);
    if (!w) return 1;
    SetTimer(w, 1, 120000, nullptr);  // never outlives a test run
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_TIMER && m.hwnd == w) break;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return 0;
}
