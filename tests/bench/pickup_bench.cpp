// Benchmark of how soon a shot is on disk: a card paced at 3 MB/s, JPEGs of
// 6 MB, five shots per run, from the shot (the simulator's command) to the
// complete file in LoRes; once with the card timer alone (CheckNewFilesSec 1,
// QuickPollMs 0) and once with the settings file untouched there (no
// QuickPollMs: the quick poll at its 300 ms), against a plain libcurl
// download of the same file from the same card. Then two cards: card B's
// 6 MB JPEG shot while card A (1.3 MB/s) downloads a 40 MB raw, against B's
// quick poll, B's own download and 300 ms.
#include <windows.h>

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "bench_download.h"
#include "card_support.h"
#include "driver.h"

namespace {

using bench::DownloadMs;
using bench::Median;
using bench::Now;

const std::wstring kAddress = L"127.0.0.9", kBusyAddress = L"127.0.0.10";
constexpr uint64_t kPictureBytes = 6u * 1000u * 1000u, kRawBytes = 40u * 1000u * 1000u;
constexpr int kShots = 5, kBesideBusyRounds = 10;
constexpr double kQuickPollMs = 300, kAllowanceMs = 300;

struct Run {
    std::vector<double> shotToFile, download;
};

// When the file is there, or 0 when it did not come within the time.
double WaitForFile(const std::wstring& file, double start, double withinMs = 20000) {
    while (Now() < start + withinMs) {
        if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) return Now();
        Sleep(1);
    }
    return 0;
}

// One program run; false when a picture did not arrive. An empty
// quickPollMs leaves the key out of the file.
bool Measure(const std::wstring& quickPollMs, Run& out) {
    driver::Sandbox box;
    const std::wstring viewer = driver::InstallStandinIrfanView(box);
    if (viewer.empty()) return false;
    const std::wstring card = box.root + L"\\Card";
    driver::MakeDirs(card + L"\\DCIM\\101_PANA");
    cardtest::Simulator sim(card, kAddress, L"--rate 3000000");
    if (!sim.Running()) return false;
    std::vector<std::pair<std::wstring, std::wstring>> settings = {
        {L"TFA.Url", kAddress}, {L"TFA.UrlLastConnect", kAddress}, {L"TFA.CheckNewFilesSec", L"1"},
        {L"TFA.Path", L"DCIM/101_PANA"}, {L"TFA.UseUpdateFlag", L"Yes"}};
    if (!quickPollMs.empty()) settings.push_back({L"TFA.QuickPollMs", quickPollMs});
    box.WriteSettings(settings);
    const std::wstring lores = box.profile + L"\\Wemlox\\LoRes\\";
    driver::Started wemlox = driver::Start(box, driver::WemloxExe());
    HWND bar = driver::WaitForBar(wemlox);
    if (!bar || !driver::WaitFor([&] { return sim.Count("op=100&DIR=/DCIM/101_PANA") > 0; })) return false;
    std::mt19937 random(7);
    bool ok = true;
    for (int shot = 0; shot < kShots && ok; shot++) {
        // The shot lands anywhere in the card timer's second.
        driver::WaitFor([] { return false; }, 1000 + static_cast<int>(random() % 1000));
        double start = Now();
        std::string reply = sim.Command("shoot /DCIM/101_PANA 1 CR2 " + std::to_string(kPictureBytes));
        if (reply.rfind("ok\n", 0) != 0) return false;
        std::string name = reply.substr(3, reply.size() - 4) + ".JPG";
        const std::wstring file = lores + str::FromUtf8(name);
        double done = WaitForFile(file, start);
        if (done == 0) {
            std::printf("  %s did not arrive\n", name.c_str());
            ok = false;
            break;
        }
        out.shotToFile.push_back(done - start);
        out.download.push_back(DownloadMs("http://" + str::ToUtf8(kAddress) + "/DCIM/101_PANA/" + name));
    }
    driver::CloseBar(wemlox, bar);
    return ok;
}

