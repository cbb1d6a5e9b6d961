// A day of shooting compressed into minutes. The real Wemlox.exe watches the
// simulated card while the camera shoots JPEG + raw pairs at a card's pace
// (small files, paced), fills its folder past the limit and goes on in the
// next one, writes some pictures in steps (0 bytes, part, whole), and the
// card misbehaves at random: a cut body, a 500, a stall, the card asleep, the
// card out of reach while the router in its address range answers. And what
// a real day brings besides: the card is formatted and the camera's counter
// wraps, so names come again with other pictures (some of the same size);
// Wemlox is ended in the middle of a burst and started again, as a user ends
// it (button 9 or closing the bar) and as a computer that restarts (killed);
// the store cannot be written for a minute, nor the backup folder (and
// Wemlox is killed while pictures wait for it); the card comes back from a sleep
// at another address of [TFA] Url's range; the card is swapped for another
// (its own CID, the same network name and address, names and sizes again).
// While Wemlox is ended pictures are shot, the camera's clock (seven hours
// behind) is reset to 2015-01-01, and daylight saving time changes. Button 5
// is clicked every few seconds throughout and the time to the key at the
// viewer's window is taken.
//
// When the store has settled, the bar is closed and a tally printed. Pictures
// are known by their content (every shot of the simulator differs): each is
// in the store exactly once and whole, in the folder of its kind, under its
// name or beside it ("P1010001-2.JPG"), with the card's date and time (an
// hour off after the daylight saving change); no stored file changed
// after it appeared (but for a part of a picture the card wrote in steps,
// completed by that picture); what waited when Wemlox ended, or while the
// store could not be written, arrived soon after; what the viewer was started
// with; every stored picture's copy in the backup folder, byte for byte; the
// click-to-key times. Exit code 0 only when every check passes; the times are
// figures to read, not a check, as Wine's scheduling on a shared machine
// would make any bound flaky.
//
//   soak [--pictures N] [--seed S] [--sleep-seconds S] [--slow-percent P]
//        [--pause-ms MS] [--prefill FILES] [--restarts N] [--wraps N]
//        [--moves N] [--unwritable-seconds S] [--no-roll] [--no-router]
//        [--inbox] [--two-cards] [--out FOLDER]
//
// With --inbox, FTP uploads feed an inbox folder besides (see FeedInbox):
// each is stored once, whole, in the folder of its kind, and the inbox is
// left as written. With --two-cards, a second card in a second camera (its
// own entry in [TFA] Url) shoots now and then between the first one's
// bursts and sleeps and wakes meanwhile (see SecondCard); its names start at
// P1010001 as the first card's day does. Each picture is then also put down
// to its source in the journal: a card's "Transfer:" line begins with that
// card's name in brackets, the inbox's with neither.
//
// A short day (fewer than 500 pictures) has one wrap and one restart (the
// killed one); a long day two restarts, one move and a minute of unwritable
// store. The same seed gives the same day: shots, sizes, steps, faults and
// events. Timing under Wine still varies, so a repeated run meets the faults
// at other moments.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../bench/bench_clock.h"
#include "base/fs.h"
#include "base/str.h"
#include "card_support.h"
#include "driver.h"

namespace {

using bench::Now;
using bench::Percentile;

// ---- The day's settings --------------------------------------------------------

// The card's address range in [TFA] Url. The card starts at its first address
// (where its control port stays), the router sits beside it, and a card that
// moves goes to one of the others.
constexpr char kCardAddress[] = "127.0.0.71";
constexpr char kRouterAddress[] = "127.0.0.72";
constexpr char kAddressRange[] = "127.0.0.71-79";
constexpr int kFirstMoveTarget = 73, kLastMoveTarget = 78;
constexpr char kFirstCameraFolder[] = "/DCIM/101_PANA";
// The second card: its own network name and CID, and one address of its own
// at the end of the first card's range, which a search for the first card
// passes over.
constexpr char kSecondCardAddress[] = "127.0.0.79";
constexpr char kSsids[2][20] = {"flashair_soak_a", "flashair_soak_b"};
constexpr char kSecondCardCid[] = "fedcba9876543210fedcba9876543210";
constexpr int kFolderLimit = 999;          // files a camera puts into one folder
constexpr uint64_t kCardRate = 1000000;    // bytes per second, a card's pace
constexpr int kStallSeconds = 15;          // a stalled request is held this long, then reset
constexpr int kStartAsleepSeconds = 6;     // the camera is switched on a moment after Wemlox
constexpr int kClickEveryMs = 3000;
constexpr int kKeyWaitMs = 30000;          // a click whose key has not come by then counts this long
constexpr int kKeyWindowLifetimeMs = 100000;  // the stand-in window ends itself after 120 s
constexpr int kQuietMs = 40000;            // a store unchanged this long has settled
constexpr int kLingerMs = 10000;           // ticks with nothing new, in which nothing may be shown again
constexpr int kStepMsMin = 1200, kStepMsMax = 2500;  // pictures written in steps
constexpr int kScanEveryMs = 1000;         // the store is looked at this often while the day runs
constexpr int kMidBurstMs = 20000;         // a restart waits this long for its burst's first file
constexpr int kWaitedMs = 60000;           // what waited when Wemlox ended is stored this soon after its start
constexpr int kStoreBackMs = 45000;        // what waited for the store, this soon after it can be written
constexpr int kFoundAgainMs = 120000;      // a card that moved is found this soon after it woke
constexpr int kFormatWaitMs = 60000;       // the card is formatted once its pictures are stored, or after this
constexpr int kWrapCounter = 9998;         // the camera's counter two shots before it wraps
constexpr uint64_t kHour = 36000000000ull;  // in FILETIME units
constexpr int kRightButton = 5, kQuitButton = 9, kJournal = 101, kRightKey = 39;

struct Options {
    int pictures = 1000;
    uint64_t seed = 0;
    bool seedGiven = false;
    int sleepSeconds = 30;   // the card asleep with the camera
    int slowPercent = 30;    // bursts written in steps
    int pauseMs = 1000;      // mean pause per picture
    int prefillFiles = 900;  // files in the first camera folder from before the run
    // The day's events; -1 until ParseOptions sets them by the day's length.
    int restarts = -1;           // Wemlox ended in a burst and started again
    int wraps = 1;               // the card formatted and the camera's counter wrapping
    int moves = -1;              // the card back from a sleep at another address
    int unwritableSeconds = -1;  // a store folder replaced by a plain file this long
    bool roll = true;        // the camera folder rolls over; FollowNewFolders = Yes
    bool router = true;      // a router in the card's address range answers while the card does not
    bool inbox = false;      // an inbox folder fed by uploads besides the card
    bool twoCards = false;   // a second card in a second camera
    std::wstring out;        // journal, card log and viewer log are saved here
};

bool ParseOptions(int argc, wchar_t** argv, Options& o) {
    for (int i = 1; i < argc; i++) {
        std::wstring key = argv[i];
        if (key == L"--no-roll" || key == L"--no-router") {
            (key == L"--no-roll" ? o.roll : o.router) = false;
            continue;
        }
        if (key == L"--inbox" || key == L"--two-cards") {
            (key == L"--inbox" ? o.inbox : o.twoCards) = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        std::wstring value = argv[++i];
        int number = str::LeadingInt32(value);
        if (key == L"--pictures") o.pictures = number;
        else if (key == L"--seed") o.seed = std::wcstoull(value.c_str(), nullptr, 10), o.seedGiven = true;
        else if (key == L"--sleep-seconds") o.sleepSeconds = number;
        else if (key == L"--slow-percent") o.slowPercent = number;
        else if (key == L"--pause-ms") o.pauseMs = number;
        else if (key == L"--prefill") o.prefillFiles = number;
        else if (key == L"--restarts") o.restarts = number;
        else if (key == L"--wraps") o.wraps = number;
        else if (key == L"--moves") o.moves = number;
        else if (key == L"--unwritable-seconds") o.unwritableSeconds = number;
        else if (key == L"--out") o.out = value;
        else return false;
    }
    const bool longDay = o.pictures >= 500;
    if (o.restarts < 0) o.restarts = longDay ? 2 : 1;
    if (o.moves < 0) o.moves = longDay ? 1 : 0;
    if (o.unwritableSeconds < 0) o.unwritableSeconds = longDay ? 60 : 0;
    return o.pictures > 0 && o.sleepSeconds >= 0 && o.slowPercent >= 0 && o.slowPercent <= 100 && o.pauseMs >= 0 &&
           o.prefillFiles >= 0 && o.prefillFiles < kFolderLimit && o.restarts <= 4 && o.wraps >= 0 && o.wraps <= 3 &&
           o.moves >= 0 && o.moves <= kLastMoveTarget - kFirstMoveTarget + 1 && o.unwritableSeconds <= 600;
}

// splitmix64: a seed means the same day on every system and compiler.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<uint64_t>(high - low + 1)); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }
    template <typename T>
    const T& Pick(const std::vector<T>& v) {
        return v[static_cast<size_t>(Between(0, static_cast<int>(v.size()) - 1))];
    }

private:
    uint64_t state_;
};

// ---- The plan of the day ------------------------------------------------------

enum class FaultKind { Cut, ServerError, Stall, Asleep, OutOfReach };

const char* FaultName(FaultKind k) {
    switch (k) {
    case FaultKind::Cut: return "cut";
    case FaultKind::ServerError: return "500";
    case FaultKind::Stall: return "stall";
    case FaultKind::Asleep: return "asleep";
    case FaultKind::OutOfReach: return "away";
    }
    return "";
}

struct Fault {
    FaultKind kind = FaultKind::Cut;
    std::string target;     // part of the request it hits (cut, 500, stall)
    bool redirect = false;  // the router's answer while the card is out of reach
    int seconds = 0;        // asleep or out of reach
    std::string moveTo;     // asleep: the card wakes at this address
};

// How Wemlox is ended in the middle of a burst.
enum class Ending { None, QuitButton, CloseBar, Killed };

const char* EndingName(Ending e) {
    switch (e) {
    case Ending::None: return "";
    case Ending::QuitButton: return "ended with button 9";
    case Ending::CloseBar: return "closed";
    case Ending::Killed: return "killed";
    }
    return "";
}

// A photographer's burst: one to four pairs, then a pause.
// The backup folder is away from the burst where Wemlox is killed.
int BackupAwaySeconds(const Options& o) { return o.pictures >= 500 ? 60 : 10; }

struct Burst {
    int pairs = 1;
    bool inSteps = false;
    int stepMs = 0;
    uint64_t bytes = 0;  // each file of the burst, JPEG and raw alike
    int pauseMs = 0;
    std::vector<Fault> faultsBefore;
    bool wrapBefore = false;  // the card is formatted and the counter set to wrap
    bool swapBefore = false;  // another card is put in
    int unwritableBefore = 0;  // 1: HiRes, 2: LoRes becomes a plain file
    Ending ending = Ending::None;  // Wemlox is ended once the burst's first file is stored
};

struct Day {
    std::vector<Burst> bursts;
    bool routerRedirects = false;  // the router's answer at the start
    std::map<std::string, int> faultCount;
};

// A burst between fractions `from` and `to` of the day that no other event
// has taken and that `fits`; nothing when there is none.
template <typename Fits>
std::optional<size_t> PickBurst(Random& r, const Day& day, std::set<size_t>& taken, double from, double to,
                                Fits fits) {
    const int n = static_cast<int>(day.bursts.size());
    const int low = std::max(1, static_cast<int>(from * n)), high = std::min(n - 1, static_cast<int>(to * n));
    std::vector<size_t> free;
    for (int i = low; i <= high; i++)
        if (!taken.count(static_cast<size_t>(i)) && fits(day.bursts[static_cast<size_t>(i)]))
            free.push_back(static_cast<size_t>(i));
    if (free.empty()) return std::nullopt;
    size_t pick = r.Pick(free);
    taken.insert(pick);
    return pick;
}

Day PlanDay(const Options& o, Random& r) {
    Day day;
    day.routerRedirects = r.Chance(50);
    for (int left = o.pictures; left > 0;) {
        Burst b;
        b.pairs = std::min(left, r.Between(1, 4));
        left -= b.pairs;
        b.inSteps = r.Chance(o.slowPercent);
        b.stepMs = r.Between(kStepMsMin, kStepMsMax);
        b.bytes = static_cast<uint64_t>(r.Between(40, 160)) * 1000 + static_cast<uint64_t>(r.Between(0, 999));
        b.pauseMs = b.pairs * r.Between(o.pauseMs / 2, o.pauseMs * 3 / 2);
        day.bursts.push_back(b);
    }
    // Faults fall before bursts after the first one, so the day starts on a
    // card that answers; every kind comes at least once. A card that moves
    // does so when it wakes from a sleep.
    const std::vector<std::string> targets = {".JPG", ".CR2", "op=100", "op=102"};
    std::vector<FaultKind> kinds;
    auto add = [&](FaultKind k, int n) { kinds.insert(kinds.end(), static_cast<size_t>(std::max(1, n)), k); };
    add(FaultKind::Cut, o.pictures / 36);
    add(FaultKind::ServerError, o.pictures / 36);
    add(FaultKind::Stall, o.pictures / 60);
    add(FaultKind::Asleep, std::max(o.moves, o.pictures / 300));
    add(FaultKind::OutOfReach, o.pictures / 300);
    const int lastBurst = static_cast<int>(day.bursts.size()) - 1;
    int moves = 0;
    for (FaultKind k : kinds) {
        Fault f;
        f.kind = k;
        f.target = r.Pick(targets);
        f.redirect = r.Chance(50);
        f.seconds = k == FaultKind::Asleep ? o.sleepSeconds : r.Between(4, 8);
        if (k == FaultKind::Asleep && moves < o.moves)
            f.moveTo = "127.0.0." + std::to_string(kFirstMoveTarget + moves++);
        day.bursts[static_cast<size_t>(lastBurst > 0 ? r.Between(1, lastBurst) : 0)].faultsBefore.push_back(f);
        day.faultCount[FaultName(k)]++;
    }

    // The events of the day, each in a burst of its own in the middle of the
    // day. Wemlox is ended in bursts of two pairs or more, written whole, so
    // that some of the burst is still to come when it ends.
    std::set<size_t> taken;
    for (int i = 0; i < o.wraps; i++)
        if (auto w = PickBurst(r, day, taken, 0.3, 0.75, [](const Burst&) { return true; }))
            day.bursts[*w].wrapBefore = true;
    if (auto w = PickBurst(r, day, taken, 0.3, 0.85, [](const Burst&) { return true; })) day.bursts[*w].swapBefore = true;
    std::vector<Ending> endings;
    const Ending user = r.Chance(50) ? Ending::QuitButton : Ending::CloseBar;
    const bool userFirst = r.Chance(50);
    for (int i = 0; i < o.restarts; i++)
        endings.push_back(o.restarts == 1 ? Ending::Killed : (i % 2 == 0) == userFirst ? user : Ending::Killed);
    for (Ending e : endings)
        if (auto b = PickBurst(r, day, taken, 0.2, 0.9, [](const Burst& b) { return b.pairs >= 2; })) {
            day.bursts[*b].ending = e;
            day.bursts[*b].inSteps = false;
        }
    if (o.unwritableSeconds > 0)
        if (auto b = PickBurst(r, day, taken, 0.2, 0.8, [](const Burst&) { return true; }))
            day.bursts[*b].unwritableBefore = r.Chance(50) ? 1 : 2;

    // After a wrap the names of the day's first pictures come again: those
    // that follow the counter's last two get the first burst's size, so some
    // raw files (and JPEGs) have exactly the size of the earlier picture. So
    // do the first ones on the card put in.
    for (size_t w = 0; w < day.bursts.size(); w++) {
        if (!day.bursts[w].wrapBefore && !day.bursts[w].swapBefore) continue;
        int before = 0;
        for (size_t j = w; j < day.bursts.size() && before < 2 + day.bursts[0].pairs; j++) {
            if (j > w && (day.bursts[j].wrapBefore || day.bursts[j].swapBefore)) break;
            day.bursts[j].bytes = day.bursts[0].bytes;
            before += day.bursts[j].pairs;
        }
    }
    return day;
}

// ---- Small helpers ---------------------------------------------------------------

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string::npos) end = text.size();
        if (end > from) lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

