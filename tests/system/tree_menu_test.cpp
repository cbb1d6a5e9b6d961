// The card tree's popup menu and the thumbnail grid as a user drives them:
// which menu items apply to the root, a folder and a file, what the choices
// change (and write back at exit), the file report, show-or-fetch from a
// picture, plain, Shift and Ctrl clicks on the selection toggles, and
// button 1 fetching the selected files.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <map>

#include "base/fs.h"
#include "base/str.h"
#include "card_support.h"
#include "driver.h"

using namespace driver;
using cardtest::Simulator;
using cardtest::TreeItem;

namespace {

constexpr int kCopyButton = 1, kInfoButton = 8;
constexpr int kJournal = 101, kTree = 111, kThumbs = 801;
const std::wstring kCard = L"127.0.0.7";
const std::wstring kSsid = L"flashair_e8e0b756a7fb";
const std::wstring kFolder = L"/DCIM/100CANON";

// Menu rows with text, top to bottom (separators have none).
enum Row { kTransfer, kReport, kSourcePath, kNeverLoad, kOccurence, kLoRes, kHiRes, kRefresh, kClose, kRows };

std::string Dump(const std::vector<std::wstring>& lines) {
    std::string s;
    for (auto& l : lines) s += "  " + str::ToUtf8(l) + "\n";
    return s;
}

void PressKey(BYTE key) {
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

// What an open popup menu shows: its text rows on screen and whether each
// is drawn enabled (black text) or greyed.
struct MenuRow {
    int top = 0, bottom = 0;
    bool enabled = false;
};
std::vector<MenuRow> MenuRows(HWND menu) {
    RECT rc{};
    GetWindowRect(menu, &rc);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    std::vector<MenuRow> rows;
    if (w <= 8 || h <= 8) return rows;
    const std::vector<COLORREF> pixels = ScreenPixels(rc);
    if (pixels.empty()) return rows;
    auto px = [&](int x, int y) { return pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)]; };
    std::map<COLORREF, int> count;
    for (int y = 3; y < h - 3; y++)
        for (int x = 3; x < w - 3; x++) count[px(x, y)]++;
    COLORREF background = std::max_element(count.begin(), count.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    auto ink = [&](int y, bool& black) {
        bool any = false;
        for (int x = 4; x < w - 4; x++) {
            COLORREF c = px(x, y);
            if (c == background) continue;
            any = true;
            black = black || (GetRValue(c) < 60 && GetGValue(c) < 60 && GetBValue(c) < 60);
        }
        return any;
    };
    for (int y = 3; y < h - 3;) {
        bool black = false;
        if (!ink(y, black)) {
            y++;
            continue;
        }
        int top = y;
        while (y < h - 3 && ink(y, black)) y++;
        if (y - top >= 5) rows.push_back({rc.top + top, rc.top + y, black});  // thinner bands are separators
    }
    return rows;
}

std::vector<bool> Enabled(const std::vector<MenuRow>& rows) {
    std::vector<bool> e;
    for (auto& r : rows) e.push_back(r.enabled);
    return e;
}

std::vector<bool> Only(std::initializer_list<Row> on) {
    std::vector<bool> e(kRows, false);
    for (Row r : on) e[r] = true;
    return e;
}

// The texts of the menu's items, read through its window; empty where the
// system does not lend another process's menu.
std::vector<std::wstring> MenuTexts(HWND menuWindow) {
    std::vector<std::wstring> texts;
    auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    int n = menu ? GetMenuItemCount(menu) : -1;
    for (int i = 0; i < n; i++) {
        wchar_t buf[512] = {};
        if (GetMenuStringW(menu, static_cast<UINT>(i), buf, 512, MF_BYPOSITION) > 0) texts.push_back(buf);
    }
    return texts;
}

// Wemlox with its own folders, pointed at the loopback card.
struct CardApp {
    Sandbox box;
    Started process;
    HWND bar = nullptr;

    std::wstring Card() const { return box.root + L"\\Card"; }
    std::wstring Source() const { return box.root + L"\\Pics"; }
    std::wstring Storage() const { return Source() + L"\\Storage"; }
    std::wstring Thumbnails() const { return Source() + L"\\Thumbs"; }

