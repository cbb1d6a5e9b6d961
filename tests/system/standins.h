// Helpers for the tests that drive the viewers: stand-in viewers installed
// where the program looks for them, their logs, a running bar, and clicks
// that wait until the button's action has finished.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "driver.h"
#include "model/settings/settings.h"

namespace standins {

using namespace driver;

// A stand-in program at a chosen path, optionally with a window of its own.
struct StandIn {
    std::wstring exe;
    Started process;
    HWND window = nullptr;

    std::wstring LogPath() const { return exe + L".log"; }
    std::wstring Log() const { return ReadTextFile(LogPath()); }
};

inline std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find_first_of(L"\r\n", from);
        if (end == std::wstring::npos) end = text.size();
        if (end > from) lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

// The key lines of a stand-in's log ("down 17 ctrl", "up 9 ctrl shift", ...).
inline std::vector<std::wstring> KeyLines(const StandIn& s) {
    std::vector<std::wstring> keys;
    for (auto& line : Lines(s.Log()))
        if (str::StartsWith(line, L"down ") || str::StartsWith(line, L"up ")) keys.push_back(line);
    return keys;
}

// Copies the stand-in to path; with a window line ("class|title") it opens
// that window when started.
inline StandIn Install(const std::wstring& path, const std::wstring& windowLine) {
    StandIn s;
    s.exe = path;
    MakeDirs(path.substr(0, path.find_last_of(L'\\')));
    EXPECT_TRUE(CopyFileW((TestBinDir() + L"standin_viewer.exe").c_str(), path.c_str(), FALSE)) << str::ToUtf8(path);
    if (!windowLine.empty()) {
        EXPECT_TRUE(WriteTextFile(path + L".window", str::ToUtf8(windowLine)));
    }
    return s;
}

// Starts an installed stand-in and waits for its window.
inline void Launch(const Sandbox& box, StandIn& s, const std::wstring& windowClass) {
    s.process = Start(box, s.exe);
    ASSERT_TRUE(s.process.process) << str::ToUtf8(s.exe);
    ASSERT_TRUE(WaitFor([&] { return (s.window = FindOwnWindow(s.process.pid, windowClass.c_str(), nullptr, false)) != nullptr; }))
        << "no window of class " << str::ToUtf8(windowClass);
}

// Every top-level window of a class, in the system's enumeration order.
inline std::vector<HWND> WindowsOfClass(const std::wstring& windowClass) {
    struct Search { const std::wstring* cls; std::vector<HWND> found; } s{&windowClass, {}};
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t cls[300] = {};
            GetClassNameW(h, cls, 300);
            if (*s->cls == cls) s->found.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

inline void Stop(StandIn& s) {
    HANDLE p = s.process.process.get();
    if (p && WaitForSingleObject(p, 0) == WAIT_TIMEOUT) TerminateProcess(p, 0);
}

using Changes = std::vector<std::pair<std::wstring, std::wstring>>;

// The settings the viewer tests start a bar with, before their own changes:
// no card access, so that no card lines reach the journal, and buttons as
// large as their pictures, so that the lamps can be read pixel for pixel.
inline Changes Quiet(Changes changes) {
    changes.insert(changes.begin(), {{L"TFA.Active", L"No"}, {L"Menu.ButtonSize", L"80"},
                                     {L"Graphics.DelayChg", L"300"}});
    return changes;
}

// The real bar, started with the built-in settings and these changes written
// first, in the sandbox's folders; ended with the object.
struct RunningBar {
    Sandbox& box;
    Started process;
    HWND bar = nullptr;

    RunningBar(Sandbox& b, const Changes& changes) : box(b) {
        box.WriteSettings(changes);
        process = Start(box, WemloxExe());
        bar = WaitForBar(process);
    }
    ~RunningBar() { EndBar(process, bar); }
    HWND Control(int id) const { return GetDlgItem(bar, id); }
    std::wstring Journal() const { return WindowText(Control(101)); }
    // The settings file as the program would load it now.
    model::Settings Loaded() const {
        model::Settings s;
        model::IniDocument ini(fs::ReadFile(box.SettingsFile()).value_or(""));
        (void)model::LoadSettings(ini, TestBinDir() + L"Graphics\\", L"", L"", s);
        return s;
    }
};

// The journal's messages, newest first, without their time stamps.
inline std::vector<std::wstring> JournalMessages(const RunningBar& run) {
    constexpr size_t kStampLength = 20;  // "DD.MM.YYYY HH:MM:SS "
    std::vector<std::wstring> messages;
    for (auto& line : Lines(run.Journal())) messages.push_back(line.size() > kStampLength ? line.substr(kStampLength) : L"");
    return messages;
}

// The button as the screen shows it, captured at once (a pixel at a time
// would be slower than the busy face stays up).
inline std::vector<COLORREF> Capture(HWND button, int& width) {
    RECT rc = ClientOnScreen(button);
    width = rc.right - rc.left;
    return ScreenPixels(rc);
}

// The busy face is amber (255, 190, 60); the normal faces are grey on dark
// grey. The yellow lamp (255, 255, 0) must not pass for it.
inline bool ShowsBusyFace(HWND button) {
    int width = 0;
    for (COLORREF c : Capture(button, width))
        if (GetRValue(c) > 200 && GetGValue(c) > 140 && GetGValue(c) < 230 && GetBValue(c) < 110) return true;
    return false;
}

// Clicks a button once the cursor rests on it. Under Wine the display
// follows a cursor move late and may still report the old place for a
// moment; a press then would hit the button clicked before.
inline void ClickButton(HWND button) {
    RECT rc = ClientOnScreen(button);
    POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    SetCursorPos(centre.x, centre.y);
    int steady = 0;
    WaitFor([&] {
        POINT p{};
        GetCursorPos(&p);
        steady = p.x == centre.x && p.y == centre.y && WindowFromPoint(p) == button ? steady + 1 : 0;
        return steady >= 4;
    }, 3000);
    Click(button);
}

// Clicks a button and waits until its action has run: the busy face comes
// up when the action starts and goes when it has ended.
inline void ClickAndSettle(const RunningBar& run, int button) {
    HWND b = run.Control(button);
    ASSERT_TRUE(ClickUntil(b, [&] { return ShowsBusyFace(b); }, 5000, ClickButton))
        << "button " << button << " showed no busy face";
    ASSERT_TRUE(WaitFor([&] { return !ShowsBusyFace(b); }, 10000)) << "button " << button << " stayed busy";
}

// The colour of a button's lamp as the screen shows it: 'r', 'g', 'b', 'y',
// or 0 for none of them. The pictures are drawn unscaled (ButtonSize 80).
inline char LampOn(HWND button, bool top) {
    int width = 0;
    std::vector<COLORREF> pixels = Capture(button, width);
    size_t at = static_cast<size_t>((top ? 27 : 80 - 27) * width + 40);
    if (width != 80 || pixels.size() <= at) return 0;
    int r = GetRValue(pixels[at]), g = GetGValue(pixels[at]), b = GetBValue(pixels[at]);
    auto high = [](int v) { return v > 200; };
    auto low = [](int v) { return v < 60; };
    if (high(r) && low(g) && low(b)) return 'r';
    if (low(r) && high(g) && low(b)) return 'g';
    if (low(r) && low(g) && high(b)) return 'b';
    if (high(r) && high(g) && low(b)) return 'y';
    return 0;
}

// Waits for the lamp to show a colour: the screen follows the button's
// drawing with a delay.
inline bool LampShows(HWND button, bool top, char colour) {
    return WaitFor([&] { return LampOn(button, top) == colour; }, 3000);
}

}  // namespace standins