std::wstring CardToLocal(const std::string& cardPath) {
    std::wstring p = str::FromUtf8(cardPath);
    std::replace(p.begin(), p.end(), L'/', L'\\');
    return p;
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

uint64_t FileTimeValue(const FILETIME& t) { return static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

// FNV-1a: tells the day's files apart (each shot differs from every other).
uint64_t Hash(const std::string& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return h;
}

// What a file holds, as far as the tally needs it. The head names the shot
// (the simulator writes the shot's number into its first bytes), so a file
// cut short is still known by it.
struct Content {
    uint64_t size = 0, hash = 0, time = 0;  // time: last write, as a FILETIME
    std::string head;
    bool SameAs(const Content& c) const { return size == c.size && hash == c.hash && time == c.time; }
};
constexpr size_t kHeadBytes = 96;

std::optional<Content> ReadContent(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    std::optional<std::string> bytes = fs::ReadFile(path);
    if (!bytes || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return std::nullopt;
    return Content{bytes->size(), Hash(*bytes), FileTimeValue(a.ftLastWriteTime), bytes->substr(0, kHeadBytes)};
}

// ---- The viewer's window, where button 5's key arrives ---------------------------

// A stand-in window of IrfanView's class. The stand-in installed as IrfanView
// has no window: like IrfanView with one instance, each start hands its file
// over and ends, so a thousand starts do not pile up a thousand windows.
class KeyWindow {
public:
    explicit KeyWindow(const driver::Sandbox& box) : box_(box), exe_(box.root + L"\\Viewer\\i_view64.exe") {}
    ~KeyWindow() { Stop(); }

    bool Install() const {
        return driver::MakeDirs(box_.root + L"\\Viewer") &&
               CopyFileW((driver::TestBinDir() + L"standin_viewer.exe").c_str(), exe_.c_str(), FALSE) &&
               driver::WriteTextFile(exe_ + L".window", "FullScreenClass|soak.jpg - IrfanView");
    }

    // Running and not near its own end; started anew when it is.
    bool EnsureRunning() {
        bool running = process_.process && WaitForSingleObject(process_.process.get(), 0) == WAIT_TIMEOUT;
        if (running && GetTickCount64() - startedAt_ < kKeyWindowLifetimeMs) return true;
        Stop();
        process_ = driver::Start(box_, exe_);
        startedAt_ = GetTickCount64();
        auto shown = [&] { return driver::FindOwnWindow(process_.pid, L"FullScreenClass") != nullptr; };
        return process_.process && driver::WaitFor(shown, 30000);
    }

    void Stop() {
        if (!process_.process) return;
        if (HWND w = driver::FindOwnWindow(process_.pid, L"FullScreenClass", nullptr, false))
            PostMessageW(w, WM_CLOSE, 0, 0);
        if (driver::WaitExit(process_, 5000) < 0) TerminateProcess(process_.process.get(), 0);
        process_ = {};
    }

    // Downs of the Right key logged so far; the log is read on from where it
    // was left, whole lines only.
    size_t RightKeys() {
        win::Handle f(CreateFileW((exe_ + L".log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        if (!f || !GetFileSizeEx(f.get(), &size) || static_cast<uint64_t>(size.QuadPart) <= read_) return rightKeys_;
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(read_);
        SetFilePointerEx(f.get(), at, nullptr, FILE_BEGIN);
        std::string text(static_cast<size_t>(static_cast<uint64_t>(size.QuadPart) - read_), '\0');
        DWORD got = 0;
        if (!ReadFile(f.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) return rightKeys_;
        text.resize(got);
        size_t end = text.rfind('\n');
        if (end == std::string::npos) return rightKeys_;
        text.resize(end + 1);
        read_ += text.size();
        const std::string down = "down " + std::to_string(kRightKey);
        for (const std::string& line : TextLines(text))
            if (line.compare(0, down.size(), down) == 0 && (line.size() == down.size() || line[down.size()] == ' '))
                rightKeys_++;
        return rightKeys_;
    }

private:
    const driver::Sandbox& box_;
    std::wstring exe_;
    driver::Started process_;
    ULONGLONG startedAt_ = 0;
    uint64_t read_ = 0;
    size_t rightKeys_ = 0;
};

// Clicks button 5 every few seconds on a thread of its own, so a bar that
// hangs shows in the times instead of holding up the day. Stopped while
// Wemlox is ended and started again on the new bar; the times add up.
class Clicker {
public:
    explicit Clicker(KeyWindow& window) : window_(window) {}
    ~Clicker() { Stop(); }

    void Start(HWND bar) {
        Stop();
        button_ = GetDlgItem(bar, kRightButton);
        stop_ = false;
        thread_ = std::thread([this] { Run(); });
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::vector<double> Times() const {
        std::lock_guard lock(mutex_);
        return times_;
    }
    int Lost() const { return lost_; }
    int WindowFailures() const { return windowFailures_; }

private:
    // Under Wine the display follows a cursor move late; a press before it
    // has caught up could land elsewhere.
    void RestCursorOnButton() const {
        RECT rc = driver::ClientOnScreen(button_);
        POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        SetCursorPos(centre.x, centre.y);
        int steady = 0;
        driver::WaitFor([&] {
            POINT p{};
            GetCursorPos(&p);
            steady = p.x == centre.x && p.y == centre.y && WindowFromPoint(p) == button_ ? steady + 1 : 0;
            return steady >= 4;
        }, 3000);
    }

    void Run() {
        while (!stop_) {
            const double round = Now();
            if (!window_.EnsureRunning()) {
                windowFailures_++;
            } else {
                RestCursorOnButton();
                size_t before = window_.RightKeys();
                const double clicked = Now();
                driver::Click(button_);
                double arrived = 0;
                while (!stop_ && Now() - clicked < kKeyWaitMs) {
                    if (window_.RightKeys() > before) {
                        arrived = Now();
                        break;
                    }
                    Sleep(2);
                }
                if (stop_ && !arrived) break;  // the day ended under this click
                if (!arrived) lost_++;
                std::lock_guard lock(mutex_);
                times_.push_back(arrived ? arrived - clicked : kKeyWaitMs);
            }
            while (!stop_ && Now() - round < kClickEveryMs) Sleep(20);
        }
    }

    HWND button_ = nullptr;
    KeyWindow& window_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<double> times_;
    std::atomic<int> lost_{0}, windowFailures_{0};
};

// ---- The store ---------------------------------------------------------------------

struct StoredFile {
    std::wstring relative;  // below SourcePath, "LoRes\P1010451.JPG"
    uint64_t size = 0, time = 0;
};

void Walk(const std::wstring& root, const std::wstring& relative, std::vector<StoredFile>& out) {
    WIN32_FIND_DATAW d;
    std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = d.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring rel = relative.empty() ? name : relative + L"\\" + name;
        if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Walk(root, rel, out);
        else
            out.push_back({rel, (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow,
                           FileTimeValue(d.ftLastWriteTime)});
    } while (FindNextFileW(h, &d));
    FindClose(h);
}

std::vector<StoredFile> StoreFiles(const std::wstring& sourcePath) {
    std::vector<StoredFile> files;
    Walk(sourcePath, L"", files);
    return files;
}

// Changes whenever a name or a size in the store changes.
uint64_t Fingerprint(const std::vector<StoredFile>& files) {
    uint64_t sum = files.size();
    for (const StoredFile& f : files) {
        uint64_t h = 1469598103934665603ull;
        for (wchar_t c : f.relative) h = (h ^ static_cast<uint64_t>(c)) * 1099511628211ull;
        sum += h ^ (f.size * 0x9E3779B97F4A7C15ull);
    }
    return sum;
}

// Folder (upper case, "LORES") and name of a file below the store.
std::pair<std::string, std::string> FolderAndName(const std::wstring& relative) {
    std::string rel = str::ToUtf8(relative);
    size_t slash = rel.rfind('\\');
    return {Upper(slash == std::string::npos ? "" : rel.substr(0, slash)),
            slash == std::string::npos ? rel : rel.substr(slash + 1)};
}

// A download on its way: a ".part" file, or anything in the temporary folder
// (TmpPath left empty: its default below the store).
bool IsTemporary(const std::wstring& relative) {
    auto [folder, name] = FolderAndName(relative);
    return EndsWith(Upper(name), ".PART") || folder == "STORAGE\\TMP";
}

// The stored name of a card's file: its own, or beside it with "-n" (n >= 2)
// before the extension, as a different picture of that name is stored.
bool NameFits(const std::string& stored, const std::string& cardName) {
    const std::string s = Upper(stored), c = Upper(cardName);
    if (s == c) return true;
    size_t dot = c.rfind('.');
    std::string stem = c.substr(0, dot), ext = dot == std::string::npos ? "" : c.substr(dot);
    if (s.size() < stem.size() + 2 + ext.size() || s.compare(0, stem.size() + 1, stem + "-") != 0 || !EndsWith(s, ext))
        return false;
    std::string n = s.substr(stem.size() + 1, s.size() - stem.size() - 1 - ext.size());
    return !n.empty() && n[0] != '0' && n != "1" &&
           std::all_of(n.begin(), n.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

// ---- The tally's checks -----------------------------------------------------------

struct Check {
    std::string what;
    size_t count = 0;           // faults found
    std::vector<std::string> examples;
    void Add(const std::string& example) {
        count++;
        if (examples.size() < 5) examples.push_back(example);
    }
};

// Every check, in the order the tally prints them.
namespace check {
constexpr char kMissing[] = "pictures missing from the store";
constexpr char kTwice[] = "pictures stored more than once";
constexpr char kEmpty[] = "empty files";
constexpr char kCut[] = "cut files (shorter than on the card)";
constexpr char kDiffers[] = "files that differ from the card";
constexpr char kWrongFolder[] = "pictures in the wrong folder";
constexpr char kWrongName[] = "pictures under a name not theirs (nor theirs with -n)";
constexpr char kTime[] = "stored files without the card's date and time";
constexpr char kPart[] = ".part or temporary files";
constexpr char kOld[] = "pictures from before the run stored";
constexpr char kStray[] = "other files in the store";
constexpr char kChanged[] = "stored files changed after they appeared";
constexpr char kWaited[] = "pictures that waited past the next start (60 s)";
constexpr char kStoreBack[] = "pictures not stored 45 s after the store came back";
constexpr char kRefetched[] = "files fetched again and again while the store could not take them";
constexpr char kFormatted[] = "pictures not yet stored when the card was formatted or swapped";
constexpr char kNamed[] = "card put in not named in the journal within 120 s";
constexpr char kFoundAgain[] = "card not found at its new address within 120 s";
constexpr char kNever[] = "JPEGs never shown";
constexpr char kAgain[] = "JPEGs shown again";
constexpr char kOther[] = "viewer starts for anything but a JPEG of the day in LoRes";
constexpr char kRouter[] = "requests to the router beyond the card search";
constexpr char kNoBar[] = "starts of Wemlox without a bar";
constexpr char kEnded[] = "the bar did not end when closed";
constexpr char kBackup[] = "HiRes and LoRes files not in the backup byte for byte (or only there)";
constexpr char kStaging[] = "parts of the day the soak could not stage";
constexpr char kInboxTemp[] = "inbox files stored under their temporary name";
constexpr char kInboxChanged[] = "inbox files changed, moved, deleted or added by Wemlox";
constexpr char kSource[] = "stored files the journal puts down to another source (or to none)";
constexpr const char* kAll[] = {kMissing, kTwice, kEmpty, kCut, kDiffers, kWrongFolder, kWrongName, kTime,
                                kPart, kOld, kStray, kChanged, kWaited, kStoreBack, kRefetched, kFormatted,
                                kFoundAgain, kNamed, kNever, kAgain, kOther, kRouter, kNoBar, kEnded, kBackup,
                                kStaging};
}  // namespace check

struct Tally {
    std::deque<Check> checks;  // checks are held by reference while others are added
    Tally() {
        for (const char* what : check::kAll) checks.push_back(Check{what, 0, {}});
    }
    Check& Named(const std::string& what) {
        for (Check& c : checks)
            if (c.what == what) return c;
        checks.push_back(Check{what, 0, {}});
        return checks.back();
    }
};

// ---- The day --------------------------------------------------------------------------

constexpr const char* kExtension[2] = {".JPG", ".CR2"};  // a picture's JPEG and raw file
constexpr const char* kKindFolder[2] = {"LORES", "HIRES"};

// One file of a shot: its JPEG (kind 0) or raw file (kind 1).
struct FileRef {
    size_t picture = 0;
    int kind = 0;
    auto operator<=>(const FileRef&) const = default;
};

constexpr int kInbox = 2;
constexpr const char* kSourceName[] = {"card A", "card B", "inbox"};

struct Picture {
    std::wstring card;   // the card's folder
    std::string base;    // "P1010451"
    std::string folder;  // card folder, "/DCIM/101_PANA"
    bool inSteps = false;
    int wraps = 0;            // the counter's wraps before the shot: names come again after one
    uint64_t bytes = 0;       // each file's size as shot
    double wholeAt = 0;       // when the card has written it whole
    bool nearEnding = false;  // on its way when Wemlox was ended: it may never be shown
    bool formatted = false;   // formatted away before it was stored
    int only = -1;            // an inbox's picture: its one kind; -1: a card's pair
    int source = 0;           // the card it came from (0: A, 1: B), or kInbox
    std::optional<Content> onCard[2];  // JPEG and raw file as the card held them once whole
    bool Has(int kind) const { return only < 0 || only == kind; }
    bool Captured() const { return (onCard[0] || !Has(0)) && (onCard[1] || !Has(1)); }
};

// Picture files that are to be in the store by a deadline.
struct Expectation {
    const char* check = "";
    std::string why;
    std::set<FileRef> files;
    double deadline = 0;
};

// A card that woke at another address is to be found there (the journal says so).
struct MovedCard {
    std::wstring line;  // "TFA Success: 127.0.0.73"
    double wokeAt = 0, deadline = 0;
};

using ContentKey = std::pair<uint64_t, uint64_t>;  // size, hash

// A card of the day in its camera: its simulator, the folder it serves (the
// next card's after a swap), the camera folder it shoots into.
struct Camera {
    const cardtest::Simulator* sim = nullptr;
    std::wstring card;
    std::string folder = kFirstCameraFolder;
    std::set<std::string> folders{kFirstCameraFolder};
    int wraps = 0;            // of its counter so far
    std::string ssid, url;    // the names its journal lines may begin with: network name, [TFA] Url entry
    Random random{0};         // card B's own plan, so that card A's day stays the same for a seed
    double asleepUntil = 0;
    size_t logFrom = 0;       // its requests from when the store became unwritable
    bool Named(const std::string& name) const { return name == ssid || name == url; }
};

struct Soak {
    Options options;
    driver::Sandbox box;
    std::wstring store = box.profile + L"\\Wemlox";  // SourcePath left empty: its default below the profile
    std::wstring backup = box.root + L"\\Backup";
    double backupBackAt = 0;  // 0: the backup folder is there
    std::wstring irfan = box.programFiles + L"\\IrfanView\\i_view64.exe";
    std::vector<Camera> cameras;  // card A first
    Clicker* clicker = nullptr;
    Tally tally;

    driver::Started wemlox;
    HWND bar = nullptr;
    std::vector<std::wstring> journals;  // of each start of Wemlox, once it ended

    double begin = 0, lastProgress = 0, lastScan = -1e9, lastJournalLook = 0, lastShot = 0;
    std::vector<Picture> pictures;
    int restarts = 0;  // of Wemlox so far
    std::set<std::wstring> shifted;  // stored files an hour off since the daylight saving change

    // Every file of the day by its content, and those from before the run.
    std::map<ContentKey, FileRef> byContent;
    std::map<std::string, FileRef> byHead;
    std::set<ContentKey> oldContent;
    std::set<std::string> oldHeads;

    // The store as last seen, each file as it first appeared, what changed.
    std::map<std::wstring, Content> seen, firstSeen;
    std::set<std::wstring> present;
    std::map<std::wstring, std::string> changed;
    std::map<FileRef, int> stored;  // copies in the store of each picture file
    std::set<FileRef> aroundEnding;  // stored as Wemlox was ended: its journal line may be lost

    std::vector<Expectation> expectations;
    std::vector<MovedCard> moves;
    // The inbox: writers at work in it, its files as written, the paths taken
    // and the temporary names used (upper case).
    std::wstring inbox = box.root + L"\\Inbox";
    struct Upload {
        driver::Started writer;
        size_t picture = 0;
    };
    std::vector<Upload> uploads;
    std::map<std::wstring, Content> inboxFiles;
    std::set<std::string> inboxPaths, tempNames;
    Random inboxRandom{0};

    struct {
        std::wstring path, away;  // the store folder made unwritable, and where it waits meanwhile
        double until = 0;         // 0: the store can be written
    } blocked;

    std::wstring CardFile(const Picture& p, int kind) const {
        return p.card + CardToLocal(p.folder + "/" + p.base + kExtension[kind]);
    }
    std::string Name(const FileRef& f) const {
        const Picture& p = pictures[f.picture];
        return (p.source == 0 ? "" : p.source == 1 ? "card B " : "inbox") + p.folder + "/" + p.base +
               kExtension[f.kind] + (p.wraps ? " (after wrap " + std::to_string(p.wraps) + ")" : "");
    }
    double Seconds() const { return (Now() - begin) / 1000; }
};

void Say(const Soak& s, const std::string& what) {
    std::printf("  [%5.0f s] %s\n", s.Seconds(), what.c_str());
    std::fflush(stdout);
}

std::wstring JournalText(const Soak& s) {
    return s.bar && IsWindow(s.bar) ? driver::WindowText(GetDlgItem(s.bar, kJournal)) : L"";
}

// Reads a picture's files from the card once they are whole; `asTheyAre`
// takes a file that never reached the size it was shot with.
void Capture(Soak& s, size_t i, bool asTheyAre) {
    Picture& p = s.pictures[i];
    for (int kind : {0, 1}) {
        if (p.onCard[kind] || !p.Has(kind)) continue;
        std::optional<Content> c = ReadContent(s.CardFile(p, kind));
        if (!c || (c->size != p.bytes && !asTheyAre)) continue;
        if (c->size != p.bytes)
            s.tally.Named(check::kStaging).Add(s.Name({i, kind}) + " on the card has " + std::to_string(c->size) +
                                               " bytes, not " + std::to_string(p.bytes));
        p.onCard[kind] = c;
        s.byContent[{c->size, c->hash}] = {i, kind};
        s.byHead[c->head] = {i, kind};
    }
}

void CaptureDue(Soak& s) {
    for (size_t i = 0; i < s.pictures.size(); i++) {
        const Picture& p = s.pictures[i];
        if (p.Captured() || p.formatted || Now() < p.wholeAt) continue;
        Capture(s, i, Now() > p.wholeAt + 15000);
    }
}

std::optional<FileRef> Identify(const Soak& s, const Content& c) {
    auto it = s.byContent.find({c.size, c.hash});
    if (it == s.byContent.end()) return std::nullopt;
    return it->second;
}

std::string Describe(const Content& was, const Content& is) {
    if (was.size != is.size) return "size " + std::to_string(was.size) + " -> " + std::to_string(is.size);
    if (was.hash != is.hash) return "content";
    return "time moved by " + std::to_string((static_cast<int64_t>(is.time - was.time)) / 10000000) + " s";
}

// Looks at the store: a file that appeared is read once, one whose size or
// time changed is read again and compared with how it first appeared. While
// a folder is made unwritable, the plain file in its place is left out.
void ScanStore(Soak& s) {
    std::set<std::wstring> now;
    std::map<FileRef, int> stored;
    const std::wstring blockedName = s.blocked.until > 0 ? s.blocked.path.substr(s.store.size() + 1) : L"";
    for (const StoredFile& f : StoreFiles(s.store)) {
        if (IsTemporary(f.relative) || (!blockedName.empty() && str::EqualsI(f.relative, blockedName))) continue;
        auto it = s.seen.find(f.relative);
        if (it == s.seen.end() || it->second.size != f.size || it->second.time != f.time) {
            std::optional<Content> c = ReadContent(s.store + L"\\" + f.relative);
            if (!c) continue;  // on its way in or out: looked at next time
            it = s.seen.insert_or_assign(f.relative, *c).first;
            auto [first, isNew] = s.firstSeen.emplace(f.relative, *c);
            if (!isNew && !first->second.SameAs(*c)) s.changed.emplace(f.relative, Describe(first->second, *c));
        }
        now.insert(f.relative);
        if (std::optional<FileRef> ref = Identify(s, it->second)) stored[*ref]++;
    }
    s.present = std::move(now);
    s.stored = std::move(stored);
}

// Files that came are struck off; what is left at the deadline (or at the
// end of the day) is late.
void Resolve(Soak& s, bool dayOver) {
    for (auto e = s.expectations.begin(); e != s.expectations.end();) {
        std::erase_if(e->files, [&](const FileRef& f) { return s.stored.count(f) || s.pictures[f.picture].formatted; });
        if (!e->files.empty() && !dayOver && Now() < e->deadline) {
            ++e;
            continue;
        }
        for (const FileRef& f : e->files) s.tally.Named(e->check).Add(s.Name(f) + " " + e->why);
        e = s.expectations.erase(e);
    }
}

void Scan(Soak& s) {
    CaptureDue(s);
    ScanStore(s);
    Resolve(s, false);
    s.lastScan = Now();
}

// Both files of every picture so far (of one source) whole in the store (but those formatted away).
bool AllStored(const Soak& s, int source = -1) {
    for (size_t i = 0; i < s.pictures.size(); i++)
        for (int kind : {0, 1})
            if (!s.pictures[i].formatted && s.pictures[i].Has(kind) && !s.stored.count({i, kind}) &&
                (source < 0 || s.pictures[i].source == source))
                return false;
    return true;
}

// The journal of the running bar (or of a run that just ended) tells whether
// a card that moved has been found.
void LookForMovedCards(Soak& s, const std::wstring& journal) {
    s.lastJournalLook = Now();
    for (auto m = s.moves.begin(); m != s.moves.end();) {
        if (journal.find(m->line) != std::wstring::npos) {
            Say(s, "the journal says \"" + str::ToUtf8(m->line) + "\", " +
                       std::to_string(static_cast<int>((Now() - m->wokeAt) / 1000)) + " s after the card woke");
            m = s.moves.erase(m);
        } else if (Now() > m->deadline) {
            s.tally.Named(check::kFoundAgain).Add("no \"" + str::ToUtf8(m->line) + "\" in the journal");
            m = s.moves.erase(m);
        } else {
            ++m;
        }
    }
}

// ---- The inbox ------------------------------------------------------------------------

// A camera's JPEG or raw file as its FTP upload brings it; its first bytes
// name the upload, so every one differs from every other.
std::string InboxBytes(size_t n, int kind, uint64_t size) {
    std::string data = (kind == 0 ? std::string("\xFF\xD8\xFF\xFE", 4) : std::string("II*\0\x08\0\0\0", 8)) +
                       "inbox upload " + std::to_string(n) + "\n";
    Random r(n);
    while (data.size() + 2 < size) data += static_cast<char>('a' + r.Next() % 26);
    return data + (kind == 0 ? "\xFF\xD9" : "RR");
}

// Starts an upload of `base` into the first of the inbox's folders (from a
// random one on) where no file of that name was written: in `pieces` held
// open, under `temporary` ("" for its own name) renamed at the end. The
// picture is known once its writer has ended.
bool StartUpload(Soak& s, const std::string& base, int kind, int pieces, int pauseMs, const std::string& temporary) {
    static const char* const folders[] = {"", "camA", "camB", "camB\\DCIM"};
    const std::string name = base + kExtension[kind];
    // Where every folder has one, a folder of its own.
    for (int k = 0, start = s.inboxRandom.Between(0, 3); k < 5; k++) {
        const std::string folder = k < 4 ? folders[(start + k) % 4] : "camC\\" + std::to_string(s.pictures.size());
        const std::string under = folder.empty() ? "" : folder + "\\";
        if (!s.inboxPaths.insert(Upper(under + name)).second) continue;
        Picture p{.card = s.inbox, .base = base, .folder = "/" + folder, .wholeAt = 1e300, .only = kind,
                  .source = kInbox, .onCard = {}};
        std::replace(p.folder.begin(), p.folder.end(), '\\', '/');
        if (folder.empty()) p.folder.clear();
        p.bytes = static_cast<uint64_t>(s.inboxRandom.Between(40000, 160000));
        const size_t n = s.pictures.size();
        const std::wstring from = s.box.root + L"\\Uploads\\" + std::to_wstring(n), file = s.CardFile(p, kind);
        auto quoted = [&](const std::string& leaf) {
            return L" \"" + s.inbox + str::FromUtf8("\\" + under + leaf) + L"\"";
        };
        if (!driver::MakeDirs(s.box.root + L"\\Uploads") || !driver::MakeDirs(file.substr(0, file.rfind(L'\\'))) ||
            !fs::WriteFile(from, InboxBytes(n, kind, p.bytes)))
            return false;
        if (!temporary.empty()) s.tempNames.insert(Upper(temporary));
        s.pictures.push_back(p);
        const std::wstring args = L"upload \"" + from + L"\"" + quoted(temporary.empty() ? name : temporary) + L" " +
                                  std::to_wstring(pieces) + L" " + std::to_wstring(pauseMs) +
                                  (temporary.empty() ? L"" : quoted(name));
        s.uploads.push_back({driver::Start(s.box, driver::TestBinDir() + L"wemlox_drive.exe", args), n});
        return static_cast<bool>(s.uploads.back().writer.process);
    }
    return false;
}

// An upload: a name of the card's day or of an earlier upload, sometimes two
// of one name at once (two cameras), in pieces under its own name, under a
// temporary name, or whole.
void FeedInbox(Soak& s, int pieces = 0, int pauseMs = 0, int how = -1) {
    Random& r = s.inboxRandom;
    static const char* const temporary[][2] = {{"", ".part"}, {"", ".filepart"}, {"", ".tmp"}, {"", ".crdownload"},
                                               {"~", ""}, {".", ""}};
    std::vector<std::string> names;
    for (const Picture& p : s.pictures) names.push_back(p.base);
    const std::string base = r.Pick(std::vector(names.begin(), names.begin() + std::min<size_t>(names.size(), 6)));
    const std::string name = r.Chance(50) ? r.Pick(names) : base;
    const int kind = r.Chance(70) ? 0 : 1, cameras = how < 0 && r.Chance(30) ? 2 : 1;
    for (int c = 0; c < cameras; c++) {
        const int style = how >= 0 ? how : r.Between(0, 2);
        const auto& t = temporary[r.Between(0, 5)];
        if (!StartUpload(s, name, kind, pieces ? pieces : style == 2 ? 1 : r.Between(2, 6),
                         pauseMs ? pauseMs : r.Between(200, 1500),
                         style == 1 ? t[0] + name + kExtension[kind] + t[1] : ""))
            s.tally.Named(check::kStaging).Add("an upload into the inbox of " + name);
    }
}

std::string LastUpload(const Soak& s) {
    return s.pictures.back().only < 0 ? "(none)" : s.Name({s.pictures.size() - 1, s.pictures.back().only});
}

// Writers that ended: what they wrote is known from now on.
void PollUploads(Soak& s) {
    std::erase_if(s.uploads, [&](Soak::Upload& u) {
        DWORD code = 1;
        if (WaitForSingleObject(u.writer.process.get(), 0) == WAIT_TIMEOUT) return false;
        Picture& p = s.pictures[u.picture];
        p.wholeAt = Now();
        Capture(s, u.picture, true);
        if (GetExitCodeProcess(u.writer.process.get(), &code) && code == 0 && p.onCard[p.only])
            s.inboxFiles[s.CardFile(p, p.only).substr(s.inbox.size() + 1)] = *p.onCard[p.only];
        else
            p.formatted = true, s.tally.Named(check::kStaging).Add("the upload of " + s.Name({u.picture, p.only}));
        return true;
    });
}

// The inbox is only read: every file in it is still there as written, and
// there is none besides.
void CheckInbox(Soak& s) {
    std::set<std::wstring> there;
    for (const StoredFile& f : StoreFiles(s.inbox)) {
        there.insert(f.relative);
        auto it = s.inboxFiles.find(f.relative);
        std::optional<Content> c = ReadContent(s.inbox + L"\\" + f.relative);
        if (it == s.inboxFiles.end() || !c || !c->SameAs(it->second))
            s.tally.Named(check::kInboxChanged)
                .Add(str::ToUtf8(f.relative) + (it == s.inboxFiles.end() ? " (appeared)" : " (changed)"));
    }
    for (const auto& [path, c] : s.inboxFiles)
        if (!there.count(path)) s.tally.Named(check::kInboxChanged).Add(str::ToUtf8(path) + " (gone)");
}

void Progress(Soak& s) {
    std::vector<double> times = s.clicker->Times();
    std::printf("  [%5.0f s] shot %zu of %d pictures, %zu files in the store, %zu clicks (p95 %.0f ms)\n",
                s.Seconds(), static_cast<size_t>(std::count_if(s.pictures.begin(), s.pictures.end(),
                                                               [](const Picture& p) { return p.source == 0; })),
                s.options.pictures, s.present.size(), times.size(),
                Percentile(times, 0.95));
    std::fflush(stdout);
    s.lastProgress = Now();
}

void RestoreStore(Soak& s);

// What goes on while the day waits: progress lines, the store looked at,
// the store made writable again when its time is up, the journal read while
// a card that moved is still to be found.
// The backup folder goes away as a drive that is pulled (a plain file in its
// place, so that no start of Wemlox makes it anew), or comes back.
void MoveBackup(Soak& s, bool away) {
    const std::wstring aside = s.backup + L".away";
    s.backupBackAt = away ? Now() + BackupAwaySeconds(s.options) * 1000.0 : 0;
    if (away ? !MoveFileW(s.backup.c_str(), aside.c_str()) || !fs::WriteFile(s.backup, "not a folder\n")
             : !fs::DeleteFileAt(s.backup) || !MoveFileW(aside.c_str(), s.backup.c_str()))
        s.tally.Named(check::kStaging).Add(away ? "the backup folder taken away" : "the backup folder put back");
    Say(s, away ? "the backup folder is away" : "the backup folder is back");
}

void Tick(Soak& s) {
    if (!s.uploads.empty()) PollUploads(s);
    if (Now() - s.lastProgress > 30000) Progress(s);
    if (Now() - s.lastScan >= kScanEveryMs) Scan(s);
    if (s.blocked.until > 0 && Now() >= s.blocked.until) RestoreStore(s);
    if (s.backupBackAt > 0 && Now() >= s.backupBackAt) MoveBackup(s, false);
    if (!s.moves.empty() && Now() - s.lastJournalLook > 2000) LookForMovedCards(s, JournalText(s));
}

void Pause(Soak& s, int ms) {
    const double until = Now() + ms;
    while (Now() < until) {
        Tick(s);
        Sleep(static_cast<DWORD>(std::clamp(until - Now(), 0.0, 250.0)));
    }
}

// ---- The day's events -------------------------------------------------------------------

bool Ok(const std::string& reply) { return reply.rfind("ok", 0) == 0; }

void Inject(Soak& s, const Fault& f) {
    const cardtest::Simulator& sim = *s.cameras[0].sim;
    switch (f.kind) {
    case FaultKind::Cut:
    case FaultKind::ServerError:
    case FaultKind::Stall:
        sim.Command(std::string("fault ") + FaultName(f.kind) + " 1 " + f.target);
        return;
    case FaultKind::Asleep:
        // The camera powered down with the card: nobody shoots meanwhile. A
        // card that moves wakes at another address of its range, as one that
        // the network gave another address when the camera came back.
        sim.Command("sleep " + std::to_string(f.seconds));
        if (!f.moveTo.empty()) {
            if (Ok(sim.Command("move " + f.moveTo))) {
                const double wokeAt = Now() + f.seconds * 1000.0;
                s.moves.push_back({L"TFA Success: " + str::FromUtf8(f.moveTo), wokeAt, wokeAt + kFoundAgainMs});
                Say(s, "the card sleeps " + std::to_string(f.seconds) + " s and wakes at " + f.moveTo);
            } else {
                s.tally.Named(check::kStaging).Add("the card did not move to " + f.moveTo);
            }
        }
        Pause(s, f.seconds * 1000 + 1000);
        return;
    case FaultKind::OutOfReach:
        // The card drops off the network for a moment while the camera shoots
        // on; meanwhile only the router answers.
        if (s.options.router)
            sim.Command(std::string("decoy ") + kRouterAddress + (f.redirect ? " redirect" : " page"));
        sim.Command("sleep " + std::to_string(f.seconds));
        return;
    }
}

// One reply of "shoot": picture names one a line, "folder <path>" where the
// camera went on in the next folder.
size_t TakeShootReply(Soak& s, int source, const std::string& reply, const Burst& b) {
    Camera& camera = s.cameras[static_cast<size_t>(source)];
    std::vector<std::string> lines = TextLines(reply);
    if (lines.empty() || lines[0] != "ok") return 0;
    size_t names = 0;
    for (size_t i = 1; i < lines.size(); i++) {
        if (lines[i].rfind("folder ", 0) == 0) {
            camera.folder = lines[i].substr(7);
            camera.folders.insert(camera.folder);
            continue;
        }
        Picture p;
        p.card = camera.card;
        p.base = lines[i];
        p.folder = camera.folder;
        p.inSteps = b.inSteps;
        p.wraps = camera.wraps;
        p.source = source;
        p.bytes = b.bytes;
        // The card writes the last step at twice the step time; it checks for due steps every 100 ms.
        p.wholeAt = b.inSteps ? Now() + 2.0 * b.stepMs + 300 : Now();
        s.pictures.push_back(p);
        if (!b.inSteps) Capture(s, s.pictures.size() - 1, true);
        names++;
    }
    return names;
}

bool Shoot(Soak& s, const Burst& b, int source = 0) {
    const Camera& camera = s.cameras[static_cast<size_t>(source)];
    std::string command = b.inSteps ? "shoot-slow " + camera.folder + " " + std::to_string(b.pairs) + " " +
                                          std::to_string(b.stepMs)
                                    : "shoot " + camera.folder + " " + std::to_string(b.pairs);
    command += " CR2 " + std::to_string(b.bytes);
    size_t got = TakeShootReply(s, source, camera.sim->Command(command), b);
    s.lastShot = Now();
    return got == static_cast<size_t>(b.pairs);
}

// Another card is put in: two files from before on it (never to be stored)
// under the names of the day's first pictures, and the counter at 1 again.
// Its first listing decides what it held, so the camera shoots on once the
// journal names it and its camera folder was listed.
void Swap(Soak& s, double start, size_t lost) {
    Camera& a = s.cameras[0];
    const cardtest::Simulator& sim = *a.sim;
    const std::wstring next = s.box.root + L"\\NextCard";
    for (size_t i = 0; i < 2 && i < s.pictures.size(); i++) {
        std::string bytes = "on the next card before it came: " + s.pictures[i].base;
        bytes.resize(static_cast<size_t>(s.pictures[i].bytes), 'x');
        driver::MakeDirs(next + CardToLocal(a.folder));
        (void)fs::WriteFile(next + CardToLocal(a.folder + "/" + s.pictures[i].base + kExtension[i]), bytes);
        s.oldContent.insert({bytes.size(), Hash(bytes)});
        s.oldHeads.insert(bytes.substr(0, kHeadBytes));
    }
    const std::string cid = "0123456789abcdef0123456789abcdef";
    if (!Ok(sim.Command("swap " + str::ToUtf8(next) + " " + cid)) || !Ok(sim.Command("counter 1")))
        return s.tally.Named(check::kStaging).Add("the card was not swapped");
    a.card = next;
    const double swapped = Now();
    while (Now() - swapped < kFoundAgainMs && JournalText(s).find(L"Card: " + str::FromUtf8(cid)) == std::wstring::npos)
        Pause(s, 250);
    const size_t listed = sim.Count("op=100&DIR=" + a.folder);
    while (Now() - swapped < kFoundAgainMs && sim.Count("op=100&DIR=" + a.folder) == listed) Pause(s, 250);
    if (Now() - swapped >= kFoundAgainMs) s.tally.Named(check::kNamed).Add("no \"Card: " + cid + "\"");
    Say(s, "another card put in after " + std::to_string(static_cast<int>((swapped - start) / 1000)) +
               " s of waiting (" + std::to_string(lost) + " pictures not yet stored), named after " +
               std::to_string(static_cast<int>((Now() - swapped) / 1000)) + " s; the camera's counter at 1");
}

// While Wemlox is ended: a picture is shot, the first time after a battery
// change reset the camera's clock to 2015-01-01; the last time daylight
// saving time changes first. One Wine server keeps one time zone, so the
// stored files' times move by the hour, which is all the program sees of it.
void WhileEnded(Soak& s, const Burst& b) {
    s.restarts++;
    if (s.restarts == s.options.restarts) {
        for (const StoredFile& f : StoreFiles(s.store)) {
            const std::wstring path = s.store + L"\\" + f.relative;
            if (IsTemporary(f.relative) || !fs::SetLastWriteTime(path, fs::LastWriteTime(path).value_or(0) + 3600000000000))
                continue;
            for (auto* known : {&s.seen, &s.firstSeen})
                if (auto it = known->find(f.relative); it != known->end()) it->second.time += kHour;
            s.shifted.insert(f.relative);
        }
        Say(s, "daylight saving time changes: " + std::to_string(s.shifted.size()) + " stored files an hour off");
    }
    if (s.restarts == 1 &&
        Ok(s.cameras[0].sim->Command(
            "clock " + std::to_string((*fs::LocalTimeToFileTime(2015, 1, 1, 0, 0, 0) - fs::Now()) / 1000000000))))
        Say(s, "the camera's clock reset to 2015-01-01");
    if (s.options.inbox) {
        FeedInbox(s, 1, 0, 2);
        if (!s.uploads.empty()) (void)driver::WaitExit(s.uploads.back().writer, 15000);
        Say(s, LastUpload(s) + " written while Wemlox is ended");
    }
    Burst one = b;
    one.pairs = 1;
    if (!Shoot(s, one)) s.tally.Named(check::kStaging).Add("no picture shot while Wemlox was ended");
}

// The photographer formats the card once its pictures are in the store (or
// after waiting a minute), and the camera's counter is two shots before its
// wrap: the names of the day's first pictures come again.
void Wrap(Soak& s, bool swap = false) {
    const double start = Now();
    Scan(s);
    while (Now() - start < kFormatWaitMs && !AllStored(s, 0)) Pause(s, 500);
    Scan(s);
    size_t lost = 0;
    for (size_t i = 0; i < s.pictures.size(); i++) {
        Picture& p = s.pictures[i];
        if (p.formatted || p.source != 0 || (s.stored.count({i, 0}) && s.stored.count({i, 1}))) continue;
        p.formatted = true;
        lost++;
        s.tally.Named(check::kFormatted).Add("the pair of " + s.Name({i, 0}));
    }
    if (swap) return Swap(s, start, lost);
    Camera& a = s.cameras[0];
    a.wraps++;
    if (!Ok(a.sim->Command("format")) || !Ok(a.sim->Command("counter " + std::to_string(kWrapCounter))))
        s.tally.Named(check::kStaging).Add("the card was not formatted, or its counter not set");
    Say(s, "the card formatted after " + std::to_string(static_cast<int>((Now() - start) / 1000)) + " s of waiting (" +
               std::to_string(lost) + " pictures not yet stored); the camera's counter at " +
               std::to_string(kWrapCounter));
}

// A store folder cannot be written: it is put aside and a plain file of its
// name takes its place, as a disk that is full or read-only refuses what comes.
void BlockStore(Soak& s, int which) {
    const std::wstring name = which == 1 ? L"HiRes" : L"LoRes";
    s.blocked.path = s.store + L"\\" + name;
    s.blocked.away = s.box.root + L"\\" + name + L".away";
    bool aside = !fs::IsDirectory(s.blocked.path);
    for (int i = 0; i < 20 && !aside; i++) {
        aside = MoveFileW(s.blocked.path.c_str(), s.blocked.away.c_str());
        if (!aside) Sleep(100);
    }
    if (!aside || !fs::WriteFile(s.blocked.path, "not a folder\n")) {
        if (aside) MoveFileW(s.blocked.away.c_str(), s.blocked.path.c_str());
        s.tally.Named(check::kStaging).Add("the store's " + str::ToUtf8(name) + " could not be made unwritable");
        return;
    }
    s.blocked.until = Now() + s.options.unwritableSeconds * 1000.0;
    for (Camera& c : s.cameras) c.logFrom = c.sim->Log().size();
    Say(s, "the store's " + str::ToUtf8(name) + " is a plain file for " + std::to_string(s.options.unwritableSeconds) +
               " s");
}

void RestoreStore(Soak& s) {
    const std::wstring& path = s.blocked.path;
    const std::string name = str::ToUtf8(path.substr(s.store.size() + 1));
    s.blocked.until = 0;
    (void)fs::DeleteFileAt(path);
    bool back = !fs::IsDirectory(s.blocked.away) || MoveFileW(s.blocked.away.c_str(), path.c_str());
    if (!back && fs::IsDirectory(path)) {
        // Made anew meanwhile: the files go back one by one.
        for (const std::wstring& f : fs::ListFileNames(s.blocked.away))
            MoveFileW((s.blocked.away + L"\\" + f).c_str(), (path + L"\\" + f).c_str());
        back = RemoveDirectoryW(s.blocked.away.c_str());
    }
    if (!back) s.tally.Named(check::kStaging).Add("the store's " + name + " could not be put back");

    // A file that could not be placed is not fetched again on every tick.
    std::map<std::string, int> fetched;
    for (const Camera& c : s.cameras) {
        const std::vector<std::string> log = c.sim->Log();
        for (size_t i = c.logFrom; i < log.size(); i++)
            if (log[i].rfind("/", 0) == 0 && log[i].rfind("/command.cgi", 0) != 0 &&
                log[i].rfind("/thumbnail.cgi", 0) != 0)
                fetched[(c.sim == s.cameras[0].sim ? "" : "card B ") + log[i]]++;
    }
    const int most = 1 + s.options.unwritableSeconds / 10;
    int highest = 0;
    for (const auto& [file, n] : fetched) {
        highest = std::max(highest, n);
        if (n > most)
            s.tally.Named(check::kRefetched).Add(file + " fetched " + std::to_string(n) + " times in " +
                                                  std::to_string(s.options.unwritableSeconds) + " s");
    }

    // What waited for the store comes soon now.
    ScanStore(s);
    Expectation e{check::kStoreBack, "not stored 45 s after the store came back", {}, Now() + kStoreBackMs};
    for (size_t i = 0; i < s.pictures.size(); i++)
        for (int kind : {0, 1})
            if (!s.pictures[i].formatted && s.pictures[i].Has(kind) && !s.stored.count({i, kind}))
                e.files.insert({i, kind});
    Say(s, "the store's " + name + " is a folder again; " + std::to_string(e.files.size()) +
               " files waiting; a file was fetched at most " + std::to_string(highest) + " times meanwhile");
    s.expectations.push_back(std::move(e));
}

// Card B between card A's bursts: now and then a burst of its own (one or
// two pairs, some written in steps), now and then asleep with its camera for
// a while, nobody shooting it meanwhile.
void SecondCard(Soak& s) {
    Camera& b = s.cameras[1];
    Random& r = b.random;
    if (Now() < b.asleepUntil) return;
    if (r.Chance(12)) {
        const int seconds = r.Between(4, std::max(4, s.options.sleepSeconds));
        if (!Ok(b.sim->Command("sleep " + std::to_string(seconds))))
            return s.tally.Named(check::kStaging).Add("card B did not fall asleep");
        b.asleepUntil = Now() + seconds * 1000.0;
        return Say(s, "card B sleeps " + std::to_string(seconds) + " s");
    }
    if (!r.Chance(40)) return;
    Burst burst;
    burst.pairs = r.Between(1, 2);
    burst.inSteps = r.Chance(s.options.slowPercent);
    burst.stepMs = r.Between(kStepMsMin, kStepMsMax);
    burst.bytes = static_cast<uint64_t>(r.Between(40, 160)) * 1000 + static_cast<uint64_t>(r.Between(0, 999));
    if (!Shoot(s, burst, 1)) s.tally.Named(check::kStaging).Add("a burst card B did not shoot");
}

// Card B woken before Wemlox is ended, so what it waits with comes after the start as card A's does.
void WakeSecondCard(Soak& s) {
    if (s.cameras.size() < 2 || Now() >= s.cameras[1].asleepUntil) return;
    if (!Ok(s.cameras[1].sim->Command("wake"))) s.tally.Named(check::kStaging).Add("card B did not wake");
    s.cameras[1].asleepUntil = 0;
}

bool StartWemlox(Soak& s) {
    s.wemlox = driver::Start(s.box, driver::WemloxExe());
    s.bar = driver::WaitForBar(s.wemlox, 60000);
    return s.bar != nullptr;
}

// Ends Wemlox as `how` says, and outright when it does not end by itself.
void EndWemlox(Soak& s, Ending how) {
    s.journals.push_back(JournalText(s));
    LookForMovedCards(s, s.journals.back());
    auto gone = [&] { return WaitForSingleObject(s.wemlox.process.get(), 0) == WAIT_OBJECT_0; };
    int code = -1;
    if (how == Ending::QuitButton) {
        (void)driver::ClickUntil(GetDlgItem(s.bar, kQuitButton), gone, 10000);
        code = driver::WaitExit(s.wemlox, 30000);
    } else if (how == Ending::CloseBar) {
        code = driver::CloseBar(s.wemlox, s.bar);
    }
    if (code < 0) {
        if (how != Ending::Killed)
            s.tally.Named(check::kEnded).Add(std::string("Wemlox.exe terminated after it was ") + EndingName(how));
        TerminateProcess(s.wemlox.process.get(), 1);
        (void)driver::WaitExit(s.wemlox, 15000);
    }
    s.bar = nullptr;
}

// Wemlox is ended in the middle of a burst (once its first file is stored)
// and started again: whatever it had not stored yet arrives soon after.
bool Restart(Soak& s, const Burst& b, size_t first) {
    const double start = Now();
    const std::map<FileRef, int> storedBefore = s.stored;  // as the last scan found it
    size_t arrived = 0;
    while (Now() - start < kMidBurstMs) {
        ScanStore(s);
        for (size_t i = first; i < s.pictures.size(); i++) arrived += s.stored.count({i, 0}) + s.stored.count({i, 1});
        if (arrived > 0) break;
        Sleep(30);
    }
    s.clicker->Stop();
    EndWemlox(s, b.ending);
    Scan(s);
    for (const auto& [ref, copies] : s.stored)
        if (!storedBefore.count(ref)) s.aroundEnding.insert(ref);
    WhileEnded(s, b);
    Expectation waited{check::kWaited, std::string("not stored 60 s after Wemlox was ") + EndingName(b.ending) +
                                           " and started again", {}, 0};
    for (size_t i = 0; i < s.pictures.size(); i++) {
        Picture& p = s.pictures[i];
        for (int kind : {0, 1}) {
            if (p.formatted || !p.Has(kind) || s.stored.count({i, kind})) continue;
            waited.files.insert({i, kind});
            p.nearEnding |= p.only < 0;  // an inbox's picture is shown even when it waited for a start
        }
        // A JPEG stored since the last scan may have been cut off from the viewer.
        if ((i >= first && p.only < 0) || (s.stored.count({i, 0}) && !storedBefore.count({i, 0})))
            p.nearEnding = true;
    }
    const double down = Now();
    if (!StartWemlox(s)) {
        s.tally.Named(check::kNoBar).Add(std::string("after Wemlox was ") + EndingName(b.ending));
        TerminateProcess(s.wemlox.process.get(), 1);
        return false;
    }
    Say(s, std::string("Wemlox ") + EndingName(b.ending) + " with " + std::to_string(arrived) + " of " +
               std::to_string(2 * (s.pictures.size() - first)) + " files of the burst stored, " +
               std::to_string(waited.files.size()) + " files of the day waiting; its bar back after " +
               std::to_string(static_cast<int>((Now() - down) / 1000)) + " s");
    waited.deadline = Now() + kWaitedMs;
    s.expectations.push_back(std::move(waited));
    s.clicker->Start(s.bar);
    return true;
}

// Waits until every picture is stored whole, or until nothing has changed in
// the store for a while, or the deadline.
const char* Settle(Soak& s) {
    // Generous: the wait ends early once the store is complete or quiet.
    const double deadline = Now() + 300000.0 + 1000.0 * s.options.pictures;
    const double stepsDone = s.lastShot + 2.0 * kStepMsMax + 1000;  // the card's last steps are written
    uint64_t seen = 0;
    double changed = Now();
    while (Now() < deadline) {
        std::vector<StoredFile> files = StoreFiles(s.store);
        uint64_t now = Fingerprint(files);
        if (now != seen) seen = now, changed = Now();
        Scan(s);
        bool temporary =
            std::any_of(files.begin(), files.end(), [](const StoredFile& f) { return IsTemporary(f.relative); });
        if (Now() > stepsDone && !temporary && AllStored(s)) return "every picture stored whole";
        if (Now() > stepsDone && Now() - changed > kQuietMs) return "the store unchanged for 40 s";
        Pause(s, 1000);
    }
    return "deadline";
}

// Once HiRes and LoRes and the backup's have the same names (or the deadline
// has passed), every file of either is compared with the other's.
void CheckBackup(Soak& s) {
    auto names = [](const std::wstring& root) {
        std::set<std::wstring> found;
        for (const StoredFile& f : StoreFiles(root))
            if (auto [folder, name] = FolderAndName(f.relative); folder == "HIRES" || folder == "LORES" ||
                                                                 f.relative.find(L"~wemlox") != std::wstring::npos)
                found.insert(f.relative);
        return found;
    };
    driver::WaitFor([&] { return names(s.store) == names(s.backup); }, 120000 + 100 * s.options.pictures);
    std::set<std::wstring> all = names(s.store), copies = names(s.backup);
    all.insert(copies.begin(), copies.end());
    for (const std::wstring& f : all)
        if (fs::ReadFile(s.store + L"\\" + f).value_or("-") != fs::ReadFile(s.backup + L"\\" + f).value_or("."))
            s.tally.Named(check::kBackup).Add(str::ToUtf8(f));
}

// ---- The tally -----------------------------------------------------------------------

// Every file as it first appeared is read again at the end: still there, and
// the same. One change is no fault: a part of a picture the card wrote in
// steps (listed with the same size on two ticks while the camera paused),
// completed in place by that very picture. Returns how many were.
size_t FinalLook(Soak& s) {
    ScanStore(s);
    size_t completed = 0;
    for (const auto& [path, first] : s.firstSeen) {
        std::optional<Content> now = s.present.count(path) ? ReadContent(s.store + L"\\" + path) : std::nullopt;
        if (now) s.seen[path] = *now;
        if (!s.changed.count(path) && now && first.SameAs(*now)) continue;
        std::optional<FileRef> ref = now ? Identify(s, *now) : std::nullopt;
        if (ref && s.pictures[ref->picture].inSteps && first.head == now->head && first.size < now->size) {
            completed++;
            continue;
        }
        std::string what = !now ? "removed" : s.changed.count(path) ? s.changed[path] : Describe(first, *now);
        s.tally.Named(check::kChanged).Add(str::ToUtf8(path) + " (" + what + ")");
    }
    Resolve(s, true);
    return completed;
}

// Which sources the "Transfer:" lines of the journals put each stored file
// down to, by folder and name ("LORES\\P1010001-2.JPG"): a card's lines
// begin with its name in brackets, the inbox's with neither card's.
std::map<std::string, std::set<int>> TransferSources(const Soak& s) {
    std::map<std::string, std::set<int>> sources;
    const std::string transfer = "Transfer: ";
    for (const std::wstring& journal : s.journals)
        for (const std::string& line : TextLines(str::ToUtf8(journal))) {
            const size_t at = line.find(transfer), name = line.rfind('\\');
            const size_t folder = name == std::string::npos || name == 0 ? name : line.rfind('\\', name - 1);
            if (at == std::string::npos || folder == std::string::npos || folder < at) continue;
            int source = kInbox;
            const size_t open = line.rfind('[', at), close = open == std::string::npos ? open : line.find("] ", open);
            for (size_t c = 0; close < at && c < s.cameras.size(); c++)
                if (s.cameras[c].Named(line.substr(open + 1, close - open - 1))) source = static_cast<int>(c);
            sources[Upper(line.substr(folder + 1))].insert(source);
        }
    return sources;
}

// Each stored file is known by its content: a picture of the day (whole, or
// by its first bytes cut or different), one from before the run, or nothing.
// With two cards, the journal puts it down to its source.
void CheckStore(Soak& s, size_t (&whole)[3]) {
    Tally& t = s.tally;
    const std::map<std::string, std::set<int>> sources =
        s.options.twoCards ? TransferSources(s) : std::map<std::string, std::set<int>>{};
    std::map<FileRef, std::vector<std::string>> copies;
    for (const StoredFile& f : StoreFiles(s.store)) {
        const std::string rel = str::ToUtf8(f.relative);
        auto [folder, name] = FolderAndName(f.relative);
        if (s.tempNames.count(Upper(name))) {
            t.Named(check::kInboxTemp).Add(rel);
            continue;
        }
        if (IsTemporary(f.relative)) {
            t.Named(check::kPart).Add(rel);
            continue;
        }
        if (f.size == 0) {
            t.Named(check::kEmpty).Add(rel);
            continue;
        }
        auto it = s.seen.find(f.relative);
        std::optional<Content> c =
            it != s.seen.end() ? std::optional(it->second) : ReadContent(s.store + L"\\" + f.relative);
        if (!c) {
            t.Named(check::kDiffers).Add(rel + " (unreadable)");
            continue;
        }
        if (s.oldContent.count({c->size, c->hash}) || s.oldHeads.count(c->head)) {
            t.Named(check::kOld).Add(rel);
            continue;
        }
        std::optional<FileRef> ref = Identify(s, *c);
        if (!ref) {
            auto head = s.byHead.find(c->head);
            if (head == s.byHead.end()) {
                t.Named(check::kStray).Add(rel);
                continue;
            }
            const uint64_t onCard = s.pictures[head->second.picture].onCard[head->second.kind]->size;
            if (c->size < onCard)
                t.Named(check::kCut).Add(rel + " (" + std::to_string(c->size) + " of " + std::to_string(onCard) +
                                         " bytes of " + s.Name(head->second) + ")");
            else
                t.Named(check::kDiffers).Add(rel + " (" + s.Name(head->second) + ")");
            continue;
        }
        const Picture& p = s.pictures[ref->picture];
        whole[p.source]++;
        copies[*ref].push_back(rel);
        if (s.options.twoCards) {
            auto said = sources.find(Upper(rel));
            if (said == sources.end() ? !p.nearEnding && !s.aroundEnding.count(*ref)
                                      : said->second != std::set<int>{p.source})
                t.Named(check::kSource).Add(rel + " (" + s.Name(*ref) + ", put down to " +
                                            (said == sources.end() ? std::string("none")
                                                                   : kSourceName[*said->second.rbegin()]) + ")");
        }
        if (folder != kKindFolder[ref->kind]) t.Named(check::kWrongFolder).Add(rel + " (" + s.Name(*ref) + ")");
        if (!NameFits(name, p.base + kExtension[ref->kind]))
            t.Named(check::kWrongName).Add(rel + " (" + s.Name(*ref) + ")");
        // The card lists date and time to two seconds; a file stored before
        // the daylight saving change is an hour off, unless completed since.
        const uint64_t cardTime = p.onCard[ref->kind]->time, shifted = cardTime + kHour;
        const uint64_t off = c->time > cardTime ? c->time - cardTime : cardTime - c->time;
        const uint64_t offShifted = c->time > shifted ? c->time - shifted : shifted - c->time;
        if (off > 20000000 && !(s.shifted.count(f.relative) && offShifted <= 20000000))
            t.Named(check::kTime).Add(rel + " (" + std::to_string(off / 10000000) + " s from the card's)");
    }
    for (size_t i = 0; i < s.pictures.size(); i++) {
        if (s.pictures[i].formatted) continue;
        for (int kind : {0, 1}) {
            if (!s.pictures[i].Has(kind)) continue;
            const std::vector<std::string>& at = copies[{i, kind}];
            if (at.empty()) t.Named(check::kMissing).Add(s.Name({i, kind}));
            if (at.size() < 2) continue;
            std::string where;
            for (const std::string& a : at) where += (where.empty() ? "" : ", ") + a;
            t.Named(check::kTwice).Add(s.Name({i, kind}) + " as " + where);
        }
    }
}

// Each start of the stand-in installed as IrfanView is logged with its command
// line; the file is its last quoted argument, known by its first bytes as it
// first appeared in the store (a file written over later still tells what
// was shown). A picture
// written whole is shown once; one written in steps may be shown twice (its
// part, then its whole), as the card listed two sizes for it. One on its way
// when Wemlox was ended may not be shown at all.
void CheckViewer(Soak& s, size_t (&shown)[3]) {
    Tally& t = s.tally;
    std::map<size_t, int> starts;
    std::map<std::string, int> others;
    for (const std::string& line : TextLines(fs::ReadFile(s.irfan + L".log").value_or(""))) {
        if (line.rfind("start: ", 0) != 0) continue;
        size_t close = line.rfind('"');
        size_t open = close == std::string::npos || close == 0 ? std::string::npos : line.rfind('"', close - 1);
        std::string file = open == std::string::npos ? "" : line.substr(open + 1, close - open - 1);
        size_t slash = file.rfind('\\');
        bool inLoRes = slash != std::string::npos && EndsWith(Upper(file.substr(0, slash)), "\\LORES");
        const std::wstring path = str::FromUtf8(file), below = s.store + L"\\";
        auto first = path.size() > below.size() && str::EqualsI(path.substr(0, below.size()), below)
                         ? s.firstSeen.find(path.substr(below.size()))
                         : s.firstSeen.end();
        std::optional<Content> c = first != s.firstSeen.end() ? std::optional(first->second) : ReadContent(path);
        auto head = c ? s.byHead.find(c->head) : s.byHead.end();
        std::optional<FileRef> ref = head != s.byHead.end() ? std::optional(head->second) : std::nullopt;
        if (ref && ref->kind == 0 && inLoRes)
            starts[ref->picture]++;
        else
            others[file]++;
    }
    for (size_t i = 0; i < s.pictures.size(); i++) {
        const Picture& p = s.pictures[i];
        if (p.formatted || !p.Has(0)) continue;
        int n = starts[i];
        if (n == 0 && !p.nearEnding) t.Named(check::kNever).Add(s.Name({i, 0}));
        if (n > 0) shown[p.source]++;
        if (n > (p.inSteps ? 2 : 1)) t.Named(check::kAgain).Add(s.Name({i, 0}) + " (" + std::to_string(n) + " starts)");
    }
    for (const auto& [file, n] : others) t.Named(check::kOther).Add(file + " (" + std::to_string(n) + " starts)");
}

// The router answers whatever it is asked; only a search for the card (its
// CID, op=120, or its SSID, op=104) should ever reach it.
void CheckRouter(const std::vector<std::string>& cardLog, Tally& t) {
    const std::string prefix = std::string("decoy ") + kRouterAddress + " ";
    for (const std::string& line : cardLog)
        if (line.rfind(prefix, 0) == 0 && line.find("op=104") == std::string::npos &&
            line.find("op=120") == std::string::npos)
            t.Named(check::kRouter).Add(line.substr(prefix.size()));
}

void SaveLogs(const Soak& s, const std::vector<std::string>& cardLog) {
    if (s.options.out.empty() || !driver::MakeDirs(s.options.out)) return;
    std::string log, logB, journals;
    for (const std::string& l : cardLog) log += l + "\n";
    if (s.cameras.size() > 1)
        for (const std::string& l : s.cameras[1].sim->Log()) logB += l + "\n";
    for (size_t i = 0; i < s.journals.size(); i++)
        journals += "==== Wemlox, start " + std::to_string(i + 1) + " ====\n" + str::ToUtf8(s.journals[i]) + "\n";
    (void)fs::WriteFile(s.options.out + L"\\card-requests.txt", log);
    if (s.cameras.size() > 1) (void)fs::WriteFile(s.options.out + L"\\card-b-requests.txt", logB);
    (void)fs::WriteFile(s.options.out + L"\\journal.txt", journals);
    (void)fs::WriteFile(s.options.out + L"\\viewer-starts.txt", fs::ReadFile(s.irfan + L".log").value_or(""));
}

int Fail(const char* why) {
    std::printf("soak: %s\n", why);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Soak s;
    if (!ParseOptions(argc, argv, s.options))
        return Fail("usage: soak [--pictures N] [--seed S] [--sleep-seconds S] [--slow-percent P] [--pause-ms MS]\n"
                    "            [--prefill FILES] [--restarts N] [--wraps N] [--moves N] [--unwritable-seconds S]\n"
                    "            [--no-roll] [--no-router] [--inbox] [--two-cards] [--out FOLDER]");
    const Options& o = s.options;
    const uint64_t seed =
        o.seedGiven ? o.seed : (GetTickCount64() ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 20)) % 1000000;
    Random random(seed);
    s.inboxRandom = Random(seed ^ 0x1B0C5ull);  // its own, so that the card's day stays the same
    const Day day = PlanDay(o, random);
    std::printf("soak: %d pictures (JPEG + CR2 pairs), seed %llu\n", o.pictures, static_cast<unsigned long long>(seed));
    std::printf("  repeat with: --pictures %d --seed %llu --sleep-seconds %d --slow-percent %d --pause-ms %d"
                " --prefill %d --restarts %d --wraps %d --moves %d --unwritable-seconds %d%s%s%s%s\n",
                o.pictures, static_cast<unsigned long long>(seed), o.sleepSeconds, o.slowPercent, o.pauseMs,
                o.prefillFiles, o.restarts, o.wraps, o.moves, o.unwritableSeconds, o.roll ? "" : " --no-roll",
                o.router ? "" : " --no-router", o.inbox ? " --inbox" : "", o.twoCards ? " --two-cards" : "");
    std::printf("  card %s at %llu bytes/s, [TFA] Url %s, %d files in %s before the run, %s\n", kCardAddress,
                static_cast<unsigned long long>(kCardRate), kAddressRange, o.prefillFiles, kFirstCameraFolder,
                o.roll ? "camera folders of 999 files (FollowNewFolders = Yes)"
                       : "no roll-over (FollowNewFolders = No)");
    if (o.twoCards)
        std::printf("  card B %s (in card A's range) at the same pace, its own [TFA] Url entry, shooting now and"
                    " then, asleep now and then\n", kSecondCardAddress);
    std::printf("  faults planned:");
    for (const auto& [name, n] : day.faultCount) std::printf(" %s %d", name.c_str(), n);
    std::printf(" (asleep %d s); at the start the card sleeps %d s", o.sleepSeconds, kStartAsleepSeconds);
    if (o.router)
        std::printf(" while the router at %s answers with a %s", kRouterAddress,
                    day.routerRedirects ? "redirect" : "page");
    std::printf("\n  events planned:");
    for (size_t i = 0; i < day.bursts.size(); i++) {
        const Burst& b = day.bursts[i];
        if (b.wrapBefore) std::printf(" format and counter wrap before burst %zu;", i + 1);
        if (b.swapBefore) std::printf(" another card put in before burst %zu;", i + 1);
        if (b.unwritableBefore)
            std::printf(" %s unwritable for %d s from burst %zu;", b.unwritableBefore == 1 ? "HiRes" : "LoRes",
                        o.unwritableSeconds, i + 1);
        if (b.ending == Ending::Killed) std::printf(" the backup away for %d s from burst %zu;", BackupAwaySeconds(o), i + 1);
        if (b.ending != Ending::None) std::printf(" Wemlox %s in burst %zu;", EndingName(b.ending), i + 1);
        for (const Fault& f : b.faultsBefore)
            if (!f.moveTo.empty()) std::printf(" the card wakes at %s before burst %zu;", f.moveTo.c_str(), i + 1);
    }
    std::printf(" %zu bursts\n", day.bursts.size());
    std::fflush(stdout);

    // The card, with the pictures taken before Wemlox starts. Their numbers
    // end just before the counter wraps, so the day's first pictures are
    // P1010001 onwards, and the names come again after the day's own wrap.
    s.cameras.resize(o.twoCards ? 2 : 1);
    for (size_t c = 0; c < s.cameras.size(); c++) {
        s.cameras[c].card = s.box.root + (c == 0 ? L"\\Card" : L"\\CardB");
        s.cameras[c].ssid = kSsids[c];
        s.cameras[c].url = c == 0 ? kAddressRange : kSecondCardAddress;
        driver::MakeDirs(s.cameras[c].card + CardToLocal(kFirstCameraFolder));
    }
    // The simulator ends by itself after its lifetime: well after the day's end.
    const int lifetime = 1200 + o.pictures * 4 + day.faultCount.at("asleep") * o.sleepSeconds +
                         o.restarts * (kMidBurstMs + kWaitedMs) / 1000 + o.wraps * kFormatWaitMs / 1000 +
                         o.unwritableSeconds + kFormatWaitMs / 1000 + BackupAwaySeconds(o);
    const std::wstring simArgs = L"--rate " + std::to_wstring(kCardRate) + L" --stall " +
                                 std::to_wstring(kStallSeconds) + L" --lifetime " + std::to_wstring(lifetime);
    cardtest::Simulator sim(s.cameras[0].card, str::FromUtf8(kCardAddress),
                            simArgs + L" --ssid " + str::FromUtf8(kSsids[0]));
    if (!sim.Running()) return Fail("the card simulator did not start");
    s.cameras[0].sim = &sim;
    // Card B: its camera's counter at 1, so that its names are card A's day's.
    std::optional<cardtest::Simulator> second;
    if (o.twoCards) {
        second.emplace(s.cameras[1].card, str::FromUtf8(kSecondCardAddress),
                       simArgs + L" --ssid " + str::FromUtf8(kSsids[1]) + L" --cid " + str::FromUtf8(kSecondCardCid));
        if (!second->Running() || !Ok(second->Command("flag 0"))) return Fail("card B's simulator did not start");
        s.cameras[1].sim = &*second;
        s.cameras[1].random = Random(seed ^ 0xCA4DBull);
    }
    if (o.prefillFiles >= 2) {
        const int pairs = o.prefillFiles / 2;
        std::vector<std::string> lines;
        if (Ok(sim.Command("counter " + std::to_string(10000 - pairs))))
            lines = TextLines(sim.Command("shoot " + std::string(kFirstCameraFolder) + " " + std::to_string(pairs) +
                                          " CR2 4096"));
        for (size_t i = 1; i < lines.size(); i++)
            for (const char* ext : kExtension)
                if (std::optional<Content> c = ReadContent(
                        s.cameras[0].card + CardToLocal(std::string(kFirstCameraFolder) + "/" + lines[i] + ext))) {
                    s.oldContent.insert({c->size, c->hash});
                    s.oldHeads.insert(c->head);
                }
        if (s.oldContent.size() != 2 * static_cast<size_t>(pairs)) return Fail("the card was not filled");
    }
    sim.Command("flag 0");
    // The camera's clock seven hours behind the computer's, as a traveller's
    // on home time: a stored file's time is the card's, not the moment it came.
    sim.Command("clock -25200");
    if (o.roll) sim.Command("roll " + std::to_string(kFolderLimit));
    if (o.router) sim.Command(std::string("decoy ") + kRouterAddress + (day.routerRedirects ? " redirect" : " page"));
    sim.Command("sleep " + std::to_string(kStartAsleepSeconds));

    // IrfanView where the automatic search finds it, and its window.
    if (!driver::MakeDirs(s.box.programFiles + L"\\IrfanView") ||
        !CopyFileW((driver::TestBinDir() + L"standin_viewer.exe").c_str(), s.irfan.c_str(), FALSE))
        return Fail("the stand-in viewer could not be installed");
    KeyWindow window(s.box);
    if (!window.Install() || !window.EnsureRunning()) return Fail("the viewer's window did not open");
    Clicker clicker(window);
    s.clicker = &clicker;

    if (o.twoCards) s.tally.Named(check::kSource);
    // The inbox as first seen: what it holds then is not taken.
    if (o.inbox) {
        for (const char* c : {check::kInboxTemp, check::kInboxChanged}) s.tally.Named(c);
        for (const char* old : {"P1010001.JPG", "camA\\P1010002.CR2"}) {
            const std::string bytes = InboxBytes(0, EndsWith(old, ".JPG") ? 0 : 1, 5000);
            driver::MakeDirs(s.inbox + L"\\camA");
            if (!fs::WriteFile(s.inbox + L"\\" + str::FromUtf8(old), bytes)) return Fail("the inbox was not filled");
            s.oldContent.insert({bytes.size(), Hash(bytes)});
            s.oldHeads.insert(bytes.substr(0, kHeadBytes));
            s.inboxPaths.insert(Upper(old));
            s.inboxFiles[str::FromUtf8(old)] = *ReadContent(s.inbox + L"\\" + str::FromUtf8(old));
        }
    }
    const std::string urls = std::string(kAddressRange) + (o.twoCards ? std::string(";") + kSecondCardAddress : ""),
                      lastConnect = kCardAddress + (o.twoCards ? std::string(";") + kSecondCardAddress : "");
    std::vector<std::pair<std::wstring, std::wstring>> settings = {{L"TFA.Url", str::FromUtf8(urls)},
                         {L"TFA.UrlLastConnect", str::FromUtf8(lastConnect)},
                         {L"TFA.Path", str::FromUtf8(std::string(kFirstCameraFolder).substr(1))},
                         {L"TFA.CheckNewFilesSec", L"1"},
                         {L"TFA.TransferModeAuto", L"Both"},
                         {L"TFA.FollowNewFolders", o.roll ? L"Yes" : L"No"},
                         {L"Copy.BackupPath", s.backup}};
    if (o.inbox) settings.push_back({L"Inbox.Folders", s.inbox});
    s.box.WriteSettings(settings);
    if (!StartWemlox(s)) {
        TerminateProcess(s.wemlox.process.get(), 1);
        return Fail("the bar did not open");
    }
    s.begin = s.lastProgress = Now();
    // The day starts once Wemlox has listed the camera folder at the card (the
    // router's log lines start with "decoy"). A program that never gets there
    // still meets the day: the tally shows what it missed.
    const std::string listing = std::string("/command.cgi?op=100&DIR=") + kFirstCameraFolder;
    bool listed = driver::WaitFor([&] {
        return std::all_of(s.cameras.begin(), s.cameras.end(), [&](const Camera& c) {
            std::vector<std::string> log = c.sim->Log();
            return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.rfind(listing, 0) == 0; });
        });
    }, 120000);
    Say(s, std::string(listed ? "camera folder listed at the card" : "no listing at the card") +
               (o.twoCards ? "s" : "") + "; shooting");

    clicker.Start(s.bar);
    for (const Burst& b : day.bursts) {
        for (const Fault& f : b.faultsBefore) Inject(s, f);
        if (b.wrapBefore || b.swapBefore) Wrap(s, b.swapBefore);
        if (b.unwritableBefore) BlockStore(s, b.unwritableBefore);
        if (b.ending == Ending::Killed) MoveBackup(s, true);
        // An upload under way in the inbox when Wemlox ends, seen in part before.
        if (o.inbox && b.ending != Ending::None) {
            FeedInbox(s, 12, 2500, 0);
            Say(s, "an upload of " + LastUpload(s) + " on its way in the inbox");
            Pause(s, 4000);
        }
        // Wemlox is started again on a store it can write (one it cannot makes it give up at the start).
        while (b.ending != Ending::None && s.blocked.until > 0) Pause(s, 250);
        if (b.ending != Ending::None) WakeSecondCard(s);
        const size_t first = s.pictures.size();
        if (!Shoot(s, b)) s.tally.Named(check::kStaging).Add("a burst the card did not shoot");
        if (b.ending != Ending::None && !Restart(s, b, first)) break;
        if (o.inbox && s.inboxRandom.Chance(40)) FeedInbox(s);
        if (o.twoCards) SecondCard(s);
        Pause(s, b.pauseMs);
    }
    while (s.blocked.until > 0 || s.backupBackAt > 0 || !s.uploads.empty() ||
           (o.twoCards && Now() < s.cameras[1].asleepUntil))
        Pause(s, 250);
    Progress(s);
    Say(s, "last shot; waiting for the store to settle");
    const char* settled = s.bar ? Settle(s) : "no bar";
    Say(s, std::string("settled: ") + settled);
    if (s.bar) Pause(s, kLingerMs);
    clicker.Stop();

    if (s.bar) EndWemlox(s, Ending::CloseBar);
    window.Stop();
    // A viewer started last may still be on its way to its log line.
    uint64_t viewerLog = 0;
    double viewerLogSince = Now();
    driver::WaitFor([&] {
        uint64_t now = fs::FileSize(s.irfan + L".log").value_or(0);
        if (std::exchange(viewerLog, now) != now) viewerLogSince = Now();
        return Now() - viewerLogSince > 2000;
    }, 15000);
    CaptureDue(s);
    const size_t completed = FinalLook(s);
    for (const MovedCard& m : s.moves)
        s.tally.Named(check::kFoundAgain).Add("no \"" + str::ToUtf8(m.line) + "\" in the journal");
    std::vector<std::string> cardLog = sim.Log();
    SaveLogs(s, cardLog);

    size_t whole[3] = {}, shown[3] = {};
    CheckStore(s, whole);
    CheckViewer(s, shown);
    CheckRouter(cardLog, s.tally);
    CheckBackup(s);
    if (o.inbox) CheckInbox(s);

    // Names that came again after a wrap, and how many of those raw files
    // had exactly the size of the earlier picture of that name.
    // Per source: pictures (pairs, uploads), files and JPEGs to be stored.
    std::map<std::string, const Picture*> firstOfName;
    std::set<std::string> namesOfA;
    size_t again = 0, sameSize = 0, formatted = 0, inSteps = 0, namesOfAOnB = 0;
    size_t pictures[3] = {}, files[3] = {}, jpegs[3] = {};
    for (const Picture& p : s.pictures) {
        pictures[p.source]++;
        files[p.source] += p.formatted ? 0 : p.only < 0 ? 2 : 1;
        jpegs[p.source] += !p.formatted && p.Has(0);
        if (p.source == 1) namesOfAOnB += namesOfA.count(p.base);
        if (p.source != 0) continue;
        namesOfA.insert(p.base);
        auto [earlier, isNew] = firstOfName.emplace(p.base, &p);
        if (!isNew) again++, sameSize += p.bytes == earlier->second->bytes;
        formatted += p.formatted;
        inSteps += p.inSteps;
    }
    std::vector<double> times = clicker.Times();
    std::printf("\ntally after %.0f s (%s):\n", s.Seconds(), settled);
    std::printf("  pictures shot            %zu pairs in", pictures[0]);
    for (const std::string& f : s.cameras[0].folders) std::printf(" %s", f.c_str());
    std::printf("; %zu pairs written in steps, %zu stored parts of them completed in place\n", inSteps,
                completed);
    std::printf("  names that came again    %zu after %d wrap(s), %zu with a raw file of the earlier one's size\n",
                again, o.wraps, sameSize);
    std::printf("  Wemlox started           %zu times; %zu pairs formatted away before they were stored\n",
                s.journals.size(), formatted);
    std::printf("  stored whole             %zu of %zu files (by content: JPEG in LoRes, raw in HiRes)\n", whole[0],
                files[0]);
    std::printf("  JPEGs shown              %zu of %zu\n", shown[0], jpegs[0]);
    if (o.twoCards)
        std::printf("  card B                   %zu pairs (%zu under a name of card A's day), stored whole %zu of %zu"
                    " files, JPEGs shown %zu of %zu\n",
                    pictures[1], namesOfAOnB, whole[1], files[1], shown[1], jpegs[1]);
    if (o.inbox)
        std::printf("  inbox                    %zu uploads (%zu under a temporary name), stored whole %zu of %zu,"
                    " JPEGs shown %zu of %zu\n",
                    pictures[kInbox], s.tempNames.size(), whole[kInbox], files[kInbox], shown[kInbox], jpegs[kInbox]);
    size_t failed = 0;
    for (const Check& c : s.tally.checks) {
        std::printf("  %-66s %6zu  %s\n", c.what.c_str(), c.count, c.count ? "FAIL" : "ok");
        for (const std::string& e : c.examples) std::printf("      %s\n", e.c_str());
        if (c.count > c.examples.size()) std::printf("      ... and %zu more\n", c.count - c.examples.size());
        failed += c.count ? 1 : 0;
    }
    std::printf("  click to key, button 5   %zu clicks, median %.0f ms, p95 %.0f ms, longest %.0f ms,"
                " %d without a key in %d s",
                times.size(), bench::Median(times), Percentile(times, 0.95),
                times.empty() ? 0.0 : *std::max_element(times.begin(), times.end()), clicker.Lost(), kKeyWaitMs / 1000);
    if (clicker.WindowFailures())
        std::printf(", the viewer's window failed to open %d times", clicker.WindowFailures());
    std::printf("\nsoak %s: %zu of %zu checks failed (seed %llu)\n", failed ? "FAILED" : "passed", failed,
                s.tally.checks.size(), static_cast<unsigned long long>(seed));
    return failed ? 1 : 0;
}
