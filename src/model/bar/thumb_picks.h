// The pictures picked in the thumbnail grid, kept by card (its place in
// [TFA] Url) and path there ("directory/name"): the grid's toggles go with
// every rebuild, the picks stay.
#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace model {

class Picks {
public:
    // Picks or unpicks the card file; an empty name is no file and is ignored.
    void Set(size_t card, std::wstring_view directory, std::wstring_view name, bool picked);
    bool Has(size_t card, std::wstring_view directory, std::wstring_view name) const;
    size_t Count() const { return paths_.size(); }

private:
    std::set<std::pair<size_t, std::wstring>> paths_;
};

}  // namespace model
