// Benchmark of how soon a shot is on disk: a card paced at 3 MB/s, JPEGs of
// 6 MB, five shots per run, from the shot (the simulator's command) to the
// complete file in LoRes; once with the card timer alone (CheckNewFilesSec 1,
// QuickPollMs 0) and once with the settings file untouched there (no
// QuickPollMs: the quick poll at its 300 ms), against a plain libcurl
// download of the same file from the same card.
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

const std::wstring kAddress = L"127.0.0.9";
constexpr uint64_t kPictureBytes = 6u * 1000u * 1000u;
constexpr int kShots = 5;

struct Run {
    std::vector<double> shotToFile, download;
};

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
        double done = 0, deadline = start + 20000;
        while (done == 0 && Now() < deadline) {
            if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) done = Now();
            Sleep(1);
        }
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
    curl_global_cleanup();
    return failed;
}
