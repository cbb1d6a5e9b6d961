// The parts of the file-system edge that are the same on every platform.
#include "base/fs.h"

#include <algorithm>

namespace fs {

std::optional<std::string> ReadTail(const std::wstring& path, size_t count) {
    std::optional<uint64_t> size = FileSize(path);
    if (!size) return std::nullopt;
    return ReadRange(path, *size - std::min<uint64_t>(*size, count), count);
}

bool BeginsWithFile(const std::wstring& whole, const std::wstring& start) {
    std::optional<uint64_t> startSize = FileSize(start), wholeSize = FileSize(whole);
    if (!startSize || !wholeSize || *startSize > *wholeSize) return false;
    constexpr size_t kPiece = size_t{1} << 20;
    for (uint64_t at = 0; at < *startSize; at += kPiece) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(kPiece, *startSize - at));
        std::optional<std::string> a = ReadRange(start, at, count), b = ReadRange(whole, at, count);
        if (!a || !b || a->size() != count || *a != *b) return false;
    }
    return true;
}

std::vector<std::wstring> ListFileNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (FileEntry& f : ListFiles(folder)) names.push_back(std::move(f.name));
    return names;
}

}  // namespace fs
