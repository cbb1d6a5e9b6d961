// Benchmark of the bar's first job while the card keeps the program busy:
// the time from a click on button 5 to the viewer's key, in five states of
// the card, and the CPU time Wemlox.exe spends on a download at a card's
// pace. Each state runs a fresh Wemlox.exe against its own card on loopback:
// - idle: the card found, nothing new;
// - raised: as idle, but the bar raised after the last key holds the keyboard
//   (in the other states the viewer holds it at each click, as when the
//   photographer has just looked at it);
// - silent: the card found, then asleep (a listener that completes no connection);
// - download: a 20 MB raw file at 2 MB/s;
// - listing: a camera folder of 999 files listed on every tick at a card's pace;
// - sweep: an address range "1-254" searched with the journal shown;
// - backup: idle, while the backup copies a store of 8 MB pictures.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "bench_clock.h"
#include "card_support.h"
#include "driver.h"

namespace {

using bench::Now;
using bench::Percentile;
using Changes = std::vector<std::pair<std::wstring, std::wstring>>;

constexpr int kClicks = 24;
constexpr int kKeyWaitMs = 30000;          // a click whose key has not come by then counts this long
constexpr double kStateBudgetMs = 120000;  // a state that blocks the bar stops early
constexpr int kRightButton = 5, kInfoButton = 8, kJournal = 101;
constexpr uint64_t kRawBytes = 20u * 1000u * 1000u;
constexpr uint64_t kCardRate = 2u * 1000u * 1000u;
constexpr int kBackupPictures = 800;  // more than the backup copies while the clicks go on

// CPU time of the program's process in ms. Under Wine, GetProcessTimes of
// another process reports nothing, so the host's process table is read
// (Wine maps it at Z:\proc); on Windows GetProcessTimes answers.
double CpuMs(HANDLE process) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &fd);
    if (find != INVALID_HANDLE_VALUE) {
        double found = -1;
        do {
            if (!iswdigit(fd.cFileName[0])) continue;
            std::wstring dir = std::wstring(L"Z:\\proc\\") + fd.cFileName;
            if (fs::ReadFile(dir + L"\\cmdline").value_or("").find("Wemlox.exe") == std::string::npos) continue;
            std::string stat = fs::ReadFile(dir + L"\\stat").value_or("");
            size_t close = stat.rfind(')');
            if (close == std::string::npos) continue;
            // Fields after the command: state is the 3rd; utime and stime the 14th and 15th.
            std::vector<std::string> fields;
            size_t at = close + 2;
            while (at < stat.size()) {
                size_t end = stat.find(' ', at);
                fields.push_back(stat.substr(at, end - at));
                if (end == std::string::npos) break;
                at = end + 1;
            }
            if (fields.size() > 12) found = (std::stod(fields[11]) + std::stod(fields[12])) * 10.0;  // 100 ticks a second
        } while (found < 0 && FindNextFileW(find, &fd));
        FindClose(find);
        if (found >= 0) return found;
    }
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// How often the stand-in viewer logged the key of button 5 (Right, 39).
size_t RightKeys(const std::wstring& log) {
    std::string text = fs::ReadFile(log).value_or("");
    size_t n = 0;
    for (size_t at = text.find("down 39"); at != std::string::npos; at = text.find("down 39", at + 1)) n++;
    return n;
}

struct Run {
    driver::Sandbox box;
    std::wstring viewer = box.programFiles + L"\\IrfanView\\i_view64.exe";
    std::wstring card = box.root + L"\\Card";
    driver::Started viewerProcess, wemlox;
    HWND bar = nullptr;

    bool Start(const Changes& changes) {
        driver::MakeDirs(box.programFiles + L"\\IrfanView");
        driver::MakeDirs(card + L"\\DCIM\\101_PANA");
        if (!CopyFileW((driver::TestBinDir() + L"standin_viewer.exe").c_str(), viewer.c_str(), FALSE)) return false;
        driver::WriteTextFile(viewer + L".window", "FullScreenClass|bench.jpg - IrfanView");
        viewerProcess = driver::Start(box, viewer);
        if (!driver::WaitFor([&] { return driver::FindOwnWindow(viewerProcess.pid, L"FullScreenClass") != nullptr; }))
            return false;
        Changes all = {{L"TFA.CheckNewFilesSec", L"1"}, {L"TFA.Path", L"DCIM/101_PANA"}};
        all.insert(all.end(), changes.begin(), changes.end());
        box.WriteSettings(all);
        wemlox = driver::Start(box, driver::WemloxExe());
        bar = driver::WaitForBar(wemlox);
        return bar != nullptr;
    }
    ~Run() {
        // WEMLOX_BENCH_VERBOSE shows the journal's newest lines of each state.
        if (bar && GetEnvironmentVariableW(L"WEMLOX_BENCH_VERBOSE", nullptr, 0)) {
            std::wstring journal = driver::WindowText(GetDlgItem(bar, kJournal));
            std::printf("%s\n", str::ToUtf8(journal.substr(0, 3000)).c_str());
        }
        if (bar) driver::CloseBar(wemlox, bar);
        if (viewerProcess.process) TerminateProcess(viewerProcess.process.get(), 0);
    }

