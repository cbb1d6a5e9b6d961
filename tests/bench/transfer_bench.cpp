// Benchmark: one 25 MB file from the card simulator, unpaced, fetched through
// the program's download (waiting for it as the card thread does) and by a plain
// libcurl download of the same URL into a file, taking turns. Prints the
// medians and their ratio.
#include <windows.h>

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "../win/shell_fixture.h"
#include "base/fs.h"
#include "bench_clock.h"
#include "card_support.h"
#include "driver.h"
#include "model/card/card_session.h"
#include "model/common/ids.h"
#include "win/download.h"

namespace {

constexpr uint64_t kFileBytes = 25u * 1024u * 1024u;
const std::wstring kAddress = L"127.0.0.7";

double Milliseconds(const std::function<bool()>& work, bool& ok) {
    const double start = bench::Now();
    ok = work() && ok;
    return bench::Now() - start;
}

bool PlainCurl(const std::string& url, const std::wstring& file) {
    FILE* out = _wfopen(file.c_str(), L"wb");
    if (!out) return false;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, out);  // curl's own fwrite
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    CURLcode rc = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    fclose(out);
    return rc == CURLE_OK && fs::FileSize(file).value_or(0) == kFileBytes;
}

}  // namespace

int wmain() {
    if (!OpenTestBar()) return 1;
    driver::Sandbox box;
    std::wstring card = box.root + L"\\Card", tmp = box.root + L"\\Tmp";
    driver::MakeDirs(card + L"\\DCIM");
    driver::MakeDirs(tmp);
    if (!fs::WriteFile(card + L"\\DCIM\\BIG.JPG", std::string(kFileBytes, 'b'))) return 1;
    cardtest::Simulator sim(card, kAddress);
    if (!sim.Running()) return 1;
    win::InitDownloads();
    TestCard program;
    model::Settings settings = program.session.Config();
    settings.Url = kAddress;  // where the card is looked for, and asked
    settings.TmpPath = tmp;
    program.session.AdoptSettings(settings);
    const std::wstring file = model::DownloadFile(program.session.Config());
    const std::string url = "http://" + str::ToUtf8(kAddress) + "/DCIM/BIG.JPG";

    std::vector<double> transFile, plain;
    bool ok = true;
    for (int i = 0; i < 11; i++) {
        transFile.push_back(
            Milliseconds([&] { return program.session.Download(L"BIG.JPG", L"/DCIM", {{}, {}, kFileBytes}, file); }, ok));
        (void)fs::DeleteFileAt(file);
        plain.push_back(Milliseconds([&] { return PlainCurl(url, file); }, ok));
        (void)fs::DeleteFileAt(file);
    }
    if (!ok) {
        std::printf("transfer benchmark: a download failed\n");
        return 1;
    }
    double a = bench::Median(transFile), b = bench::Median(plain);
    double fastA = *std::min_element(transFile.begin(), transFile.end());
    double fastB = *std::min_element(plain.begin(), plain.end());
    std::printf("25 MB unpaced, %zu runs each ([System] Delay %d ms):\n"
                "  Wemlox         median %4.0f ms (%.0f MB/s), fastest %4.0f ms\n"
                "  plain libcurl  median %4.0f ms (%.0f MB/s), fastest %4.0f ms\n"
                "  ratio Wemlox / plain: median %.2f, fastest %.2f\n",
                transFile.size(), Shell().settings.Delay, a, 25 * 1000.0 / a, fastA, b, 25 * 1000.0 / b, fastB, a / b,
                fastA / fastB);
    win::ShutdownDownloads();
    return 0;
}
