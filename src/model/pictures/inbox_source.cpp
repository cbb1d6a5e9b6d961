// An inbox folder as a source: its files as the pipeline's listing, fetched
// by a verified copy, never touched in the inbox itself.
#include "model/pictures/inbox_source.h"

#include <algorithm>

#include "base/str.h"
#include "model/common/ids.h"
#include "model/pictures/card_list.h"
#include "model/pictures/picture.h"
#include "model/settings/folders.h"

namespace model {

namespace {

// Files whose copy failed are named once each, up to this many in a run.
constexpr size_t kMaxFailuresSaid = 500;

bool LooksWritten(std::wstring_view name) {
    return !name.empty() && (name.front() == L'~' || name.front() == L'.');
}

// A folder below the inbox whose name says a program is still filling it
// (rsync's ".~tmp~", a hidden one) is passed over as its files would be.
bool FolderInWriting(const std::wstring& below) {
    size_t start = 0;
    while (start < below.size()) {
        size_t end = below.find(L'\\', start);
        if (end == std::wstring::npos) end = below.size();
        if (LooksWritten(std::wstring_view(below).substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

// The file as a listing entry: its folder below the inbox (with "/"), its
// name, size and time as the fields a card lists (the local wall clock, to
// the FAT's two seconds).
CardFileRecord RecordOf(const std::wstring& below, const fs::FileEntry& f) {
    CardFileRecord c;
    c.Directory = below;
    std::replace(c.Directory.begin(), c.Directory.end(), L'\\', L'/');
    c.Name = f.name;
    c.Size = static_cast<int64_t>(std::min<uint64_t>(f.size, INT64_MAX));
    if (std::optional<fs::LocalTime> t = fs::FileTimeToLocalTime(f.modified); t && t->year >= 1980 && t->year <= 2107) {
        SetFatDate(c, ((t->year - 1980) << 9) | (t->month << 5) | t->day);
        SetFatTime(c, (t->hour << 11) | (t->minute << 5) | (t->second / 2));
    }
    return c;
}

}  // namespace

bool IsNameInWriting(std::wstring_view name) {
    if (LooksWritten(name)) return true;
    for (std::wstring_view suffix : {L".tmp", L".part", L".filepart", L".crdownload"})
        if (str::EndsWithI(name, suffix)) return true;
    return false;
}

Sighting SightingNow(const fs::FileEntry& file, const Sighting* before, int64_t now) {
    if (before && before->size == file.size && before->modified == file.modified) return *before;
    return {file.size, file.modified, now};
}

bool HasHeld(const Sighting& seen, int64_t now) { return seen.size > 0 && now - seen.since >= kInboxHeldNs; }

// The folder without a separator at its end, but for a drive's root.
static std::wstring WithoutTrailingSeparator(std::wstring folder) {
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/') &&
           !(folder.size() == 3 && folder[1] == L':'))
        folder.pop_back();
    return folder;
}

InboxSource::InboxSource(std::wstring folder, TransferEvents& events, std::function<bool()> stopping)
    : folder_(WithoutTrailingSeparator(std::move(folder))),
      id_(L"inbox-" + str::Hex(str::Hash64(str::ToUtf8(LocalFolderKey(folder_))), 16)),
      events_(events),
      stopping_(std::move(stopping)),
      port_(events),
      ledger_(port_) {}

void InboxSource::Begin(const Settings& settings, const std::wstring& recordFolder, int64_t runStart) {
    config_ = settings;
    ledger_.Begin(recordFolder, runStart, IdentitiesSince(recordFolder, runStart));
    ledger_.OwnDownload(PartName());
    const bool seenBefore = fs::FileSize(CardRecord::FileFor(recordFolder, id_)).has_value();
    (void)ledger_.CardIdentified(id_);
    // Seen before, and empty every time: whatever it holds now came while
    // the program was ended (a record keeps no empty folders).
    if (seenBefore && !ledger_.Record().KnowsHeld()) config_.TransferOnlyAddedFiles = false;
    // At the start, while nothing is fetched yet: the ledger's first look
    // clears what cut runs left in the temporary and the store's helper folders.
    ledger_.Configure(config_);
    (void)fs::DeleteFileAt(PartFile());
}

std::wstring InboxSource::PartName() const { return L"Wemlox-" + id_ + L".part"; }

std::wstring InboxSource::PartFile() const { return StoreFolder(config_, Store::Tmp) + L"\\" + PartName(); }

std::wstring InboxSource::PathOf(const std::wstring& below, const std::wstring& name) const {
    const std::wstring separator = folder_.back() == L'\\' ? L"" : L"\\";
    std::wstring path = folder_ + separator + (below.empty() ? L"" : below + L"\\") + name;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(folder_.size()), path.end(), L'/', L'\\');
    return path;
}

void InboxSource::Reached(bool reached) {
    const bool wasMissing = missing_;
    missing_ = !reached;  // before the lamp, which may ask
    if (!reached) {
        // Red for as long as it is missing: the card's poll may have turned it green.
        events_.Lamp(ids::kCardButton, Lamp::Red, LampAt::Bottom);
        if (!wasMissing) events_.Journal(L"Inbox not reachable: " + folder_ + L" (looked at again until it is back)");
    } else if (wasMissing) {
        events_.Journal(L"Inbox back: " + folder_);
        events_.Lamp(ids::kCardButton, Lamp::Green, LampAt::Bottom);
    }
}

bool InboxSource::Look(bool) {
    lookSoon_ = false;
    const int64_t now = fs::Now();
    std::optional<std::vector<fs::TreeEntry>> tree;
    if (fs::IsDirectory(folder_)) tree = fs::ListTree(folder_);
    Reached(tree.has_value());
    // An inbox that is away keeps what was seen of it: it is taken up where it stopped.
    if (!tree) return false;
    ledger_.Configure(config_);
    std::unordered_map<std::wstring, Sighting> seen;
    std::vector<std::pair<std::wstring, std::vector<CardFileRecord>>> folders;
    std::unordered_map<std::wstring, size_t> folderAt;
    for (const fs::TreeEntry& e : *tree) {
        const std::wstring& name = e.file.name;
        if (IsNameInWriting(name) || FolderInWriting(e.below)) continue;
        if (!IsOfKind(name, config_.TransferLoRes) && !IsOfKind(name, config_.TransferHiRes)) continue;
        const std::wstring key = fs::NameKey(e.below + L"\\" + name);
        auto before = seen_.find(key);
        const Sighting& s = seen[key] = SightingNow(e.file, before == seen_.end() ? nullptr : &before->second, now);
        if (!HasHeld(s, now)) {
            lookSoon_ = lookSoon_ || s.size > 0;
            continue;
        }
        CardFileRecord c = RecordOf(e.below, e.file);
        // Its writer still has it open: it is taken once it was closed. (A
        // picture stored, or there before, is not opened at every look.)
        if (Wanted(c) && !fs::ClosedByWriters(PathOf(e.below, name))) {
            lookSoon_ = true;
            continue;
        }
        auto [at, added] = folderAt.try_emplace(c.Directory, folders.size());
        if (added) folders.push_back({c.Directory, {}});
        folders[at->second].second.push_back(std::move(c));
    }
    seen_ = std::move(seen);
    // The first look of the run only sees: what holds at the next one was
    // there before the run, for the first-sight rule.
    if (!begun_ || now - firstLook_ < kInboxHeldNs) {
        if (!begun_) firstLook_ = now;
        begun_ = true;
        lookSoon_ = true;
        return false;
    }
    // The ledger hears only of folders that changed: a look that found
    // nothing new writes no record.
    std::vector<std::pair<std::wstring, std::vector<CardFileRecord>>> changed;
    std::unordered_map<std::wstring, std::wstring> heard;
    listed_.clear();
    for (auto& [directory, candidates] : folders) {
        std::wstring said;
        for (const CardFileRecord& c : candidates)
            said += IdOf(c).Key() + L"\n";
        auto before = heard_.find(directory);
        if (before == heard_.end() || before->second != said) changed.push_back({directory, candidates});
        heard[directory] = std::move(said);
        listed_.insert(listed_.end(), candidates.begin(), candidates.end());
    }
    // A folder whose pictures all went is heard of as empty.
    for (const auto& [directory, said] : heard_)
        if (!heard.count(directory)) changed.push_back({directory, {}});
    heard_ = std::move(heard);
    // The newest picture is the last one handed to the viewer.
    std::stable_sort(listed_.begin(), listed_.end(), [](const CardFileRecord& a, const CardFileRecord& b) {
        return std::pair{a.RawDate, a.RawTime} < std::pair{b.RawDate, b.RawTime};
    });
    // The first listing writes the record even of an empty inbox: it was seen.
    if (!listedOnce_ && !heard_.count(L"")) changed.push_back({L"", {}});
    if (!changed.empty() || !listedOnce_) ledger_.ListedFolders(changed, now);
    listedOnce_ = true;
    return std::any_of(listed_.begin(), listed_.end(), [this](const CardFileRecord& c) { return Wanted(c); });
}

bool InboxSource::Wanted(const CardFileRecord& c) const {
    const std::wstring mode = str::ToLower(config_.TransferModeAuto);
    const bool loRes = mode == L"lores" || mode == L"both", hiRes = mode == L"hires" || mode == L"both";
    return (loRes && IsOfKind(c.Name, config_.TransferLoRes) && ledger_.NeedsFetch(c, Store::LoRes)) ||
           (hiRes && IsOfKind(c.Name, config_.TransferHiRes) && ledger_.NeedsFetch(c, Store::HiRes));
}

std::vector<const CardFileRecord*> InboxSource::Listed() const {
    std::vector<const CardFileRecord*> pictures;
    for (const CardFileRecord& c : listed_) pictures.push_back(&c);
    return pictures;
}

bool InboxSource::FetchInto(const CardFileRecord& c, const std::wstring& path) {
    const std::wstring from = PathOf(c.Directory, c.Name);
    // Changed since the look: another picture, seen at the next one.
    auto same = [&] {
        std::optional<fs::FileEntry> now = fs::FileFacts(from);
        if (!now) return false;
        CardFileRecord r = RecordOf(c.Directory, *now);
        return r.Size == c.Size && r.RawDate == c.RawDate && r.RawTime == c.RawTime;
    };
    if (!same()) {
        lookSoon_ = true;
        return false;
    }
    const fs::CopyOutcome outcome = fs::CopyVerified(from, path, [this] { return !stopping_(); });
    if (outcome == fs::CopyOutcome::Copied && fs::FileSize(path) == static_cast<uint64_t>(c.Size) && same())
        return true;
    // Written to again while it was copied, or held open by a writer again:
    // the next look decides anew.
    if (outcome == fs::CopyOutcome::Failed && fs::FileFacts(from) && said_.size() < kMaxFailuresSaid &&
        said_.insert(IdOf(c).Key()).second)
        events_.Journal(L"Inbox: not taken yet: " + from + L" (" + fs::LastErrorText() + L")");
    (void)fs::DeleteFileAt(path);
    return false;
}

}  // namespace model
