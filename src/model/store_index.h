// The names in the picture store (SourcePath\HiRes and \LoRes) held in
// memory, so that asking whether a picture is stored costs one look-up, and
// the folders are listed again only when they changed: a store of 100,000
// pictures must not be listed on every tick of the card timer.
// No platform headers; the folders are reached through base/fs.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace card {

// A set of names compared as the transfer compares them: ignoring case.
class NameSet {
public:
    // True when the name was not in the set yet.
    bool Insert(std::wstring_view name);
    bool Contains(std::wstring_view name) const;
    bool ContainsLowered(const std::wstring& lowered) const { return names_.count(lowered) > 0; }
    size_t Size() const { return names_.size(); }
    void Clear() { names_.clear(); }
    // The names, lower-cased, in no set order.
    auto begin() const { return names_.begin(); }
    auto end() const { return names_.end(); }

private:
    std::unordered_set<std::wstring> names_;  // lower-cased
};

// The stored pictures. Not safe for use from two threads at once: one owner
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

    // A picture the program has just stored: known at once, until the next
    // refresh lists its folder again.
    void NoteStored(std::wstring_view name);

    // True when a non-empty file of this name (ignoring case) is stored. An
    // empty file is a failed or unfinished copy, so it counts as missing.
    bool Contains(std::wstring_view name) const;
    // Distinct names in the store (ignoring case).
    size_t Size() const { return size_; }
    // Goes up with every change of the names, so users can keep what they
    // derive from them until it moves.
    uint64_t Generation() const { return generation_; }

private:
    struct Folder {
        std::wstring path;
        std::optional<int64_t> stamp;
        bool listed = false;
        bool trusted = false;  // stamp old enough when listed that any later change moves it
        NameSet names;
    };
    void List(Folder& folder, std::optional<int64_t> stamp, int64_t now);
    void Recount();

    std::wstring sourcePath_;
    Folder folders_[2];  // HiRes, LoRes
    NameSet noted_;
    size_t size_ = 0;
    uint64_t generation_ = 0;
};

}  // namespace card
