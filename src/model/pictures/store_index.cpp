// The picture store's files in memory, listed again only when changed.
#include "model/pictures/store_index.h"

namespace model {

bool StoreIndex::Refresh(const std::wstring& sourcePath) { return Refresh(sourcePath, fs::Now()); }

bool StoreIndex::Refresh(const std::wstring& sourcePath, int64_t now) {
    if (sourcePath != sourcePath_) {
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
    if (listed) generation_++;
    return listed;
}

void StoreIndex::List(Folder& folder, std::optional<int64_t> stamp, int64_t now) {
    folder.files.clear();
    folder.taken.clear();
    if (stamp) {
        for (fs::FileEntry& f : fs::ListFiles(folder.path)) {
            if (f.size == 0) continue;
            std::wstring key = fs::NameKey(f.name);
            folder.files.emplace(std::move(key), std::move(f));
        }
    }
    folder.stamp = stamp;
    folder.listed = true;
    // The stamp was read before the listing: a change after it moves the
    // stamp unless it falls into the stamp's own coarse step. A missing
    // folder has no step: once made, it has a stamp.
    folder.trusted = !stamp || now - *stamp > kStampTrustNs;
}

void StoreIndex::NoteStored(Store folder, const fs::FileEntry& file) {
    if (file.name.empty() || file.size == 0) return;
    Folder& f = Of(folder);
    f.files[fs::NameKey(file.name)] = file;
    if (f.listed && f.trusted) f.stamp = fs::LastWriteTime(f.path);
    generation_++;
}

std::optional<fs::FileEntry> StoreIndex::Find(Store folder, std::wstring_view name) const {
    const Files& files = Of(folder).files;
    auto it = files.find(fs::NameKey(name));
    if (it == files.end()) return std::nullopt;
    return it->second;
}

void StoreIndex::NoteTaken(Store folder, std::wstring_view name) { Of(folder).taken.insert(fs::NameKey(name)); }

bool StoreIndex::Taken(Store folder, std::wstring_view name) const {
    const Folder& f = Of(folder);
    const std::wstring key = fs::NameKey(name);
    return f.files.count(key) > 0 || f.taken.count(key) > 0;
}

size_t StoreIndex::Size() const { return folders_[0].files.size() + folders_[1].files.size(); }

}  // namespace model