    void Start(const std::vector<std::pair<std::wstring, std::wstring>>& changes) {
        for (const std::wstring& d : {Source() + L"\\LoRes", Source() + L"\\HiRes", Source() + L"\\Selected", Storage(),
                                      Thumbnails(), Source() + L"\\tmp", box.root + L"\\Target"})
            MakeDirs(d);
        std::vector<std::pair<std::wstring, std::wstring>> all = {
            {L"TFA.Url", kCard}, {L"TFA.UrlLastConnect", kCard}, {L"TFA.CheckNewFilesSec", L"1"},
            {L"Main.Mode", L"TransferOnly"},  // a shown file is only named in the journal
            {L"Copy.SourcePath", Source()}, {L"Copy.StoragePath", Storage()}, {L"Copy.TargetPath", box.root + L"\\Target"},
            {L"Copy.ThumbnailPath", Thumbnails()}, {L"Copy.TmpPath", Source() + L"\\tmp"}};
        all.insert(all.end(), changes.begin(), changes.end());
        box.WriteSettings(all);
        process = driver::Start(box, WemloxExe());
        bar = WaitForBar(process);
    }
    ~CardApp() {
        if (HWND box = FindOwnWindow(process.pid, L"#32770")) PostMessageW(box, WM_COMMAND, IDOK, 0);
        EndBar(process, bar);
    }

    HWND Control(int id) const { return GetDlgItem(bar, id); }
    std::wstring JournalText() const { return WindowText(Control(kJournal)); }
    bool WaitJournal(const std::wstring& part, int timeoutMs = 15000) const {
        return WaitFor([&] { return JournalText().find(part) != std::wstring::npos; }, timeoutMs);
    }
    bool ShowView(int view) const {
        for (int i = 0; i < 4 && !IsWindowVisible(Control(view)); i++) {
            Click(Control(kInfoButton));
            WaitFor([&] { return IsWindowVisible(Control(view)) != 0; }, 3000);
        }
        return IsWindowVisible(Control(view)) != 0;
    }
    std::vector<TreeItem> Tree() const { return cardtest::ReadTree(Control(kTree)); }
    LPARAM RecordOf(const std::wstring& name) const {
        for (auto& i : Tree())
            if (i.text == name) return i.data;
        return 0;
    }

