// Which card pictures are new and which stored file is a picture: identity
// by folder, name, size and the card's time, the store index, the record
// that carries waiting pictures across a restart, the camera's clock, and a
// store that cannot take a picture.
#include "model/pictures/picture_ledger.h"

#include <gtest/gtest.h>

#include "card_fakes.h"
#include "model/pictures/transfer_pipeline.h"
#include "test_util.h"

namespace {

using Names = std::vector<std::wstring>;
constexpr int64_t kSecond = 1000000000;

int32_t FatDate(int y, int m, int d) { return ((y - 1980) << 9) | (m << 5) | d; }
int32_t FatTime(int h, int mi, int s) { return (h << 11) | (mi << 5) | (s / 2); }

// A card picture of the camera folder, taken on 8 December 2026 at h:mi:s.
model::CardFileRecord Shot(const std::wstring& name, int64_t size, int h = 10, int mi = 0, int s = 0,
                          const std::wstring& folder = L"/DCIM/101_PANA") {
    model::CardFileRecord c;
    c.Directory = folder;
    c.Name = name;
    c.RawName = str::ToUtf8(name);
    c.Size = size;
    c.RawDate = FatDate(2026, 12, 8);
    c.RawTime = FatTime(h, mi, s);
    return c;
}

int64_t TakenAt(const model::CardFileRecord& c) { return model::CardTime(c.RawDate, c.RawTime).value(); }

// The camera folder's listing of these pictures.
std::string Listing(const std::vector<model::CardFileRecord>& shots) {
    std::string s = "WLANSD_FILELIST\r\n";
    for (auto& c : shots)
        s += str::ToUtf8(c.Directory) + "," + c.RawName + "," + std::to_string(c.Size) + ",32," +
             std::to_string(c.RawDate) + "," + std::to_string(c.RawTime) + "\r\n";
    return s;
}

// A session with a JPEG + raw camera, the store and the records in scratch
// folders, started at 10:30 on the card's clock (the camera's clock right).
struct Camera {
    testutil::FakeCardPort port;
    model::Session& session = port.session;
    int64_t start = TakenAt(Shot(L"x", 1, 10, 30));

    // `after`: the run before, whose store and records this one takes over.
    // `folder`: the camera folder, when not the camera's first.
    explicit Camera(bool onlyAdded = true, const Camera* after = nullptr, const std::wstring& folder = L"") {
        port.ConfigureCamera(L".cr2");
        port.config.TransferModeAuto = L"both";
        port.config.TransferOnlyAddedFiles = onlyAdded;
        if (!folder.empty()) port.config.Path = folder;
        std::wstring records = port.records.path();
        if (after) {
            start = after->start + 3600 * kSecond;
            port.config.SourcePath = after->port.store.path();
            records = after->port.records.path();
        }
        port.now = start;
        session.Begin(port.config, L"", records, start);
        port.Configure();
        session.Ledger().CardIdentified(L"cid-0123");
    }
    void List(const std::vector<model::CardFileRecord>& shots, int64_t after = 2 * kSecond) {
        port.now += after;
        session.TakeCameraListing(Listing(shots));
    }
    std::wstring Folder(const std::wstring& kind) const { return port.store / kind; }
    Names Steps(bool automatic = true) {
        Names names;
        for (auto& s : model::TransferSteps(session, automatic)) names.push_back(s.picture.Name);
        return names;
    }
};

}  // namespace

