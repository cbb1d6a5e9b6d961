// A day of shooting compressed into minutes. The real Wemlox.exe watches the
// simulated card while the camera shoots JPEG + raw pairs at a card's pace
// (small files, paced), fills its folder past the limit and goes on in the
// next one, writes some pictures in steps (0 bytes, part, whole), and the
// card misbehaves at random: a cut body, a 500, a stall, the card asleep, the
// card out of reach while the router answers at the configured address.
// Button 5 is clicked every few seconds throughout and the time to the key at
// the viewer's window is taken. When the store has settled, the bar is closed
// and a tally printed: what arrived where, byte for byte against the card,
// what the viewer was started with, and the click-to-key times. Exit code 0
// only when every check passes; the times are figures to read, not a check,
// as Wine's scheduling on a shared machine would make any bound flaky.
//
//   soak [--pictures N] [--seed S] [--sleep-seconds S] [--slow-percent P]
//        [--pause-ms MS] [--prefill FILES] [--no-roll] [--no-router] [--out FOLDER]
//
// The same seed gives the same day: shots, sizes, steps and faults. Timing
// under Wine still varies, so a repeated run meets the faults at other moments.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "card_support.h"
#include "driver.h"

namespace {

// ---- The day's settings --------------------------------------------------------

constexpr wchar_t kCardAddress[] = L"127.0.0.71";
// The router where [TFA] Url points, as the default address usually does: a
// host beside the card that is no card.
constexpr char kRouterAddress[] = "127.0.0.72";
constexpr char kFirstCameraFolder[] = "/DCIM/101_PANA";
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
constexpr int kRightButton = 5, kJournal = 101, kRightKey = 39;

struct Options {
    int pictures = 1000;
    uint64_t seed = 0;
    bool seedGiven = false;
    int sleepSeconds = 30;   // the card asleep with the camera
    int slowPercent = 30;    // bursts written in steps
    int pauseMs = 1000;      // mean pause per picture
    int prefillFiles = 900;  // files in the first camera folder from before the run
    bool roll = true;        // the camera folder rolls over; FollowNewFolders = Yes
    bool router = true;      // [TFA] Url names the router, which answers while the card does not
    std::wstring out;        // journal, card log and viewer log are saved here
};

bool ParseOptions(int argc, wchar_t** argv, Options& o) {
    for (int i = 1; i < argc; i++) {
        std::wstring key = argv[i];
        if (key == L"--no-roll" || key == L"--no-router") {
            (key == L"--no-roll" ? o.roll : o.router) = false;
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
        else if (key == L"--out") o.out = value;
        else return false;
    }
    return o.pictures > 0 && o.sleepSeconds >= 0 && o.slowPercent >= 0 && o.slowPercent <= 100 && o.pauseMs >= 0 &&
           o.prefillFiles >= 0 && o.prefillFiles < kFolderLimit;
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
};

// A photographer's burst: one to four pairs, then a pause.
struct Burst {
    int pairs = 1;
    bool inSteps = false;
    int stepMs = 0;
    uint64_t bytes = 0;  // each file of the burst, JPEG and raw alike
    int pauseMs = 0;
    std::vector<Fault> faultsBefore;
};

struct Day {
    std::vector<Burst> bursts;
    bool routerRedirects = false;  // the router's answer at the start
    std::map<std::string, int> faultCount;
};

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
    // card that answers; every kind comes at least once.
    const std::vector<std::string> targets = {".JPG", ".CR2", "op=100", "op=102"};
    std::vector<FaultKind> kinds;
    auto add = [&](FaultKind k, int n) { kinds.insert(kinds.end(), static_cast<size_t>(std::max(1, n)), k); };
    add(FaultKind::Cut, o.pictures / 36);
    add(FaultKind::ServerError, o.pictures / 36);
    add(FaultKind::Stall, o.pictures / 60);
    add(FaultKind::Asleep, o.pictures / 300);
    add(FaultKind::OutOfReach, o.pictures / 300);
    const int lastBurst = static_cast<int>(day.bursts.size()) - 1;
    for (FaultKind k : kinds) {
        Fault f;
        f.kind = k;
        f.target = r.Pick(targets);
        f.redirect = r.Chance(50);
        f.seconds = k == FaultKind::Asleep ? o.sleepSeconds : r.Between(4, 8);
        day.bursts[static_cast<size_t>(lastBurst > 0 ? r.Between(1, lastBurst) : 0)].faultsBefore.push_back(f);
        day.faultCount[FaultName(k)]++;
    }
    return day;
}

// ---- Small helpers ---------------------------------------------------------------

double NowMs() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

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
// hangs shows in the times instead of holding up the day.
class Clicker {
public:
    Clicker(HWND bar, KeyWindow& window) : button_(GetDlgItem(bar, kRightButton)), window_(window) {}
    ~Clicker() { Stop(); }

