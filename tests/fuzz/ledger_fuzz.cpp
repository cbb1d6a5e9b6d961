// Fuzz target: the transfer's rules over a sequence of card listings, each
// picture that needs fetching downloaded and placed into a store on disk,
// with restarts that a cut run may precede. Names are picked from a table
// meant to collide (letter case beyond ASCII, names beside others, helper-
// like and over-long names). Aborts when a stored file is written over by
// another picture, a helper file is left behind, or a stored picture is
// asked for again.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unistd.h>

#include "base/fs.h"
#include "base/str.h"
#include "model/card/card_session.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

class QuietPort final : public model::CardPort {
public:
    int64_t now = int64_t{1797000000} * 1000000000;
    model::CardAnswer Get(const std::wstring&, size_t) override { return {}; }
    bool Ping(const std::wstring&, int) override { return false; }
    void Journal(const std::wstring&) override {}
    void Lamp(int, model::Lamp, model::LampAt) override {}
    void CardFound(const std::wstring&, const std::wstring&) override {}
    void CameraFolderFollowed(const std::wstring&) override {}
    model::Fetched Fetch(const std::wstring&, const std::wstring&, uint64_t, uint64_t, const std::wstring&) override {
        return {};
    }
    int64_t Now() override { return now; }
};

const std::wstring kNames[] = {
    L"P1.JPG", L"p1.jpg", L"P1-2.JPG", L"P1-2-2.JPG", L"P1.CR2", L"P1.JPG.part", L"x.jpg.exe", L"\x141.JPG",
    L"\x142.jpg", L"~wemlox", std::wstring(251, L'L') + L".JPG", std::wstring(250, L'L') + L"M.jpg", L"P2.cr2",
    L"picture.part", L"Wemlox.download", L"P3.JPG",
};

// A picture's bytes: a mark of its place first, so only a picture of the
// same place can begin with another's, and a bigger one of the place
// begins with a smaller (the camera still wrote it).
std::string Content(const model::CardFileRecord& c) {
    uint64_t h = str::Hash64(str::ToUtf8(model::IdOf(c).PlaceKey()));
    std::string bytes;
    while (bytes.size() < static_cast<size_t>(c.Size)) bytes.push_back(static_cast<char>(h >> (8 * (bytes.size() % 8))));
    return bytes;
}

struct Run {
    QuietPort port;
    model::Settings settings;
    std::wstring root, records;
    std::unique_ptr<model::PictureLedger> ledger;
    using Stored = std::pair<std::wstring, int>;  // PictureId::Key and store folder
    std::map<std::wstring, std::string> files;    // what each stored file must hold, by path
    std::map<std::wstring, Stored> owners;         // whose each stored file is
    std::set<Stored> stored;

    void Start() {
        ledger = std::make_unique<model::PictureLedger>(port);
        ledger->Begin(records, port.now - int64_t{3600} * 1000000000, 0);
        ledger->CardIdentified(L"cid-fuzz");
        ledger->Configure(settings);
    }
    void CheckStore() {
        for (model::Store kind : {model::Store::LoRes, model::Store::HiRes})
            Check(!fs::IsDirectory(model::PartFolder(model::StoreFolder(settings, kind))));
        for (const auto& [path, bytes] : files) Check(fs::ReadFile(path) == bytes);
    }
    void Take(const model::CardFileRecord& c, model::Store kind) {
        const Stored key{model::IdOf(c).Key(), static_cast<int>(kind)};
        if (!ledger->NeedsFetch(c, kind)) return;
        Check(!stored.count(key));
        model::StorePlan plan = ledger->Plan(c, kind, port.now);
        if (plan.action != model::StorePlan::Action::Fetch) return;
        const std::string bytes = Content(c);
        Check(fs::WriteFile(root + L"\\download", bytes));
        model::Placed placed = ledger->Place(c, kind, plan, root + L"\\download", port.now);
        if (!placed.ok) return;
        // Only a copy cut short of this picture may be written over; that
        // copy is stored no more.
        if (auto before = files.find(placed.path); before != files.end()) {
            Check(bytes.compare(0, before->second.size(), before->second) == 0);
            stored.erase(owners[placed.path]);
        }
        files[placed.path] = bytes;
        owners[placed.path] = key;
        stored.insert(key);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto next = [&]() -> uint8_t { return size > 0 ? (size--, *data++) : 0; };
    std::error_code ec;
    const auto scratch = std::filesystem::temp_directory_path() / ("wemlox_ledger_fuzz_" + std::to_string(getpid()));
    std::filesystem::remove_all(scratch, ec);
    std::filesystem::create_directories(scratch / "store" / "LoRes", ec);
    Run run;
    run.root = str::FromUtf8(scratch.string());
    run.records = run.root;
    run.settings.SourcePath = run.root + L"\\store";
    run.settings.TmpPath = run.root;
    run.settings.TransferHiRes = L".cr2";
    run.settings.TransferLoRes = L".jpg";
    // A file of the user's under a picture's name stays as it is.
    const std::wstring users = run.settings.SourcePath + L"\\LoRes\\P1.JPG";
    Check(fs::WriteFile(users, "the user's"));
    run.files[users] = "the user's";
    run.Start();

    for (int step = 0; step < 8 && size > 0; step++) {
        const uint8_t what = next();
        run.port.now += int64_t{next()} * 1000000000;
        if (what % 8 == 0) {  // a run cut short in the middle of a move, and the next start
            const std::wstring parts = model::PartFolder(model::StoreFolder(run.settings, model::Store::LoRes));
            Check(fs::CreateDirs(parts) && fs::WriteFile(parts + L"\\picture.part", "cut"));
            run.Start();
            run.CheckStore();
            continue;
        }
        std::vector<model::CardFileRecord> listing(next() % 12);
        const std::wstring folder = what & 1 ? L"/DCIM/101_PANA" : L"/DCIM/102_PANA";
        for (model::CardFileRecord& c : listing) {
            c.Directory = folder;
            c.Name = kNames[next() % std::size(kNames)];
            c.Size = 8 + next() % 64;
            c.RawDate = (46 << 9) | (12 << 5) | 8;
            c.RawTime = (10 << 11) | (next() % 4);
        }
        run.ledger->Configure(run.settings);
        run.ledger->Listed(folder, listing, run.port.now, true);
        for (const model::CardFileRecord& c : listing)
            for (model::Store kind : {model::Store::LoRes, model::Store::HiRes})
                if (model::IsOfKind(c.Name, kind == model::Store::LoRes ? L".jpg" : L".cr2")) run.Take(c, kind);
        (void)run.ledger->SaveRecord();
        run.CheckStore();
    }
    std::filesystem::remove_all(scratch, ec);
    return 0;
}
