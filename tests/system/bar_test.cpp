// The button bar and the info panel as a user sees them.
#include <gtest/gtest.h>

#include <richedit.h>

#include <functional>

#include "base/fs.h"
#include "base/str.h"
#include "card_support.h"
#include "driver.h"
#include "model/bar/placement.h"
#include "model/settings/settings.h"
#include "standins.h"

using namespace driver;
using standins::RunningBar;

namespace {

model::Rect ScreenRect(HWND h) {
    RECT rc = ClientOnScreen(h);
    return {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

// Opens the bar's menu with a right click on a button (repeated when Wine
// lost the click) and chooses its row `row` (separators not counted) by the
// keyboard, as a user would.
bool ChooseFromBarMenu(const RunningBar& run, int row) {
    HWND menu = nullptr;
    RECT rc = ClientOnScreen(run.Control(3));
    for (int attempt = 0; attempt < 3 && !menu; attempt++) {
        MouseAt((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2, true);
        WaitFor([&] { return (menu = FindOwnWindow(run.process.pid, L"#32768")) != nullptr; }, 3000);
    }
    if (!menu) return false;
    for (int i = 0; i <= row; i++) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    return true;
}

// The field of the settings window whose label reads `label`: the field's
// id follows its label's.
HWND SettingsField(HWND window, const std::wstring& label) {
    struct Search { const std::wstring* label; HWND found; } search{&label, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (WindowText(child) != *s->label) return TRUE;
            s->found = GetDlgItem(GetParent(child), GetDlgCtrlID(child) + 1);
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<std::string> FileLines(const std::wstring& file) {
    std::vector<std::string> lines;
    std::string text = fs::ReadFile(file).value_or("");
    for (size_t from = 0, end; from < text.size(); from = end + 2) {
        end = text.find("\r\n", from);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(from, end - from));
    }
    return lines;
}

}  // namespace

TEST(Bar, AppearsAtTheComputedPlaceWithElevenButtons) {
    struct Case { const wchar_t* position; bool center, titled; int x = 300, y = 150; } cases[] = {
        {L"Right", true, false}, {L"Bottom", true, false}, {L"Bottom", false, true},
        {L"Left", false, false}, {L"Top", false, true}, {L"UserVerticalLeft", true, false},
        {L"UserVerticalLeft", false, false, 5000, 3000}};  // saved on a monitor that is gone
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    for (auto& c : cases) {
        Sandbox box;
        RunningBar run(box, {{L"Menu.Position", c.position}, {L"Menu.Center", c.center ? L"Yes" : L"No"},
                        {L"Menu.Titled", c.titled ? L"Yes" : L"No"}, {L"Menu.PositionX", str::FromInt(c.x)},
                        {L"Menu.PositionY", str::FromInt(c.y)}});
        std::string what = str::ToUtf8(c.position) + (c.titled ? " titled" : "") + " " + std::to_string(c.x);
        ASSERT_TRUE(run.bar) << what;
        model::Settings s = run.Loaded();
        model::BarGeometry geo = model::ComputeBarGeometry(
            model::BarInputFromSettings(s, screenWidth, screenHeight, 0));
        // The window's corner sits at the computed place; the frame of a
        // titled bar grows outside the computed client size. Wherever it
        // was saved, the whole bar is on the screen.
        RECT outer{};
        GetWindowRect(run.bar, &outer);
        model::Rect client = ScreenRect(run.bar);
        EXPECT_TRUE(outer.left >= 0 && outer.top >= 0 && outer.right <= screenWidth && outer.bottom <= screenHeight)
            << what;
        if (c.x < screenWidth)
            EXPECT_EQ(model::Rect({outer.left, outer.top, client.width, client.height}),
                      model::Rect({geo.window.x, geo.window.y, geo.window.width, geo.window.height})) << what;
        for (int i = 1; i <= 11; i++) {
            HWND b = run.Control(i);
            ASSERT_TRUE(b && IsWindowVisible(b)) << i;
            RECT rc;
            GetWindowRect(b, &rc);
            EXPECT_EQ(rc.right - rc.left, s.ButtonSize);
        }
        EXPECT_TRUE(WaitFor([&] { return (GetWindowLongW(run.bar, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 3000));
    }
}

TEST(Bar, At192DpiEverySizeDoubles) {
    DesktopDpi dpi(192);
    {
        // The built-in sizes at a user position: 48-pixel buttons are 96
        // pixels; the position stays in screen pixels.
        Sandbox box;
        RunningBar run(box, {{L"Menu.Position", L"UserHorizontalTop"}, {L"Menu.PositionX", L"300"},
                        {L"Menu.PositionY", L"150"}});
        ASSERT_TRUE(run.bar);
        model::Rect bar = ScreenRect(run.bar);
        EXPECT_EQ(std::make_pair(bar.x, bar.y), std::make_pair(300, 150));
        for (int i = 1; i <= 11; i++) EXPECT_EQ(ScreenRect(run.Control(i)).width, 96) << i;
    }
    // The worked example docked at the top left, where the places are sizes
    // too: every rectangle, closed and open, is twice the one at 96 DPI.
    Sandbox box;
    RunningBar run(box, {{L"Menu.Position", L"Top"}, {L"Menu.Center", L"No"}, {L"Menu.ButtonSize", L"80"},
                    {L"Menu.ButtonSpace", L"2"}, {L"Menu.BorderSpace", L"10"}, {L"Menu.InfoSize", L"280"}});
    ASSERT_TRUE(run.bar);
    auto twice = [](model::Rect r) { return model::Rect{2 * r.x, 2 * r.y, 2 * r.width, 2 * r.height}; };
    EXPECT_EQ(ScreenRect(run.bar), twice({10, 10, 904, 84}));
    EXPECT_EQ(ScreenRect(run.Control(1)), twice({12, 12, 80, 80}));
    EXPECT_EQ(ScreenRect(run.Control(11)), twice({832, 12, 80, 80}));
    ASSERT_TRUE(ClickUntil(run.Control(8), [&] { return IsWindowVisible(run.Control(101)) != 0; }));
    EXPECT_EQ(ScreenRect(run.bar), twice({10, 10, 904, 364}));
    EXPECT_EQ(ScreenRect(run.Control(101)), twice({12, 94, 904, 278}));
    // Dragged to a monitor at 96 DPI: laid out again, with the panel open.
    PostMessageW(run.bar, WM_DPICHANGED, MAKEWPARAM(96, 96), 0);
    EXPECT_TRUE(WaitFor([&] { return ScreenRect(run.Control(101)) == model::Rect{12, 94, 904, 278}; }, 3000));
    EXPECT_EQ(ScreenRect(run.bar), (model::Rect{10, 10, 904, 364}));
    EXPECT_EQ(ScreenRect(run.Control(1)), (model::Rect{12, 12, 80, 80}));
}

TEST(Bar, UnknownPositionFallsBackToTheRightEdgeAndSaysSo) {
    Sandbox box;
    RunningBar run(box, {{L"Menu.Position", L"Diagonal"}});
    ASSERT_TRUE(run.bar);
    RECT outer{};
    GetWindowRect(run.bar, &outer);
    EXPECT_EQ(outer.right, GetSystemMetrics(SM_CXSCREEN) - 2);  // BorderSpace 2 from the right edge
    EXPECT_TRUE(WaitFor([&] { return run.Journal().find(L"Position: 'Diagonal'") != std::wstring::npos; }));
}

TEST(Bar, JournalShowsTheStartLinesNewestFirst) {
    Sandbox box;
    RunningBar run(box, {});
    ASSERT_TRUE(run.bar);
    std::wstring j;
    ASSERT_TRUE(WaitFor([&] { return (j = run.Journal()).find(L"Programmversion: 2017.11.14.4268") != std::wstring::npos; }));
    size_t graphics = j.find(L" Graphics: "), viewer = j.find(L" Viewer:  (systemonly)"),
           settings = j.find(L" Settings: "), search = j.find(L" TFA Search in 2 sec"),
           version = j.find(L" Programmversion: ");
    ASSERT_NE(graphics, std::wstring::npos) << str::ToUtf8(j);
    ASSERT_NE(viewer, std::wstring::npos) << str::ToUtf8(j);
    ASSERT_NE(settings, std::wstring::npos);
    ASSERT_NE(search, std::wstring::npos);
    EXPECT_LT(version, search);
    EXPECT_LT(search, settings);
    EXPECT_LT(settings, viewer);
    EXPECT_LT(viewer, graphics);
    // Each line starts with its time stamp: DD.MM.YYYY HH:MM:SS.
    std::wstring first = j.substr(0, 20);
    EXPECT_EQ(first[2], L'.');
    EXPECT_EQ(first[5], L'.');
    EXPECT_EQ(first[13], L':');
    EXPECT_EQ(first[19], L' ');
}

TEST(Bar, InfoButtonCyclesTheViewsAndOpensTowardsTheScreen) {
    Sandbox box;
    RunningBar run(box, {});  // built-in settings: Right, InfoSize -1 -> 511
    ASSERT_TRUE(run.bar);
    model::Rect closed = ScreenRect(run.bar), button1 = ScreenRect(run.Control(1));
    HWND journal = run.Control(101), tree = run.Control(111), thumbs = run.Control(801);
    auto shown = [&] { return std::make_tuple(IsWindowVisible(journal) != 0, IsWindowVisible(tree) != 0, IsWindowVisible(thumbs) != 0); };

    ASSERT_TRUE(ClickUntil(run.Control(8), [&] { return IsWindowVisible(journal) != 0; }));
    model::Rect open = ScreenRect(run.bar);
    EXPECT_EQ(open.width, closed.width + 511);
    EXPECT_EQ(open.x, closed.x - 511);  // opens to the left of a bar docked right
    EXPECT_EQ(ScreenRect(run.Control(1)), button1);  // the buttons keep their place on screen
    EXPECT_EQ(shown(), std::make_tuple(true, false, false));

    ASSERT_TRUE(ClickUntil(run.Control(8), [&] { return IsWindowVisible(tree) != 0; }));
    EXPECT_EQ(shown(), std::make_tuple(false, true, false));

    ASSERT_TRUE(ClickUntil(run.Control(8), [&] { return IsWindowVisible(thumbs) != 0; }));
    EXPECT_EQ(shown(), std::make_tuple(false, false, true));

    ASSERT_TRUE(ClickUntil(run.Control(8), [&] { return !IsWindowVisible(thumbs); }));
    EXPECT_EQ(ScreenRect(run.bar), closed);
}

TEST(Bar, InfoCycleWithoutCardSkipsTheEmptyTree) {
    Sandbox box;
    RunningBar run(box, {{L"TFA.Active", L"No"}, {L"Menu.ShowInfoThumbs", L"No"}});
    ASSERT_TRUE(run.bar);
    HWND journal = run.Control(101), thumbs = run.Control(801);
    Click(run.Control(8));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(journal) != 0; }));
    Click(run.Control(8));  // the tree has no items: the journal stays
    Sleep(600);
    EXPECT_TRUE(IsWindowVisible(journal));
    Click(run.Control(8));  // thumbnails switched off: straight to closed
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(journal); }));
    EXPECT_FALSE(IsWindowVisible(thumbs));
}

TEST(Bar, InfoButtonDisablesItselfWhenEveryViewIsOff) {
    Sandbox box;
    RunningBar run(box, {{L"Menu.ShowInfoText", L"No"}, {L"Menu.ShowInfoTree", L"No"}, {L"Menu.ShowInfoThumbs", L"No"}});
    ASSERT_TRUE(run.bar);
    Click(run.Control(8));
    EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(run.Control(8)); }));
}

