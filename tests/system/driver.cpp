// Test driver for system tests.
#include "driver.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "model/settings/settings.h"

namespace driver {

static std::wstring TempRoot() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, buf);
    std::wstring base(buf, n);
    static int counter = 0;
    std::wstring dir = base + L"wemlox-st-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                       std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

Sandbox::Sandbox() : root(TempRoot()) {
    appdata = root + L"\\AppData";
    profile = root + L"\\Profile";
    programFiles = root + L"\\Program Files";
    programFiles86 = root + L"\\Program Files (x86)";
    for (auto* d : {&appdata, &profile, &programFiles, &programFiles86}) CreateDirectoryW(d->c_str(), nullptr);
}

void Sandbox::WriteSettings(std::initializer_list<std::pair<std::wstring, std::wstring>> changes) const {
    WriteSettings(std::vector<std::pair<std::wstring, std::wstring>>(changes));
}

void Sandbox::WriteSettings(const std::vector<std::pair<std::wstring, std::wstring>>& changes) const {
    model::IniDocument ini(str::ToUtf8(model::DefaultSettingsText()));
    (void)ini.SetValue(L"TFA", L"Url", L"127.0.0.1");
    (void)ini.SetValue(L"TFA", L"UrlLastConnect", L"127.0.0.1");
    for (auto& [groupKey, value] : changes) {
        size_t dot = groupKey.find(L'.');
        // A group the built-in text lacks ([Inbox]) is added.
        (void)ini.SetValues({{groupKey.substr(0, dot), groupKey.substr(dot + 1), value}}, true);
    }
    CreateDirectoryW(SettingsFolder().c_str(), nullptr);
    (void)fs::WriteFile(SettingsFile(), ini.Serialize());
}

std::wstring TestBinDir() {
    std::wstring p = fs::ProgramFile();
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

std::wstring WemloxExe() { return TestBinDir() + L"Wemlox.exe"; }

std::wstring InstallStandinIrfanView(const Sandbox& box) {
    const std::wstring viewer = box.programFiles + L"\\IrfanView\\i_view64.exe";
    MakeDirs(box.programFiles + L"\\IrfanView");
    return CopyFileW((TestBinDir() + L"standin_viewer.exe").c_str(), viewer.c_str(), FALSE) ? viewer : L"";
}

static std::vector<wchar_t> EnvironmentWith(const Sandbox& box) {
    // A 64-bit process under Wine takes ProgramFiles from ProgramW6432, so
    // both name the sandbox's folder.
    struct Var { const wchar_t* name; const std::wstring* value; } vars[] = {
        {L"APPDATA", &box.appdata}, {L"USERPROFILE", &box.profile},
        {L"ProgramFiles", &box.programFiles}, {L"ProgramW6432", &box.programFiles},
        {L"ProgramFiles(x86)", &box.programFiles86}};
    std::vector<wchar_t> block;
    wchar_t* env = GetEnvironmentStringsW();
    for (const wchar_t* p = env; *p; p += wcslen(p) + 1) {
        std::wstring_view entry(p);
        bool replaced = false;
        for (auto& v : vars) {
            std::wstring prefix = std::wstring(v.name) + L"=";
            if (entry.size() >= prefix.size() && str::EqualsI(entry.substr(0, prefix.size()), prefix)) replaced = true;
        }
        if (!replaced) block.insert(block.end(), entry.begin(), entry.end()), block.push_back(0);
    }
    FreeEnvironmentStringsW(env);
    for (auto& v : vars) {
        std::wstring entry = std::wstring(v.name) + L"=" + *v.value;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(0);
    }
    block.push_back(0);
    return block;
}

Started Start(const Sandbox& box, const std::wstring& exe, const std::wstring& args) {
    std::wstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(0);
    std::vector<wchar_t> env = EnvironmentWith(box);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    Started s;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, env.data(),
                       box.root.c_str(), &si, &pi)) {
        CloseHandle(pi.hThread);
        s.process.reset(pi.hProcess);
        s.pid = pi.dwProcessId;
    }
    return s;
}

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        if (cond()) return true;
        if (GetTickCount64() > end) return false;
        Sleep(25);
    }
}

int WaitExit(const Started& p, int timeoutMs) {
    if (!p.process || WaitForSingleObject(p.process.get(), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(p.process.get(), &code);
    return static_cast<int>(code);
}

HWND FindOwnWindow(DWORD pid, const wchar_t* cls, const wchar_t* title, bool visibleOnly) {
    struct Search { DWORD pid; const wchar_t *cls, *title; bool visibleOnly; HWND found; } s{pid, cls, title, visibleOnly,
                                                                                             nullptr};
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(h, &owner);
            wchar_t c[257] = {};
            GetClassNameW(h, c, 257);
            if (owner != s->pid || wcscmp(c, s->cls) != 0 || (s->visibleOnly && !IsWindowVisible(h))) return TRUE;
            if (s->title && WindowText(h) != s->title) return TRUE;
            s->found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND FindBar(DWORD pid) { return FindOwnWindow(pid, L"WemloxBar"); }

HWND WaitForBar(const Started& p, int timeoutMs) {
    HWND bar = nullptr;
    WaitFor([&] { return (bar = FindBar(p.pid)) != nullptr; }, timeoutMs);
    return bar;
}

RECT ClientOnScreen(HWND h) {
    RECT rc{};
    GetClientRect(h, &rc);
    MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::vector<COLORREF> ScreenPixels(const RECT& rc) {
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    std::vector<COLORREF> pixels;
    if (width <= 0 || height <= 0) return pixels;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    if (bits && BitBlt(mem, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY)) {
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);  // 0x00RRGGBB
        pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int i = 0; i < width * height; i++) pixels.push_back(RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF));
    }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return pixels;
}

void Click(HWND control) {
    RECT rc = ClientOnScreen(control);
    int x = (rc.left + rc.right) / 2, y = (rc.top + rc.bottom) / 2;
    SetCursorPos(x, y);
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &in[0], sizeof(INPUT));
    Sleep(30);  // lets the press arrive before the release, as with a hand
    SendInput(1, &in[1], sizeof(INPUT));
}

