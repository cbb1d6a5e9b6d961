// Stand-in for an image viewer or the Windows taskbar. It logs the command
// line it was started with and, when "<exe>.window" names a class and title
// ("class|title"), opens a top-level window of that class that logs every
// key it receives with the modifiers held, in order, and each time it is
// shown or hidden. Like a viewer it shows the JPEG picture it was started
// with, its name in the title, and closes on Alt+F4. The log is "<exe>.log"
// beside the program; several instances may append to it.
//
// With the class "Shell_TrayWnd" it stands in for the taskbar: a strip at the
// bottom of the screen that never takes the focus and lies below every other
// window, so that a search by class meets it last.
//
// A third field picks a misbehaviour ("class|title|hang", "|refused", "|thief"):
// - hang: once its window is up it logs "hang" and stops answering messages
//   (its thread sleeps for a minute), as a viewer that hangs;
// - refused: it never becomes the active window, as Windows refuses the
//   foreground to a program that asks for it from the background;
// - thief: the user's other program that Windows keeps in front: it takes the
//   foreground back whenever it loses it (and checks every 10 ms), except
//   from the window under the pointer, and logs every key and close it
//   receives like a viewer.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "base/fs.h"
#include "base/str.h"
#include "win/handle.h"
#include "win/images.h"

namespace {

win::Handle g_log;
bool g_closeOnAltRelease = false;
bool g_isTaskbar = false;
win::Picture g_picture;
bool g_isThief = false;
constexpr UINT kStayAtBottom = WM_APP + 1;
constexpr UINT kHang = WM_APP + 2;
constexpr UINT_PTR kLifeTimer = 1, kThiefTimer = 2;
constexpr DWORD kHangMs = 60000;

// One append per line: lines of concurrent instances never mix.
void Log(const std::wstring& line) {
    std::string bytes = str::ToUtf8(line) + "\r\n";
    DWORD written = 0;
    WriteFile(g_log.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The modifiers held, as the downs and ups this window received tell. (Wine
// may answer GetKeyState from the keyboard's state at the moment, which runs
// ahead of the messages not yet handled.)
bool g_ctrl = false, g_shift = false, g_alt = false;

void Track(WPARAM key, bool down) {
    if (key == VK_CONTROL) g_ctrl = down;
    if (key == VK_SHIFT) g_shift = down;
    if (key == VK_MENU) g_alt = down;
}

std::wstring Modifiers() {
    std::wstring m;
    if (g_ctrl) m += L" ctrl";
    if (g_shift) m += L" shift";
    if (g_alt) m += L" alt";
    return m;
}

void OnKeyDown(WPARAM key) {
    Track(key, true);
    Log(L"down " + std::to_wstring(key) + Modifiers());
    if (key == VK_F4 && g_alt) g_closeOnAltRelease = true;
}

// Closes once Alt is let go, so the log holds the whole chord.
void OnKeyUp(HWND h, WPARAM key) {
    Track(key, false);
    Log(L"up " + std::to_wstring(key) + Modifiers());
    if (key == VK_MENU && g_closeOnAltRelease) PostMessageW(h, WM_CLOSE, 0, 0);
}

void OnPositionChanged(HWND h, const WINDOWPOS& pos) {
    if (pos.flags & SWP_SHOWWINDOW) Log(L"shown");
    if (pos.flags & SWP_HIDEWINDOW) Log(L"hidden");
    // Showing or hiding may move it up; the taskbar goes back to the bottom.
    if (g_isTaskbar && GetWindow(h, GW_HWNDNEXT)) PostMessageW(h, kStayAtBottom, 0, 0);
}

// The picture scaled into the window on black, as a viewer shows it.
void Paint(HWND h) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT rc;
    GetClientRect(h, &rc);
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(g_picture ? BLACK_BRUSH : GRAY_BRUSH)));
    if (g_picture) {
        win::DrawScaled(dc, g_picture, rc, true);
    } else {
        // A file it cannot decode (a raw file): its name, as a viewer's
        // placeholder would show.
        wchar_t title[260];
        GetWindowTextW(h, title, 260);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        DrawTextW(dc, title, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    EndPaint(h, &ps);
}

// The last argument on the command line that names an existing file.
std::wstring StartedWith() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring file;
    for (int i = argc - 1; i > 0 && argv && file.empty(); i--)
        if (fs::IsNonEmptyFile(argv[i])) file = argv[i];
    LocalFree(argv);
    return file;
}

// Takes the foreground from every window but the one under the pointer: the
// user may click another program (the bar) and it comes forward, but no
// program may bring a third one forward.
void TakeForeground(HWND h) {
    HWND front = GetForegroundWindow();
    POINT pointer{};
    GetCursorPos(&pointer);
    if (front == h || (front && GetAncestor(WindowFromPoint(pointer), GA_ROOT) == front)) return;
    SetForegroundWindow(h);
}

// Turns down every activation of this thread's windows.
LRESULT CALLBACK RefuseActivation(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE) return 1;
    return CallNextHookEx(nullptr, code, wp, lp);
}

void MoveToBottom(HWND h) {
    SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT CALLBACK StandInProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        OnKeyDown(wp);
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        OnKeyUp(h, wp);
        return 0;
    case WM_WINDOWPOSCHANGED:
        OnPositionChanged(h, *reinterpret_cast<const WINDOWPOS*>(lp));
        break;
    case WM_PAINT:
        Paint(h);
        return 0;
    case kStayAtBottom:
        MoveToBottom(h);
        return 0;
    case kHang:
        Log(L"hang");
        Sleep(kHangMs);
        return 0;
    case WM_ACTIVATE:
        if (g_isThief && LOWORD(wp) == WA_INACTIVE) TakeForeground(h);
        break;
    case WM_TIMER:
        if (wp == kThiefTimer) TakeForeground(h);
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

HWND CreateViewerWindow(HINSTANCE inst, const std::wstring& cls, const std::wstring& title) {
    return CreateWindowExW(0, cls.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 640, 480,
                           nullptr, nullptr, inst, nullptr);
}

HWND CreateTaskbarWindow(HINSTANCE inst, const std::wstring& cls, const std::wstring& title) {
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    g_isTaskbar = true;
    HWND h = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, cls.c_str(), title.c_str(), WS_POPUP, 0,
                             height - 30, width, 30, nullptr, nullptr, inst, nullptr);
    if (h) ShowWindow(h, SW_SHOWNOACTIVATE);
    return h;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
    std::wstring exe = fs::ProgramFile();
    g_log.reset(CreateFileW((exe + L".log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Log(L"start: " + std::wstring(GetCommandLineW()));
    auto windowLine = fs::ReadFile(exe + L".window");
    if (!windowLine) return 0;
    std::wstring s = str::Trim(str::FromUtf8(*windowLine));
    size_t bar = s.find(L'|');
    std::wstring cls = s.substr(0, bar), title = bar == std::wstring::npos ? cls : s.substr(bar + 1);
    std::wstring behaviour;
    if (size_t second = title.find(L'|'); second != std::wstring::npos) {
        behaviour = title.substr(second + 1);
        title.resize(second);
    }
    g_isThief = behaviour == L"thief";
    WNDCLASSW wc{};
    wc.lpfnWndProc = StandInProc;
    wc.hInstance = inst;
    wc.lpszClassName = cls.c_str();
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    RegisterClassW(&wc);
    std::wstring file = StartedWith();
    if (!file.empty() && cls != L"Shell_TrayWnd") {
        g_picture = win::LoadJpeg(file);
        title = file.substr(file.find_last_of(L"\\/") + 1) + L" - " + title;
    }
    if (behaviour == L"refused") SetWindowsHookExW(WH_CBT, RefuseActivation, nullptr, GetCurrentThreadId());
    HWND w = cls == L"Shell_TrayWnd" ? CreateTaskbarWindow(inst, cls, title) : CreateViewerWindow(inst, cls, title);
    if (!w) return 1;
    SetTimer(w, kLifeTimer, 120000, nullptr);  // never outlives a test run
    if (g_isThief) {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
        SetTimer(w, kThiefTimer, 10, nullptr);
        TakeForeground(w);
    }
    if (behaviour == L"hang") PostMessageW(w, kHang, 0, 0);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_TIMER && m.hwnd == w && m.wParam == kLifeTimer) break;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return 0;
}
