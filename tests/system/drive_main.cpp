// Command-line driver for demos and scripts: acts on a running Wemlox bar as
// a user would. Usage: wemlox_drive wait-bar [ms] | click N | journal | close
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/str.h"
#include "driver.h"

static HWND AnyBar() { return FindWindowW(L"WemloxBar", nullptr); }

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: wemlox_drive wait-bar [ms] | click N | journal | close\n");
        return 2;
    }
    std::wstring cmd = argv[1];
    HWND bar = nullptr;
    int wait = cmd == L"wait-bar" && argc > 2 ? _wtoi(argv[2]) : 20000;
    driver::WaitFor([&] { return (bar = AnyBar()) != nullptr && IsWindowVisible(bar); }, wait);
    if (!bar) {
        std::fprintf(stderr, "wemlox_drive: no Wemlox bar\n");
        return 1;
    }
    if (cmd == L"wait-bar") return 0;
    if (cmd == L"click" && argc > 2) {
        HWND button = GetDlgItem(bar, _wtoi(argv[2]));
        if (!button) return 1;
        driver::Click(button);
        return 0;
    }
    if (cmd == L"journal") {
        std::fputs(str::ToUtf8(driver::WindowText(GetDlgItem(bar, 101))).c_str(), stdout);
        return 0;
    }
    if (cmd == L"close") {
        PostMessageW(bar, WM_CLOSE, 0, 0);
        return driver::WaitFor([] { return AnyBar() == nullptr; }) ? 0 : 1;
    }
    return 2;
}
