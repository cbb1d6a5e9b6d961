// Benchmark of an inbox's pick-up: a JPEG of 6 MB written into an inbox
// folder and closed, to the complete file in LoRes and to the viewer's start
// with it; 20 pictures, one every second or so, medians and the slowest.
#include <windows.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/fs.h"
#include "bench_clock.h"
#include "driver.h"

namespace {

constexpr size_t kPictureBytes = 6u * 1000u * 1000u;
constexpr int kPictures = 20;

}  // namespace

int wmain() {
    driver::Sandbox box;
    const std::wstring viewer = driver::InstallStandinIrfanView(box);
    if (viewer.empty()) return 1;
    const std::wstring inbox = box.root + L"\\Ftp", lores = box.profile + L"\\Wemlox\\LoRes\\";
    driver::MakeDirs(inbox);
    box.WriteSettings({{L"Inbox.Folders", inbox}, {L"TFA.Active", L"No"}});
    driver::Started wemlox = driver::Start(box, driver::WemloxExe());
    HWND bar = driver::WaitForBar(wemlox);
    // The first look is behind once the inbox's record is there.
    const std::wstring records = box.SettingsFolder() + L"\\Cards";
    if (!bar || !driver::WaitFor([&] { return !fs::ListFileNames(records).empty(); })) {
        std::printf("Wemlox did not take up the inbox\n");
        return 1;
    }
    std::string picture = "\xFF\xD8\xFF" + std::string(kPictureBytes - 5, 'x') + "\xFF\xD9";
    std::vector<double> stored, shown;
    std::mt19937 random(7);
    int failed = 0;
    for (int i = 0; i < kPictures && !failed; i++) {
        driver::WaitFor([] { return false; }, 700 + static_cast<int>(random() % 600));  // anywhere in a rescan
        const std::wstring name = L"P" + std::to_wstring(1000 + i) + L".JPG";
        picture[10] = static_cast<char>('a' + i);
        if (!fs::WriteFile(inbox + L"\\" + name, picture)) return 1;
        const double closed = bench::Now();
        double inStore = 0, inViewer = 0;
        while ((inStore == 0 || inViewer == 0) && bench::Now() < closed + 20000) {
            if (inStore == 0 && fs::FileSize(lores + name) == kPictureBytes) inStore = bench::Now();
            if (inViewer == 0 && driver::ReadTextFile(viewer + L".log").find(lores + name) != std::wstring::npos) inViewer = bench::Now();
            Sleep(1);
        }
        failed = inStore == 0 || inViewer == 0;
        if (failed) std::printf("  %ls did not arrive\n", name.c_str());
        stored.push_back(inStore - closed);
        shown.push_back(inViewer - closed);
    }
    driver::CloseBar(wemlox, bar);
    if (failed) return 1;
    std::printf("inbox pick-up of a closed 6 MB JPEG, %d pictures: in the store %4.0f ms median (slowest %4.0f), "
                "handed to the viewer %4.0f ms median (slowest %4.0f)\n",
                kPictures, bench::Median(stored), bench::Percentile(stored, 1), bench::Median(shown),
                bench::Percentile(shown, 1));
    return 0;
}