TEST(Bar, ClickShowsTheBusyFaceThenTheFaceAgain) {
    Sandbox box;
    RunningBar run(box, {{L"Graphics.DelayChg", L"1000"}, {L"TFA.Active", L"No"}});
    ASSERT_TRUE(run.bar);
    HWND b = run.Control(2);
    auto centre = [&] {
        RECT rc = ClientOnScreen(b);
        HDC screen = GetDC(nullptr);
        // The busy face is amber; the normal faces are grey on dark grey.
        COLORREF amber = 0;
        for (int y = rc.top; y < rc.bottom && !amber; y += 2)
            for (int x = rc.left; x < rc.right && !amber; x += 2) {
                COLORREF c = GetPixel(screen, x, y);
                if (GetRValue(c) > 150 && GetBValue(c) < 100 && GetGValue(c) > 80) amber = c;
            }
        ReleaseDC(nullptr, screen);
        return amber != 0;
    };
    EXPECT_FALSE(centre());
    Click(b);
    EXPECT_TRUE(WaitFor(centre, 3000));
    EXPECT_TRUE(WaitFor([&] { return !centre(); }, 5000));
}

namespace {

// The save dialog of the given process, once it is up.
HWND WaitForSaveDialog(DWORD pid) {
    HWND found = nullptr;
    WaitFor([&] {
        HWND h = FindWindowW(L"#32770", L"Wemlox Save Log");
        DWORD owner = 0;
        if (h) GetWindowThreadProcessId(h, &owner);
        found = owner == pid ? h : nullptr;
        return found != nullptr;
    });
    return found;
}

// The file-name field: the one edit box of the dialog, however deeply the
// dialog nests it in combo boxes.
HWND FileNameEdit(HWND dialog) {
    HWND edit = nullptr;
    EnumChildWindows(
        dialog,
        [](HWND h, LPARAM lp) -> BOOL {
            wchar_t cls[16] = {};
            GetClassNameW(h, cls, 16);
            if (_wcsicmp(cls, L"Edit") != 0) return TRUE;
            *reinterpret_cast<HWND*>(lp) = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&edit));
    return edit;
}

// Types a file name into the dialog and presses Save, as a user would.
void SaveAs(HWND dialog, const std::wstring& path) {
    HWND edit = FileNameEdit(dialog);
    ASSERT_TRUE(edit);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

std::wstring WithoutLineFeeds(std::wstring s) {
    std::erase(s, L'\n');
    return s;
}

}  // namespace

TEST(Bar, InfoButtonSavesTheJournalThroughTheDialogOnce) {
    Sandbox box;
    RunningBar run(box, {});
    ASSERT_TRUE(run.bar);
    Click(run.Control(8));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(run.Control(101)) != 0; }));

    std::wstring file = run.box.root + L"\\journal.txt";
    Click(run.Control(7));
    HWND dialog = WaitForSaveDialog(run.process.pid);
    ASSERT_TRUE(dialog);
    // The proposed name carries the minute: Wemlox_Log_YYYYMMDDHHMM.txt.
    std::wstring proposed;
    WaitFor([&] { return !(proposed = WindowText(FileNameEdit(dialog))).empty(); }, 5000);
    EXPECT_EQ(proposed.rfind(L"Wemlox_Log_", 0), 0u) << str::ToUtf8(proposed);
    EXPECT_EQ(proposed.size(), std::wstring(L"Wemlox_Log_201711140905.txt").size());
    SaveAs(dialog, file);
    std::string saved;
    // The file may be seen while it is still being written: wait for its end.
    ASSERT_TRUE(WaitFor([&] {
        saved = fs::ReadFile(file).value_or("");
        return saved.find("Graphics: ") != std::string::npos;
    }));
    std::wstring journal = run.Journal();
    EXPECT_EQ(WithoutLineFeeds(str::FromUtf8(saved)), WithoutLineFeeds(journal));
    EXPECT_NE(saved.find("Programmversion: 2017.11.14.4268"), std::string::npos);

    // A second save onto the same name keeps the file and says so.
    ASSERT_TRUE(WaitFor([&] { return !FindWindowW(L"#32770", L"Wemlox Save Log"); }));
    Sleep(400);  // the busy face of the first click is still up for DelayChg
    Click(run.Control(7));
    dialog = WaitForSaveDialog(run.process.pid);
    ASSERT_TRUE(dialog);
    SaveAs(dialog, file);
    // Wine asks before overwriting: answer yes so the program itself decides.
    WaitFor([&] {
        HWND ask = FindWindowW(L"#32770", L"Wemlox Save Log");
        if (ask && ask != dialog) PostMessageW(ask, WM_COMMAND, IDYES, 0);
        return run.Journal().find(L"Log not saved, the file exists: ") != std::wstring::npos;
    });
    EXPECT_NE(run.Journal().find(L"Log not saved, the file exists: " + file), std::wstring::npos);
    EXPECT_EQ(fs::ReadFile(file).value_or(""), saved);
}

