// The card as a user meets it: discovery, the card tree and its refresh, and
// a card that misbehaves, against the card simulator on loopback.
#include <gtest/gtest.h>

#include <memory>

#include "base/fs.h"
#include "base/str.h"
#include "card_support.h"
#include "driver.h"
#include "model/settings/settings.h"

using namespace driver;
using cardtest::Simulator;
using cardtest::TreeItem;

namespace {

constexpr int kInfoButton = 8, kToolButton = 7, kCardButton = 6;
constexpr int kJournal = 101, kTree = 111, kThumbs = 801;
const std::wstring kCardAddress = L"127.0.0.5";
const std::wstring kSsid = L"flashair_e8e0b756a7fb";

using Changes = std::vector<std::pair<std::wstring, std::wstring>>;

// The journal's messages, oldest first, without their time stamps.
std::vector<std::wstring> Messages(const std::wstring& journal) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < journal.size()) {
        size_t end = journal.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) end = journal.size();
        std::wstring line = journal.substr(start, end - start);
        if (line.size() > 20 && line[2] == L'.' && line[13] == L':') lines.insert(lines.begin(), line.substr(20));
        start = end + 1;
    }
    return lines;
}

// True when `wanted` occur in this order in `lines` (other lines may lie between).
bool InOrder(const std::vector<std::wstring>& lines, const std::vector<std::wstring>& wanted) {
    auto at = lines.begin();
    for (const auto& w : wanted) {
        at = std::find(at, lines.end(), w);
        if (at == lines.end()) return false;
        ++at;
    }
    return true;
}

std::string Dump(const std::vector<std::wstring>& lines) {
    std::string s;
    for (auto& l : lines) s += "  " + str::ToUtf8(l) + "\n";
    return s;
}

std::string Dump(const std::vector<TreeItem>& items) {
    std::string s;
    for (auto& i : items) s += std::string(2 * i.level, ' ') + str::ToUtf8(i.text) + " [" + std::to_string(i.image) + "]\n";
    return s;
}

// Wemlox in its own sandbox, pointed at the loopback card.
struct CardRun {
    Sandbox box;
    Started process;
    HWND bar = nullptr;

    std::wstring CardFolder(const std::wstring& name = L"Card") const { return box.root + L"\\" + name; }
    std::wstring Storage() const { return box.profile + L"\\Wemlox\\Storage"; }

    void Start(const Changes& changes) {
        IniChanges all = {{L"TFA.Url", kCardAddress}, {L"TFA.UrlLastConnect", kCardAddress},
                          {L"TFA.CheckNewFilesSec", L"1"}, {L"TFA.Path", L"DCIM/101_PANA"}};
        all.insert(all.end(), changes.begin(), changes.end());
        WriteAll(all);
        process = driver::Start(box, WemloxExe());
        bar = WaitForBar(process);
    }
    ~CardRun() {
        EndBar(process, bar);
    }

