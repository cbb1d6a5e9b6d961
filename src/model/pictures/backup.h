// The second copy of every stored picture in the backup folder: which files
// are backed up and where, the name each gets there (never over a different
// picture), the queue of what waits (a small file, so that nothing is lost to
// a restart or a kill) and what the journal hears. The backup thread carries
// it out; no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/fs.h"
#include "model/pictures/picture.h"

namespace model {

struct Settings;

// Where a stored file goes below the backup folder: its place below
// SourcePath ("HiRes\P1010001.JPG"), or "Storage\..." for a storage folder
// elsewhere; nothing for a file of neither.
std::optional<std::wstring> BackupPlace(const Settings& s, const std::wstring& storedFile);
// The folders whose files are backed up, each with its place in the backup.
struct BackedUpFolder {
    std::wstring folder, place;
};
std::vector<BackedUpFolder> BackedUpFolders(const Settings& s);

// What the backup folder does with one stored file.
struct BackupPlan {
    enum class Action {
        Copy,     // copy it under `name`
        Replace,  // `name` holds a copy of it cut short: the whole one replaces it
        Present,  // `name` holds it already
        NoName,   // every name beside it is taken
    };
    Action action = Action::Copy;
    std::wstring name;
};
// How a file of the backup compares with the stored one.
enum class BackupMatch { Same, CutShort, Other };
// Looks through the stored file's name and the names beside it in the
// backup's folder: the first that holds the picture, else the first free one.
// `compare` is asked only of a file whose size and time would let it be the
// picture (or of a shorter one under the picture's own name).
BackupPlan PlanBackup(const FileLookup& backup, std::wstring_view name, const fs::FileEntry& stored,
                      const std::function<BackupMatch(const std::wstring& name)>& compare);
// Compares a file of the backup with the stored file, reading both.
BackupMatch CompareWithStored(const std::wstring& stored, const std::wstring& backupFile);
// The start's look, which reads no bytes: true when a file of the backup has
// the stored file's size and time, under its name or one beside it.
bool InBackup(const FileLookup& backup, std::wstring_view name, const fs::FileEntry& stored);

// The stored files that wait for their second copy, oldest first, kept in a
// file (replaced as a whole, read with a size limit).
class BackupQueue {
public:
    struct Entry {
        std::wstring stored;  // the stored file
        std::wstring place;   // where it goes below the backup folder
    };
    // Far more than a day's shoot; beyond it the oldest go (the start's look
    // finds them again).
    static constexpr size_t kMaxEntries = 100000;
    static constexpr size_t kReadLimit = size_t{64} << 20;

    // Reads the queue kept in `file` (none: empty); the reason when a file is
    // there and cannot be read (it is then written over).
    std::optional<std::wstring> Open(std::wstring file);
    // False when the place already waits.
    bool Add(Entry entry);
    bool Empty() const { return entries_.empty(); }
    size_t Size() const { return entries_.size(); }
    const Entry& Front() const { return entries_.front(); }
    void PopFront();
    bool Dirty() const { return dirty_; }
    [[nodiscard]] bool Save();

    std::string Serialize() const;
    // False when the text is no queue.
    bool Parse(std::string_view text);

private:
    std::wstring file_;
    std::deque<Entry> entries_;
    std::unordered_set<std::wstring> places_;  // fs::NameKey of each place
    bool dirty_ = false;
};

// What the journal hears of the backup, and when to try again.
class BackupReport {
public:
    // A backup that failed is tried again after this long.
    static constexpr int64_t kRetryNs = int64_t{5} * 1000000000;

    // A copy failed: one line for the first failure of a spell.
    std::optional<std::wstring> Failed(const std::wstring& file, const std::wstring& why, size_t waiting,
                                       int64_t now);
    bool Failing() const { return failing_; }
    bool MayTry(int64_t now) const { return !failing_ || now >= nextTry_; }
    void Copied();
    // Pictures waited from before (the queue file, the start's look).
    void Waited() { sayWhenDrained_ = true; }
    // The queue ran empty: "Backup complete: N pictures" when it ended a
    // spell of failure or what waited from before (a shoot's pictures, copied
    // as they come, say nothing); the count starts again.
    std::optional<std::wstring> Drained();

private:
    bool failing_ = false, sayWhenDrained_ = false;
    int64_t nextTry_ = 0;
    size_t copied_ = 0;
};

// The journal's warning for a backup folder on the store's drive.
std::wstring SameDriveWarning(const std::wstring& backupPath);

}  // namespace model
