// Card tree order.
#include "model/bar/tree_order.h"

#include <algorithm>
#include <numeric>

namespace model {

namespace {

// Compares a file (by its position) with a folder text, for equal_range.
struct FolderOfFile {
    const std::vector<CardFileEntry>& files;
    bool operator()(size_t file, const std::wstring& folder) const { return files[file].Directory < folder; }
    bool operator()(const std::wstring& folder, size_t file) const { return folder < files[file].Directory; }
};

}  // namespace

void SortForTree(std::vector<std::wstring>& directories, std::vector<CardFileEntry>& files) {
    std::stable_sort(directories.begin(), directories.end());
    std::stable_sort(files.begin(), files.end(),
                     [](const CardFileEntry& a, const CardFileEntry& b) { return a.FullPath < b.FullPath; });
}

std::vector<TreeRow> TreeRows(const std::vector<std::wstring>& directories, const std::vector<CardFileEntry>& files) {
    // Files grouped by folder, keeping their sorted order inside each group,
    // so every folder finds its files by binary search instead of a scan.
    std::vector<size_t> byFolder(files.size());
    std::iota(byFolder.begin(), byFolder.end(), size_t{0});
    std::stable_sort(byFolder.begin(), byFolder.end(),
                     [&](size_t a, size_t b) { return files[a].Directory < files[b].Directory; });

    std::vector<TreeRow> rows;
    rows.reserve(directories.size() + files.size());
    for (const std::wstring& folder : directories) {
        rows.push_back({1, &folder, nullptr});
        auto [first, last] = std::equal_range(byFolder.begin(), byFolder.end(), folder, FolderOfFile{files});
        for (auto it = first; it != last; ++it) rows.push_back({2, &files[*it].Name, &files[*it]});
    }
    return rows;
}

}  // namespace model
