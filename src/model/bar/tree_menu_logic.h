// Pure parts of the card tree's popup menu and of the thumbnail selection:
// menu texts, which items apply to which kind of tree item, the file report,
// and how plain, Shift and Ctrl clicks change the toggles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/bar/thumb_layout.h"


namespace model {

struct Settings;

// Items whose text shows a current setting, with that text.
std::vector<std::pair<int, std::wstring>> ItemTexts(const Settings& s);

enum class ItemKind { Nothing, Root, Folder, File };  // Nothing: no item selected
// Menu ids that are enabled for the selected item.
std::vector<int> EnabledItems(ItemKind kind);

// The extension a menu choice takes over from a file name: the text after
// its last ".", when there is one and it is longer than two characters.
std::optional<std::wstring> ExtensionToAdopt(std::wstring_view name);

struct ReportFile {
    std::wstring directory, name;
    int64_t size = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// The ten-line file report; isThere tells whether a file exists non-empty.
std::wstring FileReport(const ReportFile& f, const Settings& s,
                        const std::function<bool(const std::wstring&)>& isThere);

// One thumbnail cell in display order: its record index, toggle state and
// the card it is on.
struct Cell {
    int32_t index = 0;
    bool on = false;
    size_t card = 0;
};
// How a toggle was clicked: plainly, with Shift (a range from the click
// before), with Ctrl (that toggle alone).
enum class PickClick : uint8_t { Plain, Shift, Ctrl };
// Applies a toggle click for the current and previous clicked tiles.
// setSelected records a cell's Selected flag. Returns false when nothing
// was done.
bool ApplyClick(PickClick click, std::vector<Cell>& cells, TileKey current, TileKey previous,
                const std::function<void(const Cell& cell, bool selected)>& setSelected);

}  // namespace model