    // Click-to-key times of button 5, one click after the other.
    std::vector<double> Latencies(bool viewerHoldsKeyboard = true) {
        std::vector<double> times;
        HWND button = GetDlgItem(bar, kRightButton);
        HWND shown = driver::FindOwnWindow(viewerProcess.pid, L"FullScreenClass");
        const double begin = Now();
        for (int i = 0; i < kClicks && Now() - begin < kStateBudgetMs; i++) {
            if (viewerHoldsKeyboard) {
                SetForegroundWindow(shown);
                driver::WaitFor([&] { return GetForegroundWindow() == shown; }, 2000);
            }
            size_t before = RightKeys(viewer + L".log");
            double clicked = Now();
            driver::Click(button);
            double arrived = 0;
            while (Now() - clicked < kKeyWaitMs) {
                if (RightKeys(viewer + L".log") > before) {
                    arrived = Now();
                    break;
                }
                Sleep(1);
            }
            times.push_back(arrived ? arrived - clicked : kKeyWaitMs);
            Sleep(400);  // the busy face's time, and a photographer's pace
        }
        return times;
    }
};

struct Figures {
    const char* state;
    std::vector<double> ms;
};

void Print(const Figures& f, double idleP95) {
    if (f.ms.empty()) {
        std::printf("  %-10s could not be set up\n", f.state);
        return;
    }
    double p95 = Percentile(f.ms, 0.95);
    std::printf("  %-10s median %6.0f ms  p95 %6.0f ms  max %6.0f ms  (%zu clicks)  p95 - idle p95 %+6.0f ms\n", f.state,
                Percentile(f.ms, 0.5), p95, *std::max_element(f.ms.begin(), f.ms.end()), f.ms.size(), p95 - idleP95);
}

bool WaitListed(const cardtest::Simulator& sim) {
    return driver::WaitFor([&] { return sim.Count("op=100&DIR=/DCIM/101_PANA") > 0; }, 30000);
}

std::vector<double> Idle(bool viewerHoldsKeyboard) {
    Run run;
    cardtest::Simulator sim(run.card, L"127.0.0.21");
    if (!sim.Running() || !run.Start({{L"TFA.Url", L"127.0.0.21"}, {L"TFA.UrlLastConnect", L"127.0.0.21"}}) ||
        !WaitListed(sim))
        return {};
    return run.Latencies(viewerHoldsKeyboard);
}

std::vector<double> Backup() {
    Run run;
    const std::wstring store = run.box.profile + L"\\Wemlox\\LoRes", backup = run.box.root + L"\\Backup";
    driver::MakeDirs(store);
    for (int i = 0; i < kBackupPictures; i++)
        if (!fs::WriteFile(store + L"\\P" + std::to_wstring(1000000 + i) + L".JPG", std::string(8u << 20, 'b'))) return {};
    cardtest::Simulator sim(run.card, L"127.0.0.25");
    if (!sim.Running() || !run.Start({{L"TFA.Url", L"127.0.0.25"}, {L"TFA.UrlLastConnect", L"127.0.0.25"},
                                      {L"Copy.BackupPath", backup}}) || !WaitListed(sim))
        return {};
    std::vector<double> ms = run.Latencies();
    std::printf("  (%zu of %d pictures backed up by the clicks' end)\n", fs::ListFiles(backup + L"\\LoRes").size(),
                kBackupPictures);
    return ms;
}

std::vector<double> Silent() {
    Run run;
    std::vector<double> ms;
    {
        cardtest::Simulator sim(run.card, L"127.0.0.22");
        if (!sim.Running() || !run.Start({{L"TFA.Url", L"127.0.0.22"}, {L"TFA.UrlLastConnect", L"127.0.0.22"}}) ||
            !WaitListed(sim))
            return {};
    }
    cardtest::SilentHost asleep(L"127.0.0.22");
    if (!asleep.Ok()) return {};
    Sleep(2000);  // the ticks now wait on the silent card
    return run.Latencies();
}