// The bar's menu opens the settings window; what OK saves changes only
// those lines of the file and takes effect at once: the bar moves, the card
// is looked for at its new address. The menu's last row ends the program.
TEST(Bar, ItsMenuOpensTheSettingsWindowWhoseChangesTakeEffectAtOnce) {
    Sandbox box;
    MakeDirs(box.root + L"\\Card\\DCIM\\100CANON");
    cardtest::Simulator card(box.root + L"\\Card", L"127.0.0.52");
    ASSERT_TRUE(card.Running());
    RunningBar run(box, {{L"TFA.Url", L"127.0.0.51"}, {L"TFA.UrlLastConnect", L"127.0.0.51"},
                         {L"TFA.CheckNewFilesSec", L"1"}, {L"Menu.Position", L"UserVerticalLeft"},
                         {L"Menu.PositionX", L"300"}, {L"Menu.PositionY", L"150"}});
    ASSERT_TRUE(run.bar);
    const std::vector<std::string> before = FileLines(box.SettingsFile());

    ASSERT_TRUE(ChooseFromBarMenu(run, 0));  // "Settings…"
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = FindOwnWindow(run.process.pid, L"WemloxSettings")) != nullptr; }));
    HWND address = SettingsField(window, L"&Card address to add"), x = SettingsField(window, L"User position &X");
    HWND addresses = SettingsField(window, L"Card addre&sses");
    ASSERT_TRUE(address && x && addresses);
    DWORD_PTR ignored = 0;
    // The new address added (Add follows the entry), the old one removed.
    SendMessageTimeoutW(address, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"127.0.0.52"), SMTO_NORMAL, 5000, &ignored);
    SendMessageTimeoutW(GetDlgItem(GetParent(address), GetDlgCtrlID(address) + 1), BM_CLICK, 0, 0, SMTO_NORMAL, 5000,
                        &ignored);
    SendMessageTimeoutW(addresses, LB_SETCURSEL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    SendMessageTimeoutW(GetDlgItem(GetParent(address), GetDlgCtrlID(address) + 2), BM_CLICK, 0, 0, SMTO_NORMAL, 5000,
                        &ignored);
    SendMessageTimeoutW(x, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"500"), SMTO_NORMAL, 5000, &ignored);
    SendMessageTimeoutW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(window); }));

    const std::vector<std::string> after = FileLines(box.SettingsFile());
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); i++) {
        if (before[i] == "Url = 127.0.0.51") EXPECT_EQ(after[i], "Url = 127.0.0.52");
        else if (before[i] == "UrlLastConnect = 127.0.0.51") EXPECT_EQ(after[i], "UrlLastConnect = ");
        else if (before[i] == "PositionX = 300") EXPECT_EQ(after[i], "PositionX = 500");
        else EXPECT_EQ(after[i], before[i]) << "line " << i + 1;
    }
    EXPECT_TRUE(WaitFor([&] {
        RECT rc{};
        GetWindowRect(run.bar, &rc);
        return rc.left == 500 && rc.top == 150;
    }, 5000));
    EXPECT_TRUE(WaitFor([&] { return !card.Log().empty(); }, 20000)) << "the card was not asked";

    ASSERT_TRUE(ChooseFromBarMenu(run, 4));  // "End Wemlox"
    EXPECT_EQ(WaitExit(run.process), 0);
}
