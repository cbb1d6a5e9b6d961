// Top-level window search, starting programs and opening files.
#include "win/window_search.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <vector>

#include "base/str.h"
#include "model/settings/catalogue.h"
#include "model/viewer/key_table.h"
#include "win/handle.h"

namespace win {

namespace {

// The state of one top-level window search.
struct WindowSearchState {
    std::wstring SearchText;      // grows to the match's whole text
    HWND ViewerWindow = nullptr;  // last window that matched
    bool MatchByClass = false;    // compare class names instead of titles
};

// EnumWindows callback: compares one window's title or class with the text of
// the search state that `state` points to.
BOOL CALLBACK own_GetWinHandle(HWND window, LPARAM state) {
    auto& search = *reinterpret_cast<WindowSearchState*>(state);
    wchar_t text[128] = {};
    int n = search.MatchByClass ? GetClassNameW(window, text, 128) : GetWindowTextW(window, text, 128);
    if (n > 0) {
        std::wstring_view seen(text, static_cast<size_t>(n));
        if (str::ContainsI(seen, search.SearchText)) {
            search.ViewerWindow = window;
            search.SearchText.assign(seen);
        }
    }
    return TRUE;
}

}  // namespace

HWND FindTopLevelWindow(const std::wstring& text, bool byClass) {
    WindowSearchState state{text, nullptr, byClass};
    EnumWindows(own_GetWinHandle, reinterpret_cast<LPARAM>(&state));
    return state.ViewerWindow;
}

namespace {

// The program a window's process runs; "" when the system does not tell.
std::wstring ProgramOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    win::KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return L"";
    wchar_t path[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    return QueryFullProcessImageNameW(process.get(), 0, path, &size) ? std::wstring(path, size) : L"";
}

struct ViewerSearch {
    std::wstring_view viewerId, windowClass, viewerPath;
    HWND found = nullptr;
    std::wstring foundClass;
};

// Windows come in Z order, topmost first. The first visible window of the
// viewer wins: with a window per picture that is the one the user looks at,
// while older ones may lie hidden below. A hidden one serves when no other does.
BOOL CALLBACK TakeViewerWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<ViewerSearch*>(parameter);
    wchar_t text[128] = {};
    int n = GetClassNameW(window, text, 128);
    if (n <= 0 || !str::ContainsI(std::wstring_view(text, static_cast<size_t>(n)), search.windowClass)) return TRUE;
    if (!model::IsViewerProgram(search.viewerId, ProgramOf(window), search.viewerPath)) return TRUE;
    const bool visible = IsWindowVisible(window) != 0;
    if (search.found && !visible) return TRUE;
    search.found = window;
    search.foundClass.assign(text, static_cast<size_t>(n));
    return visible ? FALSE : TRUE;
}

}  // namespace

FoundWindow FindViewerWindow(std::wstring_view viewerId, std::wstring_view viewerPath) {
    const wchar_t* windowClass = model::ViewerWindowClass(viewerId);
    if (!windowClass) return {};
    ViewerSearch search;
    search.viewerId = viewerId;
    search.windowClass = windowClass;
    search.viewerPath = viewerPath;
    EnumWindows(TakeViewerWindow, reinterpret_cast<LPARAM>(&search));
    return {search.found, search.foundClass};
}


namespace {

// SMTO_ABORTIFHUNG gives up at once on a window the system already knows as
// hung; SMTO_BLOCK keeps other programs' messages from running inside the wait.
bool AskWindow(HWND window, UINT message, WPARAM wp, LPARAM lp, DWORD_PTR& answer) {
    return SendMessageTimeoutW(window, message, wp, lp, SMTO_ABORTIFHUNG | SMTO_BLOCK, kWindowAnswerMs, &answer) != 0;
}

}  // namespace

bool WindowAnswers(HWND window) {
    DWORD_PTR answer = 0;
    return AskWindow(window, WM_NULL, 0, 0, answer);
}

std::optional<std::wstring> AskWindowText(HWND window) {
    DWORD_PTR len = 0;
    if (!AskWindow(window, WM_GETTEXTLENGTH, 0, 0, len)) return std::nullopt;
    if (len == 0) return std::wstring();
    std::vector<wchar_t> buf(len + 1);
    DWORD_PTR got = 0;
    if (!AskWindow(window, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), got)) return std::nullopt;
    return std::wstring(buf.data(), std::min<size_t>(got, len));
}


bool PostCloseCommand(HWND window) { return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) != 0; }

bool WaitUntilWindowGone(HWND window, DWORD maxMs) {
    const ULONGLONG deadline = GetTickCount64() + maxMs;
    while (IsWindow(window)) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(5);
    }
    return true;
}

namespace {

bool ShellStart(const wchar_t* file, const std::wstring& parameters, const wchar_t* associatedWith) {
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | (associatedWith ? SEE_MASK_CLASSNAME : 0);
    sei.lpClass = associatedWith;
    sei.lpFile = file;
    sei.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    sei.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&sei) != FALSE;
}

// Whether the default verb of the extension names a program (its own or
// through a handler Windows runs).
bool HasAssociation(const std::wstring& extension) {
    for (ASSOCSTR what : {ASSOCSTR_COMMAND, ASSOCSTR_DELEGATEEXECUTE}) {
        wchar_t text[MAX_PATH * 2];
        DWORD size = MAX_PATH * 2;
        if (AssocQueryStringW(ASSOCF_INIT_IGNOREUNKNOWN, what, extension.c_str(), nullptr, text, &size) == S_OK &&
            text[0] != L'\0')
            return true;
    }
    return false;
}

}  // namespace

bool StartProgram(const std::wstring& program, const std::wstring& arguments) {
    std::wstring line = L"\"" + program + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        win::KernelHandle process(pi.hProcess), thread(pi.hThread);
        return true;
    }
    return ShellStart(program.c_str(), arguments, nullptr);
}

bool OpenWithAssociation(const std::wstring& file, const std::wstring& extension) {
    return !extension.empty() && HasAssociation(extension) && ShellStart(file.c_str(), L"", extension.c_str());
}

}  // namespace win