std::vector<double> Download(double& cpuPercent) {
    Run run;
    cardtest::Simulator sim(run.card, L"127.0.0.23", L"--rate " + std::to_wstring(kCardRate));
    if (!sim.Running() ||
        !run.Start({{L"TFA.Url", L"127.0.0.23"}, {L"TFA.UrlLastConnect", L"127.0.0.23"},
                    {L"TFA.TransferModeAuto", L"Both"}, {L"TFA.TransferOnlyAddedFiles", L"No"}}) ||
        !WaitListed(sim))
        return {};
    // Enough raw files for the clicks and the CPU reading to fall into
    // downloads ("Both" shows only the JPEGs, so no viewer starts meanwhile).
    for (int i = 1; i <= 6; i++)
        sim.Command("add /DCIM/101_PANA/P00000" + std::to_string(10 + i) + ".CR2 " + std::to_string(kRawBytes));
    if (!driver::WaitFor([&] { return sim.Count(".CR2") > 0; }, 30000)) return {};
    Sleep(500);
    double cpu = CpuMs(run.wemlox.process.get()), start = Now();
    Sleep(10000);
    cpuPercent = (CpuMs(run.wemlox.process.get()) - cpu) / ((Now() - start) / 100.0);
    return run.Latencies();
}

std::vector<double> Listing() {
    Run run;
    driver::MakeDirs(run.card + L"\\DCIM\\101_PANA");
    for (int i = 0; i < 999; i++) {
        wchar_t name[32];
        std::swprintf(name, 32, L"P%07d.%s", 1000000 + i, i % 2 ? L"CR2" : L"JPG");
        if (!fs::WriteFile(run.card + L"\\DCIM\\101_PANA\\" + name, "x")) return {};
    }
    // A card's CGI lists slowly: about a second for a full camera folder.
    cardtest::Simulator sim(run.card, L"127.0.0.24", L"--rate 60000");
    if (!sim.Running() ||
        !run.Start({{L"TFA.Url", L"127.0.0.24"}, {L"TFA.UrlLastConnect", L"127.0.0.24"},
                    {L"TFA.UseUpdateFlag", L"No"}, {L"TFA.TransferOnlyAddedFiles", L"Yes"}}) ||
        !WaitListed(sim))
        return {};
    return run.Latencies();
}

std::vector<double> Sweep() {
    Run run;
    if (!run.Start({{L"TFA.Url", L"127.0.0.*"}, {L"TFA.UrlLastConnect", L""}})) return {};
    HWND info = GetDlgItem(run.bar, kInfoButton);
    if (!driver::WaitFor([&] {
            if (!IsWindowVisible(GetDlgItem(run.bar, kJournal))) driver::Click(info);
            return IsWindowVisible(GetDlgItem(run.bar, kJournal)) != 0;
        }, 60000))
        return {};
    // The sweep is under way once it has journalled a probe.
    if (!driver::WaitFor([&] { return driver::WindowText(GetDlgItem(run.bar, kJournal)).find(L"TFA Checking") != std::wstring::npos; }, 30000))
        return {};
    return run.Latencies();
}

}  // namespace

// Without arguments every state runs; arguments name the states to run.
int wmain(int argc, wchar_t** argv) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    auto wanted = [&](const wchar_t* state) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; i++)
            if (std::wstring(argv[i]) == state) return true;
        return false;
    };
    double cpuPercent = -1;
    std::vector<Figures> all = {{"idle", wanted(L"idle") ? Idle(true) : std::vector<double>{}}};
    if (wanted(L"raised")) all.push_back({"raised", Idle(false)});
    if (wanted(L"silent")) all.push_back({"silent", Silent()});
    if (wanted(L"download")) all.push_back({"download", Download(cpuPercent)});
    if (wanted(L"listing")) all.push_back({"listing", Listing()});
    if (wanted(L"sweep")) all.push_back({"sweep", Sweep()});
    if (wanted(L"backup")) all.push_back({"backup", Backup()});
    double idleP95 = Percentile(all[0].ms, 0.95);
    std::printf("click to viewer key, button 5 (Right), each state against idle:\n");
    for (const Figures& f : all) Print(f, idleP95);
    std::printf("CPU of Wemlox.exe during a download at %.1f MB/s: %.2f %% of one core over 10 s\n",
                static_cast<double>(kCardRate) / 1e6, cpuPercent);
    WSACleanup();
    return 0;
}
