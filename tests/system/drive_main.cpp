// Command-line driver for demos and scripts: acts on a running Wemlox bar as
// a user would. Usage:
//   wemlox_drive wait-bar [ms] | click N | hover N | toggle K [shift|ctrl] | right-click-tree TEXT
//                | escape | journal | tree-roots | close | upload FROM TO PIECES PAUSE_MS [RENAME_TO]
// "click 6" clicks button 6; "toggle 2 shift" clicks the second selection
// toggle of the thumbnail grid with Shift held. "upload" writes as an FTP
// server does while the bytes come in and needs no bar.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/fs.h"
#include "base/str.h"
#include "card_support.h"
#include "driver.h"
#include "win/handle.h"

static HWND AnyBar() { return FindWindowW(L"WemloxBar", nullptr); }

// Writes FROM's bytes into TO in `pieces` pieces, `pauseMs` apart, holding
// TO open (readers allowed, as FTP servers do) until the last one; then, if
// `renameTo` is given, gives it that name, as a server that writes under a
// temporary name does.
static int Upload(const std::wstring& from, const std::wstring& to, int pieces, int pauseMs,
                  const std::wstring& renameTo) {
    std::optional<std::string> bytes = fs::ReadFile(from);
    if (!bytes || pieces < 1) return 1;
    {
        win::Handle file(CreateFileW(to.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) return 1;
        const size_t piece = (bytes->size() + pieces - 1) / pieces;
        for (size_t at = 0; at < bytes->size(); at += piece) {
            if (at > 0) Sleep(static_cast<DWORD>(pauseMs));
            const DWORD size = static_cast<DWORD>(std::min(piece, bytes->size() - at));
            DWORD wrote = 0;
            if (!WriteFile(file.get(), bytes->data() + at, size, &wrote, nullptr) || wrote != size) return 1;
            FlushFileBuffers(file.get());
        }
    }
    if (!renameTo.empty() && !MoveFileW(to.c_str(), renameTo.c_str())) return 1;
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: wemlox_drive wait-bar [ms] | click N | hover N | toggle K [shift|ctrl] | "
                     "right-click-tree TEXT | escape | journal | tree-roots | close | "
                     "upload FROM TO PIECES PAUSE_MS [RENAME_TO]\n");
        return 2;
    }
    std::wstring cmd = argv[1];
    if (cmd == L"upload" && argc > 5) return Upload(argv[2], argv[3], _wtoi(argv[4]), _wtoi(argv[5]), argc > 6 ? argv[6] : L"");
    HWND bar = nullptr;
    int wait = cmd == L"wait-bar" && argc > 2 ? _wtoi(argv[2]) : 20000;
    driver::WaitFor([&] { return (bar = AnyBar()) != nullptr && IsWindowVisible(bar); }, wait);
    if (!bar) {
        std::fprintf(stderr, "wemlox_drive: no Wemlox bar\n");
        return 1;
    }
    if (cmd == L"wait-bar") return 0;
    if ((cmd == L"click" || cmd == L"toggle") && argc > 2) {
        HWND control = nullptr;
        if (cmd == L"toggle") {
            // The grid fills as the thumbnails arrive: at a card's pace
            // that can take a while after the view opened.
            std::vector<HWND> toggles;
            size_t k = static_cast<size_t>(_wtoi(argv[2]));
            driver::WaitFor([&] { return (toggles = driver::GridToggles(GetDlgItem(bar, 801))).size() >= k; }, 60000);
            if (k >= 1 && k <= toggles.size()) control = toggles[k - 1];
        } else {
            control = GetDlgItem(bar, _wtoi(argv[2]));
        }
        if (!control) return 1;
        std::wstring key = argc > 3 ? argv[3] : L"";
        if (key.empty()) driver::Click(control);
        else driver::ClickWith(control, key == L"shift" ? VK_SHIFT : VK_CONTROL);
        return 0;
    }
    if (cmd == L"hover" && argc > 2) {
        HWND control = GetDlgItem(bar, _wtoi(argv[2]));
        if (!control) return 1;
        driver::Hover(control);
        return 0;
    }
    if (cmd == L"right-click-tree" && argc > 2) {
        HWND tree = GetDlgItem(bar, 111);
        for (auto& item : cardtest::ReadTree(tree)) {
            if (item.text != argv[2]) continue;
            RECT rc = cardtest::TreeItemOnScreen(tree, item.handle);
            if (rc.right <= rc.left) return 1;
            driver::MouseAt((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2, true);
            return 0;
        }
        return 1;
    }
    if (cmd == L"escape") {
        keybd_event(VK_ESCAPE, 0, 0, 0);
        keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
        return 0;
    }
    if (cmd == L"journal") {
        std::fputs(str::ToUtf8(driver::WindowText(GetDlgItem(bar, 101))).c_str(), stdout);
        return 0;
    }
    if (cmd == L"tree-roots") {
        for (const cardtest::TreeItem& item : cardtest::ReadTree(GetDlgItem(bar, 111)))
            if (item.level == 0) std::printf("%s\n", str::ToUtf8(item.text).c_str());
        return 0;
    }
    if (cmd == L"close") {
        PostMessageW(bar, WM_CLOSE, 0, 0);
        return driver::WaitFor([] { return AnyBar() == nullptr; }) ? 0 : 1;
    }
    return 2;
}
