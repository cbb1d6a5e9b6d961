// The parts of the file-system edge that are the same on every platform.
#include "base/fs.h"

namespace fs {

bool BeginsWithFile(const std::wstring& whole, const std::wstring& start) {
    std::optional<uint64_t> startSize = FileSize(start), wholeSize = FileSize(whole);
    if (!startSize || !wholeSize || *startSize > *wholeSize) return false;
    // Both are read whole: the copy cut short is at most a picture's size,
    // and this is asked once per such copy.
    std::optional<std::string> a = ReadFile(start), b = ReadFile(whole);
    return a && b && b->compare(0, a->size(), *a) == 0;
}

std::vector<std::wstring> ListFileNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (FileEntry& f : ListFiles(folder)) names.push_back(std::move(f.name));
    return names;
}

}  // namespace fs