    HWND Control(int id) const { return GetDlgItem(bar, id); }
    std::vector<std::wstring> Journal() const { return Messages(WindowText(Control(kJournal))); }
    bool WaitJournal(const std::wstring& message, int timeoutMs = 15000) const {
        return WaitFor([&] { return InOrder(Journal(), {message}); }, timeoutMs);
    }
    // Clicks the info button until the view is shown.
    bool ShowView(int view) const {
        for (int i = 0; i < 4; i++) {
            if (IsWindowVisible(Control(view))) return true;
            Click(Control(kInfoButton));
            WaitFor([&] { return IsWindowVisible(Control(view)) != 0; }, 3000);
        }
        return IsWindowVisible(Control(view)) != 0;
    }
    // Clicks the info button n times at once, so that no card tick runs in
    // the views passed on the way (the tick waits behind pending input).
    bool ClickInfoQuickly(int n, int view) const {
        HWND info = Control(kInfoButton);
        RECT rc = ClientOnScreen(info);
        SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        std::vector<INPUT> in(2 * static_cast<size_t>(n));
        for (size_t i = 0; i < in.size(); i++) {
            in[i].type = INPUT_MOUSE;
            in[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
        }
        SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
        return WaitFor([&] { return IsWindowVisible(Control(view)) != 0; });
    }
    std::vector<TreeItem> Tree() const { return cardtest::ReadTree(Control(kTree)); }
    bool WaitTree(const std::function<bool(const std::vector<TreeItem>&)>& cond, int timeoutMs = 15000) const {
        return WaitFor([&] { return cond(Tree()); }, timeoutMs);
    }
    model::Settings Saved() const {
        model::Settings s;
        model::IniDocument ini(fs::ReadFile(box.SettingsFile()).value_or(""));
        (void)model::LoadSettings(ini, TestBinDir() + L"Graphics\\", L"", L"", s);
        return s;
    }

private:
    using IniChanges = std::vector<std::pair<std::wstring, std::wstring>>;
    void WriteAll(const IniChanges& changes) const {
        model::IniDocument ini(str::ToUtf8(model::DefaultSettingsText()));
        for (auto& [groupKey, value] : changes) {
            size_t dot = groupKey.find(L'.');
            EXPECT_TRUE(ini.SetValues({{groupKey.substr(0, dot), groupKey.substr(dot + 1), value}}, true));
        }
        MakeDirs(box.SettingsFolder());
        EXPECT_TRUE(fs::WriteFile(box.SettingsFile(), ini.Serialize()));
    }
};

void WriteCardFile(const std::wstring& path, size_t bytes = 1000) {
    MakeDirs(path.substr(0, path.find_last_of(L'\\')));
    ASSERT_TRUE(WriteTextFile(path, std::string(bytes, 'p'))) << str::ToUtf8(path);
}

std::vector<std::string> Listings(const Simulator& card) {
    std::vector<std::string> out;
    for (auto& l : card.Log())
        if (l.rfind("/command.cgi?op=100&DIR=", 0) == 0) out.push_back(l.substr(24));
    return out;
}

bool HasItem(const std::vector<TreeItem>& items, const std::wstring& text) {
    return std::any_of(items.begin(), items.end(), [&](const TreeItem& i) { return i.text == text; });
}

}  // namespace

TEST(CardTree, ShowsTheCardsFoldersAndFilesInOrderWithTheStorageMark) {
    CardRun run;
    std::wstring card = run.CardFolder();
    for (const wchar_t* f : {L"DCIM\\101_PANA\\P1010002.JPG", L"DCIM\\101_PANA\\P1010001.JPG", L"DCIM\\101_PANA\\P1010001.RW2",
                             L"DCIM\\100TEST\\b.jpg", L"DCIM\\100TEST\\A.JPG", L"DCIM\\100TEST\\x, y.jpg",
                             L"DCIM\\\xC4 b\\\xDC.jpg", L"ROOT.TXT"})
        WriteCardFile(card + L"\\" + f);
    MakeDirs(card + L"\\MISC");
    WriteCardFile(run.Storage() + L"\\P1010001.JPG");
    Simulator sim(card, kCardAddress);
    ASSERT_TRUE(sim.Running());
    run.Start({});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(run.WaitJournal(L"TFA Success: 127.0.0.5")) << Dump(run.Journal());

    ASSERT_TRUE(run.ShowView(kTree));
    ASSERT_TRUE(run.WaitTree([](auto& t) { return t.size() > 1; })) << Dump(run.Tree());
    std::vector<TreeItem> tree = run.Tree();
    std::vector<std::pair<int, std::wstring>> shown;
    for (auto& i : tree) shown.push_back({i.level, i.text});
    EXPECT_EQ(shown, (std::vector<std::pair<int, std::wstring>>{
                         {0, kSsid + L" (127.0.0.5)"},
                         {1, L"/DCIM"},
                         {1, L"/DCIM/100TEST"}, {2, L"A.JPG"}, {2, L"b.jpg"}, {2, L"x, y.jpg"},
                         {1, L"/DCIM/101_PANA"}, {2, L"P1010001.JPG"}, {2, L"P1010001.RW2"}, {2, L"P1010002.JPG"},
                         {1, L"/DCIM/\xC4 b"}, {2, L"\xDC.jpg"},
                         {1, L"/MISC"}}))
        << Dump(tree);
    for (auto& i : tree) {
        // Only the stored picture carries the mark; files carry their record number.
        EXPECT_EQ(i.image, i.text == L"P1010001.JPG" ? 1 : 0) << str::ToUtf8(i.text);
        EXPECT_EQ(i.data != 0, i.level == 2) << str::ToUtf8(i.text);
    }
    // Breadth-first, in the card's order, each folder asked for by the path the card gave.
    std::vector<std::string> walk = Listings(sim);
    walk.erase(walk.begin(), std::find(walk.begin(), walk.end(), "/"));
    EXPECT_EQ(walk, (std::vector<std::string>{"/", "/DCIM", "/MISC", "/DCIM/100TEST", "/DCIM/101_PANA",
                                              "/DCIM/%C3%84%20b"}));

    // Button 7 walks the card again: a new shot shows up.
    ASSERT_EQ(sim.Command("shoot /DCIM/101_PANA 1"), "ok\nP1010003\n");
    Click(run.Control(kToolButton));
    EXPECT_TRUE(run.WaitTree([](auto& t) { return HasItem(t, L"P1010003.JPG") && HasItem(t, L"P1010003.CR2"); }))
        << Dump(run.Tree());
}

