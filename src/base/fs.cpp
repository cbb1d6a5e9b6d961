// The parts of the file-system edge that are the same on every platform.
#include "base/fs.h"

namespace fs {

std::vector<std::wstring> ListFileNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (FileEntry& f : ListFiles(folder)) names.push_back(std::move(f.name));
    return names;
}

}  // namespace fs
