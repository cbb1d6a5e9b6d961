// Benchmarks of the card lists: a camera folder of 9,999 files, the tree order
// of 10,000 files in 100 folders, the transfer's rules against a store of
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
#include "model/bar/tree_order.h"
#include "model/card/card_session.h"
#include "model/pictures/card_list.h"
#include "model/pictures/transfer_pipeline.h"

namespace {

const model::JournalSink kQuiet = [](const std::wstring&) {};

// A camera folder at its fullest: 9,999 files, raw and JPEG in turn.
std::string FullListing() {
    std::string s = "WLANSD_FILELIST\r\n";
    for (int i = 0; i < 9999; i++)
        s += "/DCIM/101_PANA,P" + std::to_string(1010001 + i / 2) + (i % 2 ? ".RW2" : ".JPG") + ",4123456,32,19310,30257\r\n";
    return s;
}

void ParseListingCandidates(benchmark::State& state) {
    const std::string listing = FullListing();
    for (auto _ : state) benchmark::DoNotOptimize(model::ListingCandidates(listing, L".rw2", L".jpg", kQuiet));
}
BENCHMARK(ParseListingCandidates)->Unit(benchmark::kMicrosecond);

void ParseListingRecords(benchmark::State& state) {
    const std::string listing = FullListing();
    model::CardLists lists;
    auto fetch = [&](const std::string&) -> std::optional<std::string> { return listing; };
    for (auto _ : state) benchmark::DoNotOptimize(model::ExamineTree("/", fetch, lists, kQuiet));
}
BENCHMARK(ParseListingRecords)->Unit(benchmark::kMicrosecond);

void TreeOrder10000Files(benchmark::State& state) {
    std::vector<std::wstring> dirs;
    std::vector<model::CardFileEntry> files;
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
        std::vector<model::CardFileEntry> f = files;
        state.ResumeTiming();
        model::SortForTree(d, f);
        benchmark::DoNotOptimize(model::TreeRows(d, f));
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

// A card port that answers nothing and hears nothing: the rules alone.
class QuietPort final : public model::CardPort {
public:
    model::CardAnswer Get(const std::wstring&, size_t) override { return {}; }
    bool Ping(const std::wstring&, int) override { return false; }
    void Journal(const std::wstring&) override {}
    void Lamp(int, model::Lamp, model::LampAt) override {}
    void CardFound(const std::wstring&, const std::wstring&) override {}
    void CameraFolderFollowed(const std::wstring&) override {}
    model::Fetched Fetch(const std::wstring&, const std::wstring&, uint64_t, uint64_t, const std::wstring&) override {
        return {};
    }
};

// The camera folder as the card lists it: 999 files, every other one stored.
std::string CameraListing() {
    std::string s = "WLANSD_FILELIST\r\n";
    for (int i = 0; i < 999; i++)
        s += "/DCIM/101_PANA," + str::ToUtf8(StoredName(i * 2 % 1998 < 999 ? i * 50 : 60000 + i, i % 2)) +
             ",1,32,19310," + std::to_string(30257 + i) + "\r\n";
    return s;
}

// What every tick of the card timer pays for the transfer's rules when the
// camera folder is listed: the listing taken in (snapshot, waiting pictures,
// the camera's clock), every picture's place in a store of 100,000 files
// asked, the transfer's steps made, with a card record of 30,000 stored
// pictures and what the card held in 18 folders of 999 files. The store did
// not change, so it is not listed.
void TransferRulesTick100000Pictures(benchmark::State& state) {
    QuietPort port;
    model::Session session(port);
    model::Settings config;
    config.SourcePath = BigStore::Path();
    config.Path = L"DCIM/101_PANA";
    config.TransferHiRes = L".rw2";
    config.TransferLoRes = L".jpg";
    config.TransferModeAuto = L"both";
    config.TransferOnlyAddedFiles = true;
    const std::wstring records = BigStore::Path() + L"\\records";
    // Store folders an hour old: their time stamps are trusted, as on every
    // tick but the few right after a picture was stored.
    for (const wchar_t* kind : {L"\\HiRes", L"\\LoRes"})
        (void)fs::SetLastWriteTime(BigStore::Path() + kind, fs::Now() - int64_t{3600} * 1000000000);
    (void)fs::CreateDirs(records);
    {
        model::CardRecord record;
        (void)record.Open(records, L"cid-bench");
        for (int i = 0; i < 30000; i++)
            record.NoteStored({L"/DCIM/100_PANA", StoredName(i, false), 1, 19310, i}, L"LoRes\\" + StoredName(i, false));
        // What the card held at the last visit: the camera folder as listed
        // now, and 17 folders before it, 999 files each.
        std::vector<model::PictureId> camera;
        for (const model::CardFileRecord& c : model::ListingCandidates(CameraListing(), L".rw2", L".jpg", kQuiet))
            camera.push_back(model::IdOf(c));
        record.Held(L"/DCIM/101_PANA", camera);
        for (int folder = 0; folder < 17; folder++) {
            std::vector<model::PictureId> held;
            const std::wstring name = L"/DCIM/" + std::to_wstring(84 + folder) + L"_PANA";
            for (int i = 0; i < 999; i++) held.push_back({name, StoredName(i, i % 2), 4123456, 19310, i});
            record.Held(name, held);
        }
        (void)record.Save();
    }
    session.Begin(config, L"", records, fs::Now());
    session.Ledger().CardIdentified(L"cid-bench");
    const std::string listing = CameraListing();
    session.TakeCameraListing(listing);  // the first listing: the snapshot
    for (auto _ : state) {
        session.TakeCameraListing(listing);
        benchmark::DoNotOptimize(model::TransferSteps(session, true));
    }
    state.counters["stored"] = static_cast<double>(session.Ledger().Index().Size());
    state.counters["held"] = static_cast<double>(session.Ledger().Record().HeldCount());
}
BENCHMARK(TransferRulesTick100000Pictures)->Unit(benchmark::kMillisecond);

// For comparison: the store listed again, as after a picture arrived.
void StoreRelist100000Pictures(benchmark::State& state) {
    for (auto _ : state) {
        model::StoreIndex index;
        benchmark::DoNotOptimize(index.Refresh(BigStore::Path()));
    }
}
BENCHMARK(StoreRelist100000Pictures)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