// A stored file is the picture when its size is the picture's and its time
// the card's, another picture when either differs; a file of an earlier
// version (the download's time), a picture without a clock, and times apart
// by whole hours leave it to the bytes.
TEST(PictureLedger, WhichStoredFileIsThePicture) {
    const model::CardFileRecord shot = Shot(L"P1010001.JPG", 5000, 9, 15, 42);
    const model::PictureId id = model::IdOf(shot);
    const int64_t taken = TakenAt(shot), since = taken - 3600 * kSecond, upgrade = taken + 3600 * kSecond;
    const int64_t hour = 3600 * kSecond;  // daylight saving time, or another time zone
    model::PictureId noClock = id, badDate = id;
    noClock.date = 0;
    badDate.date = FatDate(2026, 13, 8);
    using M = model::FileMatch;
    struct Case {
        const char* what;
        model::PictureId picture;
        uint64_t size;
        int64_t modified, since;
        M match;
    } cases[] = {
        {"same size, the card's time", id, 5000, taken, since, M::Same},
        {"within the file system's step", id, 5000, taken + kSecond, since, M::Same},
        {"another size", id, 5001, taken, since, M::Different},
        {"same size, another time", id, 5000, taken + 3 * kSecond, since, M::Different},
        {"same size, stored by an earlier version", id, 5000, upgrade - kSecond, upgrade, M::Undecided},
        {"another size, stored by an earlier version", id, 4000, upgrade - kSecond, upgrade, M::Different},
        {"no clock on the camera", noClock, 5000, upgrade + kSecond, since, M::Undecided},
        {"a date no clock shows", badDate, 5000, taken, since, M::Undecided},
        {"an hour later", id, 5000, taken + hour + kSecond, since, M::Undecided},
        {"seven hours earlier", id, 5000, taken - 7 * hour, since, M::Undecided},
        {"an hour and a minute", id, 5000, taken + hour + 60 * kSecond, since, M::Different},
    };
    for (auto& c : cases)
        EXPECT_EQ(model::MatchStoredFile({L"P1010001.JPG", c.size, c.modified}, c.picture, c.since), c.match) << c.what;

    // Names beside the picture's own: the first free one is given, and the
    // search for the picture runs through the taken ones.
    std::map<std::wstring, fs::FileEntry> folder = {
        {L"p1010001.jpg", {L"P1010001.JPG", 4000, taken}},
        {L"p1010001-2.jpg", {L"P1010001-2.JPG", 5000, taken}},
    };
    model::FileLookup lookup = [&](const std::wstring& name) -> std::optional<fs::FileEntry> {
        auto it = folder.find(str::ToLower(name));
        return it == folder.end() ? std::nullopt : std::optional<fs::FileEntry>(it->second);
    };
    EXPECT_EQ(model::StoredName(lookup, id, 0), L"P1010001-2.JPG");
    EXPECT_EQ(model::FreeName(lookup, L"P1010001.JPG"), L"P1010001-3.JPG");
    EXPECT_EQ(model::FreeName(lookup, L"P1010002.JPG"), L"P1010002.JPG");
    EXPECT_EQ(model::BesideName(L"README", 2), L"README-2");
    EXPECT_EQ(model::BesideName(L".hidden", 3), L".hidden-3");
    // A name as long as the file system takes: its stem is cut, and two such
    // names keep names of their own beside them.
    const std::wstring longest = std::wstring(251, L'L') + L".JPG", other = std::wstring(250, L'L') + L"M.JPG";
    EXPECT_EQ(model::BesideName(longest, 12).size(), model::kMaxNameLength);
    EXPECT_TRUE(str::EndsWith(model::BesideName(longest, 12), L"-12.JPG"));
    EXPECT_NE(model::BesideName(longest, 2), model::BesideName(other, 2));
    const std::wstring longExtension = L"P." + std::wstring(252, L'x');
    EXPECT_EQ(model::FreeName(lookup, longExtension), longExtension);
    folder[str::ToLower(longExtension)] = {};
    EXPECT_EQ(model::FreeName(lookup, longExtension), std::nullopt);  // no name beside it fits
}