    void Start() { thread_ = std::thread([this] { Run(); }); }
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
            const double round = NowMs();
            if (!window_.EnsureRunning()) {
                windowFailures_++;
            } else {
                RestCursorOnButton();
                size_t before = window_.RightKeys();
                const double clicked = NowMs();
                driver::Click(button_);
                double arrived = 0;
                while (!stop_ && NowMs() - clicked < kKeyWaitMs) {
                    if (window_.RightKeys() > before) {
                        arrived = NowMs();
                        break;
                    }
                    Sleep(2);
                }
                if (stop_ && !arrived) break;  // the day ended under this click
                if (!arrived) lost_++;
                std::lock_guard lock(mutex_);
                times_.push_back(arrived ? arrived - clicked : kKeyWaitMs);
            }
            while (!stop_ && NowMs() - round < kClickEveryMs) Sleep(20);
        }
    }

    HWND button_;
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
    uint64_t size = 0;
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
            out.push_back({rel, (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow});
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

// ---- The day --------------------------------------------------------------------------

struct Picture {
    std::string base;    // "P1010451"
    std::string folder;  // card folder, "/DCIM/101_PANA"
    bool inSteps = false;
};

struct Soak {
    Options options;
    driver::Sandbox box;
    std::wstring card = box.root + L"\\Card";
    std::wstring store = box.profile + L"\\Wemlox";  // SourcePath left empty: its default below the profile
    std::wstring irfan = box.programFiles + L"\\IrfanView\\i_view64.exe";
    std::vector<Picture> pictures;
    std::set<std::string> oldPictures;  // on the card from before the run
    std::string folder = kFirstCameraFolder;
    std::set<std::string> folders{kFirstCameraFolder};
    double lastShot = 0;

    std::wstring CardFile(const Picture& p, const char* ext) const {
        return card + CardToLocal(p.folder + "/" + p.base + ext);
    }
};

// One reply of "shoot": picture names one a line, "folder <path>" where the
// camera went on in the next folder.
std::vector<std::string> TakeShootReply(Soak& s, const std::string& reply, bool inSteps) {
    std::vector<std::string> names;
    std::vector<std::string> lines = TextLines(reply);
    if (lines.empty() || lines[0] != "ok") return names;
    for (size_t i = 1; i < lines.size(); i++) {
        if (lines[i].rfind("folder ", 0) == 0) {
            s.folder = lines[i].substr(7);
            s.folders.insert(s.folder);
            continue;
        }
        names.push_back(lines[i]);
        s.pictures.push_back({lines[i], s.folder, inSteps});
    }
    return names;
}

void Progress(const Soak& s, const Clicker& clicker, double begin) {
    std::vector<StoredFile> files = StoreFiles(s.store);
    std::vector<double> times = clicker.Times();
    std::printf("  [%5.0f s] shot %zu of %d pictures, %zu files in the store, %zu clicks (p95 %.0f ms)\n",
                (NowMs() - begin) / 1000, s.pictures.size(), s.options.pictures, files.size(), times.size(),
                Percentile(times, 0.95));
    std::fflush(stdout);
}

// Sleeps while keeping the progress lines coming.
void Pause(const Soak& s, const Clicker& clicker, double begin, double& lastProgress, int ms) {
    const double until = NowMs() + ms;
    while (NowMs() < until) {
        if (NowMs() - lastProgress > 30000) {
            Progress(s, clicker, begin);
            lastProgress = NowMs();
        }
        Sleep(static_cast<DWORD>(std::clamp(until - NowMs(), 0.0, 250.0)));
    }
}

void Inject(Soak& s, const cardtest::Simulator& sim, const Fault& f, const Clicker& clicker, double begin,
            double& lastProgress) {
    switch (f.kind) {
    case FaultKind::Cut:
    case FaultKind::ServerError:
    case FaultKind::Stall:
        sim.Command(std::string("fault ") + FaultName(f.kind) + " 1 " + f.target);
        return;
    case FaultKind::Asleep:
        // The camera powered down with the card: nobody shoots meanwhile.
        sim.Command("sleep " + std::to_string(f.seconds));
        Pause(s, clicker, begin, lastProgress, f.seconds * 1000 + 1000);
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

bool Shoot(Soak& s, const cardtest::Simulator& sim, const Burst& b) {
    std::string command = b.inSteps ? "shoot-slow " + s.folder + " " + std::to_string(b.pairs) + " " +
                                          std::to_string(b.stepMs)
                                    : "shoot " + s.folder + " " + std::to_string(b.pairs);
    command += " CR2 " + std::to_string(b.bytes);
    size_t got = TakeShootReply(s, sim.Command(command), b.inSteps).size();
    s.lastShot = NowMs();
    return got == static_cast<size_t>(b.pairs);
}

// Every picture whole in its folder (the card's last steps written by now).
bool StoreComplete(const Soak& s, const std::vector<StoredFile>& files) {
    std::map<std::wstring, uint64_t> sizes;
    for (const StoredFile& f : files) {
        if (str::EndsWith(str::ToLower(f.relative), L".part")) return false;
        sizes[str::ToLower(f.relative)] = f.size;
    }
    for (const Picture& p : s.pictures) {
        for (auto [ext, kind] : {std::pair{".JPG", L"lores\\"}, std::pair{".CR2", L"hires\\"}}) {
            auto it = sizes.find(kind + str::ToLower(str::FromUtf8(p.base + ext)));
            if (it == sizes.end() || fs::FileSize(s.CardFile(p, ext)) != it->second) return false;
        }
    }
    return true;
}

// Waits until every picture is stored whole, or until nothing has changed in
// the store for a while, or the deadline.
const char* Settle(const Soak& s, const Clicker& clicker, double begin, double& lastProgress) {
    // Generous: the wait ends early once the store is complete or quiet.
    const double deadline = NowMs() + 300000.0 + 1000.0 * s.options.pictures;
    const double stepsDone = s.lastShot + 2.0 * kStepMsMax + 1000;  // the card's last steps are written
    uint64_t seen = 0;
    double changed = NowMs();
    while (NowMs() < deadline) {
        std::vector<StoredFile> files = StoreFiles(s.store);
        uint64_t now = Fingerprint(files);
        if (now != seen) seen = now, changed = NowMs();
        if (NowMs() > stepsDone && StoreComplete(s, files)) return "every picture stored whole";
        if (NowMs() > stepsDone && NowMs() - changed > kQuietMs) return "the store unchanged for 40 s";
        Pause(s, clicker, begin, lastProgress, 1000);
    }
    return "deadline";
}

// ---- The tally -----------------------------------------------------------------------

struct Check {
    std::string what;
    size_t count = 0;           // faults found
    std::vector<std::string> examples;
    void Add(const std::string& example) {
        count++;
        if (examples.size() < 5) examples.push_back(example);
    }
};

struct Tally {
    std::deque<Check> checks;  // checks are held by reference while others are added
    Check& Named(const std::string& what) {
        for (Check& c : checks)
            if (c.what == what) return c;
        checks.push_back(Check{what, 0, {}});
        return checks.back();
    }
};

void CheckStore(const Soak& s, Tally& t, size_t& identical) {
    Check& missing = t.Named("pictures missing from the store");
    Check& empty = t.Named("empty files");
    Check& cut = t.Named("cut files (shorter than on the card)");
    Check& differs = t.Named("files that differ from the card");
    Check& wrongFolder = t.Named("pictures in the wrong folder");
    Check& part = t.Named(".part or temporary files");
    Check& old = t.Named("pictures from before the run stored");
    Check& stray = t.Named("other files in the store");

    std::map<std::string, const Picture*> byName;  // upper-case file name
    for (const Picture& p : s.pictures) {
        byName[Upper(p.base + ".JPG")] = &p;
        byName[Upper(p.base + ".CR2")] = &p;
    }
    std::set<std::string> found;
    for (const StoredFile& f : StoreFiles(s.store)) {
        std::string rel = str::ToUtf8(f.relative);
        size_t slash = rel.rfind('\\');
        std::string folder = Upper(slash == std::string::npos ? "" : rel.substr(0, slash));
        std::string name = Upper(slash == std::string::npos ? rel : rel.substr(slash + 1));
        if (f.size == 0) empty.Add(rel);
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".PART") == 0) {
            part.Add(rel);
            continue;
        }
        if (folder == "STORAGE\\TMP") {  // TmpPath left empty: its default in the store
            part.Add(rel);
            continue;
        }
        std::string base = name.substr(0, name.rfind('.'));
        if (s.oldPictures.count(base)) {
            old.Add(rel);
            continue;
        }
        auto it = byName.find(name);
        if (it == byName.end()) {
            stray.Add(rel);
            continue;
        }
        const bool jpeg = name.size() > 4 && name.compare(name.size() - 4, 4, ".JPG") == 0;
        if (folder != (jpeg ? "LORES" : "HIRES")) {
            wrongFolder.Add(rel);
            continue;
        }
        found.insert(name);
        std::optional<std::string> stored = fs::ReadFile(s.store + L"\\" + f.relative);
        std::optional<std::string> onCard = fs::ReadFile(s.CardFile(*it->second, jpeg ? ".JPG" : ".CR2"));
        if (!stored || !onCard) {
            differs.Add(rel + " (unreadable)");
        } else if (*stored == *onCard) {
            identical++;
        } else if (!stored->empty() && stored->size() < onCard->size() &&
                   onCard->compare(0, stored->size(), *stored) == 0) {
            cut.Add(rel + " (" + std::to_string(stored->size()) + " of " + std::to_string(onCard->size()) + " bytes)");
        } else if (!stored->empty()) {
            differs.Add(rel);
        }
    }
    for (const Picture& p : s.pictures)
        for (const char* ext : {".JPG", ".CR2"})
            if (!found.count(Upper(p.base + ext))) missing.Add(p.folder + "/" + p.base + ext);
}

// Each start of the stand-in installed as IrfanView is logged with its command
// line; the file is its last quoted argument. A picture written whole is shown
// once; one written in steps may be shown twice (its part, then its whole),
// as the card listed two sizes for it.
void CheckViewer(const Soak& s, Tally& t, size_t& shown) {
    Check& never = t.Named("JPEGs never shown");
    Check& again = t.Named("JPEGs shown again");
    Check& other = t.Named("viewer starts for anything but a JPEG of the day in LoRes");
    std::map<std::string, int> starts;
    for (const std::string& line : TextLines(fs::ReadFile(s.irfan + L".log").value_or(""))) {
        if (line.rfind("start: ", 0) != 0) continue;
        size_t close = line.rfind('"');
        size_t open = close == std::string::npos || close == 0 ? std::string::npos : line.rfind('"', close - 1);
        std::string file = open == std::string::npos ? "" : line.substr(open + 1, close - open - 1);
        size_t slash = file.rfind('\\');
        std::string name = Upper(file.substr(slash == std::string::npos ? 0 : slash + 1));
        std::string folder = Upper(slash == std::string::npos ? "" : file.substr(0, slash));
        bool inLoRes = folder.size() >= 6 && folder.compare(folder.size() - 6, 6, "\\LORES") == 0;
        starts[inLoRes ? name : "?" + file]++;
    }
    std::set<std::string> ofTheDay;
    for (const Picture& p : s.pictures) {
        std::string name = Upper(p.base + ".JPG");
        ofTheDay.insert(name);
        int n = starts.count(name) ? starts[name] : 0;
        if (n == 0) never.Add(p.folder + "/" + p.base + ".JPG");
        else shown++;
        if (n > (p.inSteps ? 2 : 1)) again.Add(name + " (" + std::to_string(n) + " starts)");
    }
    for (const auto& [name, n] : starts)
        if (!ofTheDay.count(name)) other.Add(name + " (" + std::to_string(n) + " starts)");
}

// The router answers whatever it is asked; only a search for the card (op=104)
// should ever reach it.
void CheckRouter(const std::vector<std::string>& cardLog, Tally& t) {
    Check& taken = t.Named("requests to the router beyond the card search");
    const std::string prefix = std::string("decoy ") + kRouterAddress + " ";
    for (const std::string& line : cardLog)
        if (line.rfind(prefix, 0) == 0 && line.find("op=104") == std::string::npos)
            taken.Add(line.substr(prefix.size()));
}

void SaveLogs(const Soak& s, const std::wstring& journal, const std::vector<std::string>& cardLog) {
    if (s.options.out.empty() || !driver::MakeDirs(s.options.out)) return;
    std::string log;
    for (const std::string& l : cardLog) log += l + "\n";
    (void)fs::WriteFile(s.options.out + L"\\card-requests.txt", log);
    (void)fs::WriteFile(s.options.out + L"\\journal.txt", str::ToUtf8(journal));
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
                    "            [--prefill FILES] [--no-roll] [--no-router] [--out FOLDER]");
    const Options& o = s.options;
    const uint64_t seed =
        o.seedGiven ? o.seed : (GetTickCount64() ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 20)) % 1000000;
    Random random(seed);
    const Day day = PlanDay(o, random);
    std::printf("soak: %d pictures (JPEG + CR2 pairs), seed %llu\n", o.pictures, static_cast<unsigned long long>(seed));
    std::printf("  repeat with: --pictures %d --seed %llu --sleep-seconds %d --slow-percent %d --pause-ms %d"
                " --prefill %d%s%s\n",
                o.pictures, static_cast<unsigned long long>(seed), o.sleepSeconds, o.slowPercent, o.pauseMs,
                o.prefillFiles, o.roll ? "" : " --no-roll", o.router ? "" : " --no-router");
    std::printf("  card %ls at %llu bytes/s, %d files in %s before the run, %s\n", kCardAddress,
                static_cast<unsigned long long>(kCardRate), o.prefillFiles, kFirstCameraFolder,
                o.roll ? "camera folders of 999 files (FollowNewFolders = Yes)" : "no roll-over (FollowNewFolders = No)");
    std::printf("  faults planned:");
    for (const auto& [name, n] : day.faultCount) std::printf(" %s %d", name.c_str(), n);
    std::printf(" (asleep %d s); at the start the card sleeps %d s", o.sleepSeconds, kStartAsleepSeconds);
    if (o.router)
        std::printf(" while the router at %s answers with a %s", kRouterAddress,
                    day.routerRedirects ? "redirect" : "page");
    std::printf("\n");
    std::fflush(stdout);

    // The card, with the pictures taken before Wemlox starts.
    driver::MakeDirs(s.card + CardToLocal(kFirstCameraFolder));
    // The simulator ends by itself after its lifetime: well after the day's end.
    const int lifetime = 1200 + o.pictures * 4 + day.faultCount.at("asleep") * o.sleepSeconds;
    cardtest::Simulator sim(s.card, kCardAddress,
                            L"--rate " + std::to_wstring(kCardRate) + L" --stall " + std::to_wstring(kStallSeconds) +
                                L" --lifetime " + std::to_wstring(lifetime));
    if (!sim.Running()) return Fail("the card simulator did not start");
    if (o.prefillFiles >= 2) {
        std::string reply = sim.Command("shoot " + std::string(kFirstCameraFolder) + " " +
                                        std::to_string(o.prefillFiles / 2) + " CR2 4096");
        std::vector<std::string> lines = TextLines(reply);
        for (size_t i = 1; i < lines.size(); i++) s.oldPictures.insert(Upper(lines[i]));
        if (s.oldPictures.size() != static_cast<size_t>(o.prefillFiles / 2)) return Fail("the card was not filled");
    }
    sim.Command("flag 0");
    if (o.roll) sim.Command("roll " + std::to_string(kFolderLimit));
    if (o.router) sim.Command(std::string("decoy ") + kRouterAddress + (day.routerRedirects ? " redirect" : " page"));
    sim.Command("sleep " + std::to_string(kStartAsleepSeconds));

    // IrfanView where the automatic search finds it, and its window.
    if (!driver::MakeDirs(s.box.programFiles + L"\\IrfanView") ||
        !CopyFileW((driver::TestBinDir() + L"standin_viewer.exe").c_str(), s.irfan.c_str(), FALSE))
        return Fail("the stand-in viewer could not be installed");
    KeyWindow window(s.box);
    if (!window.Install() || !window.EnsureRunning()) return Fail("the viewer's window did not open");

    s.box.WriteSettings({{L"TFA.Url", o.router ? str::FromUtf8(kRouterAddress) : kCardAddress},
                         {L"TFA.UrlLastConnect", kCardAddress},
                         {L"TFA.Path", str::FromUtf8(std::string(kFirstCameraFolder).substr(1))},
                         {L"TFA.CheckNewFilesSec", L"1"},
                         {L"TFA.TransferModeAuto", L"Both"},
                         {L"TFA.FollowNewFolders", o.roll ? L"Yes" : L"No"}});
    driver::Started wemlox = driver::Start(s.box, driver::WemloxExe());
    HWND bar = driver::WaitForBar(wemlox, 60000);
    if (!bar) {
        TerminateProcess(wemlox.process.get(), 1);
        return Fail("the bar did not open");
    }
    const double begin = NowMs();
    // The day starts once Wemlox has listed the camera folder at the card (the
    // router's log lines start with "decoy"). A program that never gets there
    // still meets the day: the tally shows what it missed.
    const std::string listing = std::string("/command.cgi?op=100&DIR=") + kFirstCameraFolder;
    bool listed = driver::WaitFor([&] {
        std::vector<std::string> log = sim.Log();
        return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.rfind(listing, 0) == 0; });
    }, 120000);
    std::printf("  %s after %.0f s; shooting\n", listed ? "camera folder listed at the card" : "no listing at the card",
                (NowMs() - begin) / 1000);
    std::fflush(stdout);

    Clicker clicker(bar, window);
    clicker.Start();
    double lastProgress = NowMs();
    size_t shootFailures = 0;
    for (const Burst& b : day.bursts) {
        for (const Fault& f : b.faultsBefore) Inject(s, sim, f, clicker, begin, lastProgress);
        if (!Shoot(s, sim, b)) shootFailures++;
        Pause(s, clicker, begin, lastProgress, b.pauseMs);
    }
    Progress(s, clicker, begin);
    std::printf("  last shot after %.0f s; waiting for the store to settle\n", (NowMs() - begin) / 1000);
    const char* settled = Settle(s, clicker, begin, lastProgress);
    std::printf("  settled after %.0f s: %s\n", (NowMs() - begin) / 1000, settled);
    Pause(s, clicker, begin, lastProgress, kLingerMs);
    clicker.Stop();

    std::wstring journal = driver::WindowText(GetDlgItem(bar, kJournal));
    int closed = driver::CloseBar(wemlox, bar);
    if (closed < 0) TerminateProcess(wemlox.process.get(), 1);
    window.Stop();
    // A viewer started last may still be on its way to its log line.
    uint64_t viewerLog = 0;
    double viewerLogSince = NowMs();
    driver::WaitFor([&] {
        uint64_t now = fs::FileSize(s.irfan + L".log").value_or(0);
        if (std::exchange(viewerLog, now) != now) viewerLogSince = NowMs();
        return NowMs() - viewerLogSince > 2000;
    }, 15000);
    std::vector<std::string> cardLog = sim.Log();
    SaveLogs(s, journal, cardLog);

    Tally t;
    size_t identical = 0, shown = 0;
    CheckStore(s, t, identical);
    CheckViewer(s, t, shown);
    CheckRouter(cardLog, t);
    if (shootFailures) t.Named("bursts the card did not shoot").count = shootFailures;
    if (closed < 0) t.Named("the bar did not end when closed").Add("Wemlox.exe terminated");

    std::vector<double> times = clicker.Times();
    const size_t expected = s.pictures.size();
    std::printf("\ntally after %.0f s (%s):\n", (NowMs() - begin) / 1000, settled);
    std::printf("  pictures shot            %zu pairs in", expected);
    for (const std::string& f : s.folders) std::printf(" %s", f.c_str());
    auto inSteps = [](const Picture& p) { return p.inSteps; };
    std::printf("; %zu pairs written in steps\n",
                static_cast<size_t>(std::count_if(s.pictures.begin(), s.pictures.end(), inSteps)));
    std::printf("  stored byte-identical    %zu of %zu files (JPEG in LoRes, raw in HiRes)\n", identical, 2 * expected);
    std::printf("  JPEGs shown              %zu of %zu\n", shown, expected);
    size_t failed = 0;
    for (const Check& c : t.checks) {
        std::printf("  %-58s %6zu  %s\n", c.what.c_str(), c.count, c.count ? "FAIL" : "ok");
        for (const std::string& e : c.examples) std::printf("      %s\n", e.c_str());
        if (c.count > c.examples.size()) std::printf("      ... and %zu more\n", c.count - c.examples.size());
        failed += c.count ? 1 : 0;
    }
    std::printf("  click to key, button 5   %zu clicks, median %.0f ms, p95 %.0f ms, longest %.0f ms,"
                " %d without a key in %d s",
                times.size(), Percentile(times, 0.5), Percentile(times, 0.95),
                times.empty() ? 0.0 : *std::max_element(times.begin(), times.end()), clicker.Lost(), kKeyWaitMs / 1000);
    if (clicker.WindowFailures())
        std::printf(", the viewer's window failed to open %d times", clicker.WindowFailures());
    std::printf("\nsoak %s: %zu of %zu checks failed (seed %llu)\n", failed ? "FAILED" : "passed", failed,
                t.checks.size(), static_cast<unsigned long long>(seed));
    return failed ? 1 : 0;
}