// Card B shoots while card A is busy with a 40 MB raw (a round counts only
// when A's raw is still on its way as B's JPEG lands); false when a picture
// did not arrive.
bool MeasureBesideBusyCard(Run& out) {
    driver::Sandbox box;
    if (driver::InstallStandinIrfanView(box).empty()) return false;
    cardtest::Simulator busy(box.root + L"\\CardA", kBusyAddress, L"--rate 1300000 --ssid card_a");
    cardtest::Simulator card(box.root + L"\\CardB", kAddress,
                             L"--rate 3000000 --ssid card_b --cid 0123456789abcdef0123456789abcdef");
    if (!busy.Running() || !card.Running()) return false;
    for (const auto* sim : {&busy, &card}) driver::MakeDirs(sim->Folder() + L"\\DCIM\\101_PANA");
    const std::wstring urls = kBusyAddress + L";" + kAddress;
    box.WriteSettings({{L"TFA.Url", urls}, {L"TFA.UrlLastConnect", urls}, {L"TFA.CheckNewFilesSec", L"1"},
                       {L"TFA.Path", L"DCIM/101_PANA"}, {L"TFA.UseUpdateFlag", L"Yes"},
                       {L"TFA.TransferModeAuto", L"Both"}});
    const std::wstring store = box.profile + L"\\Wemlox\\";
    driver::Started wemlox = driver::Start(box, driver::WemloxExe());
    HWND bar = driver::WaitForBar(wemlox);
    auto listed = [](const cardtest::Simulator& sim) { return sim.Count("op=100&DIR=/DCIM/101_PANA") > 0; };
    if (!bar || !driver::WaitFor([&] { return listed(busy) && listed(card); }, 30000)) return false;
    std::mt19937 random(11);
    int raws = 0, shots = 0;
    std::string raw;  // card A's raw on its way
    auto rawStored = [&] {
        return GetFileAttributesW((store + L"HiRes\\" + str::FromUtf8(raw)).c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    auto rawRequested = [&] {
        std::vector<std::string> log = busy.Log();
        return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l == "/DCIM/101_PANA/" + raw; });
    };
    while (static_cast<int>(out.shotToFile.size()) < kBesideBusyRounds && raws < kBesideBusyRounds) {
        if (raw.empty() || rawStored()) {
            raw = "P101" + std::to_string(1000 + ++raws) + ".CR2";
            if (busy.Command("add /DCIM/101_PANA/" + raw + " " + std::to_string(kRawBytes)) != "ok\n" ||
                !driver::WaitFor(rawRequested, 10000))
                return false;
        }
        // The shot lands anywhere in B's quick poll.
        driver::WaitFor([] { return false; }, static_cast<int>(random() % 1000));
        const std::string name = "P102" + std::to_string(1000 + ++shots) + ".JPG";
        const double start = Now();
        if (card.Command("add /DCIM/101_PANA/" + name + " " + std::to_string(kPictureBytes)) != "ok\n") return false;
        const double done = WaitForFile(store + L"LoRes\\" + str::FromUtf8(name), start);
        if (done == 0) {
            std::printf("  %s of card B did not arrive\n", name.c_str());
            return false;
        }
        if (rawStored()) continue;  // A was no longer busy: not a round
        out.shotToFile.push_back(done - start);
        out.download.push_back(DownloadMs("http://" + str::ToUtf8(kAddress) + "/DCIM/101_PANA/" + name));
    }
    driver::CloseBar(wemlox, bar);
    return static_cast<int>(out.shotToFile.size()) == kBesideBusyRounds;
}

}  // namespace

int wmain() {
    curl_global_init(CURL_GLOBAL_WIN32);
    std::printf("shot to complete file (card at 3 MB/s, 6 MB JPEGs, %d shots per run), medians:\n", kShots);
    int failed = 0;
    for (const wchar_t* quick : {L"0", L""}) {
        Run r;
        if (!Measure(quick, r)) {
            failed = 1;
            continue;
        }
        double total = Median(r.shotToFile), download = Median(r.download);
        std::printf("  QuickPollMs %-9ls: shot to file %5.0f ms (min %.0f, max %.0f); download alone %5.0f ms; "
                    "extra %4.0f ms\n",
                    *quick ? quick : L"untouched", total, *std::min_element(r.shotToFile.begin(), r.shotToFile.end()),
                    *std::max_element(r.shotToFile.begin(), r.shotToFile.end()), download, total - download);
    }
    std::printf("card B's JPEG (6 MB, 3 MB/s) while card A (1.3 MB/s) downloads a 40 MB raw, %d rounds:\n",
                kBesideBusyRounds);
    Run r;
    if (MeasureBesideBusyCard(r)) {
        std::vector<double> over;
        for (size_t i = 0; i < r.shotToFile.size(); i++)
            over.push_back(r.shotToFile[i] - (kQuickPollMs + r.download[i] + kAllowanceMs));
        std::printf("  shot to file median %5.0f ms, slowest %5.0f ms; B's download alone median %5.0f ms;\n"
                    "  against quick poll + B's download + 300 ms: median %+5.0f ms, slowest %+5.0f ms, %d of %zu "
                    "within\n",
                    Median(r.shotToFile), *std::max_element(r.shotToFile.begin(), r.shotToFile.end()),
                    Median(r.download), Median(over), *std::max_element(over.begin(), over.end()),
                    static_cast<int>(std::count_if(over.begin(), over.end(), [](double d) { return d <= 0; })),
                    over.size());
    } else {
        std::printf("  no %d rounds with card A busy (%zu measured)\n", kBesideBusyRounds, r.shotToFile.size());
        failed = 1;
    }
    curl_global_cleanup();
    return failed;
}
