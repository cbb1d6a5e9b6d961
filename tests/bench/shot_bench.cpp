// Benchmark of the running program against the card simulator:
// - shot to viewer: from the card tick that follows a new shot (its first
//   update poll reaching the card) to the stand-in viewer's start with the
//   picture, beside a plain libcurl download of the same file;
// - idle cost: CPU time of Wemlox.exe over one minute of card polling with
//   nothing new on the card.
#include <windows.h>

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
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

const std::wstring kAddress = L"127.0.0.8";
constexpr uint64_t kPictureBytes = 4u * 1024u * 1024u;  // a JPEG of a 16 MP camera

size_t LineCount(const std::wstring& file) {
    std::string text = fs::ReadFile(file).value_or("");
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

double CpuMs(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

}  // namespace

int wmain() {
    driver::Sandbox box;
    const std::wstring viewer = driver::InstallStandinIrfanView(box);
    if (viewer.empty()) return 1;
    const std::wstring card = box.root + L"\\Card";
    driver::MakeDirs(card + L"\\DCIM\\101_PANA");
    cardtest::Simulator sim(card, kAddress);
    if (!sim.Running()) return 1;
    box.WriteSettings({{L"TFA.Url", kAddress}, {L"TFA.UrlLastConnect", kAddress}, {L"TFA.CheckNewFilesSec", L"1"},
                       {L"TFA.Path", L"DCIM/101_PANA"}});
    driver::Started wemlox = driver::Start(box, driver::WemloxExe());
    HWND bar = driver::WaitForBar(wemlox);
    if (!bar || !driver::WaitFor([&] { return sim.Count("op=100&DIR=/DCIM/101_PANA") > 0; })) return 1;
    curl_global_init(CURL_GLOBAL_WIN32);

    std::vector<double> tickToViewer, tickToRequest, download;
    std::vector<std::string> names;
    for (int round = 0; round < 9; round++) {
        const size_t polls = sim.Count("op=102"), shown = LineCount(viewer + L".log");
        std::string reply = sim.Command("shoot /DCIM/101_PANA 1 CR2 " + std::to_string(kPictureBytes));
        if (reply.rfind("ok\n", 0) != 0) return 1;
        names.push_back(reply.substr(3, reply.size() - 4));
        const std::string file = "/DCIM/101_PANA/" + names.back() + ".JPG";
        double tick = 0, request = 0, view = 0, deadline = Now() + 10000;
        while (view == 0 && Now() < deadline) {
            if (tick == 0 && sim.Count("op=102") > polls) tick = Now();
            if (tick != 0 && request == 0 && sim.Count(file) > 0) request = Now();
            if (LineCount(viewer + L".log") > shown) view = Now();
            Sleep(1);  // leaves the program its share of the processor
        }
        if (tick == 0 || view == 0) {
            std::printf("shot to viewer: the picture of round %d did not reach the viewer\n", round);
            return 1;
        }
        tickToViewer.push_back(view - tick);
        tickToRequest.push_back(request - tick);
    }
    for (const std::string& n : names)
        download.push_back(DownloadMs("http://" + str::ToUtf8(kAddress) + "/DCIM/101_PANA/" + n + ".JPG"));
    // The viewer's own start, for comparison: the same stand-in started directly.
    std::vector<double> viewerStart;
    for (int i = 0; i < 5; i++) {
        const size_t shown = LineCount(viewer + L".log");
        double start = Now();
        driver::Started p = driver::Start(box, viewer, L"\"x.jpg\"");
        driver::WaitFor([&] { return LineCount(viewer + L".log") > shown; }, 10000);
        viewerStart.push_back(Now() - start);
    }
    double total = Median(tickToViewer), fetch = Median(download);
    std::printf("shot to viewer (4 MB JPEG, unpaced, %zu shots), medians:\n"
                "  tick to viewer start %4.0f ms (min %.0f, max %.0f)\n"
                "    of which tick to the file's request %4.0f ms\n"
                "  plain libcurl download of the file %4.0f ms\n"
                "  stand-in viewer started directly %4.0f ms\n"
                "  tick to viewer start without the download %4.0f ms, and without the viewer's own start %4.0f ms\n",
                tickToViewer.size(), total, *std::min_element(tickToViewer.begin(), tickToViewer.end()),
                *std::max_element(tickToViewer.begin(), tickToViewer.end()), Median(tickToRequest), fetch,
                Median(viewerStart), total - fetch, total - fetch - Median(viewerStart));

    // One idle minute: the card is polled, nothing is new.
    driver::WaitFor([] { return false; }, 2000);
    const size_t polls = sim.Count("op=102");
    double cpu = CpuMs(wemlox.process.get()), start = Now();
    driver::WaitFor([] { return false; }, 60000);
    double used = CpuMs(wemlox.process.get()) - cpu, seconds = (Now() - start) / 1000;
    std::printf("idle cost: %.0f ms CPU of Wemlox.exe in %.0f s of card polling (%zu polls, %.2f %% of one core)\n",
                used, seconds, sim.Count("op=102") - polls, used / (seconds * 10));
    driver::CloseBar(wemlox, bar);
    curl_global_cleanup();
    return 0;
}
