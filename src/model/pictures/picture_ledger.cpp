// The transfer's rules over the card's listings, the store and the record.
#include "model/pictures/picture_ledger.h"

#include <algorithm>

#include "base/str.h"
#include "model/common/ids.h"
#include "model/common/info_logic.h"

namespace model {

namespace {

// Room kept free beside a picture, so a store is never filled to the last byte.
constexpr uint64_t kSpareBytes = uint64_t{16} << 20;

const wchar_t* FolderName(Store folder) { return folder == Store::HiRes ? L"HiRes" : L"LoRes"; }
int Slot(Store folder) { return folder == Store::HiRes ? 0 : 1; }

std::wstring FolderKey(const std::wstring& folder) { return PictureId{folder, L"", 0, 0, 0}.PlaceKey(); }

std::wstring Megabytes(uint64_t bytes) { return std::to_wstring((bytes + (1u << 20) - 1) >> 20) + L" MB"; }

}  // namespace

void PictureLedger::Begin(std::wstring recordFolder, int64_t runStart, int64_t since) {
    recordFolder_ = std::move(recordFolder);
    runStart_ = runStart;
    since_ = since;
}

bool PictureLedger::CardIdentified(const std::wstring& cardId, bool sameCard) {
    if (record_.IsOpen() && record_.CardId() == cardId) return false;
    bool another = record_.IsOpen() && !sameCard;
    (void)SaveRecord();
    if (std::optional<std::wstring> why = record_.Open(recordFolder_, cardId))
        port_->Journal(L"Card record not used, and left as it is: " + record_.File() + L" (" + *why + L")");
    // Another card's pictures were not on this card: its own record and
    // listing decide which of its pictures are new.
    if (another) {
        snapshot_.clear();
        snapshotTaken_ = false;
        clockDecides_ = true;
        listings_.clear();
        paused_.clear();
    }
    return another;
}

void PictureLedger::Configure(const Settings& s) {
    Settings paths;
    paths.SourcePath = s.SourcePath;
    hiResFolder_ = StoreFolder(paths, Store::HiRes);
    loResFolder_ = StoreFolder(paths, Store::LoRes);
    hiRes_ = s.TransferHiRes;
    loRes_ = s.TransferLoRes;
    doNotLoad_ = s.DoNotLoad;
    onlyAdded_ = s.TransferOnlyAddedFiles;
    // What a run that was cut short left behind (the computer switched off
    // in the middle of a download or a move) goes: nothing is being
    // downloaded or placed while the rules are brought up to date.
    if (partsSwept_ != s.SourcePath) {
        partsSwept_ = s.SourcePath;
        SweepPartFolder(hiResFolder_, download_);
        SweepPartFolder(loResFolder_, download_);
    }
    index_.Refresh(s.SourcePath);
    if (!tmpSwept_) {
        tmpSwept_ = true;
        (void)fs::DeleteFileAt(StoreFolder(s, Store::Tmp) + L"\\" + download_);
    }
}

std::wstring PictureLedger::FolderOf(Store folder) const { return folder == Store::HiRes ? hiResFolder_ : loResFolder_; }

FileLookup PictureLedger::LookupIn(Store folder) const {
    return [this, folder](const std::wstring& name) -> std::optional<fs::FileEntry> {
        if (std::optional<fs::FileEntry> file = index_.Find(folder, name)) return file;
        if (index_.Taken(folder, name)) return fs::FileEntry{name, 0, 0};
        return std::nullopt;
    };
}

bool PictureLedger::IsNew(const PictureId& id) const {
    if (record_.IsWaiting(id)) return true;
    // Waiting or stored cut short when the run before ended, seen while the
    // camera still wrote it: the same picture, still to come.
    const std::wstring place = id.PlaceKey();
    for (std::optional<PictureId> earlier : {record_.LastWaitingAt(place), record_.LastStoredAt(place)}) {
        if (!earlier || earlier->size >= id.size) continue;
        std::optional<int64_t> then = CardTime(*earlier), taken = CardTime(id);
        if (!then || !taken || (*taken >= *then - kTimeSlackNs && *taken - *then <= kWritingTimeNs)) return true;
    }
    if (!clockDecides_) return false;
    // A card whose record knows what it held: new is what it did not hold,
    // whatever the camera's clock says.
    if (record_.KnowsHeld()) return !record_.WasHeld(id).value_or(false);
    // A record of an earlier version: the camera's clock, set right by what
    // was learnt of it: taken after this run started, while the card did
    // not answer yet.
    std::optional<int64_t> offset = record_.ClockOffset();
    std::optional<int64_t> taken = CardTime(id);
    return offset && taken && *taken + *offset >= runStart_;
}

void PictureLedger::LearnClock(const std::wstring& folderKey, const std::vector<CardFileRecord>& candidates,
                               int64_t now) {
    Listing& l = listings_[folderKey];
    const bool recent = l.when > 0 && now - l.when <= kArrivalWindowNs;
    l.before = std::move(l.now);
    l.now.clear();
    for (const CardFileRecord& c : candidates) {
        std::wstring key = IdOf(c).PlaceKey();
        auto before = l.before.find(key);
        const bool held = before != l.before.end() && before->second.size == c.Size;
        l.now[key] = held ? before->second : SizeSeen{c.Size, now};
        if (!recent || before != l.before.end() || !record_.IsOpen()) continue;
        // Listed now and not the time before: taken in between.
        if (std::optional<int64_t> taken = CardTime(IdOf(c))) record_.NoteClockReading(now - *taken);
    }
    l.when = now;
}

void PictureLedger::Listed(const std::wstring& folder, const std::vector<CardFileRecord>& candidates, int64_t now,
                           bool cameraFolder) {
    LearnClock(FolderKey(folder), candidates, now);
    if (cameraFolder && onlyAdded_ && !snapshotTaken_) {
        for (const CardFileRecord& c : candidates) {
            PictureId id = IdOf(c);
            if (!IsNew(id)) snapshot_.insert(id.Key());
        }
        snapshotTaken_ = true;
    }
    if (!record_.IsOpen()) return;
    std::vector<PictureId> listed;
    listed.reserve(candidates.size());
    for (const CardFileRecord& c : candidates) {
        listed.push_back(IdOf(c));
        // A picture still being written has no identity yet.
        if (c.Size <= 0 || Barred(c)) continue;
        bool stored = false;
        for (Store kind : {Store::LoRes, Store::HiRes})
            stored = stored || (HasKind(c, kind) && IsStored(c, kind));
        if (stored)
            record_.StopWaiting(listed.back());
        else
            record_.Wait(listed.back());
    }
    record_.KeepWaitingListed(folder, listed);
    record_.Held(folder, listed);
    (void)SaveRecord();
}

void PictureLedger::ListedFolders(const std::vector<std::pair<std::wstring, std::vector<CardFileRecord>>>& folders,
                                  int64_t now) {
    // Before any folder is recorded as held: a record that knew nothing of
    // the source would know one folder after the first, and take the rest as new.
    if (onlyAdded_ && !snapshotTaken_) {
        for (const auto& [folder, candidates] : folders)
            for (const CardFileRecord& c : candidates)
                if (PictureId id = IdOf(c); !IsNew(id)) snapshot_.insert(id.Key());
        snapshotTaken_ = true;
    }
    for (const auto& [folder, candidates] : folders) Listed(folder, candidates, now, false);
}

void PictureLedger::ForgetSnapshot() {
    snapshot_.clear();
    snapshotTaken_ = false;
    // A camera folder the user chose is taken as it is.
    clockDecides_ = false;
}

bool PictureLedger::HasKind(const CardFileRecord& c, Store folder) const {
    return IsOfKind(c.Name, folder == Store::HiRes ? hiRes_ : loRes_);
}

bool PictureLedger::Barred(const CardFileRecord& c) const {
    if (!doNotLoad_.empty() && fs::NameKey(c.Name) == fs::NameKey(doNotLoad_)) return true;
    return onlyAdded_ && snapshotTaken_ && snapshot_.count(IdOf(c).Key()) > 0;
}

bool PictureLedger::IsStored(const CardFileRecord& c, Store folder) const {
    PictureId id = IdOf(c);
    // The record knows where this program put the picture, whatever became
    // of the file's size or time since (a user may have turned it).
    if (std::optional<std::wstring> file = record_.StoredAs(id)) {
        std::wstring prefix = std::wstring(FolderName(folder)) + L"\\";
        if (str::StartsWith(*file, prefix) && index_.Find(folder, file->substr(prefix.size()))) return true;
    }
    return false;
}

// Files under the picture's name or beside it with its size that the record
// names for no other picture and whose facts do not say they are another. A
// file the record names for this place on the card may be a copy cut short
// and completed after the record was last written (the program ended in
// between): its bytes tell.
std::vector<std::wstring> PictureLedger::SameCandidates(const CardFileRecord& c, Store folder) const {
    const auto find = [&](const std::wstring& name) { return index_.Find(folder, name); };
    const PictureId id = IdOf(c);
    std::vector<std::wstring> names;
    (void)WalkBesideNames(c.Name, find, [&](const std::wstring&, const fs::FileEntry& file, int) {
        std::optional<std::wstring> known = record_.PictureOf(std::wstring(FolderName(folder)) + L"\\" + file.name);
        const bool otherPicture = known && !str::StartsWith(*known, id.PlaceKey() + L"|");
        if (!otherPicture && MatchStoredFile(file, id, since_) != FileMatch::Different) names.push_back(file.name);
        return false;
    });
    return names;
}

bool PictureLedger::NeedsFetch(const CardFileRecord& c, Store folder) const {
    return c.Size > 0 && !Barred(c) && !IsStored(c, folder);
}

// A stored file under the picture's name or beside it that may be the
// picture cut short (a raw file has no end mark to tell): smaller than the
// picture, and stored for this place on the card (the record says so) or
// carrying a card time close to the picture's. Place makes sure by content.
std::vector<std::wstring> PictureLedger::CutCopies(const CardFileRecord& c, Store folder) const {
    const auto find = [&](const std::wstring& name) { return index_.Find(folder, name); };
    const PictureId id = IdOf(c);
    const std::optional<int64_t> taken = CardTime(id);
    std::vector<std::wstring> copies;
    (void)WalkBesideNames(c.Name, find, [&](const std::wstring&, const fs::FileEntry& file, int) {
        if (file.size >= static_cast<uint64_t>(id.size)) return false;
        std::optional<std::wstring> known = record_.PictureOf(std::wstring(FolderName(folder)) + L"\\" + file.name);
        bool samePlace = known && str::StartsWith(*known, id.PlaceKey() + L"|");
        bool closeInTime = !known && taken && file.modified >= *taken - kWritingTimeNs &&
                           file.modified <= *taken + kTimeSlackNs;
        if (samePlace || closeInTime) copies.push_back(file.name);
        return false;
    });
    return copies;
}

void PictureLedger::StoreFailed(Store folder, const std::wstring& what, const std::wstring& why, int64_t now,
                                bool say) {
    Health& h = health_[Slot(folder)];
    say = say || !h.failing;
    h.failing = true;
    h.nextTry = now + kStoreRetryNs;
    port_->Lamp(ids::kCardButton, model::Lamp::Red, model::LampAt::Bottom);
    if (say)
        port_->Journal(L"Not stored: " + what + L" (" + why + L"); tried again in " +
                       std::to_wstring(kStoreRetryNs / 1000000000) + L" s");
}

bool PictureLedger::TakesFiles(const std::wstring& dir, std::wstring& why) const {
    const std::wstring parts = PartFolder(dir), probe = parts + L"\\" + download_ + L".probe";
    const bool ok = fs::CreateDirs(parts) && fs::WriteFile(probe, "");
    if (!ok) why = fs::LastErrorText();
    (void)fs::DeleteFileAt(probe);
    (void)fs::RemoveDir(parts);
    return ok;
}

std::wstring PictureLedger::PauseKey(const CardFileRecord& c, Store folder) const {
    return std::wstring(FolderName(folder)) + L"|" + IdOf(c).Key();
}

void PictureLedger::CannotPlace(const CardFileRecord& c, Store folder, const std::wstring& what,
                                const std::wstring& why, int64_t now) {
    const std::wstring key = PauseKey(c, folder);
    if (!paused_.count(key) && paused_.size() >= kMaxPicturesLeft) {
        auto soonest = std::min_element(paused_.begin(), paused_.end(),
                                        [](const auto& a, const auto& b) { return a.second.nextTry < b.second.nextTry; });
        paused_.erase(soonest);
    }
    Pause& p = paused_[key];
    const bool first = p.length == 0;
    p.length = first ? kPictureRetryNs : std::min(p.length * 2, kPictureRetryMaxNs);
    p.nextTry = now + p.length;
    port_->Lamp(ids::kCardButton, model::Lamp::Red, model::LampAt::Bottom);
    if (first)
        port_->Journal(L"Not stored: " + what + L" (" + why + L"); the other pictures go on, this one is tried again later");
}

bool PictureLedger::StoreReady(Store folder, int64_t size, int64_t now) {
    Health& h = health_[Slot(folder)];
    if (h.failing && now < h.nextTry) return false;
    const std::wstring dir = FolderOf(folder);
    // A drive that came back may lack the folder; a share that dropped, or
    // a drive that was pulled, cannot make it.
    if (!fs::CreateDirs(dir)) {
        StoreFailed(folder, dir, fs::LastErrorText(), now, false);
        return false;
    }
    std::optional<uint64_t> free = fs::FreeSpace(dir);
    const uint64_t needed = static_cast<uint64_t>(size > 0 ? size : 0) + kSpareBytes;
    if (free && *free < needed) {
        StoreFailed(folder, dir, L"not enough space on the disk: " + Megabytes(*free) + L" free, " + Megabytes(needed) +
                                     L" needed",
                    now, false);
        return false;
    }
    if (!h.failing) return true;
    if (std::wstring why; !TakesFiles(dir, why)) {
        StoreFailed(folder, dir, why, now, false);
        return false;
    }
    h.failing = false;
    port_->Journal(L"Store works again: " + dir);
    return true;
}

StorePlan PictureLedger::Plan(const CardFileRecord& c, Store folder, int64_t now) {
    StorePlan plan;
    if (IsStored(c, folder)) return plan;
    if (const SizeSeen* seen = SeenAtThisSize(c); seen && seen->cutShort && now - seen->since < kSteadyWriteNs) {
        plan.action = StorePlan::Action::Writing;
        return plan;
    }
    plan.action = StorePlan::Action::Later;
    if (auto paused = paused_.find(PauseKey(c, folder)); paused != paused_.end() && now < paused->second.nextTry)
        return plan;
    plan.cutCopies = CutCopies(c, folder);
    plan.sameCandidates = SameCandidates(c, folder);
    std::optional<std::wstring> name = FreeName(LookupIn(folder), c.Name);
    if (!name && plan.cutCopies.empty() && plan.sameCandidates.empty()) {
        CannotPlace(c, folder, FolderOf(folder) + L"\\" + c.Name, L"every name beside it is taken", now);
        return plan;
    }
    plan.fileName = name.value_or(L"");
    if (StoreReady(folder, c.Size, now)) plan.action = StorePlan::Action::Fetch;
    return plan;
}

Placed PictureLedger::Place(const CardFileRecord& c, Store folder, const StorePlan& plan,
                            const std::wstring& downloaded, int64_t now) {
    const std::wstring dir = FolderOf(folder);
    Placed placed;
    const PictureId id = IdOf(c);
    (void)fs::CreateDirs(dir);
    // Nothing but the bytes could tell: the same bytes are the picture, now
    // recorded where it is, and never fetched again.
    if (std::optional<std::wstring> same = SameBytes(downloaded, dir, plan.sameCandidates)) {
        placed.ok = placed.already = true;
        placed.path = dir + L"\\" + *same;
        paused_.erase(PauseKey(c, folder));
        record_.NoteStored(id, std::wstring(FolderName(folder)) + L"\\" + *same);
        record_.StopWaiting(id);
        return placed;
    }
    std::wstring fileName = plan.fileName;
    bool replace = false;
    for (const std::wstring& cut : plan.cutCopies)
        if (fs::BeginsWithFile(downloaded, dir + L"\\" + cut)) {
            fileName = cut;
            replace = true;
            break;
        }
    if (fileName.empty()) {
        CannotPlace(c, folder, dir + L"\\" + c.Name, L"every name beside it is taken", now);
        return placed;
    }
    placed.path = dir + L"\\" + fileName;
    bool ok = PlaceFile(downloaded, placed.path, CardTime(id), replace, placed.why);
    // The name was taken after all: another source stored a picture of that
    // name in the moment since the plan (two bodies both count from 0001),
    // or the file system compares a letter otherwise. The download goes
    // beside it at once, not fetched again.
    auto taken = [&placed] { return fs::FileSize(placed.path) || fs::IsDirectory(placed.path); };
    for (int tries = 0; !ok && !replace && tries < 3 && taken(); tries++) {
        index_.NoteTaken(folder, fileName);
        std::optional<std::wstring> next = FreeName(LookupIn(folder), c.Name);
        if (!next) break;
        fileName = *next;
        placed.path = dir + L"\\" + fileName;
        ok = PlaceFile(downloaded, placed.path, CardTime(id), false, placed.why);
    }
    if (!ok) {
        // Otherwise the name is the trouble, unless the store takes no file
        // at all.
        if (taken())
            index_.NoteTaken(folder, fileName);
        else if (std::wstring unused; TakesFiles(dir, unused))
            CannotPlace(c, folder, placed.path, placed.why, now);
        else
            StoreFailed(folder, placed.path, placed.why, now, true);
        return placed;
    }
    placed.ok = true;
    paused_.erase(PauseKey(c, folder));
    fs::FileEntry file = fs::FileFacts(placed.path).value_or(fs::FileEntry{fileName, static_cast<uint64_t>(id.size), now});
    file.name = fileName;
    index_.NoteStored(folder, file);
    record_.NoteStored(id, std::wstring(FolderName(folder)) + L"\\" + fileName);
    record_.StopWaiting(id);
    if (fs::NameKey(fileName) != fs::NameKey(c.Name) && !replace) port_->Journal(BesideText(c.Name, fileName));
    return placed;
}

bool PictureLedger::StillBeingWritten(const CardFileRecord& c, const std::wstring& downloaded, int64_t now,
                                      const StorePlan& plan, Store folder) {
    if (!HasCardThumbnail(c.Name) || SameBytes(downloaded, FolderOf(folder), plan.sameCandidates)) return false;
    if (fs::ReadTail(downloaded, 2).value_or("") == "\xFF\xD9") return false;
    SizeSeen* seen = SeenAtThisSize(c);
    if (!seen) return true;
    seen->cutShort = true;
    return now - seen->since < kSteadyWriteNs;
}

PictureLedger::SizeSeen* PictureLedger::SeenAtThisSize(const CardFileRecord& c) {
    PictureId id = IdOf(c);
    auto listing = listings_.find(FolderKey(id.folder));
    if (listing == listings_.end()) return nullptr;
    auto seen = listing->second.now.find(id.PlaceKey());
    return seen == listing->second.now.end() || seen->second.size != c.Size ? nullptr : &seen->second;
}

bool PictureLedger::SaveRecord() {
    if (record_.Save()) return true;
    if (!recordUnwritable_) port_->Journal(L"Card record cannot be written: " + record_.File() + L" (" + fs::LastErrorText() + L")");
    recordUnwritable_ = true;
    return false;
}

}  // namespace model
