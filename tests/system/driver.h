// Test driver: starts Wemlox.exe in a folder tree of its own and acts on its
// window as a user would (mouse clicks, reading what the window shows).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "win/handle.h"

namespace driver {

// Folders a started program sees as its application data, profile and
// program-files folders, below one fresh temporary folder.
struct Sandbox {
    std::wstring root, appdata, profile, programFiles, programFiles86;
    Sandbox();
    std::wstring SettingsFolder() const { return appdata + L"\\Wemlox"; }
    std::wstring SettingsFile() const { return SettingsFolder() + L"\\Wemlox.ini"; }
    // Writes the built-in settings with Group.Key=Value changes into the
    // settings file (the card address always points at loopback).
    void WriteSettings(std::initializer_list<std::pair<std::wstring, std::wstring>> changes) const;
    void WriteSettings(const std::vector<std::pair<std::wstring, std::wstring>>& changes) const;
};

std::wstring TestBinDir();  // folder of the running test program (ends in "\")
std::wstring WemloxExe();
// The stand-in viewer installed where IrfanView would be; its path, or
// nothing when it could not be copied there.
std::wstring InstallStandinIrfanView(const Sandbox& box);

struct Started {
    win::KernelHandle process;
    DWORD pid = 0;
};
// Starts a program with the sandbox's folders in its environment.
Started Start(const Sandbox& box, const std::wstring& exe, const std::wstring& args = L"");

// Polls cond until it holds or the deadline passes.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 15000);
// Waits for the process to end; its exit code, or -1 on time-out.
int WaitExit(const Started& p, int timeoutMs = 15000);

// A top-level window of the process with this class (and title), by default
// only a visible one; nullptr when none.
HWND FindOwnWindow(DWORD pid, const wchar_t* cls, const wchar_t* title = nullptr, bool visibleOnly = true);
// The visible bar window of the given process, nullptr when none.
HWND FindBar(DWORD pid);
HWND WaitForBar(const Started& p, int timeoutMs = 20000);

RECT ClientOnScreen(HWND h);  // client area in screen coordinates
// The screen's pixels in a rectangle, row by row; empty when it has no area.
std::vector<COLORREF> ScreenPixels(const RECT& rc);
void Click(HWND control);     // real mouse press and release at its centre
// Mouse press and release of one button at a screen point.
void MouseAt(int x, int y, bool right);
// Moves the mouse onto a control's centre and rests there (a tooltip shows).
void Hover(HWND control);
// The text of the process's tooltip on show; empty when none shows.
std::wstring ShownTip(DWORD pid);
// A left click on a control with a modifier key held (VK_SHIFT, VK_CONTROL).
void ClickWith(HWND control, BYTE key);
// Clicks (with `click`) until the click's effect shows, at most three times.
// Under Wine a synthesized click on the bar is now and then lost, soon after
// its start or after another program's window went away; a click that
// changed nothing within `waitMs` is repeated (the effects waited for come
// within milliseconds, so a repeat never lands on a running action).
bool ClickUntil(HWND control, const std::function<bool()>& effect, int waitMs = 4000,
                void (*click)(HWND) = Click);
std::wstring WindowText(HWND h);
std::wstring ReadTextFile(const std::wstring& path);  // UTF-8 file as text
bool FileExists(const std::wstring& path);
bool WriteTextFile(const std::wstring& path, const std::string& bytes);
bool MakeDirs(const std::wstring& path);  // creates every missing level

// A file type of the test's own, opened by the given program, for as long as
// the object lives. Wine's HKEY_CLASSES_ROOT shows only the machine's
// classes, Windows the user's too.
class TestFileType {
public:
    TestFileType(const std::wstring& extension, const std::wstring& opener);
    ~TestFileType();
    TestFileType(const TestFileType&) = delete;
    TestFileType& operator=(const TestFileType&) = delete;
    bool Registered() const;

private:
    std::wstring extension_;
    std::vector<HKEY> written_;
};

// The selection toggles of the thumbnail grid (ids 2000 to 2999), in display
// order: rows top to bottom, left to right.
std::vector<HWND> GridToggles(HWND area);

// The desktop's DPI for the programs started while the object lives (Wine
// reads it as a process starts). This thread meanwhile sees every window
// in screen pixels, unscaled, as a per-monitor aware program does.
class DesktopDpi {
public:
    explicit DesktopDpi(DWORD dpi);
    ~DesktopDpi();
    DesktopDpi(const DesktopDpi&) = delete;
    DesktopDpi& operator=(const DesktopDpi&) = delete;

private:
    DWORD old_ = 0;
    bool hadOld_ = false;
    HANDLE oldContext_ = nullptr;
};

// Closes the bar as the system would and waits for the process to end.
int CloseBar(const Started& p, HWND bar);

// Ends a bar a test started, whatever became of it: closed as the system
// would, and ended outright if it is still there after that, so the next
// bar does not give way to it as to a running instance.
void EndBar(const Started& p, HWND bar);

}  // namespace driver
