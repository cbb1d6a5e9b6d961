// Benchmarks of the card lists: a camera folder of 9,999 files, the tree order
// of 10,000 files in 100 folders, the no-transfer list against a store of
// 100,000 pictures.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "model/card_list.h"
#include "model/no_transfer.h"
#include "model/tree_order.h"

namespace {

const card::JournalSink kQuiet = [](const std::wstring&) {};

// A camera folder at its fullest: 9,999 files, raw and JPEG in turn.
std::string FullListing() {
    std::string s = "WLANSD_FILELIST\r\n";
    for (int i = 0; i < 9999; i++)
        s += "/DCIM/101_PANA,P" + std::to_string(1010001 + i / 2) + (i % 2 ? ".RW2" : ".JPG") + ",4123456,32,19310,30257\r\n";
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

// A picture store of 100,000 non-empty files (HiRes and LoRes), made once
// below the temporary folder and removed at the end.
class BigStore {
public:
    static constexpr int kPictures = 50000;  // a raw file and a JPEG each

    static const std::wstring& Path() {
        static BigStore store;
        return store.path_;
    }
    ~BigStore() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

private:
    BigStore() {
        root_ = std::filesystem::temp_directory_path() / ("wemlox_bench_store_" + std::to_string(::getpid()));
        for (const char* kind : {"HiRes", "LoRes"}) {
            std::filesystem::create_directories(root_ / kind);
            for (int i = 0; i < kPictures; i++) {
                std::string name = "P" + std::to_string(1000000 + i) + (kind[0] == 'H' ? ".RW2" : ".JPG");
                std::ofstream(root_ / kind / name, std::ios::binary) << 'x';
            }
        }
        path_ = str::FromUtf8(root_.string());
    }
    std::filesystem::path root_;
    std::wstring path_;
};

std::wstring StoredName(int i, bool raw) {
    return L"P" + std::to_wstring(1000000 + i) + (raw ? L".RW2" : L".JPG");
}

// The tick's question for each of 1,000 candidates, half of them stored,
// against a store of 100,000 names.
void NoTransferMembership100000Names(benchmark::State& state) {
    card::NoTransferList list;
    list.Configure(L"FA000001.JPG", true);
    list.RefreshStore(BigStore::Path(), fs::Now() + int64_t{3600} * 1000000000);
    std::vector<card::CardFileRecord> firstListing(200);
    for (size_t i = 0; i < firstListing.size(); i++) firstListing[i].Name = StoredName(200000 + static_cast<int>(i), false);
    list.TakeSnapshotOnce(firstListing);
    std::vector<std::wstring> asked;
    for (int i = 0; i < 1000; i++) asked.push_back(StoredName(i % 2 ? i * 97 % BigStore::kPictures : 100000 + i, i % 4 < 2));
    for (auto _ : state) {
        int on = 0;
        for (const std::wstring& name : asked) on += list.Contains(name);
        benchmark::DoNotOptimize(on);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(asked.size()));
}
BENCHMARK(NoTransferMembership100000Names)->Unit(benchmark::kMicrosecond);

// The no-transfer list brought up to date on a tick where the store did not
// change: what every tick of the card timer pays.
void NoTransferRefreshUnchanged100000Names(benchmark::State& state) {
    card::NoTransferList list;
    list.Configure(L"FA000001.JPG", true);
    const int64_t later = fs::Now() + int64_t{3600} * 1000000000;  // the store's stamps are old by then
    list.RefreshStore(BigStore::Path(), later);
    for (auto _ : state) {
        benchmark::DoNotOptimize(list.RefreshStore(BigStore::Path(), later));
        benchmark::DoNotOptimize(list.Count());
    }
    state.counters["names"] = static_cast<double>(list.Count());
}
BENCHMARK(NoTransferRefreshUnchanged100000Names)->Unit(benchmark::kMicrosecond);

// For comparison: the store listed again, as after a picture arrived.
void NoTransferRelist100000Names(benchmark::State& state) {
    for (auto _ : state) {
        card::StoreIndex index;
        benchmark::DoNotOptimize(index.Refresh(BigStore::Path()));
    }
}
BENCHMARK(NoTransferRelist100000Names)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