// A JPEG downloaded without its end marker is still being written until the
// card has listed it at that size for two seconds, however often it lists.
TEST(PictureLedger, AJpegWithoutItsEndMarkerWaitsUntilItsSizeHolds) {
    struct Case {
        const char* what;
        std::vector<std::pair<int64_t, int64_t>> listings;  // size, ms after the one before
        bool endMarker;
        int64_t checkedAfterMs;  // the download's end, after the last listing
        bool writing;
    } cases[] = {
        {"whole", {{5000, 0}}, true, 100, false},
        {"first seen", {{2500, 0}}, false, 100, true},
        {"grew since the listing before", {{1000, 0}, {2500, 2000}}, false, 100, true},
        {"held over two quick listings", {{2500, 0}, {2500, 300}, {2500, 300}}, false, 100, true},
        {"held for two seconds of quick listings", {{2500, 0}, {2500, 300}, {2500, 1700}}, false, 100, false},
        {"held from one tick to the next", {{2500, 0}, {2500, 2000}}, false, 100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Camera camera(false);
        for (auto [size, ms] : c.listings) camera.List({Shot(L"P1010001.JPG", size)}, ms * 1000000);
        const std::wstring downloaded = camera.port.store.Write(L"download", c.endMarker ? "\xFF\xD8..\xFF\xD9" : "\xFF\xD8..");
        const int64_t checked = camera.port.now + c.checkedAfterMs * 1000000;
        EXPECT_EQ(camera.session.Ledger().StillBeingWritten(Shot(L"P1010001.JPG", c.listings.back().first), downloaded,
                                                            checked),
                  c.writing);
    }
    // Found cut short, it is not fetched again until its size has held.
    Camera camera(false);
    const model::CardFileRecord shot = Shot(L"P1010001.JPG", 2500);
    camera.List({shot});
    ASSERT_TRUE(camera.session.Ledger().StillBeingWritten(shot, camera.port.store.Write(L"download", "\xFF\xD8.."),
                                                          camera.port.now));
    camera.List({shot}, 300 * 1000000);
    EXPECT_EQ(camera.session.Ledger().Plan(shot, model::Store::LoRes, camera.port.now).action,
              model::StorePlan::Action::Writing);
    camera.List({shot}, 1700 * 1000000);
    EXPECT_EQ(camera.session.Ledger().Plan(shot, model::Store::LoRes, camera.port.now).action,
              model::StorePlan::Action::Fetch);
}

// The counter wrapped: a new picture under a stored name goes beside it,
// the stored one stays as it was, and each is known as itself afterwards.
TEST(PictureLedger, ARepeatedNameIsStoredBesideTheOldPicture) {
    Camera cam(false);
    const auto old = Shot(L"P1010001.JPG", 5000, 9, 0, 0), fresh = Shot(L"P1010001.JPG", 5000, 10, 5, 0);
    cam.List({old});
    const std::wstring first = cam.port.StorePicture(old, model::Store::LoRes, std::string(5000, 'o'));
    ASSERT_EQ(first, cam.Folder(L"LoRes\\P1010001.JPG"));
    EXPECT_EQ(fs::LastWriteTime(first), TakenAt(old));  // the card's time
    cam.List({fresh});
    EXPECT_EQ(cam.Steps(), Names{L"P1010001.JPG"});
    EXPECT_EQ(cam.port.StorePicture(fresh, model::Store::LoRes, std::string(5000, 'n')), cam.Folder(L"LoRes\\P1010001-2.JPG"));
    EXPECT_EQ(testutil::ReadAll(first), std::string(5000, 'o'));
    EXPECT_EQ(cam.port.journal.back(),
              L"Another picture has the name P1010001.JPG: this one is stored beside it as P1010001-2.JPG");
    cam.List({fresh});
    EXPECT_EQ(cam.Steps(), Names{});

    // A file of an earlier version (the download's time) with the same name
    // and size is the picture only when its bytes are: raw files of one
    // camera all have one size. The same bytes are recorded, never fetched
    // again; others go beside. So does a file of the same facts that the
    // card's record does not name (another card's picture).
    Camera upgraded(false);
    const auto legacy = Shot(L"P1010009.CR2", 7000, 8, 0, 0);
    upgraded.port.store.MakeDir(L"HiRes");
    const std::wstring file = upgraded.port.store.Write(L"HiRes\\P1010009.CR2", std::string(7000, 'r'));
    ASSERT_TRUE(fs::SetLastWriteTime(file, upgraded.session.Ledger().IdentitiesSince() - 86400 * kSecond));
    upgraded.List({legacy});
    EXPECT_EQ(upgraded.port.StorePicture(legacy, model::Store::HiRes, std::string(7000, 'r')), file);
    upgraded.List({legacy});
    EXPECT_EQ(upgraded.Steps(), Names{});
    Camera otherCard(false, &upgraded);
    otherCard.session.Ledger().CardIdentified(L"cid-4567");
    otherCard.List({legacy});
    EXPECT_EQ(otherCard.port.StorePicture(legacy, model::Store::HiRes, std::string(7000, 'o')),
              upgraded.Folder(L"HiRes\\P1010009-2.CR2"));

    // A copy cut short while the camera wrote it is replaced by the whole
    // picture, which begins with it; a picture of the name that does not (the
    // card formatted and the name taken again at once) goes beside it, and
    // so does one of another card folder.
    Camera writing(false);
    auto growing = Shot(L"P1010003.CR2", 3000, 10, 40, 0), formatted = Shot(L"P1010004.CR2", 3000, 10, 40, 0);
    writing.List({growing, formatted});
    const std::string part(3000, 'p');
    ASSERT_NE(writing.port.StorePicture(growing, model::Store::HiRes, part), L"");
    ASSERT_NE(writing.port.StorePicture(formatted, model::Store::HiRes, part), L"");
    growing.Size = formatted.Size = 9000;
    const auto elsewhere = Shot(L"P1010003.CR2", 9500, 10, 41, 0, L"/DCIM/102_PANA");
    writing.List({growing, formatted});
    model::StorePlan plan = writing.session.Ledger().Plan(growing, model::Store::HiRes, writing.port.Now());
    EXPECT_EQ(plan.cutCopies, Names{L"P1010003.CR2"});
    EXPECT_EQ(writing.port.StorePicture(growing, model::Store::HiRes, part + std::string(6000, 'w')),
              writing.Folder(L"HiRes\\P1010003.CR2"));
    EXPECT_EQ(fs::FileSize(writing.Folder(L"HiRes\\P1010003.CR2")), 9000u);
    EXPECT_EQ(writing.port.StorePicture(formatted, model::Store::HiRes, std::string(9000, 'f')),
              writing.Folder(L"HiRes\\P1010004-2.CR2"));
    EXPECT_EQ(testutil::ReadAll(writing.Folder(L"HiRes\\P1010004.CR2")), part);
    // Completed after the record was last written (the program killed in
    // between): the record names the file for the copy cut short; its bytes tell.
    Camera killed(false, &writing);
    const std::wstring completed = writing.Folder(L"HiRes\\P1010003.CR2");
    ASSERT_TRUE(fs::WriteFile(completed, part + std::string(500, 'w')));
    ASSERT_TRUE(fs::SetLastWriteTime(completed, TakenAt(growing)));
    growing.Size = 3500;
    killed.List({growing});
    EXPECT_EQ(killed.port.StorePicture(growing, model::Store::HiRes, part + std::string(500, 'w')), completed);
    plan = writing.session.Ledger().Plan(elsewhere, model::Store::HiRes, writing.port.Now());
    EXPECT_EQ(plan.cutCopies, Names{});
    EXPECT_EQ(plan.fileName, L"P1010003-2.CR2");
}

// With TransferOnlyAddedFiles the pictures on the card before the run stay
// old, but a picture that was new in an earlier run and not stored when it
// ended arrives after the next start, and so do shots taken while the
// program was ended.
TEST(PictureLedger, NothingWaitsPastTheNextStart) {
    // The camera's clock a second behind the computer's.
    const auto before = Shot(L"P1010001.JPG", 5000, 9, 0), burst1 = Shot(L"P1010002.JPG", 5000, 10, 30, 2);
    auto raw = Shot(L"P1010002.CR2", 2000, 10, 30, 2);  // still being written
    auto burst2 = Shot(L"P1010003.JPG", 1500, 10, 30, 2, L"/DCIM/101_PANA");  // so is this one
    Camera first;
    first.List({before});
    EXPECT_EQ(first.Steps(), Names{});
    first.List({before, burst1, raw, burst2});
    EXPECT_EQ(first.Steps(), (Names{L"P1010002.JPG", L"P1010002.CR2", L"P1010003.JPG"}));
    EXPECT_EQ(first.session.Ledger().Record().WaitingCount(), 3u);
    ASSERT_NE(first.port.StorePicture(burst1, model::Store::LoRes, "jpeg"), L"");
    ASSERT_NE(first.port.StorePicture(raw, model::Store::HiRes, std::string(2000, 'r')), L"");
    EXPECT_TRUE(first.session.Ledger().SaveRecord());
    // The program ends here, in the middle of the burst: what it was
    // downloading and moving is left behind. A file of the card that looks
    // like a helper's is no helper.
    first.port.store.MakeDir(L"LoRes\\~wemlox");
    const std::wstring download = first.port.store.Write(L"Wemlox.download", "cut"),
                       moving = first.port.store.Write(L"LoRes\\~wemlox\\picture.part", "cut"),
                       cardsOwn = first.port.store.Write(L"LoRes\\P1010003.JPG.part", "card");

    Camera next(true, &first);
    model::Session& s = next.session;
    next.port.config.TmpPath = first.port.store.path();
    next.port.Configure();
    const auto later = Shot(L"P1010004.JPG", 5000, 11, 31);  // after the second start
    const auto whileEnded = Shot(L"P1010005.JPG", 5000, 11, 10);
    raw.Size = 6000;  // the copy stored was cut short: it is completed
    burst2.Size = 5000;  // it waited at the size it had then: it comes whole
    next.List({before, burst1, raw, burst2, whileEnded, later}, 400 * kSecond);
    EXPECT_EQ(s.Ledger().Record().WaitingCount(), 4u);
    EXPECT_FALSE(fs::FileSize(download) || fs::FileSize(moving) || fs::IsDirectory(next.Folder(L"LoRes\\~wemlox")));
    EXPECT_EQ(next.Steps(), (Names{L"P1010002.CR2", L"P1010003.JPG", L"P1010005.JPG", L"P1010004.JPG"}));
    EXPECT_NE(next.port.StorePicture(burst2, model::Store::LoRes, "jpeg"), L"");
    EXPECT_EQ(testutil::ReadAll(cardsOwn), "card");

    // A card seen for the first time: its first listing is all old but what
    // waits.
    Camera noClock;
    noClock.session.TakeCameraListing(Listing({before, later}));
    EXPECT_EQ(noClock.Steps(), Names{});
    // A record of an earlier version (no held lists) goes by its clock; a
    // reading beyond any clock's (a damaged record) counts as a century: the
    // pictures come, rather than none.
    ASSERT_TRUE(fs::WriteFile(model::CardRecord::FileFor(noClock.port.records.path(), L"cid-0123"),
                              "Wemlox card record 1\r\ncard\tcid-0123\r\nclock\t9223372036854775807\r\n"));
    Camera damaged(true, &noClock);
    damaged.List({before});
    EXPECT_EQ(damaged.Steps(), Names{L"P1010001.JPG"});

    // The record is bounded, and read back as it was written.
    model::CardRecord record;
    for (int i = 0; i < 12000; i++) record.Wait(model::IdOf(Shot(L"P" + std::to_wstring(i) + L".JPG", 1)));
    record.NoteClockReading(-7 * kSecond);
    EXPECT_EQ(record.WaitingCount(), model::CardRecord::kMaxWaiting);
    // What the card held: the folders listed longest ago go first.
    for (int f = 100; f < 140; f++) {
        std::vector<model::PictureId> held(999, model::IdOf(Shot(L"P.JPG", 1, 10, 0, 0, L"/" + std::to_wstring(f))));
        for (int i = 0; i < 999; i++) held[static_cast<size_t>(i)].size = i + 1;
        record.Held(held[0].folder, held);
    }
    EXPECT_LE(record.HeldCount(), model::CardRecord::kMaxHeld);
    model::CardRecord read;
    read.Parse(record.Serialize());
    EXPECT_EQ(read.WasHeld(model::IdOf(Shot(L"P.JPG", 1, 10, 0, 0, L"/100"))), std::nullopt);
    EXPECT_EQ(read.WasHeld(model::IdOf(Shot(L"P.JPG", 1, 10, 0, 0, L"/139"))), true);
    EXPECT_EQ(read.Serialize(), record.Serialize());
    EXPECT_TRUE(read.IsWaiting(model::IdOf(Shot(L"P11999.JPG", 1))));
    EXPECT_FALSE(read.IsWaiting(model::IdOf(Shot(L"P0.JPG", 1))));
    EXPECT_EQ(read.ClockOffset(), -7 * kSecond);
}

// At the next start a known card's picture is new when the card did not hold
// it at the last visit, whatever the camera's clock says; one it held stays
// old. Another card at the same address keeps the first-sight rule.
TEST(PictureLedger, NewIsWhatTheCardDidNotHold) {
    const auto held = Shot(L"P1010001.JPG", 5000, 9, 0);
    const int32_t today = FatDate(2026, 12, 8);
    struct Case {
        const char* what;
        int32_t date, time;
        const wchar_t *folder, *card;  // the card in the second run
        bool isNew;
    } cases[] = {
        {"the camera's clock right", today, FatTime(11, 0, 0), L"/DCIM/101_PANA", L"cid-0123", true},
        {"seven hours behind", today, FatTime(2, 0, 0), L"/DCIM/101_PANA", L"cid-0123", true},
        {"reset to 2015-01-01", FatDate(2015, 1, 1), FatTime(0, 1, 0), L"/DCIM/101_PANA", L"cid-0123", true},
        {"a clock never set", 0, 0, L"/DCIM/101_PANA", L"cid-0123", true},
        {"held before", held.RawDate, held.RawTime, L"/DCIM/101_PANA", L"cid-0123", false},
        {"in a folder begun meanwhile", held.RawDate, held.RawTime, L"/DCIM/102_PANA", L"cid-0123", true},
        {"another card at the address", today, FatTime(11, 0, 0), L"/DCIM/101_PANA", L"cid-4567", false},
    };
    for (const Case& c : cases) {
        Camera first;
        first.List({held});
        Camera next(true, &first, std::wstring(c.folder + 1));
        next.session.Ledger().CardIdentified(c.card);
        auto shot = Shot(held.Name, held.Size, 9, 0, 0, c.folder);
        shot.RawDate = c.date, shot.RawTime = c.time;
        next.List({shot});
        EXPECT_EQ(next.Steps(), c.isNew ? Names{shot.Name} : Names{}) << c.what;
    }
}

// A store that cannot take a picture says so with the file and the reason,
// turns button 6's lamp red, is tried again after a pause rather than on
// every tick, and takes the picture once it works again.
TEST(PictureLedger, AStoreThatFailsSaysSoAndRecovers) {
    Camera cam;
    const auto shot = Shot(L"P1010002.JPG", 5000, 10, 31);
    cam.List({});
    cam.List({shot});
    // The store's folder is gone, and a file stands where it was.
    const std::wstring lowRes = cam.Folder(L"LoRes");
    ASSERT_TRUE(fs::WriteFile(lowRes, "not a folder"));
    model::PictureLedger& ledger = cam.session.Ledger();
    EXPECT_EQ(ledger.Plan(shot, model::Store::LoRes, cam.port.now).action, model::StorePlan::Action::Later);
    EXPECT_TRUE(str::StartsWith(cam.port.journal.back(), L"Not stored: " + lowRes + L" ("));
    EXPECT_EQ(cam.port.lamps.back(), L"6rb");
    const size_t said = cam.port.journal.size();
    cam.port.now += 5 * kSecond;
    EXPECT_EQ(ledger.Plan(shot, model::Store::LoRes, cam.port.now).action, model::StorePlan::Action::Later);
    cam.port.now += model::PictureLedger::kStoreRetryNs;
    EXPECT_EQ(ledger.Plan(shot, model::Store::LoRes, cam.port.now).action, model::StorePlan::Action::Later);
    EXPECT_EQ(cam.port.journal.size(), said);  // tried again, quietly
    EXPECT_TRUE(ledger.StoreFailing());
    EXPECT_EQ(ledger.Record().WaitingCount(), 1u);

    ASSERT_TRUE(fs::DeleteFileAt(lowRes));
    cam.port.now += model::PictureLedger::kStoreRetryNs;
    EXPECT_NE(cam.port.StorePicture(shot, model::Store::LoRes, "jpeg"), L"");
    EXPECT_EQ(cam.port.journal[said], L"Store works again: " + lowRes);
    EXPECT_FALSE(ledger.StoreFailing());
    EXPECT_EQ(ledger.Record().WaitingCount(), 0u);

    // Paths beyond the classic 260 characters work.
    Camera deep;
    deep.port.config.SourcePath = deep.port.store / std::wstring(120, L'a') + L"\\" + std::wstring(120, L'b');
    deep.port.Configure();
    deep.List({});
    deep.List({shot});
    const std::wstring stored = deep.port.StorePicture(shot, model::Store::LoRes, "jpeg");
    EXPECT_GT(stored.size(), 260u);
    EXPECT_EQ(fs::FileSize(stored), 4u);
}

// A picture the store cannot take while it takes others holds back none of
// them: it is paused on its own, said once, and tried again after its pause.
// Names are taken as the file system takes them, every letter's case.
TEST(PictureLedger, APictureThatCannotBePlacedHoldsBackNoOther) {
    Camera cam(false);
    model::PictureLedger& ledger = cam.session.Ledger();
    const auto blocked = Shot(L"P1010009.JPG", 5000, 10, 31), next = Shot(L"P1010010.JPG", 5000, 10, 31),
               polish = Shot(L"\x141.JPG", 5000, 10, 31), late = Shot(L"P1010011.JPG", 5000, 10, 31);
    cam.port.store.MakeDir(L"LoRes");
    for (int n = 1; n <= model::kMaxBesideNames; n++) cam.port.store.Write(L"LoRes\\" + model::BesideName(blocked.Name, n), "x");
    cam.port.store.Write(L"LoRes\\\x142.jpg", "another picture");
    cam.List({blocked, next, polish, late});
    EXPECT_EQ(cam.port.StorePicture(blocked, model::Store::LoRes, "jpeg"), L"");
    EXPECT_EQ(cam.port.StorePicture(next, model::Store::LoRes, "jpeg"), cam.Folder(L"LoRes\\P1010010.JPG"));
    EXPECT_EQ(cam.port.StorePicture(polish, model::Store::LoRes, "jpeg"), cam.Folder(L"LoRes\\\x141-2.JPG"));
    EXPECT_FALSE(ledger.StoreFailing());
    const std::wstring said = L"Not stored: " + cam.Folder(L"LoRes\\P1010009.JPG") + L" (every name beside it is taken)";
    auto saidCount = [&] {
        return std::count_if(cam.port.journal.begin(), cam.port.journal.end(),
                             [&](const std::wstring& l) { return str::StartsWith(l, said); });
    };
    EXPECT_EQ(saidCount(), 1);
    for (int64_t after : {int64_t{0}, model::PictureLedger::kPictureRetryNs - 1, int64_t{1}, int64_t{1}}) {
        cam.port.now += after;
        EXPECT_EQ(ledger.Plan(blocked, model::Store::LoRes, cam.port.now).action, model::StorePlan::Action::Later);
    }
    EXPECT_EQ(saidCount(), 1);

    // A name taken after the folder was listed (another source stored one):
    // the download goes beside it at once.
    model::StorePlan plan = ledger.Plan(late, model::Store::LoRes, cam.port.now);
    ASSERT_EQ(plan.fileName, L"P1010011.JPG");
    cam.port.store.Write(L"LoRes\\P1010011.JPG", "came meanwhile");
    const model::Placed placed =
        ledger.Place(late, model::Store::LoRes, plan, cam.port.store.Write(L"download", "jpeg"), cam.port.now);
    EXPECT_TRUE(placed.ok);
    EXPECT_EQ(placed.path, cam.Folder(L"LoRes\\P1010011-2.JPG"));
    EXPECT_EQ(testutil::ReadAll(cam.Folder(L"LoRes\\P1010011.JPG")), "came meanwhile");
}

TEST(PictureLedger, TheStoreIsListedAgainOnlyWhenItChanged) {
    testutil::TempDir store;
    store.MakeDir(L"HiRes");
    store.MakeDir(L"LoRes");
    store.Write(L"LoRes\\P1.JPG", "x");
    store.Write(L"LoRes\\EMPTY.JPG", "");  // a failed copy counts as missing
    store.MakeDir(L"LoRes\\sub.jpg");      // folders are no stored pictures
    const std::wstring source = store.path();
    // Both folders a day old, so the times given below are what counts.
    const int64_t stamp = fs::Now() - 86400 * kSecond;
    auto setStamp = [&](int64_t t) {
        ASSERT_TRUE(fs::SetLastWriteTime(store / L"LoRes", t));
        ASSERT_TRUE(fs::SetLastWriteTime(store / L"HiRes", t));
    };
    setStamp(stamp);

    model::StoreIndex index;
    EXPECT_TRUE(index.Refresh(source, stamp + 10 * kSecond));
    EXPECT_FALSE(index.Refresh(source, stamp + 11 * kSecond));  // nothing changed: nothing listed
    EXPECT_TRUE(index.Find(model::Store::LoRes, L"p1.jpg"));
    EXPECT_FALSE(index.Find(model::Store::HiRes, L"P1.JPG"));
    for (const wchar_t* name : {L"EMPTY.JPG", L"sub.jpg", L""}) EXPECT_FALSE(index.Find(model::Store::LoRes, name));

    // A picture the program stores is known at once, and the move of its
    // folder's stamp is its own: the folder is not listed again for it.
    store.Write(L"LoRes\\P2.JPG", "y");
    ASSERT_TRUE(fs::SetLastWriteTime(store / L"LoRes", stamp + 5 * kSecond));
    index.NoteStored(model::Store::LoRes, {L"P2.JPG", 1, stamp});
    EXPECT_TRUE(index.Find(model::Store::LoRes, L"P2.JPG"));
    EXPECT_EQ(index.Size(), 2u);
    EXPECT_FALSE(index.Refresh(source, stamp + 12 * kSecond));
    EXPECT_TRUE(index.Find(model::Store::LoRes, L"P2.JPG"));

    // A stamp as recent as its file system's step is not trusted: a change
    // in the same step keeps it, so the folder is listed until it is old.
    setStamp(stamp);
    EXPECT_TRUE(index.Refresh(source, stamp + kSecond));
    store.Write(L"LoRes\\P3.JPG", "z");
    setStamp(stamp);
    EXPECT_TRUE(index.Refresh(source, stamp + 2 * kSecond));
    EXPECT_TRUE(index.Find(model::Store::LoRes, L"P3.JPG"));
    EXPECT_TRUE(index.Refresh(source, stamp + 10 * kSecond));
    EXPECT_FALSE(index.Refresh(source, stamp + 20 * kSecond));

    // A name noted but not stored is gone after the next listing; removed
    // pictures too.
    index.NoteStored(model::Store::LoRes, {L"P9.JPG", 1, stamp});
    (void)fs::DeleteFileAt(store / L"LoRes\\P1.JPG");
    EXPECT_TRUE(index.Refresh(source));
    EXPECT_FALSE(index.Find(model::Store::LoRes, L"P9.JPG"));
    EXPECT_FALSE(index.Find(model::Store::LoRes, L"P1.JPG"));
    EXPECT_EQ(index.Size(), 2u);

    // Another store, and a store that is missing, are listed at once.
    testutil::TempDir other;
    other.MakeDir(L"HiRes");
    other.Write(L"HiRes\\X.CR2", "x");
    EXPECT_TRUE(index.Refresh(other.path(), stamp + 20 * kSecond));
    EXPECT_TRUE(index.Find(model::Store::HiRes, L"X.CR2"));
    EXPECT_FALSE(index.Find(model::Store::LoRes, L"P2.JPG"));
    EXPECT_TRUE(index.Refresh(other / L"missing"));
    EXPECT_FALSE(index.Refresh(other / L"missing"));
    EXPECT_EQ(index.Size(), 0u);
}

// The pictures of the first listing are old, later ones new; DoNotLoad bars
// one name; a new camera folder takes a new snapshot.
TEST(PictureLedger, BuiltFromTheFirstListingAndTheBarredName) {
    for (bool onlyAdded : {true, false}) {
        SCOPED_TRACE(onlyAdded ? "TransferOnlyAddedFiles" : "every picture");
        Camera cam(onlyAdded);
        cam.port.config.DoNotLoad = L"FA000001.JPG";
        cam.port.Configure();
        const auto p1 = Shot(L"P1.JPG", 100), p2 = Shot(L"P2.JPG", 100), p3 = Shot(L"P3.JPG", 100),
                   barred = Shot(L"fa000001.jpg", 100);
        cam.port.store.MakeDir(L"LoRes");
        // An earlier version stored it, with the download's time: its bytes
        // tell whether it is the picture.
        std::wstring legacy = cam.port.store.Write(L"LoRes\\P1.JPG", std::string(100, 'x'));
        ASSERT_TRUE(fs::SetLastWriteTime(legacy, cam.session.Ledger().IdentitiesSince() - 60 * kSecond));
        cam.List({p1, p2, barred});
        EXPECT_EQ(cam.session.NoTransferList(), onlyAdded ? 3 : 1);
        EXPECT_EQ(cam.Steps(), onlyAdded ? Names{} : (Names{L"P1.JPG", L"P2.JPG"}));
        cam.List({p1, p2, barred, p3});
        EXPECT_EQ(cam.Steps(), onlyAdded ? Names{L"P3.JPG"} : (Names{L"P1.JPG", L"P2.JPG", L"P3.JPG"}));
        cam.port.config.Path = L"DCIM/102_PANA";  // the user's choice
        cam.port.Configure();
        const auto p4 = Shot(L"P4.JPG", 100, 11, 0, 0, L"/DCIM/102_PANA");  // taken during the run
        cam.List({p4});
        EXPECT_EQ(cam.Steps(), onlyAdded ? Names{} : Names{L"P4.JPG"});
        EXPECT_FALSE(cam.session.PathChanged());
    }
}
