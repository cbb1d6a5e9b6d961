// Benchmarks of the card lists: a full 32,768-byte listing, the tree order
// of 10,000 files in 100 folders, the no-transfer list of 8,192 names.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "flashair/card_list.h"
#include "flashair/no_transfer.h"
#include "flashair/tree_order.h"

namespace {

const card::JournalSink kQuiet = [](const std::wstring&) {};

// Picture lines up to exactly the read capacity of a listing.
std::string FullListing() {
    std::string s = "WLANSD_FILELIST\r\n";
    for (int i = 0; s.size() < 32768; i++)
        s += "/DCIM/101_PANA,P" + std::to_string(1010001 + i) + (i % 2 ? ".RW2" : ".JPG") + ",4123456,32,19310,30257\r\n";
    s.resize(32768);
    return s;
}

void ParseListingCandidates(benchmark::State& state) {
    const std::string listing = FullListing();
    for (auto _ : state) benchmark::DoNotOptimize(card::ListingCandidates(listing, L".rw2", L".jpg", kQuiet));
}
BENCHMARK(ParseListingCandidates)->Unit(benchmark::kMicrosecond);

void ParseListingRecords(benchmark::State& state) {
    const std::string listing = FullListing();
    card::CardLists lists;
    auto fetch = [&](const std::string&) -> std::optional<std::string> { return listing; };
    for (auto _ : state) benchmark::DoNotOptimize(card::ExamineTree("/", fetch, lists, kQuiet));
}
BENCHMARK(ParseListingRecords)->Unit(benchmark::kMicrosecond);

void TreeOrder10000Files(benchmark::State& state) {
    std::vector<std::wstring> dirs;
    std::vector<card::CardFileEntry> files;
    for (int d = 0; d < 100; d++) dirs.push_back(L"/DCIM/" + std::to_wstring(100 + d) + L"_PANA");
    for (int f = 0; f < 10000; f++) {
        const std::wstring& dir = dirs[static_cast<size_t>(f % 100)];
        std::wstring name = L"P" + std::to_wstring(1010001 + f) + L".JPG";
        files.push_back({dir + L"/" + name, dir, name, f + 1});
    }
    std::mt19937 random(42);  // the card lists in its own order, not sorted
    std::shuffle(dirs.begin(), dirs.end(), random);
    std::shuffle(files.begin(), files.end(), random);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::wstring> d = dirs;
        std::vector<card::CardFileEntry> f = files;
        state.ResumeTiming();
        card::SortForTree(d, f);
        benchmark::DoNotOptimize(card::TreeRows(d, f));
    }
}
BENCHMARK(TreeOrder10000Files)->Unit(benchmark::kMillisecond);

void NoTransferList8192Names(benchmark::State& state) {
    std::vector<std::wstring> stored, initial;
    for (int i = 0; i < 4096; i++) stored.push_back(L"P" + std::to_wstring(1010001 + (i * 7919) % 8192) + L".JPG");
    for (int i = 0; i < 4095; i++) initial.push_back(L"P" + std::to_wstring(1010001 + i * 2) + L".JPG");
    for (auto _ : state)
        benchmark::DoNotOptimize(card::NoTransferNames(stored, L"FA000001.JPG", true, initial));
}
BENCHMARK(NoTransferList8192Names)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