TEST(CardTree, WalkGoesOnPastFoldersThatFailAndSkipsUnsafeNames) {
    CardRun run;
    std::wstring card = run.CardFolder();
    WriteCardFile(card + L"\\A\\c1.jpg");
    MakeDirs(card + L"\\A\\C");
    MakeDirs(card + L"\\B");
    WriteCardFile(card + L"\\Z0.JPG", 0);  // a zero-byte file is taken for a folder
    Simulator sim(card, kCardAddress);
    ASSERT_TRUE(sim.Running());
    ASSERT_EQ(sim.Command("fault 500 1 DIR=/B"), "ok\n");
    ASSERT_EQ(sim.Command("line / \\x2C..\\x5C..\\x5Cevil.jpg\\x2C5\\x2C32\\x2C0\\x2C0"), "ok\n");
    run.Start({{L"TFA.Path", L"A"}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(run.WaitJournal(L"TFA Success: 127.0.0.5"));
    ASSERT_TRUE(run.ShowView(kTree));
    ASSERT_TRUE(run.WaitTree([](auto& t) { return HasItem(t, L"/A/C"); })) << Dump(run.Tree());
    std::vector<std::string> walk = Listings(sim);
    // The walk starts at the root; a tick before it may have listed the
    // root as the camera folder's parent.
    walk.erase(walk.begin(), std::find(walk.rbegin(), walk.rend(), "/").base() - 1);
    EXPECT_EQ(walk, (std::vector<std::string>{"/", "/A", "/B", "/Z0.JPG", "/A/C"}));
    std::vector<TreeItem> tree = run.Tree();
    EXPECT_TRUE(HasItem(tree, L"c1.jpg"));
    EXPECT_TRUE(HasItem(tree, L"/Z0.JPG"));
    for (auto& i : tree) EXPECT_EQ(i.text.find(L"evil"), std::wstring::npos) << Dump(tree);
    EXPECT_TRUE(run.WaitJournal(L"Card: entry skipped, its name cannot be a file name: /..\\..\\evil.jpg"))
        << Dump(run.Journal());
}

TEST(CardDiscovery, LastGoodAddressComesFirstAndIsSaved) {
    struct Case {
        const char* what;
        std::wstring url, lastGood;
        std::wstring found;
    } cases[] = {
        {"the last good address has a card", L"127.0.0.6", kCardAddress, kCardAddress},
        {"the last good address is silent: the configured one", L"127.0.0.6", L"127.0.0.9", L"127.0.0.6"},
    };
    for (auto& c : cases) {
        CardRun run;
        Simulator five(run.CardFolder(L"Five"), kCardAddress, L"--ssid card_five");
        Simulator six(run.CardFolder(L"Six"), L"127.0.0.6", L"--ssid card_six");
        ASSERT_TRUE(five.Running() && six.Running());
        run.Start({{L"TFA.Url", c.url}, {L"TFA.UrlLastConnect", c.lastGood}});
        ASSERT_TRUE(run.bar);
        ASSERT_TRUE(run.WaitJournal(L"TFA Success: " + c.found)) << c.what << "\n" << Dump(run.Journal());
        const Simulator& other = c.found == kCardAddress ? six : five;
        EXPECT_EQ(other.Log().size(), 0u) << c.what;
        EXPECT_FALSE(InOrder(run.Journal(), {L"TFA Fail: 127.0.0.9"})) << c.what;  // no line while trying
        EXPECT_EQ(CloseBar(run.process, run.bar), 0);
        run.bar = nullptr;
        EXPECT_EQ(run.Saved().UrlLastConnect, c.found) << c.what;
    }
}

TEST(CardDiscovery, SweepsProbeUpwardsWithTheirJournalLines) {
    struct Case {
        const wchar_t* url;
        std::wstring card;
        std::vector<std::wstring> lines;
    } cases[] = {
        {L"127.0.0.*", kCardAddress,
         {L"TFA Checking: 127.0.0.1", L"TFA Fail: 127.0.0.1", L"TFA Checking: 127.0.0.2", L"TFA Fail: 127.0.0.2",
          L"TFA Checking: 127.0.0.3", L"TFA Fail: 127.0.0.3", L"TFA Checking: 127.0.0.4", L"TFA Fail: 127.0.0.4",
          L"TFA Checking: 127.0.0.5", L"TFA Success: 127.0.0.5"}},
        {L"127.0.0.209-201", L"127.0.0.203",
         {L"TFA Checking: 127.0.0.201", L"TFA Fail: 127.0.0.201", L"TFA Checking: 127.0.0.202",
          L"TFA Fail: 127.0.0.202", L"TFA Checking: 127.0.0.203", L"TFA Success: 127.0.0.203"}},
    };
    for (auto& c : cases) {
        CardRun run;
        Simulator sim(run.CardFolder(), c.card);
        ASSERT_TRUE(sim.Running());
        run.Start({{L"TFA.Url", c.url}, {L"TFA.UrlLastConnect", L""}});
        ASSERT_TRUE(run.bar);
        ASSERT_TRUE(run.ShowView(kJournal));  // the sweep runs only while the journal is shown
        ASSERT_TRUE(run.WaitJournal(c.lines.back(), 30000)) << Dump(run.Journal());
        std::vector<std::wstring> journal = run.Journal();
        auto first = std::find(journal.begin(), journal.end(), c.lines.front());
        EXPECT_EQ(std::vector<std::wstring>(first, first + static_cast<long>(std::min<size_t>(c.lines.size(), journal.end() - first))),
                  c.lines) << Dump(journal);
    }
}

TEST(CardDiscovery, HostThatIsNoCardFails) {
    struct Case {
        const char* what;
        std::string fault;  // of the simulator at the address; empty: no simulator there
    } cases[] = {{"op=104 answers empty", "fault empty always op=104"},
                 {"op=104 answers an error page", "fault 500 always op=104"},
                 {"nothing listens on port 80", ""}};
    for (auto& c : cases) {
        CardRun run;
        std::unique_ptr<Simulator> sim;
        if (!c.fault.empty()) {
            sim = std::make_unique<Simulator>(run.CardFolder(), kCardAddress);
            ASSERT_TRUE(sim->Running());
            ASSERT_EQ(sim->Command(c.fault), "ok\n");
        }
        run.Start({});
        ASSERT_TRUE(run.bar);
        ASSERT_TRUE(run.WaitJournal(L"TFA Fail: 127.0.0.5")) << c.what << "\n" << Dump(run.Journal());
        if (sim) {
            EXPECT_TRUE(WaitFor([&] { return sim->Count("op=104") >= 2; })) << c.what;  // asked again on later ticks
            EXPECT_EQ(sim->Count("op=100"), 0u) << c.what;
        }
        EXPECT_FALSE(InOrder(run.Journal(), {L"TFA Success: 127.0.0.5"})) << c.what;
    }
}

// With the panel closed the range is swept all the same, quietly: no line
// per address, and the card that came back at another address is found.
TEST(CardDiscovery, ARangeIsSweptQuietlyWhileTheJournalIsNotShown) {
    CardRun run;
    Simulator sim(run.CardFolder(), kCardAddress);
    ASSERT_TRUE(sim.Running());
    run.Start({{L"TFA.Url", L"127.0.0.1-5"}, {L"TFA.UrlLastConnect", L"127.0.0.2"}});
    ASSERT_TRUE(run.bar);
    EXPECT_TRUE(run.WaitJournal(L"TFA Success: 127.0.0.5", 30000)) << Dump(run.Journal());
    EXPECT_FALSE(InOrder(run.Journal(), {L"TFA Checking: 127.0.0.1"})) << Dump(run.Journal());
}

TEST(CardDiscovery, InactiveCardAccessSendsNothing) {
    CardRun run;
    Simulator sim(run.CardFolder(), kCardAddress);
    ASSERT_TRUE(sim.Running());
    run.Start({{L"TFA.Active", L"No"}});
    ASSERT_TRUE(run.bar);
    EXPECT_FALSE(WaitFor([&] { return !sim.Log().empty(); }, 4000));
}

TEST(CardPoll, ListsTheCameraFolderOnlyWhenTheFlagSaysSo) {
    CardRun run;
    WriteCardFile(run.CardFolder() + L"\\DCIM\\101_PANA\\P1010001.JPG");
    Simulator sim(run.CardFolder(), kCardAddress);
    ASSERT_TRUE(sim.Running());
    run.Start({{L"TFA.UseUpdateFlag", L"Yes"}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(run.WaitJournal(L"TFA Success: 127.0.0.5"));
    const std::string camera = "op=100&DIR=/DCIM/101_PANA";
    ASSERT_TRUE(WaitFor([&] { return sim.Count("op=102") >= 1; }));
    size_t listed = sim.Count(camera), polled = sim.Count("op=102");
    EXPECT_EQ(listed, 1u);  // once when the card was found
    ASSERT_TRUE(WaitFor([&] { return sim.Count("op=102") >= polled + 3; }));
    EXPECT_EQ(sim.Count(camera), listed);
    ASSERT_EQ(sim.Command("shoot /DCIM/101_PANA 1"), "ok\nP1010002\n");
    EXPECT_TRUE(WaitFor([&] { return sim.Count(camera) == listed + 1; }));
}

namespace {

// True when button 6 shows a lamp of the colour (its lower lamp row).
bool CardLamp(HWND button, COLORREF want) {
    RECT rc = ClientOnScreen(button);
    HDC screen = GetDC(nullptr);
    bool found = false;
    for (int y = (rc.top + rc.bottom) / 2; y < rc.bottom && !found; y++)
        for (int x = rc.left; x < rc.right && !found; x++) {
            COLORREF c = GetPixel(screen, x, y);
            found = abs(GetRValue(c) - GetRValue(want)) < 40 && abs(GetGValue(c) - GetGValue(want)) < 40 &&
                    abs(GetBValue(c) - GetBValue(want)) < 40;
        }
    ReleaseDC(nullptr, screen);
    return found;
}

}  // namespace

TEST(CardFaults, AGoneOrStalledCardLeavesTheTreeAndTheProgramRecovers) {
    CardRun run;
    WriteCardFile(run.CardFolder() + L"\\DCIM\\101_PANA\\P1010001.JPG");
    Simulator sim(run.CardFolder(), kCardAddress, L"--stall 60");
    ASSERT_TRUE(sim.Running());
    const std::wstring inbox = run.CardFolder(L"Inbox");
    MakeDirs(inbox);
    run.Start({{L"Menu.ButtonSize", L"80"}, {L"Inbox.Folders", inbox}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(run.WaitJournal(L"TFA Success: 127.0.0.5"));
    ASSERT_TRUE(run.ShowView(kTree));
    ASSERT_TRUE(run.WaitTree([](auto& t) { return HasItem(t, L"P1010001.JPG"); }));
    const std::vector<TreeItem> before = run.Tree();
    HWND cardButton = run.Control(kCardButton);
    EXPECT_TRUE(WaitFor([&] { return CardLamp(cardButton, RGB(0, 255, 0)); }, 5000));
    EXPECT_FALSE(CardLamp(cardButton, RGB(255, 0, 0)));

    struct Step { const char* what; std::string command; } steps[] = {
        {"card gone", "refuse"},
        {"card stalls (ends by the program's time-out, well before the simulator's 60 s)", "fault stall 1 op=102"},
        {"update flag answers empty", "fault empty 1 op=102"},
        {"update flag answers an error page", "fault 404 1 op=102"},
    };
    size_t shown = before.size();
    for (auto& s : steps) {
        ASSERT_EQ(sim.Command("shoot /DCIM/101_PANA 1").substr(0, 3), "ok\n") << s.what;
        ASSERT_EQ(sim.Command(s.command), "ok\n") << s.what;
        Click(run.Control(kToolButton));
        EXPECT_TRUE(WaitFor([&] { return CardLamp(cardButton, RGB(255, 0, 0)); }, 30000)) << s.what;
        EXPECT_EQ(run.Tree().size(), shown) << s.what << "\n" << Dump(run.Tree());
        // The card is back: the next refresh shows the new pictures.
        ASSERT_EQ(sim.Command("accept"), "ok\n");
        ASSERT_EQ(sim.Command("clear"), "ok\n");
        Click(run.Control(kToolButton));
        EXPECT_TRUE(run.WaitTree([&](auto& t) { return t.size() == shown + 2; })) << s.what << "\n" << Dump(run.Tree());
        EXPECT_TRUE(WaitFor([&] { return CardLamp(cardButton, RGB(0, 255, 0)); }, 5000)) << s.what;
        shown = run.Tree().size();
    }
    // An inbox that is away keeps the lamp red while the card answers.
    ASSERT_TRUE(MoveFileW(inbox.c_str(), (inbox + L"-away").c_str()));
    EXPECT_TRUE(WaitFor([&] { return CardLamp(cardButton, RGB(255, 0, 0)); }, 10000));
    const size_t polled = sim.Count("op=102");
    Click(run.Control(kToolButton));
    ASSERT_TRUE(WaitFor([&] { return sim.Count("op=102") > polled; }));
    ASSERT_TRUE(run.WaitTree([&](auto& t) { return t.size() == shown; }));
    EXPECT_FALSE(CardLamp(cardButton, RGB(0, 255, 0)));
    ASSERT_TRUE(MoveFileW((inbox + L"-away").c_str(), inbox.c_str()));
    EXPECT_TRUE(WaitFor([&] { return CardLamp(cardButton, RGB(0, 255, 0)); }, 10000));
}

TEST(CardFaults, ACutListingLosesOnlyItsIncompleteLine) {
    CardRun run;
    std::vector<std::wstring> names;
    for (int i = 0; i < 20; i++) {
        names.push_back(L"IMG_" + std::to_wstring(1000 + i) + L".JPG");
        WriteCardFile(run.CardFolder() + L"\\DCIM\\102_CUT\\" + names.back());
    }
    Simulator sim(run.CardFolder(), kCardAddress);
    ASSERT_TRUE(sim.Running());
    std::string full = cardtest::HttpGet(kCardAddress, "/command.cgi?op=100&DIR=/DCIM/102_CUT").body;
    ASSERT_EQ(sim.Command("fault cut 1 DIR=/DCIM/102_CUT"), "ok\n");
    run.Start({});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(run.WaitJournal(L"TFA Success: 127.0.0.5"));
    ASSERT_TRUE(run.ShowView(kTree));
    ASSERT_TRUE(run.WaitTree([](auto& t) { return HasItem(t, L"/DCIM/102_CUT"); })) << Dump(run.Tree());
    std::vector<std::wstring> files;
    for (auto& i : run.Tree())
        if (i.level == 2) files.push_back(i.text);
    // The cut answer holds the first half of the listing: its complete lines
    // after the header are kept, the cut one is dropped.
    size_t complete = 0;
    for (size_t end = full.find("\r\n"); end != std::string::npos && end + 2 <= full.size() / 2; end = full.find("\r\n", end + 2))
        complete++;
    ASSERT_GT(complete, 2u);
    EXPECT_EQ(files, std::vector<std::wstring>(names.begin(), names.begin() + static_cast<long>(complete - 1)));
}