    // Right-clicks the tree item with this text and returns the menu window.
    HWND RightClickItem(const std::wstring& text) const {
        HTREEITEM item = nullptr;
        for (auto& i : Tree())
            if (i.text == text) item = i.handle;
        RECT rc = item ? cardtest::TreeItemOnScreen(Control(kTree), item) : RECT{};
        if (rc.right <= rc.left) return nullptr;
        HWND menu = nullptr;
        // A press right after a menu closed may be swallowed by its ending: press again.
        for (int attempt = 0; attempt < 3 && !menu; attempt++) {
            MouseAt((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2, true);
            WaitFor([&] { return (menu = FindOwnWindow(process.pid, L"#32768")) != nullptr; }, 2000);
        }
        if (!menu) return nullptr;
        // Away from the menu, so that no row is highlighted when it is read.
        RECT mr{};
        GetWindowRect(menu, &mr);
        SetCursorPos(mr.right + 40, mr.bottom + 40);
        std::vector<MenuRow> rows;
        WaitFor([&] { return (rows = MenuRows(menu)).size() == kRows; }, 3000);
        return menu;
    }
    bool MenuGone() const {
        return WaitFor([&] { return !FindOwnWindow(process.pid, L"#32768"); }, 5000);
    }
    // Opens the menu on the item and clicks the row.
    bool Choose(const std::wstring& item, Row row) const {
        HWND menu = RightClickItem(item);
        if (!menu) return ADD_FAILURE() << "no menu on " << str::ToUtf8(item), false;
        std::vector<MenuRow> rows = MenuRows(menu);
        if (rows.size() != kRows) return ADD_FAILURE() << rows.size() << " menu rows on " << str::ToUtf8(item), false;
        RECT mr{};
        GetWindowRect(menu, &mr);
        MouseAt((mr.left + mr.right) / 2, (rows[row].top + rows[row].bottom) / 2, false);
        return MenuGone();
    }
};

std::string Dump(const std::vector<bool>& v) {
    std::string s;
    for (bool b : v) s += b ? '1' : '0';
    return s;
}

}  // namespace

TEST(TreeMenu, ItemsFollowTheItemKindAndChoicesChangeTheSettingsUntilExit) {
    CardApp run;
    for (const wchar_t* f : {L"\\DCIM\\100CANON\\IMG_0001.JPG", L"\\DCIM\\100CANON\\IMG_0001.TX", L"\\DCIM\\100CANON\\NODOT",
                             L"\\DCIM\\101_PANA\\P1010001.JPG"})
        ASSERT_TRUE(MakeDirs(run.Card() + std::wstring(f).substr(0, std::wstring(f).find_last_of(L'\\'))) &&
                    WriteTextFile(run.Card() + f, std::string(3000, 'p')));
    Simulator sim(run.Card(), kCard);
    ASSERT_TRUE(sim.Running());
    run.Start({{L"TFA.Path", L"DCIM/101_PANA"}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(run.WaitJournal(L"TFA Success: " + kCard));
    ASSERT_TRUE(run.ShowView(kTree));
    ASSERT_TRUE(WaitFor([&] { return run.RecordOf(L"NODOT") != 0; })) << run.Tree().size();

    // Which rows are enabled, by the kind of the item under the mouse.
    struct Case { std::wstring item; std::vector<bool> enabled; } cases[] = {
        {kSsid + L" (" + kCard + L")", Only({kOccurence})},
        {kFolder, Only({kSourcePath, kRefresh, kClose})},
        {L"IMG_0001.JPG", Only({kTransfer, kReport, kNeverLoad, kLoRes, kHiRes, kRefresh, kClose})},
    };
    for (auto& c : cases) {
        HWND menu = run.RightClickItem(c.item);
        ASSERT_TRUE(menu) << str::ToUtf8(c.item);
        EXPECT_EQ(Dump(Enabled(MenuRows(menu))), Dump(c.enabled)) << str::ToUtf8(c.item);
        std::vector<std::wstring> texts = MenuTexts(menu);
        if (texts.empty()) std::printf("note: the menu's texts cannot be read from another process here\n");
        if (!texts.empty()) {  // readable only where the system lends the menu
            EXPECT_EQ(texts, (std::vector<std::wstring>{
                                 L"Transfer to: " + run.Storage() + L"\\", L"Show File Info",
                                 L"Use as Transfer Source Path - Current: 'DCIM/101_PANA'",
                                 L"Never Load This File - Current: 'FA000001.JPG'",
                                 L"Flash Air Occurence Name - Current: 'TFA'", L"This extension is LoRes - Current: '.jpg'",
                                 L"This extension is HiRes - Current: '.cr2'", L"Refresh", L"Close"}));
        }
        PressKey(VK_ESCAPE);
        ASSERT_TRUE(run.MenuGone()) << str::ToUtf8(c.item);
    }

    // Extensions: only a dot followed by more than two characters counts.
    ASSERT_TRUE(run.Choose(L"IMG_0001.JPG", kLoRes));
    ASSERT_TRUE(run.Choose(L"IMG_0001.TX", kLoRes));
    ASSERT_TRUE(run.Choose(L"NODOT", kHiRes));
    // Never load, occurence name from the card's SSID.
    ASSERT_TRUE(run.Choose(L"IMG_0001.TX", kNeverLoad));
    EXPECT_TRUE(run.WaitJournal(L"Set: TFA DoNotLoad: IMG_0001.TX"));
    ASSERT_TRUE(run.Choose(kSsid + L" (" + kCard + L")", kOccurence));
    EXPECT_TRUE(run.WaitJournal(L"Set: TFA occurence Name: " + kSsid));
    // The folder becomes the transfer source: the next listing asks for it.
    ASSERT_EQ(sim.Command("log-clear"), "ok\n");
    ASSERT_TRUE(run.Choose(kFolder, kSourcePath));
    EXPECT_TRUE(run.WaitJournal(L"Set: TFA Path: DCIM/100CANON"));
    EXPECT_TRUE(WaitFor([&] { return sim.Count("/command.cgi?op=100&DIR=/DCIM/100CANON") > 0; }));
    EXPECT_TRUE(WaitFor([&] { return run.RecordOf(L"IMG_0001.JPG") != 0; }));  // the tree is built again

    HWND menu = run.RightClickItem(L"IMG_0001.JPG");
    ASSERT_TRUE(menu);
    std::vector<std::wstring> texts = MenuTexts(menu);
    if (!texts.empty()) {
        EXPECT_EQ(std::vector<std::wstring>(texts.begin() + 2, texts.begin() + 7),
                  (std::vector<std::wstring>{L"Use as Transfer Source Path - Current: 'DCIM/100CANON'",
                                             L"Never Load This File - Current: 'IMG_0001.TX'",
                                             L"Flash Air Occurence Name - Current: '" + kSsid + L"'",
                                             L"This extension is LoRes - Current: '.JPG'",
                                             L"This extension is HiRes - Current: '.cr2'"}));
    }
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(run.MenuGone());

    // The files already in the new folder belong to the no-transfer snapshot;
    // a picture added afterwards is fetched by the card timer.
    ASSERT_TRUE(run.ShowView(kJournal));
    ASSERT_EQ(sim.Command("add /DCIM/100CANON/IMG_0009.JPG"), "ok\n");
    auto fetched = [&](const std::string& path) {  // downloads, not thumbnail requests
        size_t n = 0;
        for (auto& l : sim.Log()) n += l.rfind(path, 0) == 0;
        return n;
    };
    EXPECT_TRUE(WaitFor([&] { return fetched("/DCIM/100CANON/IMG_0009.JPG") > 0 &&
                                     sim.Count("/command.cgi?op=100&DIR=/DCIM/100CANON") > 2; }, 20000));
    EXPECT_EQ(fetched("/DCIM/100CANON/IMG_0001.JPG"), 0u);

    EXPECT_EQ(CloseBar(run.process, run.bar), 0);
    run.bar = nullptr;
    std::wstring ini = ReadTextFile(run.box.SettingsFile());
    for (const wchar_t* line : {L"Path = DCIM/100CANON", L"DoNotLoad = IMG_0001.TX", L"TransferLoRes = JPG",
                                L"TransferHiRes = .cr2"})
        EXPECT_NE(ini.find(line), std::wstring::npos) << str::ToUtf8(line) << "\n" << str::ToUtf8(ini);
    EXPECT_NE(ini.find(L"OccurenceName = " + kSsid), std::wstring::npos) << str::ToUtf8(ini);
}

namespace {

std::string States(const std::vector<HWND>& toggles) {
    std::string s;
    for (HWND t : toggles) s += SendMessageW(t, BM_GETCHECK, 0, 0) == BST_CHECKED ? '1' : '0';
    return s;
}

HANDLE Face(HWND toggle) { return reinterpret_cast<HANDLE>(SendMessageW(toggle, BM_GETIMAGE, IMAGE_BITMAP, 0)); }

// Sets a file's time as the card reports it (local time).
bool SetLocalTime(const std::wstring& path, WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME local{year, month, 0, day, hour, minute, second, 0}, utc{};
    FILETIME ft{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &ft)) return false;
    win::KernelHandle f(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    return f && SetFileTime(f.get(), nullptr, nullptr, &ft);
}

}  // namespace

// With a second card (B) the tree has its root and the grid its tiles after
// the first card's, and what a tile of B asks for comes from B.
TEST(ThumbSelection, PicturesShowOrFetchCaptionsReportAndTogglesSelect) {
    CardApp run;
    Simulator sim(run.Card(), kCard);
    ASSERT_TRUE(sim.Running());
    for (int i = 1; i <= 5; i++)
        ASSERT_EQ(sim.Command("add /DCIM/100CANON/IMG_000" + std::to_string(i) + ".JPG 6000"), "ok\n");
    const std::wstring cardB = L"127.0.0.8", ssidB = L"flashair_b";
    Simulator simB(run.box.root + L"\\CardB", cardB, L"--ssid " + ssidB + L" --cid 02544d535731364710a3b5c974011be2");
    ASSERT_TRUE(simB.Running());
    for (const char* name : {"100CANON/IMG_0101.JPG", "100CANON/IMG_0102.JPG", "PICKED/DSC_0001.JPG"})
        ASSERT_EQ(simB.Command("add /DCIM/" + std::string(name) + " 7000"), "ok\n");
    std::wstring reported = run.Card() + L"\\DCIM\\100CANON\\IMG_0002.JPG";
    ASSERT_TRUE(SetLocalTime(reported, 2017, 3, 5, 9, 4, 6));
    for (const wchar_t* d : {L"\\Pics\\LoRes", L"\\Pics\\Storage", L"\\Pics\\HiRes"}) MakeDirs(run.box.root + d);
    // Local copies: IMG_0001 in LoRes as this version stores it (with the
    // card's time, a picture taken after the version came); IMG_0002 in
    // storage and HiRes.
    auto copyOf = [&](const wchar_t* name) {
        return fs::ReadFile(run.Card() + L"\\DCIM\\100CANON\\" + name).value_or("");
    };
    ASSERT_TRUE(WriteTextFile(run.box.root + L"\\Pics\\LoRes\\IMG_0001.JPG", copyOf(L"IMG_0001.JPG")));
    for (const std::wstring& f : {run.Card() + L"\\DCIM\\100CANON\\IMG_0001.JPG", run.box.root + L"\\Pics\\LoRes\\IMG_0001.JPG"})
        ASSERT_TRUE(fs::SetLastWriteTime(f, fs::Now() / 2000000000 * 2000000000 + int64_t{3600} * 1000000000));
    ASSERT_TRUE(WriteTextFile(run.box.root + L"\\Pics\\Storage\\IMG_0002.JPG", copyOf(L"IMG_0002.JPG")));
    ASSERT_TRUE(WriteTextFile(run.box.root + L"\\Pics\\HiRes\\IMG_0002.JPG", copyOf(L"IMG_0002.JPG")));
    run.Start({{L"TFA.Path", L"DCIM/100CANON"}, {L"TFA.Url", kCard + L";" + cardB},
               {L"TFA.UrlLastConnect", kCard + L";" + cardB}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(run.WaitJournal(L"TFA Success: " + kCard));
    ASSERT_TRUE(run.ShowView(kTree));
    ASSERT_TRUE(WaitFor([&] { return run.RecordOf(L"IMG_0005.JPG") != 0 && run.RecordOf(L"IMG_0102.JPG") != 0; }));
    std::vector<std::wstring> roots;
    for (auto& i : run.Tree())
        if (i.level == 0) roots.push_back(i.text);
    EXPECT_EQ(roots, (std::vector<std::wstring>{kSsid + L" (" + kCard + L")", ssidB + L" (" + cardB + L")"}))
        << Dump(roots);
    std::map<std::wstring, int> record;
    for (int i = 1; i <= 5; i++) {
        std::wstring name = L"IMG_000" + std::to_wstring(i) + L".JPG";
        record[name] = static_cast<int>(run.RecordOf(name));
    }
    ASSERT_TRUE(run.ShowView(kThumbs));
    HWND area = run.Control(kThumbs);
    std::vector<HWND> toggles;
    ASSERT_TRUE(WaitFor([&] { return (toggles = GridToggles(area)).size() == 5; })) << toggles.size();
    auto tile = [&](const wchar_t* name, int base) { return GetDlgItem(area, base + record[name]); };
    ASSERT_EQ(States(toggles), "00000");
    // B's two tiles follow A's five, with ids by grid position; their
    // thumbnails come from B.
    auto tileB = [&](int position, int part) { return GetDlgItem(area, 10000 + 3 * position + part); };
    ASSERT_TRUE(WaitFor([&] { return tileB(6, 1) != nullptr; }));
    EXPECT_EQ(WindowText(tileB(5, 2)), L"/DCIM/100CANON/IMG_0101.JPG");
    EXPECT_TRUE(WaitFor([&] { return simB.Count("/thumbnail.cgi?//DCIM/100CANON/IMG_0101") > 0 &&
                                     simB.Count("/thumbnail.cgi?//DCIM/100CANON/IMG_0102") > 0; }));
    EXPECT_EQ(sim.Count("/thumbnail.cgi?//DCIM/100CANON/IMG_010"), 0u);

    // A local copy in LoRes is shown and nothing is fetched.
    ASSERT_EQ(sim.Command("log-clear"), "ok\n");
    Click(tile(L"IMG_0001.JPG", 1000));
    EXPECT_TRUE(run.WaitJournal(L"TransferOnly: " + run.Source() + L"\\LoRes\\IMG_0001.JPG"));
    // Without a copy the file comes to the storage folder and its faces turn Loaded.
    HANDLE loaded = Face(tile(L"IMG_0002.JPG", 2000)), before = Face(tile(L"IMG_0003.JPG", 2000));
    EXPECT_NE(loaded, before);
    Click(tile(L"IMG_0003.JPG", 1000));
    EXPECT_TRUE(WaitFor([&] { return fs::IsNonEmptyFile(run.Storage() + L"\\IMG_0003.JPG"); }));
    EXPECT_TRUE(WaitFor([&] { return Face(tile(L"IMG_0003.JPG", 2000)) == loaded; }, 5000));
    for (auto& i : run.Tree())
        if (i.text == L"IMG_0003.JPG" || i.text == L"IMG_0004.JPG") {
            EXPECT_EQ(i.image, i.text == L"IMG_0003.JPG" ? 1 : 0);
        }
    for (auto& l : sim.Log()) EXPECT_NE(l.rfind("/DCIM/100CANON/IMG_0001.JPG", 0), 0u) << l;
    // B's picture comes from B.
    Click(tileB(5, 0));
    EXPECT_TRUE(WaitFor([&] { return fs::IsNonEmptyFile(run.Storage() + L"\\IMG_0101.JPG"); }));
    EXPECT_TRUE(fs::ReadFile(run.Storage() + L"\\IMG_0101.JPG") ==
                fs::ReadFile(run.box.root + L"\\CardB\\DCIM\\100CANON\\IMG_0101.JPG"));
    EXPECT_TRUE(WaitFor([&] { return Face(tileB(5, 1)) == loaded; }, 5000));

    // The caption's report: one journal entry of ten lines, then a message box.
    Click(tile(L"IMG_0002.JPG", 3000));
    std::wstring title = L"Wemlox - Glimmerdeck - 2017.11.14.4268";
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindOwnWindow(run.process.pid, L"#32770", title.c_str())) != nullptr; }));
    const std::wstring f = L"/DCIM/100CANON/IMG_0002.JPG", src = run.Source();
    std::vector<std::wstring> expected = {
        L"*** Start File Info: " + f, L"Size: " + std::to_wstring(fs::ReadFile(reported).value_or("").size()),
        L"Date: 05.03.2017", L"Time: 09:04:06", L"In Storage: " + run.Storage() + L"\\ :Yes",
        L"LoRes File: " + src + L"\\LoRes\\ :No", L"HiRes File: " + src + L"\\HiRes\\ :Yes",
        L"Selected: " + src + L"\\Selected\\ :No", L"Thumbnail Present :Yes", L"*** End File Info: " + f};
    std::wstring journal = run.JournalText();
    std::erase(journal, L'\n');
    std::vector<std::wstring> lines;
    for (size_t s = 0, e; s <= journal.size(); s = e + 1) {
        e = journal.find(L'\r', s);
        if (e == std::wstring::npos) e = journal.size();
        lines.push_back(journal.substr(s, e - s));
    }
    auto start = std::find_if(lines.begin(), lines.end(), [&](auto& l) { return l.ends_with(expected[0]); });
    ASSERT_NE(start, lines.end()) << Dump(lines);
    ASSERT_GE(lines.end() - start, 10) << Dump(lines);
    EXPECT_EQ(start->size(), 20 + expected[0].size()) << "one time stamp before the entry";
    std::vector<std::wstring> entry(start, start + 10);
    entry[0] = entry[0].substr(20);
    EXPECT_EQ(entry, expected) << Dump(lines);  // the nine further lines carry no time stamp of their own
    Click(GetDlgItem(box, IDOK));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }));

    // Selection: plain, Shift and Ctrl clicks, checked on the toggles.
    struct Step { const char* what; int cell; BYTE key; const char* states; } steps[] = {
        {"click the first", 0, 0, "10000"},
        {"Shift-click the fourth", 3, VK_SHIFT, "11110"},
        {"plain click on the fifth clears the range", 4, 0, "00001"},
        {"Shift-click the fourth", 3, VK_SHIFT, "00011"},
        {"then Shift-click the second: two to four, the fifth stays", 1, VK_SHIFT, "01111"},
        {"plain click on an off cell after a range", 0, 0, "10000"},
        {"Shift-click the third", 2, VK_SHIFT, "11100"},
        {"Ctrl-click a selected cell turns only it off", 1, VK_CONTROL, "10100"},
        {"Ctrl-click an unselected cell adds it", 4, VK_CONTROL, "10101"},
        {"Ctrl-click the third (in storage already) off", 2, VK_CONTROL, "10001"},
        {"Ctrl-click the fourth on", 3, VK_CONTROL, "10011"},
    };
    for (auto& s : steps) {
        if (s.key) ClickWith(toggles[s.cell], s.key);
        else Click(toggles[s.cell]);
        EXPECT_TRUE(WaitFor([&] { return States(toggles) == s.states; }, 5000)) << s.what << ": " << States(toggles);
    }
    // A Shift click on the same cell twice in a row is ignored the second
    // time; the click turned the toggle off, and its face says so.
    ClickWith(toggles[4], VK_SHIFT);
    EXPECT_TRUE(WaitFor([&] { return States(toggles) == "10011"; }, 5000)) << States(toggles);
    ClickWith(toggles[4], VK_SHIFT);
    EXPECT_TRUE(WaitFor([&] { return States(toggles) == "10010" && Face(toggles[4]) == before; }, 5000))
        << States(toggles);
    ClickWith(toggles[4], VK_CONTROL);
    EXPECT_TRUE(WaitFor([&] { return States(toggles) == "10011"; }, 5000)) << States(toggles);

    // Button 7 builds the grid anew from a fresh walk of each card: every
    // pick stays. Each walk rebuilds the grid; the toggles are read after both.
    ASSERT_EQ(sim.Command("log-clear"), "ok\n");
    ASSERT_EQ(simB.Command("log-clear"), "ok\n");
    // Two card steps' listings after the walk's last one: by the second the
    // bar has carried out what the walk posted (the rest of a long delivery
    // waits for a timer, which a card step's timer due at once may pass).
    auto walkedAndListed = [](const Simulator& card) {
        const std::string camera = "/command.cgi?op=100&DIR=/DCIM/100CANON";
        std::vector<std::string> log = card.Log();
        auto at = std::find(std::find(log.begin(), log.end(), "/command.cgi?op=100&DIR=/DCIM"), log.end(), camera);
        for (int step = 0; step < 2 && at != log.end(); step++) at = std::find(at + 1, log.end(), camera);
        return at != log.end();
    };
    const HWND oldToggle = toggles[0];
    Click(run.Control(7));
    ASSERT_TRUE(WaitFor([&] { return walkedAndListed(sim) && walkedAndListed(simB); }));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(oldToggle) && (toggles = GridToggles(area)).size() == 5; }))
        << toggles.size();
    EXPECT_TRUE(WaitFor([&] { return States(toggles) == "10011"; }, 5000)) << States(toggles);

    // Button 1 brings the three selected files to the storage folder (the one
    // with a copy in LoRes from there, the others from the card, once each),
    // and B's picked one from B; clears their toggles and marks them Loaded
    // in grid and tree.
    SendMessageW(area, WM_VSCROLL, SB_BOTTOM, 0);  // B's second tile is in the third row
    ClickWith(tileB(6, 1), VK_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return States({tileB(6, 1)}) == "1"; }, 5000));
    SendMessageW(area, WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(States(toggles), "10011");
    ASSERT_EQ(sim.Command("log-clear"), "ok\n");
    const std::vector<std::wstring> picked = {L"IMG_0001.JPG", L"IMG_0004.JPG", L"IMG_0005.JPG"};
    Click(run.Control(kCopyButton));
    EXPECT_TRUE(WaitFor([&] { return States(toggles) == "00000" && States({tileB(6, 1)}) == "0"; }, 15000))
        << States(toggles);
    EXPECT_TRUE(fs::ReadFile(run.Storage() + L"\\IMG_0102.JPG") ==
                fs::ReadFile(run.box.root + L"\\CardB\\DCIM\\100CANON\\IMG_0102.JPG"));
    std::vector<std::string> logB = simB.Log();
    EXPECT_EQ(std::count(logB.begin(), logB.end(), "/DCIM/100CANON/IMG_0102.JPG"), 1);
    EXPECT_EQ(Face(tileB(6, 1)), loaded);
    for (auto& name : picked) {
        SCOPED_TRACE(str::ToUtf8(name));
        const bool local = name == L"IMG_0001.JPG";
        const std::wstring from = local ? run.Source() + L"\\LoRes\\" + name : run.Card() + L"\\DCIM\\100CANON\\" + name;
        EXPECT_TRUE(fs::ReadFile(run.Storage() + L"\\" + name) == fs::ReadFile(from));
        EXPECT_EQ(Face(tile(name.c_str(), 2000)), loaded);
        auto log = sim.Log();
        EXPECT_EQ(std::count(log.begin(), log.end(), "/DCIM/100CANON/" + str::ToUtf8(name)), local ? 0 : 1);
    }
    for (auto& i : run.Tree())
        if (std::count(picked.begin(), picked.end(), i.text)) {
            EXPECT_EQ(i.image, 1) << str::ToUtf8(i.text);
        }
    std::vector<std::wstring> stored = fs::ListFileNames(run.Storage());
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, (std::vector<std::wstring>{L"IMG_0001.JPG", L"IMG_0002.JPG", L"IMG_0003.JPG", L"IMG_0004.JPG",
                                                 L"IMG_0005.JPG", L"IMG_0101.JPG", L"IMG_0102.JPG"}));

    // A batch that fails (the camera went to sleep) keeps the picks of the
    // pictures that did not come, and says so for each.
    for (const wchar_t* name : {L"IMG_0004.JPG", L"IMG_0005.JPG"}) ASSERT_TRUE(fs::DeleteFileAt(run.Storage() + L"\\" + name));
    Click(toggles[3]);
    ClickWith(toggles[4], VK_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return States(toggles) == "00011"; }, 5000)) << States(toggles);
    ASSERT_EQ(sim.Command("refuse"), "ok\n");
    Click(run.Control(kCopyButton));
    for (const wchar_t* name : {L"IMG_0004.JPG", L"IMG_0005.JPG"})
        EXPECT_TRUE(run.WaitJournal(L"Not transferred, still picked: /DCIM/100CANON/" + std::wstring(name)));
    EXPECT_EQ(States(toggles), "00011");
    ASSERT_EQ(sim.Command("accept"), "ok\n");

    // A folder of B becomes B's camera folder from the tree's menu: B lists
    // it from then on, and [TFA] Path stays the first card's.
    ASSERT_TRUE(run.ShowView(kTree));
    ASSERT_EQ(simB.Command("log-clear"), "ok\n");
    ASSERT_TRUE(run.Choose(L"/DCIM/PICKED", kSourcePath));
    EXPECT_TRUE(run.WaitJournal(L"[" + ssidB + L"] Set: TFA Path: DCIM/PICKED"));
    EXPECT_TRUE(WaitFor([&] { return simB.Count("op=100&DIR=/DCIM/PICKED") >= 2; }));  // the walk, then the listing
    EXPECT_EQ(sim.Count("DIR=/DCIM/PICKED"), 0u);
    EXPECT_EQ(CloseBar(run.process, run.bar), 0);
    run.bar = nullptr;
    EXPECT_NE(ReadTextFile(run.box.SettingsFile()).find(L"Path = DCIM/100CANON"), std::wstring::npos);
}
