// The pictures picked in the thumbnail grid, kept by card path
// ("directory/name"): the grid's toggles go with every rebuild, the picks stay.
#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace model {

class Picks {
public:
    // Picks or unpicks the card file; an empty name is no file and is ignored.
    void Set(std::wstring_view directory, std::wstring_view name, bool picked);
    bool Has(std::wstring_view directory, std::wstring_view name) const;
    size_t Count() const { return paths_.size(); }

private:
    std::set<std::wstring, std::less<>> paths_;
};

}  // namespace model
