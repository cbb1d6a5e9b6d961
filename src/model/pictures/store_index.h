// The files of the picture store (SourcePath\HiRes and \LoRes) held in
// memory with their sizes and times, so that asking which file is a picture
// costs a few look-ups, and the folders are listed again only when they
// changed: a store of 100,000 pictures must not be listed on every tick of
// the card timer. No platform headers; the folders are reached through
// base/fs.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/fs.h"
#include "model/settings/folders.h"

namespace model {

// The stored files. Not safe for use from two threads at once: one owner
// refreshes it and asks it.
class StoreIndex {
public:
    // How long after a folder's last change its time stamp is not trusted:
    // file systems keep times coarsely (FAT to 2 s, others to a clock tick),
    // so a change in the same step as the one seen would keep the stamp.
    static constexpr int64_t kStampTrustNs = int64_t{3} * 1000000000;

    // Brings the index up to date with the store below sourcePath. A folder
    // is listed again when the path changed, its last-write time moved, or
    // that time was too recent to trust when it was last listed; otherwise
    // nothing is read but the two folders' times. `now` is the file system's
    // clock (fs::Now()), read before the call. True when a folder was listed.
    bool Refresh(const std::wstring& sourcePath, int64_t now);
    bool Refresh(const std::wstring& sourcePath);

    // A file the program has just stored: known at once. The folder's time
    // stamp moved with it; when the folder was up to date before, its new
    // stamp is taken as seen, so a store of 100,000 files is not listed
    // again for every picture that arrives. (A change by someone else in the
    // very same step of the file system's clock would wait for the next one;
    // nothing is ever written over a file the index does not know, so that
    // costs at most a name.)
    void NoteStored(Store folder, const fs::FileEntry& file);

    // The non-empty file of this name (ignoring case as the file system
    // does, fs::NameKey) in HiRes or LoRes. An empty file is a failed or
    // unfinished copy, so it counts as missing.
    std::optional<fs::FileEntry> Find(Store folder, std::wstring_view name) const;
    // A name the file system holds although the listing had no picture
    // under it (a folder, or a file that came after the listing): no name
    // to give, until the folder is listed again.
    void NoteTaken(Store folder, std::wstring_view name);
    bool Taken(Store folder, std::wstring_view name) const;
    // Files in the store (HiRes and LoRes together).
    size_t Size() const;
    // Goes up with every change of the files, so users can keep what they
    // derive from them until it moves.
    uint64_t Generation() const { return generation_; }

private:
    using Files = std::unordered_map<std::wstring, fs::FileEntry>;  // by fs::NameKey
    struct Folder {
        std::wstring path;
        std::optional<int64_t> stamp;
        bool listed = false;
        bool trusted = false;  // stamp old enough when listed that any later change moves it
        Files files;
        std::unordered_set<std::wstring> taken;  // by fs::NameKey
    };
    Folder& Of(Store folder) { return folders_[folder == Store::HiRes ? 0 : 1]; }
    const Folder& Of(Store folder) const { return folders_[folder == Store::HiRes ? 0 : 1]; }
    void List(Folder& folder, std::optional<int64_t> stamp, int64_t now);

    std::wstring sourcePath_;
    Folder folders_[2];  // HiRes, LoRes
    uint64_t generation_ = 0;
};

}  // namespace model