void MouseAt(int x, int y, bool right) {
    SetCursorPos(x, y);
    INPUT in[2]{};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        i.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | (right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    in[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | (right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    SendInput(1, &in[0], sizeof(INPUT));
    Sleep(30);  // the press arrives before the release, as with a hand
    SendInput(1, &in[1], sizeof(INPUT));
}

void Hover(HWND control) {
    RECT rc = ClientOnScreen(control);
    int x = (rc.left + rc.right) / 2, y = (rc.top + rc.bottom) / 2;
    // A real move, so the control sees the mouse arrive.
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof(INPUT));
}

std::wstring ShownTip(DWORD pid) {
    HWND tip = FindOwnWindow(pid, TOOLTIPS_CLASSW);
    return tip ? WindowText(tip) : L"";
}

void ClickWith(HWND control, BYTE key) {
    // Under Wine every time the pointer enters a window or a window gains
    // the focus, the window takes the X server's modifier state when it next
    // reads its events, and so releases a key pressed here (the X server
    // never saw it). So the pointer goes to the control first, the window
    // reads what that brought, and the key is pressed again if it was
    // released meanwhile; the click itself then moves the pointer no more.
    const HWND top = GetAncestor(control, GA_ROOT);
    auto settle = [top] {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
    };
    Hover(control);
    Sleep(100);
    settle();
    for (int attempt = 0; attempt < 10; attempt++) {
        keybd_event(key, 0, 0, 0);
        Sleep(30);
        settle();
        if (GetAsyncKeyState(key) & 0x8000) break;
    }
    Click(control);
    Sleep(30);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

bool ClickUntil(HWND control, const std::function<bool()>& effect, int waitMs, void (*click)(HWND)) {
    for (int attempt = 0; attempt < 3; attempt++) {
        click(control);
        if (WaitFor(effect, waitMs)) return true;
    }
    return false;
}

std::vector<HWND> GridToggles(HWND area) {
    std::vector<HWND> found;
    for (int id = 2000; id < 3000; id++)
        if (HWND h = GetDlgItem(area, id)) found.push_back(h);
    std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
        RECT ra{}, rb{};
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return std::make_pair(ra.top, ra.left) < std::make_pair(rb.top, rb.left);
    });
    return found;
}

std::wstring WindowText(HWND h) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return {};
    std::vector<wchar_t> buf(len + 1);
    DWORD_PTR got = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG, 5000, &got);
    return std::wstring(buf.data(), got);
}

std::wstring ReadTextFile(const std::wstring& path) {
    auto data = fs::ReadFile(path);
    return data ? str::FromUtf8(*data) : std::wstring();
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WriteTextFile(const std::wstring& path, const std::string& bytes) { return fs::WriteFile(path, bytes); }

bool MakeDirs(const std::wstring& path) {
    for (size_t i = 3; i <= path.size(); i++)
        if (i == path.size() || path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    return fs::IsDirectory(path);
}

namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

using SetThreadContext = HANDLE(WINAPI*)(HANDLE);

SetThreadContext ThreadContextSetter() {
    return reinterpret_cast<SetThreadContext>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
}

}  // namespace

DesktopDpi::DesktopDpi(DWORD dpi) {
    DWORD size = sizeof old_;
    hadOld_ = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &old_, &size) ==
              ERROR_SUCCESS;
    RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (SetThreadContext set = ThreadContextSetter()) oldContext_ = set(reinterpret_cast<HANDLE>(INT_PTR{-4}));
}

DesktopDpi::~DesktopDpi() {
    if (hadOld_)
        RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &old_, sizeof old_);
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
    if (SetThreadContext set = ThreadContextSetter(); set && oldContext_) set(oldContext_);
}

int CloseBar(const Started& p, HWND bar) {
    PostMessageW(bar, WM_CLOSE, 0, 0);
    return WaitExit(p);
}

void EndBar(const Started& p, HWND bar) {
    if (!p.process || WaitForSingleObject(p.process.get(), 0) != WAIT_TIMEOUT) return;
    if (bar && IsWindow(bar) && CloseBar(p, bar) != -1) return;
    TerminateProcess(p.process.get(), 1);
    WaitExit(p);
}

namespace {

constexpr const wchar_t* kTestProgId = L"Wemlox.TestPicture";

void SetClassValue(HKEY classes, const std::wstring& sub, const std::wstring& value) {
    RegSetKeyValueW(classes, sub.c_str(), nullptr, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

TestFileType::TestFileType(const std::wstring& extension, const std::wstring& opener) : extension_(extension) {
    const std::wstring command = L"\"" + opener + L"\" \"%1\"";
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (Registered()) break;
        HKEY classes = nullptr;
        if (RegCreateKeyExW(root, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classes, nullptr) !=
            ERROR_SUCCESS)
            continue;
        SetClassValue(classes, extension_, kTestProgId);
        SetClassValue(classes, std::wstring(kTestProgId) + L"\\shell\\open\\command", command);
        written_.push_back(classes);
    }
}

TestFileType::~TestFileType() {
    for (HKEY classes : written_) {
        RegDeleteTreeW(classes, extension_.c_str());
        RegDeleteTreeW(classes, kTestProgId);
        RegCloseKey(classes);
    }
}

bool TestFileType::Registered() const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, extension_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace driver
