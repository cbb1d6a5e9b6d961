// New pictures moving from the card into the local store as a photographer
// meets it: a shoot in progress in each mode, the pictures that must not
// come, faults of the card, the cancel click, and the thumbnail grid;
// against the card simulator and a stand-in viewer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "card_support.h"
#include "driver.h"
#include "standins.h"
#include "win/handle.h"

using namespace driver;
using cardtest::Simulator;

namespace {

constexpr int kCopyButton = 1, kRightButton = 5, kCardButton = 6, kLogButton = 7, kInfoButton = 8, kEndButton = 9;
constexpr int kJournal = 101, kTree = 111, kThumbs = 801;
const std::wstring kCardAddress = L"127.0.0.5";
const std::string kCamera = "/DCIM/101_PANA";
using Changes = std::vector<std::pair<std::wstring, std::wstring>>;
using Names = std::vector<std::wstring>;
// How a JPEG and a raw file begin: only such files reach the viewer.
const std::string kJpegStart = "\xFF\xD8\xFF", kTiffStart("II*\0", 4);

std::string Utf8(const std::wstring& s) { return str::ToUtf8(s); }

std::string Dump(const Names& lines) {
    std::string s;
    for (auto& l : lines) s += "  " + Utf8(l) + "\n";
    return s;
}

// Names of the files directly in a folder, sorted.
Names FilesIn(const std::wstring& folder) {
    Names names = fs::ListFileNames(folder);
    std::sort(names.begin(), names.end());
    return names;
}

// Every file below a folder, as paths relative to it.
Names FilesBelow(const std::wstring& root, const std::wstring& sub = L"") {
    Names found;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((root + sub + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return found;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Names inner = FilesBelow(root, sub + L"\\" + name);
            found.insert(found.end(), inner.begin(), inner.end());
        } else {
            found.push_back(sub + L"\\" + name);
        }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return found;
}

std::string Bytes(const std::wstring& path) { return fs::ReadFile(path).value_or("<missing>"); }

// Gives `to` the last-write time of `from`, as a copy made at once would have.
bool SameTime(const std::wstring& from, const std::wstring& to) {
    win::Handle a(CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    win::Handle b(CreateFileW(to.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME t{};
    return a.get() != INVALID_HANDLE_VALUE && b.get() != INVALID_HANDLE_VALUE &&
           GetFileTime(a.get(), nullptr, nullptr, &t) && SetFileTime(b.get(), nullptr, nullptr, &t);
}

// Wemlox with its own folders, a card simulator on loopback and the stand-in
// viewer installed where the auto-search finds it (it logs how it was started).
struct CardStore {
    Sandbox box;
    std::wstring card = box.root + L"\\Card";
    std::wstring source = box.profile + L"\\Wemlox";
    standins::StandIn viewer = standins::Install(box.programFiles + L"\\IrfanView\\i_view64.exe", L"");
    Started process;
    HWND bar = nullptr;

    ~CardStore() { Stop(); }

    std::wstring Folder(const std::wstring& kind) const { return source + L"\\" + kind; }
    std::wstring OnCard(const std::wstring& name) const { return card + L"\\DCIM\\101_PANA\\" + name; }
    void PutOnCard(const std::wstring& name, const std::string& bytes) const {
        std::wstring path = OnCard(name);
        MakeDirs(path.substr(0, path.find_last_of(L'\\')));
        ASSERT_TRUE(fs::WriteFile(path, bytes)) << Utf8(name);
    }

    void Start(const Changes& changes) {
        Changes all = {{L"TFA.Url", kCardAddress}, {L"TFA.UrlLastConnect", kCardAddress},
                       {L"TFA.CheckNewFilesSec", L"1"}, {L"TFA.Path", L"DCIM/101_PANA"},
                       {L"Menu.ButtonSize", L"80"}};  // unscaled faces: lamps read pixel for pixel
        all.insert(all.end(), changes.begin(), changes.end());
        box.WriteSettings(all);
        process = driver::Start(box, WemloxExe());
        bar = WaitForBar(process);
    }
    void Stop() {
        if (bar && FindBar(process.pid)) {
            EXPECT_EQ(CloseBar(process, bar), 0);
        }
        EndBar(process, bar);
        bar = nullptr;
    }
    HWND Control(int id) const { return GetDlgItem(bar, id); }

    // Journal messages, oldest first, without their time stamps.
    Names Journal() const {
        Names lines;
        for (auto& l : standins::Lines(WindowText(Control(kJournal))))
            if (l.size() > 20) lines.insert(lines.begin(), l.substr(20));
        return lines;
    }
    // Lines that begin with `prefix`, after the card's name where several cards are.
    size_t JournalCount(const std::wstring& prefix) const {
        Names j = Journal();
        return static_cast<size_t>(std::count_if(j.begin(), j.end(), [&](const std::wstring& l) {
            const size_t named = str::StartsWith(l, L"[") ? l.find(L"] ") : std::wstring::npos;
            return str::StartsWith(named == std::wstring::npos ? l : l.substr(named + 2), prefix);
        }));
    }
    // The files handed to the viewer (or another stand-in), sorted: viewers
    // started in quick succession log in the order they happen to get going.
    Names Shown() const { return ShownBy(viewer); }
    // A viewer started on a loaded machine logs its start a while after the
    // picture was stored: waits until the starts are these.
    bool Shows(const Names& expected) const { return WaitFor([&] { return Shown() == expected; }); }
    static Names ShownBy(const standins::StandIn& program) {
        Names shown;
        for (auto& l : standins::Lines(program.Log())) {
            size_t end = l.find_last_of(L'"'), begin = end == std::wstring::npos ? end : l.find_last_of(L'"', end - 1);
            if (str::StartsWith(l, L"start: ") && begin != std::wstring::npos) shown.push_back(l.substr(begin + 1, end - begin - 1));
        }
        std::sort(shown.begin(), shown.end());
        return shown;
    }
    bool WaitFiles(const std::wstring& kind, const Names& names, int timeoutMs = 15000) const {
        return WaitFor([&] { return FilesIn(Folder(kind)) == names; }, timeoutMs);
    }

    // Problems with what the program stored: partial or temporary files,
    // pictures that differ from the card's. Empty when all is well.
    std::string StoreProblems() const {
        std::string problems;
        const Names onCard = FilesIn(card + L"\\DCIM\\101_PANA");
        for (const std::wstring& f : FilesBelow(source)) {
            std::wstring name = f.substr(f.find_last_of(L'\\') + 1);
            if (str::EndsWith(f, L".part") || str::StartsWith(f, L"\\Storage\\tmp\\"))
                problems += "left behind: " + Utf8(f) + "\n";
            else if ((str::StartsWith(f, L"\\LoRes\\") || str::StartsWith(f, L"\\HiRes\\")) &&
                     std::count(onCard.begin(), onCard.end(), name) && Bytes(source + f) != Bytes(OnCard(name)))
                problems += "differs from the card: " + Utf8(f) + "\n";
            else if (fs::FileSize(source + f).value_or(0) == 0)
                problems += "empty: " + Utf8(f) + "\n";
        }
        return problems;
    }
};

// GET requests of a file in the camera folder.
size_t Fetches(const Simulator& sim, const std::wstring& name) {
    std::string target = kCamera + "/" + Utf8(name);
    auto log = sim.Log();
    return static_cast<size_t>(std::count(log.begin(), log.end(), target));
}

bool Requested(const Simulator& sim, const std::wstring& name) { return Fetches(sim, name) > 0; }

// Waits until the card was polled `n` more times, so n - 1 whole ticks have run.
bool WaitTicks(const Simulator& sim, size_t n) {
    size_t from = sim.Count("op=102");
    return WaitFor([&] { return sim.Count("op=102") >= from + n; });
}

// Full paths of files in a folder, sorted.
Names Paths(const std::wstring& folder, const Names& names) {
    Names out;
    for (auto& n : names) out.push_back(folder + L"\\" + n);
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

// LoRes by the card timer, HiRes by button 6, while the camera keeps shooting:
// each new picture once, complete, in its folder, and to the viewer.
TEST(Transfer, ShootInProgressArrivesOnceLoResByItselfHiResByButton) {
    CardStore run;
    run.PutOnCard(L"P1010001.JPG", "old jpeg");
    run.PutOnCard(L"P1010001.CR2", "old raw");
    Simulator sim(run.card, kCardAddress, L"--rate 1000000");
    ASSERT_TRUE(sim.Running());
    run.Start({{L"TFA.TransferModeAuto", L"LoRes"}, {L"TFA.TransferModeMan", L"HiRes"}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(WaitFor([&] { return sim.Count("op=100&DIR=" + kCamera) > 0; }));

    // The second shot lands while the first picture is on its way.
    ASSERT_EQ(sim.Command("shoot " + kCamera + " 1 CR2 300000"), "ok\nP1010002\n");
    ASSERT_TRUE(WaitFor([&] { return Requested(sim, L"P1010002.JPG"); }));
    ASSERT_EQ(sim.Command("shoot " + kCamera + " 1 CR2 300000"), "ok\nP1010003\n");
    ASSERT_TRUE(WaitFor([&] { return fs::FileSize(run.Folder(L"LoRes") + L"\\P1010002.JPG").has_value(); }));
    ASSERT_EQ(sim.Command("shoot " + kCamera + " 1 CR2 300000"), "ok\nP1010004\n");
    const Names jpegs = {L"P1010002.JPG", L"P1010003.JPG", L"P1010004.JPG"};
    const Names raws = {L"P1010002.CR2", L"P1010003.CR2", L"P1010004.CR2"};
    ASSERT_TRUE(run.WaitFiles(L"LoRes", jpegs)) << Dump(FilesIn(run.Folder(L"LoRes")));
    ASSERT_TRUE(WaitTicks(sim, 2));
    EXPECT_EQ(run.StoreProblems(), "");
    EXPECT_EQ(FilesIn(run.Folder(L"HiRes")), Names{});
    EXPECT_TRUE(run.Shows(Paths(run.Folder(L"LoRes"), jpegs))) << Dump(run.Shown());
    for (auto& n : jpegs) {
        EXPECT_EQ(Fetches(sim, n), 1u) << Utf8(n);
        EXPECT_EQ(run.JournalCount(L"Transfer: " + run.Folder(L"LoRes") + L"\\" + n), 1u) << Utf8(n);
    }
    for (auto& n : raws) EXPECT_FALSE(Requested(sim, n)) << Utf8(n);

    // Button 6 fetches the raw files of the new pictures, each shown; the old
    // picture stays on the card.
    ASSERT_TRUE(ClickUntil(run.Control(kCardButton), [&] { return Requested(sim, raws[0]); }));
    ASSERT_TRUE(run.WaitFiles(L"HiRes", raws)) << Dump(FilesIn(run.Folder(L"HiRes")));
    ASSERT_TRUE(WaitFor([&] { return run.Shown().size() == 6; })) << Dump(run.Shown());
    Names shown = Paths(run.Folder(L"LoRes"), jpegs), hires = Paths(run.Folder(L"HiRes"), raws);
    shown.insert(shown.begin(), hires.begin(), hires.end());  // "...\HiRes\..." sorts first
    // Stored pictures are neither fetched nor shown again on later ticks.
    ASSERT_TRUE(WaitTicks(sim, 2));
    EXPECT_TRUE(run.Shows(shown)) << Dump(run.Shown());
    EXPECT_EQ(run.StoreProblems(), "");
    for (auto& n : raws) EXPECT_EQ(Fetches(sim, n), 1u) << Utf8(n);
    for (auto& n : jpegs) EXPECT_EQ(Fetches(sim, n), 1u) << Utf8(n);
    EXPECT_FALSE(Requested(sim, L"P1010001.JPG") || Requested(sim, L"P1010001.CR2"));
}

// "Both" with the update flag in use: the flag decides when the card is
// listed, the JPEG is shown and the raw file only stored; a shot during a
// transfer is not lost even though the transfer's own polls read the flag.
TEST(Transfer, BothModeFollowsTheUpdateFlagAndLosesNoShot) {
    CardStore run;
    run.PutOnCard(L"README.TXT", "not a picture");
    Simulator sim(run.card, kCardAddress, L"--rate 400000");
    ASSERT_TRUE(sim.Running());
    run.Start({{L"TFA.TransferModeAuto", L"Both"}, {L"TFA.UseUpdateFlag", L"Yes"}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(WaitFor([&] { return sim.Count("op=100&DIR=" + kCamera) > 0; }));
    ASSERT_TRUE(WaitTicks(sim, 1));

    // A picture that reaches the card without the flag: not listed, not fetched.
    const size_t listings = sim.Count("op=100");
    run.PutOnCard(L"P1010001.JPG", kJpegStart + std::string(20000, 'j') + "\xFF\xD9");
    run.PutOnCard(L"P1010001.CR2", std::string(30000, 'r'));
    ASSERT_TRUE(WaitTicks(sim, 3));
    EXPECT_EQ(sim.Count("op=100"), listings);
    EXPECT_FALSE(Requested(sim, L"P1010001.JPG"));
    ASSERT_EQ(sim.Command("flag 1"), "ok\n");
    ASSERT_TRUE(run.WaitFiles(L"HiRes", {L"P1010001.CR2"}));
    ASSERT_TRUE(run.WaitFiles(L"LoRes", {L"P1010001.JPG"}));

    // The next shot comes while the raw file of the one before is on its way
    // (the card lists it before the JPEG).
    ASSERT_EQ(sim.Command("shoot " + kCamera + " 1 CR2 400000"), "ok\nP1010002\n");
    ASSERT_TRUE(WaitFor([&] { return Requested(sim, L"P1010002.CR2"); }));
    ASSERT_EQ(sim.Command("shoot " + kCamera + " 1 CR2 400000"), "ok\nP1010003\n");
    const Names jpegs = {L"P1010001.JPG", L"P1010002.JPG", L"P1010003.JPG"};
    const Names raws = {L"P1010001.CR2", L"P1010002.CR2", L"P1010003.CR2"};
    EXPECT_TRUE(run.WaitFiles(L"LoRes", jpegs)) << Dump(FilesIn(run.Folder(L"LoRes")));
    EXPECT_TRUE(run.WaitFiles(L"HiRes", raws)) << Dump(FilesIn(run.Folder(L"HiRes")));
    ASSERT_TRUE(WaitTicks(sim, 2));
    EXPECT_TRUE(run.Shows(Paths(run.Folder(L"LoRes"), jpegs))) << Dump(run.Shown());
    EXPECT_EQ(run.StoreProblems(), "");
    for (auto& n : jpegs) EXPECT_EQ(Fetches(sim, n), 1u) << Utf8(n);
    for (auto& n : raws) EXPECT_EQ(Fetches(sim, n), 1u) << Utf8(n);
    EXPECT_FALSE(Requested(sim, L"README.TXT"));
}

// QuickPollMs and LoResFirst: the card step starts as soon as the quick poll
// reads the change, long before the next tick, and a burst of shots reaches
// the viewer as JPEGs before the first raw file is requested, although the
// card lists each raw file first.
TEST(Transfer, QuickPollAndLoResFirstBringTheJpegsOfABurstAtOnce) {
    CardStore run;
    Simulator sim(run.card, kCardAddress, L"--rate 2000000");
    ASSERT_TRUE(sim.Running());
    run.Start({{L"TFA.TransferModeAuto", L"Both"}, {L"TFA.LoResFirst", L"Yes"}, {L"TFA.UseUpdateFlag", L"Yes"},
               {L"TFA.QuickPollMs", L"200"}, {L"TFA.CheckNewFilesSec", L"20"}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(WaitFor([&] { return sim.Count("op=100&DIR=" + kCamera) > 0; }, 40000));
    ASSERT_EQ(sim.Command("shoot " + kCamera + " 3 CR2 600000"), "ok\nP1010001\nP1010002\nP1010003\n");
    ASSERT_EQ(sim.Command("flag 1"), "ok\n");
    const Names jpegs = {L"P1010001.JPG", L"P1010002.JPG", L"P1010003.JPG"};
    const Names raws = {L"P1010001.CR2", L"P1010002.CR2", L"P1010003.CR2"};
    // The next tick is 20 s away.
    EXPECT_TRUE(run.WaitFiles(L"LoRes", jpegs, 10000)) << Dump(FilesIn(run.Folder(L"LoRes")));
    EXPECT_TRUE(run.WaitFiles(L"HiRes", raws)) << Dump(FilesIn(run.Folder(L"HiRes")));
    std::vector<std::string> fetched;
    for (const std::string& target : sim.Log())
        if (target.rfind(kCamera + "/", 0) == 0) fetched.push_back(target.substr(kCamera.size() + 1));
    ASSERT_EQ(fetched.size(), 6u);
    for (size_t i = 0; i < 3; i++) EXPECT_TRUE(str::EndsWith(str::FromUtf8(fetched[i]), L".JPG")) << fetched[i];
    EXPECT_TRUE(run.Shows(Paths(run.Folder(L"LoRes"), jpegs))) << Dump(run.Shown());
    EXPECT_EQ(run.StoreProblems(), "");
}

// Pictures that were on the card before and the one never to load are not
// fetched and not shown; one an earlier version stored (whatever its letter
// case) is fetched once to compare its bytes, and never stored or shown again.
TEST(Transfer, NoTransferRulesIgnoreCase) {
    CardStore run;
    run.PutOnCard(L"P1010001.JPG", kJpegStart + "on the card before");
    Simulator sim(run.card, kCardAddress);
    ASSERT_TRUE(sim.Running());
    MakeDirs(run.Folder(L"LoRes"));
    // The same picture, stored by an earlier version: its bytes, the download's time.
    ASSERT_EQ(sim.Command("add /P1010002.JPG 5000"), "ok\n");
    const std::string storedBefore = Bytes(run.card + L"\\P1010002.JPG");
    ASSERT_TRUE(fs::WriteFile(run.Folder(L"LoRes") + L"\\p1010002.jpg", storedBefore));
    run.Start({{L"TFA.DoNotLoad", L"fa000001.jpg"}, {L"TFA.TransferOnlyAddedFiles", L"Yes"}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(WaitFor([&] { return sim.Count("op=100&DIR=" + kCamera) > 0; }));
    for (const char* name : {"P1010002.JPG", "FA000001.JPG", "P1010003.JPG"})
        ASSERT_EQ(sim.Command("add " + kCamera + "/" + name + " 5000"), "ok\n") << name;
    ASSERT_TRUE(run.WaitFiles(L"LoRes", {L"P1010003.JPG", L"p1010002.jpg"}));
    ASSERT_TRUE(WaitTicks(sim, 2));
    EXPECT_TRUE(run.Shows(Paths(run.Folder(L"LoRes"), {L"P1010003.JPG"}))) << Dump(run.Shown());
    EXPECT_EQ(Bytes(run.Folder(L"LoRes") + L"\\p1010002.jpg"), storedBefore);
    for (const wchar_t* n : {L"P1010001.JPG", L"FA000001.JPG"}) EXPECT_FALSE(Requested(sim, n)) << Utf8(n);
    EXPECT_EQ(Fetches(sim, L"P1010002.JPG"), 1u);

    // Without TransferOnlyAddedFiles the earlier picture comes too; the rest stays.
    run.Stop();
    run.Start({{L"TFA.DoNotLoad", L"fa000001.jpg"}, {L"TFA.TransferOnlyAddedFiles", L"No"}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(run.WaitFiles(L"LoRes", {L"P1010001.JPG", L"P1010003.JPG", L"p1010002.jpg"}));
    ASSERT_TRUE(WaitTicks(sim, 2));
    EXPECT_TRUE(run.Shows(Paths(run.Folder(L"LoRes"), {L"P1010001.JPG", L"P1010003.JPG"}))) << Dump(run.Shown());
    EXPECT_EQ(run.StoreProblems(), "");
    EXPECT_FALSE(Requested(sim, L"FA000001.JPG"));
    EXPECT_EQ(Fetches(sim, L"P1010002.JPG"), 1u);
}

// A host in the card's range that answers like a card serves a Windows
// program as P1010002.JPG, ending in FF D9 as a JPEG does. Whatever would
// show it (the program associated with .jpg in SystemOnly and in
// ViewerDefined without a viewer, the viewer otherwise) never gets it: it is
// stored as it came, never started, and the journal says it was not shown.
// The real JPEG of the same run is shown.
TEST(Transfer, AProgramServedAsAPictureIsStoredButNeverStarted) {
    const std::string program = fs::ReadFile(TestBinDir() + L"standin_viewer.exe").value_or("") + "\xFF\xD9";
    struct Case {
        const char* what;
        const wchar_t* mode;
        bool viewer;  // the stand-in viewer is installed, and shows it in ViewerDefined
    } cases[] = {
        {"SystemOnly", L"SystemOnly", true},
        {"ViewerDefined without a viewer", L"ViewerDefined", false},
        {"ViewerDefined with a viewer", L"ViewerDefined", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CardStore run;
        if (!c.viewer) ASSERT_TRUE(DeleteFileW(run.viewer.exe.c_str()));
        const standins::StandIn opener = standins::Install(run.box.root + L"\\Opener\\opener.exe", L"");
        TestFileType jpg(L".jpg", opener.exe);
        ASSERT_TRUE(jpg.Registered());
        run.PutOnCard(L"P1010002.JPG", program);
        Simulator sim(run.card, kCardAddress);
        ASSERT_TRUE(sim.Running());
        ASSERT_EQ(sim.Command("add " + kCamera + "/P1010001.JPG 20000"), "ok\n");
        run.Start({{L"Main.Mode", c.mode}, {L"TFA.TransferOnlyAddedFiles", L"No"}});
        ASSERT_TRUE(run.bar);
        ASSERT_TRUE(run.WaitFiles(L"LoRes", {L"P1010001.JPG", L"P1010002.JPG"})) << Dump(run.Journal());
        const std::wstring fake = run.Folder(L"LoRes") + L"\\P1010002.JPG";
        const standins::StandIn& shows = c.viewer && std::wstring(c.mode) == L"ViewerDefined" ? run.viewer : opener;
        EXPECT_TRUE(WaitFor([&] { return !CardStore::ShownBy(shows).empty(); })) << Dump(run.Journal());
        ASSERT_TRUE(WaitTicks(sim, 2));
        EXPECT_EQ(CardStore::ShownBy(shows), Paths(run.Folder(L"LoRes"), {L"P1010001.JPG"}));
        if (&shows != &run.viewer) EXPECT_EQ(run.Shown(), Names{});
        EXPECT_EQ(run.JournalCount(L"Not shown, the file is not the picture its name says: " + fake), 1u)
            << Dump(run.Journal());
        EXPECT_FALSE(FileExists(fake + L".log")) << "the program served as a picture ran";
        EXPECT_EQ(Bytes(fake), program);
        EXPECT_EQ(run.StoreProblems(), "");
    }
}

// A body cut short, an error page, a card that stalls and one that goes away
// mid-transfer: nothing partial or wrong is stored, the journal and lamps say
// so, and once the card answers again the next tick brings every picture.
TEST(Transfer, FaultsStoreNothingAndTheNextTickCompletes) {
    CardStore run;
    const Names jpegs = {L"P1010001.JPG", L"P1010002.JPG", L"P1010003.JPG", L"P1010004.JPG", L"P1010005.JPG"};
    for (size_t i = 0; i < jpegs.size(); i++)
        run.PutOnCard(jpegs[i], kJpegStart + std::string(50000 + i, char('a' + i)));
    Simulator sim(run.card, kCardAddress, L"--stall 60");
    ASSERT_TRUE(sim.Running());
    for (const char* fault : {"cut 1 P1010001.JPG", "404 1 P1010002.JPG", "stall 1 P1010003.JPG", "gone 1 P1010004.JPG"})
        ASSERT_EQ(sim.Command(std::string("fault ") + fault), "ok\n") << fault;
    run.Start({{L"TFA.TransferOnlyAddedFiles", L"No"}});
    ASSERT_TRUE(run.bar);

    // The card went away at the fourth picture: the fifth is not tried.
    ASSERT_TRUE(WaitFor([&] { return run.JournalCount(L"Transfer failed: P1010004.JPG") == 1; }, 30000))
        << Dump(run.Journal());
    // The lamps come after the journal line, in a later slice of the mail.
    ASSERT_TRUE(WaitFor([&] {
        return standins::LampOn(run.Control(kCardButton), false) == 'r' && standins::LampOn(run.Control(kCopyButton), false) == 'r';
    }, 5000));
    ASSERT_EQ(sim.Command("release"), "ok\n");  // the stalled request is long given up
    for (size_t i = 0; i < 4; i++) EXPECT_EQ(run.JournalCount(L"Transfer failed: " + jpegs[i] + L" ("), 1u) << Utf8(jpegs[i]);
    EXPECT_EQ(run.JournalCount(L"Transfer failed: P1010005.JPG"), 0u);
    EXPECT_EQ(Fetches(sim, L"P1010005.JPG"), 0u);
    EXPECT_EQ(FilesBelow(run.source), Names{}) << Dump(FilesBelow(run.source));
    EXPECT_EQ(run.Shown(), Names{});

    ASSERT_EQ(sim.Command("accept"), "ok\n");
    ASSERT_TRUE(run.WaitFiles(L"LoRes", jpegs)) << Dump(run.Journal());
    ASSERT_TRUE(WaitFor([&] { return run.Shown().size() == jpegs.size(); }));
    EXPECT_TRUE(run.Shows(Paths(run.Folder(L"LoRes"), jpegs))) << Dump(run.Shown());
    EXPECT_EQ(run.StoreProblems(), "");
    EXPECT_TRUE(standins::LampShows(run.Control(kCardButton), false, 'g'));
    EXPECT_TRUE(standins::LampShows(run.Control(kCopyButton), false, 'g'));
    for (auto& n : jpegs) EXPECT_EQ(run.JournalCount(L"Transfer: " + run.Folder(L"LoRes") + L"\\" + n), 1u) << Utf8(n);
}

// A viewer window that takes the keys of the viewer buttons, for as long as
// the test runs.
struct KeysViewer {
    standins::StandIn viewer;
    explicit KeysViewer(const Sandbox& box)
        : viewer(standins::Install(box.root + L"\\Keys\\i_view64.exe", L"FullScreenClass|keys")) {
        standins::Launch(box, viewer, L"FullScreenClass");
    }
    ~KeysViewer() { standins::Stop(viewer); }
};

// Many small files, written without flushing each: the store of weeks.
void FillFolder(const std::wstring& folder, const Names& names) {
    MakeDirs(folder);
    for (const std::wstring& n : names) {
        win::Handle f(CreateFileW((folder + L"\\" + n).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD wrote = 0;
        ASSERT_TRUE(f && WriteFile(f.get(), "stored", 6, &wrote, nullptr)) << Utf8(n);
    }
}

Names Numbered(const wchar_t* format, int from, int count) {
    Names names;
    for (int i = from; i < from + count; i++) {
        wchar_t name[32];
        std::swprintf(name, 32, format, i);
        names.push_back(name);
    }
    return names;
}

// A day's card and store at their real size: a camera folder of 800 files
// (its listing far beyond 32 KB) whose pictures are all stored already among
// 8,200 others, a picture the camera is still writing while it is listed,
// and the card asleep for a while. What an earlier version stored is fetched
// once to compare its bytes; nothing stored is stored or shown again, the
// picture being written arrives whole and is shown once, the
// viewer's buttons work while the card sleeps, and the next picture comes
// once it wakes.
TEST(Transfer, ADayOfShootingAtRealSizes) {
    CardStore run;
    const Names onCardJpegs = Numbered(L"K%07d.JPG", 1, 400), onCardRaws = Numbered(L"K%07d.CR2", 1, 400);
    FillFolder(run.card + L"\\DCIM\\101_PANA", onCardJpegs);
    FillFolder(run.card + L"\\DCIM\\101_PANA", onCardRaws);
    Names stored = Numbered(L"A%07d.JPG", 1, 7800);
    stored.insert(stored.end(), onCardJpegs.begin(), onCardJpegs.end());
    FillFolder(run.Folder(L"LoRes"), stored);
    Simulator sim(run.card, kCardAddress, L"--rate 2000000");
    ASSERT_TRUE(sim.Running());
    KeysViewer keysViewer(run.box);
    standins::StandIn& keys = keysViewer.viewer;
    run.Start({{L"TFA.TransferOnlyAddedFiles", L"No"}, {L"TFA.UseUpdateFlag", L"Yes"}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(WaitFor([&] { return sim.Count("op=100&DIR=" + kCamera) > 0; }));

    // The 401st picture, listed last, written in steps: 0 bytes, half, whole.
    ASSERT_EQ(sim.Command("shoot-slow " + kCamera + " 1 1500 CR2 200000"), "ok\nP1010001\n");
    const std::wstring jpeg = L"P1010001.JPG";
    ASSERT_TRUE(WaitFor([&] { return run.Shown().size() == 1; }, 90000)) << Dump(run.Journal());
    ASSERT_TRUE(WaitTicks(sim, 3));
    EXPECT_TRUE(run.Shows(Paths(run.Folder(L"LoRes"), {jpeg}))) << Dump(run.Shown());
    EXPECT_EQ(Bytes(run.Folder(L"LoRes") + L"\\" + jpeg), Bytes(run.OnCard(jpeg)));
    EXPECT_EQ(run.StoreProblems(), "");
    for (auto& n : onCardJpegs) ASSERT_LE(Fetches(sim, n), 1u) << Utf8(n);
    EXPECT_EQ(FilesIn(run.Folder(L"LoRes")).size(), stored.size() + 1);

    // The camera sleeps: the viewer's buttons do not wait for the card.
    ASSERT_EQ(sim.Command("sleep 30"), "ok\n");
    ASSERT_TRUE(WaitTicks(sim, 0));
    Sleep(3000);  // the ticks now wait on the silent card
    Click(run.Control(kRightButton));
    EXPECT_TRUE(WaitFor([&] { return standins::KeyLines(keys).size() >= 2; }, 10000)) << "no key while the card sleeps";
    ASSERT_EQ(sim.Command("wake"), "ok\n");
    ASSERT_EQ(sim.Command("shoot " + kCamera + " 1 CR2 200000"), "ok\nP1010002\n");
    ASSERT_TRUE(WaitFor([&] { return run.Shown().size() == 2; }, 40000)) << Dump(run.Journal());
    EXPECT_TRUE(run.Shows(Paths(run.Folder(L"LoRes"), {jpeg, L"P1010002.JPG"}))) << Dump(run.Shown());
    EXPECT_EQ(run.StoreProblems(), "");
    EXPECT_EQ(Fetches(sim, L"P1010002.JPG"), 1u);
}

// A second click on button 6 stops the running download; the transfer goes on
// with the next picture, the info button meanwhile is dropped, the viewer's
// buttons act at once, and the next click fetches the stopped one. Button 9
// during a download ends the program at once, leaves no partial file and
// writes the settings back.
TEST(Transfer, ButtonSixCancelsTheRunningDownloadOnly) {
    CardStore run;
    const Names raws = {L"P1010001.CR2", L"P1010002.CR2", L"P1010003.CR2"};
    for (auto& n : raws) run.PutOnCard(n, kTiffStart + std::string(600000, 'r'));
    Simulator sim(run.card, kCardAddress, L"--rate 150000");
    ASSERT_TRUE(sim.Running());
    KeysViewer keysViewer(run.box);
    standins::StandIn& keys = keysViewer.viewer;
    run.Start({{L"TFA.TransferOnlyAddedFiles", L"No"}, {L"TFA.TransferModeMan", L"HiRes"}, {L"TFA.UrlLastConnect", L""}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(WaitFor([&] { return sim.Count("op=100&DIR=" + kCamera) > 0; }));

    ASSERT_TRUE(ClickUntil(run.Control(kCardButton), [&] { return Requested(sim, raws[0]); })) << Dump(run.Journal());
    // Past half a second button 6 shows how far the download is, on its face
    // and in its tooltip.
    SetCursorPos(0, 0);  // no tooltip over the face
    auto barOnFace = [&] {
        const std::vector<COLORREF> face = ScreenPixels(ClientOnScreen(run.Control(kCardButton)));
        return std::count(face.begin(), face.end(), RGB(0, 200, 255)) > 0;
    };
    EXPECT_TRUE(WaitFor(barOnFace, 3000)) << "no progress bar on the face";
    Hover(run.Control(kCardButton));
    std::wstring tip;
    EXPECT_TRUE(WaitFor([&] { return (tip = ShownTip(run.process.pid)).starts_with(L"Cancel the transfer\nP1010001.CR2: "); },
                        3000)) << Utf8(tip);
    Click(run.Control(kRightButton));  // the viewer does not wait for the card
    ASSERT_TRUE(WaitFor([&] { return standins::KeyLines(keys).size() >= 2; }, 10000));
    EXPECT_EQ(standins::KeyLines(keys), (Names{L"down 39", L"up 39"}));
    EXPECT_EQ(run.JournalCount(L"Transfer"), 0u) << "the key came only after the download";
    Click(run.Control(kInfoButton));  // dropped: the panel stays closed
    Click(run.Control(kCardButton));
    ASSERT_TRUE(run.WaitFiles(L"HiRes", {raws[1], raws[2]}, 30000));
    ASSERT_TRUE(WaitFor([&] { return run.Shown().size() == 2; }));
    EXPECT_TRUE(run.Shows(Paths(run.Folder(L"HiRes"), {raws[1], raws[2]}))) << Dump(run.Shown());
    EXPECT_EQ(run.JournalCount(L"Transfer failed: P1010001.CR2 (cancelled)"), 1u) << Dump(run.Journal());
    EXPECT_FALSE(IsWindowVisible(run.Control(kJournal)));
    EXPECT_EQ(run.StoreProblems(), "");

    ASSERT_TRUE(ClickUntil(run.Control(kCardButton), [&] { return Fetches(sim, raws[0]) == 2; }));
    ASSERT_TRUE(run.WaitFiles(L"HiRes", raws, 30000));
    ASSERT_TRUE(WaitFor([&] { return run.Shown().size() == 3; }));
    EXPECT_TRUE(run.Shows(Paths(run.Folder(L"HiRes"), raws))) << Dump(run.Shown());
    EXPECT_EQ(run.StoreProblems(), "");
    EXPECT_EQ(Fetches(sim, raws[0]), 2u);
    EXPECT_EQ(Fetches(sim, raws[1]), 1u);
    EXPECT_EQ(Fetches(sim, raws[2]), 1u);

    const std::wstring last = L"P1010004.CR2";
    ASSERT_EQ(sim.Command("add " + kCamera + "/" + Utf8(last) + " 3000000"), "ok\n");
    ASSERT_TRUE(ClickUntil(run.Control(kCardButton), [&] { return Requested(sim, last); }));
    Click(run.Control(kEndButton));
    EXPECT_EQ(WaitExit(run.process, 10000), 0);
    run.bar = nullptr;
    EXPECT_EQ(FilesIn(run.Folder(L"HiRes")), raws);
    EXPECT_EQ(run.StoreProblems(), "");
    std::string settings = fs::ReadFile(run.box.SettingsFile()).value_or("");
    EXPECT_NE(settings.find("UrlLastConnect = " + Utf8(kCardAddress)), std::string::npos) << settings;
}

namespace {

struct Tile {
    int index = 0;  // the file's record number: controls 1000, 2000 and 3000 + index
    std::wstring caption;
    RECT picture{}, toggle{}, label{};  // in the grid's client coordinates
};

RECT RectIn(HWND parent, HWND child) {
    RECT rc{};
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// The tiles of the grid, by caption.
std::map<std::wstring, Tile> Tiles(HWND area) {
    std::map<std::wstring, Tile> tiles;
    for (HWND c = GetWindow(area, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(c);
        if (id < 3000 || id >= 4000) continue;
        Tile t;
        t.index = id - 3000;
        t.caption = WindowText(c);
        t.label = RectIn(area, c);
        t.picture = RectIn(area, GetDlgItem(area, 1000 + t.index));
        t.toggle = RectIn(area, GetDlgItem(area, 2000 + t.index));
        tiles[t.caption] = t;
    }
    return tiles;
}

std::string Text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

// The picture of a tile as the screen shows it.
std::vector<COLORREF> Face(HWND area, const Tile& t) {
    int width = 0;
    return standins::Capture(GetDlgItem(area, 1000 + t.index), width);
}

// Opens the journal, the tree (which walks the card) and the thumbnail grid.
bool OpenGrid(const CardStore& run, size_t tiles) {
    auto click = [&](int view) {
        return ClickUntil(run.Control(kInfoButton), [&] { return IsWindowVisible(run.Control(view)) != 0; });
    };
    return WaitFor([&] { return run.JournalCount(L"TFA Success") > 0; }) && click(kJournal) && click(kTree) &&
           WaitFor([&] { return cardtest::ReadTree(run.Control(kTree)).size() > 3; }) && click(kThumbs) &&
           WaitFor([&] { return Tiles(run.Control(kThumbs)).size() == tiles; });
}

}  // namespace

// The grid of the camera folder: one tile per picture laid out by ThumbCols
// with its caption; card thumbnails fetched once into the cache and reused in
// the next run; raw files and failed fetches show the default picture.
TEST(Thumbnails, GridOfTheCameraFolderWithACacheAcrossRuns) {
    CardStore run;
    const Names pictures = {L"A_LONG_NAME_FOR_A_CAPTION.JPG", L"P1010001.CR2", L"P1010001.JPG",
                            L"P1010002.JPG", L"P1010003.JPG", L"P1010004.JPG"};
    for (auto& n : pictures) run.PutOnCard(n, "picture " + Utf8(n));
    run.PutOnCard(L"CLIP.MOV", "no picture");
    run.PutOnCard(L"SUB\\P1.JPG", "in a sub-folder");
    MakeDirs(run.card + L"\\DCIM\\100TEST");
    ASSERT_TRUE(fs::WriteFile(run.card + L"\\DCIM\\100TEST\\X.JPG", "another folder"));
    // Cached from an earlier run: a good thumbnail, and one that came empty.
    const std::wstring cache = run.Folder(L"Storage\\Thumbnails");
    const std::string cached = Bytes(TestBinDir() + L"Graphics\\Copy.jpg");
    MakeDirs(cache);
    ASSERT_TRUE(fs::WriteFile(cache + L"\\_thm_P1010001.JPG", cached));
    // Fetched when the picture was taken, however long the set-up takes.
    ASSERT_TRUE(SameTime(run.OnCard(L"P1010001.JPG"), cache + L"\\_thm_P1010001.JPG"));
    ASSERT_TRUE(fs::WriteFile(cache + L"\\_thm_P1010002.JPG", ""));
    ASSERT_TRUE(fs::WriteFile(run.Folder(L"Storage") + L"\\P1010004.JPG", "stored"));
    Simulator sim(run.card, kCardAddress);
    ASSERT_TRUE(sim.Running());
    ASSERT_EQ(sim.Command("fault 404 1 thumbnail.cgi?//DCIM/101_PANA/P1010003.JPG"), "ok\n");
    run.Start({{L"Menu.ThumbCols", L"4"}, {L"Menu.ButtonSpace", L"2"}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(OpenGrid(run, pictures.size())) << Dump(run.Journal());

    HWND area = run.Control(kThumbs);
    std::map<std::wstring, Tile> tiles = Tiles(area);
    std::vector<Tile> grid;
    for (auto& n : pictures) {
        std::wstring caption = L"/DCIM/101_PANA/" + n;
        if (caption.size() > 36) caption = caption.substr(0, 18) + L" ... " + caption.substr(caption.size() - 18);
        ASSERT_EQ(tiles.count(caption), 1u) << Utf8(caption);
        grid.push_back(tiles[caption]);
    }
    EXPECT_EQ(grid[0].caption, L"/DCIM/101_PANA/A_L ... _FOR_A_CAPTION.JPG");
    // The tooltip has the path the caption shortens.
    Hover(GetDlgItem(area, 3000 + grid[0].index));
    EXPECT_TRUE(WaitFor([&] { return ShownTip(run.process.pid) == L"/DCIM/101_PANA/A_LONG_NAME_FOR_A_CAPTION.JPG"; },
                        3000)) << Utf8(ShownTip(run.process.pid));
    for (size_t n = 0; n < grid.size(); n++) {
        // Tiles of 160 + a row of 36 below, 2 apart, four to a row, in path order.
        int x = static_cast<int>(n % 4) * 162, y = static_cast<int>(n / 4) * 198;
        SCOPED_TRACE(Utf8(pictures[n]));
        EXPECT_EQ(Text(grid[n].picture), Text({x, y, x + 160, y + 160}));
        EXPECT_EQ(Text(grid[n].toggle), Text({x, y + 161, x + 36, y + 197}));
        EXPECT_EQ(Text(grid[n].label), Text({x + 36, y + 161, x + 160, y + 197}));
    }

    // One request per JPEG without a usable cached thumbnail, the card path
    // after the CGI's "/".
    auto thumbRequests = [&] {
        std::vector<std::string> r;
        for (auto& l : sim.Log())
            if (l.rfind("/thumbnail.cgi?", 0) == 0) r.push_back(l);
        std::sort(r.begin(), r.end());
        return r;
    };
    const std::string cgi = "/thumbnail.cgi?/" + kCamera + "/";
    EXPECT_EQ(thumbRequests(), (std::vector<std::string>{cgi + "A_LONG_NAME_FOR_A_CAPTION.JPG", cgi + "P1010002.JPG",
                                                         cgi + "P1010003.JPG", cgi + "P1010004.JPG"}));
    const std::string fetched = cardtest::HttpGet(kCardAddress, cgi + "P1010004.JPG").body;
    ASSERT_FALSE(fetched.empty());
    EXPECT_EQ(FilesIn(cache), (Names{L"_thm_A_LONG_NAME_FOR_A_CAPTION.JPG", L"_thm_P1010001.JPG", L"_thm_P1010002.JPG",
                                     L"_thm_P1010004.JPG"}));
    EXPECT_EQ(Bytes(cache + L"\\_thm_P1010001.JPG"), cached);
    for (const wchar_t* n : {L"A_LONG_NAME_FOR_A_CAPTION.JPG", L"P1010002.JPG", L"P1010004.JPG"})
        EXPECT_EQ(Bytes(cache + L"\\_thm_" + n), fetched) << Utf8(n);
    EXPECT_EQ(run.StoreProblems(), "");

    // The raw file and the failed fetch show the default picture; the others
    // their thumbnails. The stored picture's toggle has the "loaded" face.
    EXPECT_TRUE(WaitFor([&] { return !Face(area, grid[1]).empty() && Face(area, grid[1]) == Face(area, grid[4]); }));
    EXPECT_EQ(Face(area, grid[0]), Face(area, grid[5]));
    EXPECT_NE(Face(area, grid[5]), Face(area, grid[1]));
    EXPECT_NE(Face(area, grid[2]), Face(area, grid[1]));
    EXPECT_NE(Face(area, grid[2]), Face(area, grid[5]));
    auto toggleFace = [&](const Tile& t) { return SendMessageW(GetDlgItem(area, 2000 + t.index), BM_GETIMAGE, IMAGE_BITMAP, 0); };
    EXPECT_NE(toggleFace(grid[5]), toggleFace(grid[4]));
    EXPECT_EQ(toggleFace(grid[3]), toggleFace(grid[4]));

    // The next run asks only for the thumbnail that failed.
    const size_t before = thumbRequests().size();  // with the test's own request
    run.Stop();
    run.Start({{L"Menu.ThumbCols", L"4"}, {L"Menu.ButtonSpace", L"2"}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(OpenGrid(run, pictures.size()));
    std::vector<std::string> again = thumbRequests();
    ASSERT_EQ(again.size(), before + 1);
    EXPECT_EQ(std::count(again.begin(), again.end(), cgi + "P1010003.JPG"), 2);
    EXPECT_EQ(Bytes(cache + L"\\_thm_P1010003.JPG"), fetched);
    EXPECT_EQ(run.StoreProblems(), "");
}

// A name is no picture: after the camera's counter wrapped (or the card was
// formatted) a new picture under a stored name goes beside it, and the
// stored one stays as it was. A burst cut short by End arrives after the
// next start. A store that cannot take a picture says so, with button 6's
// lamp red, and takes the picture once it works again. A picture the store
// cannot take while it takes others holds back none after it.
// A second body on a card of its own counts from P1010001 too.
TEST(Transfer, RepeatedNamesARestartAndAStoreThatFails) {
    CardStore run;
    Simulator sim(run.card, kCardAddress, L"--rate 300000");
    const std::wstring bodyB = run.box.root + L"\\CardB";
    MakeDirs(bodyB + L"\\DCIM\\101_PANA");
    Simulator simB(bodyB, L"127.0.0.6", L"--rate 300000 --ssid BodyB --cid 0123456789abcdef0123456789abcdef");
    ASSERT_TRUE(sim.Running() && simB.Running());
    const Changes settings = {{L"TFA.TransferModeAuto", L"LoRes"}, {L"TFA.UseUpdateFlag", L"No"},
                              {L"TFA.Url", kCardAddress + L";127.0.0.6"}, {L"TFA.UrlLastConnect", L""}};
    run.Start(settings);
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(WaitFor([&] { return sim.Count("op=100&DIR=" + kCamera) > 0; }));
    const std::wstring lowRes = run.Folder(L"LoRes");
    auto picture = [](char c, size_t size) { return std::string(size - 2, c) + "\xFF\xD9"; };

    const std::string first = picture('a', 20000), second = picture('b', 20000);
    run.PutOnCard(L"P1010001.JPG", first);
    ASSERT_TRUE(run.WaitFiles(L"LoRes", {L"P1010001.JPG"}));
    // The counter wrapped: the same name and size, a later time.
    ASSERT_TRUE(fs::DeleteFileAt(run.OnCard(L"P1010001.JPG")));
    run.PutOnCard(L"P1010001.JPG", second);
    ASSERT_TRUE(fs::SetLastWriteTime(run.OnCard(L"P1010001.JPG"), fs::Now() + int64_t{3600} * 1000000000));
    ASSERT_TRUE(run.WaitFiles(L"LoRes", {L"P1010001-2.JPG", L"P1010001.JPG"})) << Dump(FilesIn(lowRes));
    EXPECT_EQ(Bytes(lowRes + L"\\P1010001.JPG"), first);
    EXPECT_EQ(Bytes(lowRes + L"\\P1010001-2.JPG"), second);
    EXPECT_EQ(run.JournalCount(L"Another picture has the name P1010001.JPG: this one is stored beside it as "
                               L"P1010001-2.JPG"), 1u);
    const std::string fromB = picture('g', 30000);
    ASSERT_TRUE(fs::WriteFile(bodyB + L"\\DCIM\\101_PANA\\P1010001.JPG", fromB));
    ASSERT_TRUE(run.WaitFiles(L"LoRes", {L"P1010001-2.JPG", L"P1010001-3.JPG", L"P1010001.JPG"}));
    EXPECT_EQ(Bytes(lowRes + L"\\P1010001-3.JPG"), fromB);
    const Names journal = run.Journal();
    EXPECT_EQ(std::count(journal.begin(), journal.end(),
                         L"[BodyB] Another picture has the name P1010001.JPG: this one is stored beside it as "
                         L"P1010001-3.JPG"), 1) << Dump(journal);

    // A burst of three, and End after the first has come.
    const Names burst = {L"P1010002.JPG", L"P1010003.JPG", L"P1010004.JPG"};
    for (auto& n : burst) run.PutOnCard(n, picture('c', 300000));
    ASSERT_TRUE(WaitFor([&] { return fs::IsNonEmptyFile(lowRes + L"\\" + burst[0]); }));
    standins::ClickButton(run.Control(kEndButton));
    ASSERT_EQ(WaitExit(run.process), 0);
    run.bar = nullptr;
    run.Start(settings);
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(run.WaitFiles(L"LoRes", {L"P1010001-2.JPG", L"P1010001-3.JPG", L"P1010001.JPG", burst[0], burst[1],
                                         burst[2]}, 30000))
        << Dump(FilesIn(lowRes));
    EXPECT_EQ(Fetches(sim, burst[0]), 1u);
    EXPECT_EQ(Fetches(simB, L"P1010001.JPG"), 1u);

    // The store's folder goes away (a drive pulled): a file stands in its place.
    ASSERT_TRUE(MoveFileW(lowRes.c_str(), (lowRes + L"-away").c_str()));
    ASSERT_TRUE(fs::WriteFile(lowRes, "no folder"));
    run.PutOnCard(L"P1010005.JPG", picture('d', 20000));
    ASSERT_TRUE(WaitFor([&] { return run.JournalCount(L"Not stored: " + lowRes + L" (") == 1; }))
        << Dump(run.Journal());
    EXPECT_TRUE(standins::LampShows(run.Control(kCardButton), false, 'r'));
    ASSERT_TRUE(WaitTicks(sim, 3));
    EXPECT_EQ(Fetches(sim, L"P1010005.JPG"), 0u);
    ASSERT_TRUE(fs::DeleteFileAt(lowRes));
    ASSERT_TRUE(MoveFileW((lowRes + L"-away").c_str(), lowRes.c_str()));
    ASSERT_TRUE(WaitFor([&] { return fs::IsNonEmptyFile(lowRes + L"\\P1010005.JPG"); }, 30000)) << Dump(run.Journal());
    EXPECT_EQ(run.JournalCount(L"Store works again: " + lowRes), 1u);
    EXPECT_EQ(Fetches(sim, L"P1010005.JPG"), 1u);
    // The first P1010001 is the picture from before the counter wrapped.
    EXPECT_EQ(run.StoreProblems(), "differs from the card: \\LoRes\\P1010001.JPG\n");

    // Every name beside P1010009.JPG is another file's: the picture after it
    // comes on its tick all the same.
    Names taken = Numbered(L"P1010009-%d.JPG", 2, 998);
    taken.push_back(L"P1010009.JPG");
    FillFolder(lowRes, taken);
    run.PutOnCard(L"P1010009.JPG", picture('e', 4));
    run.PutOnCard(L"P1010010.JPG", picture('f', 20000));
    ASSERT_TRUE(WaitFor([&] { return fs::IsNonEmptyFile(lowRes + L"\\P1010010.JPG"); })) << Dump(run.Journal());
    ASSERT_TRUE(WaitTicks(sim, 3));
    EXPECT_EQ(run.JournalCount(L"Not stored: " + lowRes + L"\\P1010009.JPG (every name beside it is taken)"), 1u);
}

// Every stored picture's second copy in the backup folder, byte for byte; a
// backup on the pictures' drive warned of once; a backup folder that goes
// away said once, button 7's lower lamp red, what waited follows it back.
TEST(Transfer, EveryPictureHasASecondCopyThatWaitsForItsDrive) {
    CardStore run;
    const std::wstring backup = run.box.root + L"\\Backup";
    Simulator sim(run.card, kCardAddress, L"--rate 1000000");
    ASSERT_TRUE(sim.Running());
    run.Start({{L"TFA.TransferModeAuto", L"LoRes"}, {L"Copy.BackupPath", backup}});
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(WaitFor([&] { return sim.Count("op=100&DIR=" + kCamera) > 0; }));
    auto backedUp = [&](const Names& names) {
        return WaitFor([&] {
            for (auto& n : names)
                if (!fs::IsNonEmptyFile(backup + L"\\LoRes\\" + n) ||
                    Bytes(backup + L"\\LoRes\\" + n) != Bytes(run.Folder(L"LoRes") + L"\\" + n))
                    return false;
            return true;
        });
    };
    ASSERT_EQ(sim.Command("shoot " + kCamera + " 2 CR2 300000").substr(0, 3), "ok\n");
    EXPECT_TRUE(backedUp({L"P1010001.JPG", L"P1010002.JPG"})) << Dump(run.Journal());
    EXPECT_EQ(run.JournalCount(L"Backup: " + backup + L" is on the same drive as the pictures"), 1u);  // as here

    ASSERT_TRUE(MoveFileW(backup.c_str(), (backup + L"-away").c_str()));
    ASSERT_EQ(sim.Command("shoot " + kCamera + " 2 CR2 300000").substr(0, 3), "ok\n");
    ASSERT_TRUE(WaitFor([&] { return run.JournalCount(L"Backup failed: ") == 1; })) << Dump(run.Journal());
    EXPECT_TRUE(standins::LampShows(run.Control(kLogButton), false, 'r'));
    ASSERT_TRUE(run.WaitFiles(L"LoRes", {L"P1010001.JPG", L"P1010002.JPG", L"P1010003.JPG", L"P1010004.JPG"}));
    ASSERT_TRUE(MoveFileW((backup + L"-away").c_str(), backup.c_str()));
    EXPECT_TRUE(backedUp({L"P1010003.JPG", L"P1010004.JPG"})) << Dump(run.Journal());
    EXPECT_TRUE(WaitFor([&] { return run.JournalCount(L"Backup complete: 2 pictures") == 1; })) << Dump(run.Journal());
    EXPECT_TRUE(standins::LampShows(run.Control(kLogButton), false, 'g'));
    EXPECT_EQ(run.JournalCount(L"Backup failed: "), 1u);
}

// An FTP server's inbox: a picture written in pieces arrives once it is
// closed, once, in LoRes, and is shown; what was there at first sight stays
// out; one written while Wemlox was ended comes at the next start; the inbox
// is left as it was.
TEST(Inbox, APictureArrivesOnceClosedAndOneWrittenWhileEndedAtTheNextStart) {
    CardStore run;
    const std::wstring inbox = run.box.root + L"\\Ftp", lowRes = run.Folder(L"LoRes");
    MakeDirs(inbox + L"\\cam1");
    ASSERT_TRUE(fs::WriteFile(inbox + L"\\before.jpg", kJpegStart + "before\xFF\xD9"));
    const Changes settings = {{L"Inbox.Folders", inbox}, {L"TFA.TransferModeAuto", L"LoRes"}};
    run.Start(settings);
    ASSERT_TRUE(run.bar);
    // The inbox's record tells that its first look is behind.
    const std::wstring records = run.box.SettingsFolder() + L"\\Cards";
    auto recorded = [&] {
        Names files = FilesIn(records);
        return std::any_of(files.begin(), files.end(), [](auto& f) { return str::StartsWith(f, L"inbox-"); });
    };
    ASSERT_TRUE(WaitFor(recorded)) << Dump(run.Journal());

    // Written in pieces as the bytes come in, the writer keeping it open.
    const std::string picture = kJpegStart + std::string(200000, 'p') + "\xFF\xD9";
    const std::wstring arriving = inbox + L"\\cam1\\P1.JPG";
    {
        win::Handle file(CreateFileW(arriving.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(file.get() != INVALID_HANDLE_VALUE);
        for (size_t at = 0; at < picture.size(); at += 50000) {
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(50000, picture.size() - at));
            DWORD wrote = 0;
            ASSERT_TRUE(WriteFile(file.get(), picture.data() + at, piece, &wrote, nullptr) && wrote == piece);
            FlushFileBuffers(file.get());
            Sleep(150);  // the pace of the upload
        }
        EXPECT_FALSE(fs::FileSize(lowRes + L"\\P1.JPG").has_value());
    }
    ASSERT_TRUE(run.WaitFiles(L"LoRes", {L"P1.JPG"})) << Dump(run.Journal());
    EXPECT_EQ(Bytes(lowRes + L"\\P1.JPG"), picture);
    EXPECT_TRUE(run.Shows({lowRes + L"\\P1.JPG"})) << Dump(run.Shown());
    EXPECT_EQ(run.JournalCount(L"Transfer: " + lowRes + L"\\P1.JPG"), 1u) << Dump(run.Journal());

    // Ended; the camera's counter starts again in another folder.
    run.Stop();
    MakeDirs(inbox + L"\\cam2");
    ASSERT_TRUE(fs::WriteFile(inbox + L"\\cam2\\P1.JPG", kJpegStart + "second camera\xFF\xD9"));
    const Names inInbox = FilesBelow(inbox);
    run.Start(settings);
    ASSERT_TRUE(run.bar);
    ASSERT_TRUE(run.WaitFiles(L"LoRes", {L"P1-2.JPG", L"P1.JPG"})) << Dump(run.Journal());
    EXPECT_EQ(Bytes(lowRes + L"\\P1-2.JPG"), kJpegStart + "second camera\xFF\xD9");
    EXPECT_TRUE(run.Shows({lowRes + L"\\P1-2.JPG", lowRes + L"\\P1.JPG"})) << Dump(run.Shown());
    EXPECT_EQ(FilesBelow(inbox), inInbox);
    EXPECT_EQ(Bytes(inbox + L"\\cam1\\P1.JPG"), picture);
    EXPECT_EQ(run.StoreProblems(), "");
}
