// The backup's rules and its queue file: lines of tab-separated fields, UTF-8.
//   Wemlox backup queue 1
//   wait  <stored file>  <place below the backup folder>
// Windows file names hold no control characters, so no tab occurs in a field.
#include "model/pictures/backup.h"

#include "base/str.h"
#include "model/settings/folders.h"
#include "model/settings/settings.h"

namespace model {

namespace {

constexpr std::string_view kHeader = "Wemlox backup queue 1";

// The part of `path` below `folder`, when it lies there.
std::optional<std::wstring> Below(const std::wstring& folder, const std::wstring& path) {
    if (folder.empty() || path.size() <= folder.size() + 1 || path[folder.size()] != L'\\') return std::nullopt;
    if (fs::NameKey(path.substr(0, folder.size())) != fs::NameKey(folder)) return std::nullopt;
    return path.substr(folder.size() + 1);
}

bool SameFacts(const fs::FileEntry& a, const fs::FileEntry& b) {
    const int64_t apart = a.modified - b.modified;
    return a.size == b.size && apart <= kTimeSlackNs && apart >= -kTimeSlackNs;
}

}  // namespace

std::vector<BackedUpFolder> BackedUpFolders(const Settings& s) {
    std::vector<BackedUpFolder> folders = {{StoreFolder(s, Store::HiRes), L"HiRes"},
                                           {StoreFolder(s, Store::LoRes), L"LoRes"}};
    if (!s.StoragePath.empty())
        folders.push_back({s.StoragePath, Below(s.SourcePath, s.StoragePath).value_or(L"Storage")});
    return folders;
}

std::optional<std::wstring> BackupPlace(const Settings& s, const std::wstring& storedFile) {
    for (const BackedUpFolder& f : BackedUpFolders(s)) {
        std::optional<std::wstring> rest = Below(f.folder, storedFile);
        // Only the folder's own files: a subfolder is none of the store's.
        if (rest && rest->find(L'\\') == std::wstring::npos) return f.place + L"\\" + *rest;
    }
    return std::nullopt;
}

BackupPlan PlanBackup(const FileLookup& backup, std::wstring_view name, const fs::FileEntry& stored,
                      const std::function<BackupMatch(const std::wstring& name)>& compare) {
    BackupPlan found{BackupPlan::Action::NoName, L""};
    std::optional<std::wstring> free =
        WalkBesideNames(name, backup, [&](const std::wstring& candidate, const fs::FileEntry& there, int n) {
            // A copy cut short (a run ended under it by other means than ours)
            // is the picture's own: only under its own name.
            const bool mayBe = there.size == stored.size || (n == 1 && there.size < stored.size);
            if (!mayBe) return false;
            switch (compare(candidate)) {
            case BackupMatch::Same:
                if (there.size != stored.size) return false;
                found = {BackupPlan::Action::Present, candidate};
                return true;
            case BackupMatch::CutShort: found = {BackupPlan::Action::Replace, candidate}; return true;
            case BackupMatch::Other: return false;
            }
            return false;
        });
    if (free) return {BackupPlan::Action::Copy, *free};
    return found;
}

BackupMatch CompareWithStored(const std::wstring& stored, const std::wstring& backupFile) {
    std::optional<uint64_t> a = fs::FileSize(stored), b = fs::FileSize(backupFile);
    if (!a || !b || *b > *a || !fs::BeginsWithFile(stored, backupFile)) return BackupMatch::Other;
    return *a == *b ? BackupMatch::Same : BackupMatch::CutShort;
}

bool InBackup(const FileLookup& backup, std::wstring_view name, const fs::FileEntry& stored) {
    bool in = false;
    (void)WalkBesideNames(name, backup, [&](const std::wstring&, const fs::FileEntry& there, int) {
        return in = SameFacts(there, stored);
    });
    return in;
}

std::optional<std::wstring> BackupQueue::Open(std::wstring file) {
    *this = BackupQueue();
    file_ = std::move(file);
    if (!fs::FileSize(file_)) return std::nullopt;
    std::optional<std::string> text = fs::ReadFile(file_, kReadLimit);
    if (!text) return fs::FileSize(file_).value_or(0) > kReadLimit ? L"larger than a queue can be" : fs::LastErrorText();
    if (!Parse(*text)) return L"it is no queue";
    return std::nullopt;
}

bool BackupQueue::Add(Entry entry) {
    if (!places_.insert(fs::NameKey(entry.place)).second) return false;
    entries_.push_back(std::move(entry));
    if (entries_.size() > kMaxEntries) PopFront();
    dirty_ = true;
    return true;
}

void BackupQueue::PopFront() {
    if (entries_.empty()) return;
    places_.erase(fs::NameKey(entries_.front().place));
    entries_.pop_front();
    dirty_ = true;
}

bool BackupQueue::Save() {
    if (!dirty_ || file_.empty()) return true;
    const bool ok = entries_.empty() ? (!fs::FileSize(file_) || fs::DeleteFileAt(file_))
                                     : fs::WriteFileReplacing(file_, Serialize());
    if (ok) dirty_ = false;
    return ok;
}

std::string BackupQueue::Serialize() const {
    std::string text = std::string(kHeader) + "\r\n";
    for (const Entry& e : entries_) text += "wait\t" + str::ToUtf8(e.stored) + "\t" + str::ToUtf8(e.place) + "\r\n";
    return text;
}

bool BackupQueue::Parse(std::string_view text) {
    entries_.clear();
    places_.clear();
    size_t from = 0;
    bool header = true;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(from, end - from);
        from = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (header) {
            if (line != kHeader) return false;
            header = false;
            continue;
        }
        const size_t a = line.find('\t'), b = a == std::string_view::npos ? a : line.find('\t', a + 1);
        if (b == std::string_view::npos || line.substr(0, a) != "wait" || b == a + 1 || b + 1 >= line.size()) continue;
        Entry e{str::FromUtf8(line.substr(a + 1, b - a - 1)), str::FromUtf8(line.substr(b + 1))};
        if (e.place.find(L"..") != std::wstring::npos || IsAbsoluteFolderPath(e.place)) continue;  // not below the backup
        (void)Add(std::move(e));
    }
    dirty_ = false;
    return !header;
}

std::optional<std::wstring> BackupReport::Failed(const std::wstring& file, const std::wstring& why, size_t waiting,
                                                 int64_t now) {
    nextTry_ = now + kRetryNs;
    sayWhenDrained_ = true;
    if (failing_) return std::nullopt;
    failing_ = true;
    return L"Backup failed: " + file + L" (" + why + L"); " + str::FromInt(static_cast<int>(waiting)) +
           (waiting == 1 ? L" picture waits" : L" pictures wait") + L", tried again";
}

void BackupReport::Copied() {
    failing_ = false;
    copied_++;
}

std::optional<std::wstring> BackupReport::Drained() {
    failing_ = false;
    const bool say = copied_ > 0 && sayWhenDrained_;
    const size_t n = copied_;
    copied_ = 0;
    sayWhenDrained_ = false;
    if (!say) return std::nullopt;
    return L"Backup complete: " + str::FromInt(static_cast<int>(n)) + (n == 1 ? L" picture" : L" pictures");
}

std::wstring SameDriveWarning(const std::wstring& backupPath) {
    return L"Backup: " + backupPath +
           L" is on the same drive as the pictures; it keeps a deleted file, but not a drive that fails";
}

}  // namespace model
