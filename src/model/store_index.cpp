// The picture store's names in memory, listed again only when changed.
#include "model/store_index.h"

#include "base/fs.h"
#include "base/str.h"

namespace card {

bool NameSet::Insert(std::wstring_view name) { return names_.insert(str::ToLower(name)).second; }

bool NameSet::Contains(std::wstring_view name) const { return names_.count(str::ToLower(name)) > 0; }

bool StoreIndex::Refresh(const std::wstring& sourcePath) { return Refresh(sourcePath, fs::Now()); }

bool StoreIndex::Refresh(const std::wstring& sourcePath, int64_t now) {
    bool moved = sourcePath != sourcePath_;
    if (moved) {
        sourcePath_ = sourcePath;
        folders_[0] = Folder{};
        folders_[0].path = sourcePath + L"\\HiRes";
        folders_[1] = Folder{};
        folders_[1].path = sourcePath + L"\\LoRes";
    }
    bool listed = false;
    for (Folder& folder : folders_) {
        std::optional<int64_t> stamp = fs::LastWriteTime(folder.path);
        if (folder.listed && folder.trusted && stamp == folder.stamp) continue;
        List(folder, stamp, now);
        listed = true;
    }
    // A name noted since the last listing is in that listing now, if it is
    // stored at all: storing it moved its folder's stamp.
    if (listed || moved) {
        noted_.Clear();
        Recount();
    }
    return listed;
}

void StoreIndex::List(Folder& folder, std::optional<int64_t> stamp, int64_t now) {
    folder.names.Clear();
    if (stamp) {
        for (const fs::FileEntry& f : fs::ListFiles(folder.path))
            if (f.size > 0) folder.names.Insert(f.name);
    }
    folder.stamp = stamp;
    folder.listed = true;
    // The stamp was read before the listing: a change after it moves the
    // stamp unless it falls into the stamp's own coarse step. A missing
    // folder has no step: once made, it has a stamp.
    folder.trusted = !stamp || now - *stamp > kStampTrustNs;
}

void StoreIndex::NoteStored(std::wstring_view name) {
    if (name.empty() || Contains(name)) return;
    noted_.Insert(name);
    size_++;
    generation_++;
}

bool StoreIndex::Contains(std::wstring_view name) const {
    std::wstring lower = str::ToLower(name);
    return folders_[0].names.ContainsLowered(lower) || folders_[1].names.ContainsLowered(lower) ||
           noted_.ContainsLowered(lower);
}

void StoreIndex::Recount() {
    size_ = folders_[0].names.Size() + noted_.Size();
    for (const std::wstring& name : folders_[1].names)
        if (!folders_[0].names.ContainsLowered(name)) size_++;
    generation_++;
}

}  // namespace card
