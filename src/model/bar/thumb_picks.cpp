// Picked card files of the thumbnail grid.
#include "model/bar/thumb_picks.h"

namespace model {

namespace {

// Card names hold no "/", so the path names one file.
std::wstring PathOf(std::wstring_view directory, std::wstring_view name) {
    return std::wstring(directory) + L"/" + std::wstring(name);
}

}  // namespace

void Picks::Set(size_t card, std::wstring_view directory, std::wstring_view name, bool picked) {
    if (name.empty()) return;
    if (picked) {
        paths_.emplace(card, PathOf(directory, name));
    } else {
        paths_.erase({card, PathOf(directory, name)});
    }
}

bool Picks::Has(size_t card, std::wstring_view directory, std::wstring_view name) const {
    return !name.empty() && paths_.contains({card, PathOf(directory, name)});
}

}  // namespace model
