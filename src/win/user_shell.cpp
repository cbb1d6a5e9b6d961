// The Run entry, monitors, pickers, Explorer and the start-up message box.
#include "win/user_shell.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>

#include "model/bar/bar_menu.h"
#include "model/common/ids.h"
#include "model/settings/settings.h"

namespace win {

namespace {

// An open registry key, closed on scope exit.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY* put() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::optional<std::wstring> RunValue() {
    RegKey run;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, run.put()) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(run.get(), model::kRunValueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(run.get(), model::kRunValueName, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

// COM for the pickers, for as long as the object lives (the thread may
// have it already).
class ComScope {
public:
    ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool ok_;
};

template <typename T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** put() { return &p; }
    T* operator->() const { return p; }
};

// The Vista folder picker; nothing when the system has none (then the old one).
std::optional<std::optional<std::wstring>> PickFolderModern(HWND owner, const std::wstring& title,
                                                           const std::wstring& start) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(dialog.put()))))
        return std::nullopt;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR);
    dialog->SetTitle(title.c_str());
    // The nearest folder that is there: a folder still to be made is not yet.
    std::wstring folder = start;
    while (!folder.empty()) {
        DWORD attributes = GetFileAttributesW(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) break;
        size_t slash = folder.find_last_of(L"\\/");
        folder.resize(slash == std::wstring::npos ? 0 : slash);
    }
    ComPtr<IShellItem> startItem;
    if (!folder.empty() && SUCCEEDED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_IShellItem,
                                                                 reinterpret_cast<void**>(startItem.put()))))
        dialog->SetFolder(startItem.p);
    if (FAILED(dialog->Show(owner))) return std::optional<std::wstring>();
    ComPtr<IShellItem> chosen;
    PWSTR path = nullptr;
    if (FAILED(dialog->GetResult(chosen.put())) || FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)))
        return std::optional<std::wstring>();
    std::wstring result = path;
    CoTaskMemFree(path);
    return std::optional<std::wstring>(result);
}

}  // namespace

bool StartsWithWindows(const std::wstring& programFile) {
    std::optional<std::wstring> value = RunValue();
    return value && model::RunCommandStarts(*value, programFile);
}

bool SetStartWithWindows(bool on, const std::wstring& programFile) {
    RegKey run;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr,
                        run.put(), nullptr) != ERROR_SUCCESS)
        return false;
    if (!on) {
        LSTATUS removed = RegDeleteValueW(run.get(), model::kRunValueName);
        return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
    }
    const std::wstring command = model::RunCommand(programFile);
    return RegSetValueExW(run.get(), model::kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                          static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::vector<model::Rect> MonitorWorkAreas() {
    std::vector<model::Rect> areas;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM found) -> BOOL {
            MONITORINFO info{};
            info.cbSize = sizeof info;
            if (GetMonitorInfoW(monitor, &info)) {
                const RECT& r = info.rcWork;
                reinterpret_cast<std::vector<model::Rect>*>(found)->push_back(
                    {r.left, r.top, r.right - r.left, r.bottom - r.top});
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&areas));
    return areas;
}

model::Rect WorkAreaOf(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info))
        return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const RECT& r = info.rcWork;
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& title, const std::wstring& start) {
    ComScope com;
    if (auto modern = PickFolderModern(owner, title, start)) return *modern;
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    bool ok = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    if (!ok) return std::nullopt;
    return std::wstring(path);
}

std::optional<std::wstring> PickProgram(HWND owner, const std::wstring& title, const std::wstring& start) {
    std::vector<wchar_t> file(32768, L'\0');
    std::wstring folder;
    if (!start.empty() && GetFileAttributesW(start.c_str()) != INVALID_FILE_ATTRIBUTES) {
        size_t slash = start.find_last_of(L"\\/");
        folder = slash == std::wstring::npos ? std::wstring() : start.substr(0, slash);
        std::copy(start.begin() + static_cast<std::ptrdiff_t>(slash == std::wstring::npos ? 0 : slash + 1), start.end(),
                  file.begin());
    }
    static const wchar_t kFilter[] = L"Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kFilter;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&ofn)) return std::nullopt;
    return std::wstring(file.data());
}

bool OpenFolder(const std::wstring& folder) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

void ShowStartupProblem(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), model::kProgramName, MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

void BringBarForward(HWND bar) {
    DWORD owner = 0;
    GetWindowThreadProcessId(bar, &owner);
    // This process was just started by the user and may hand the foreground on.
    AllowSetForegroundWindow(owner);
    PostMessageW(bar, model::ids::kComeForward, 0, 0);
    SetForegroundWindow(bar);
}

}  // namespace win
