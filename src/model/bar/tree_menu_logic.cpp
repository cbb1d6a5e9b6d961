// Tree menu texts, file report and thumbnail selection rules.
#include "model/bar/tree_menu_logic.h"

#include <algorithm>

#include "base/str.h"
#include "model/common/ids.h"
#include "model/common/journal.h"
#include "model/settings/settings.h"

namespace model {

std::vector<std::pair<int, std::wstring>> ItemTexts(const Settings& s) {
    return {
        {ids::kMenuTransfer, L"Transfer to: " + s.StoragePath + L"\\"},
        {ids::kMenuFileInfo, L"Show File Info"},
        {ids::kMenuSourcePath, L"Use as Transfer Source Path - Current: '" + s.Path + L"'"},
        {ids::kMenuNeverLoad, L"Never Load This File - Current: '" + s.DoNotLoad + L"'"},
        {ids::kMenuOccurenceName, L"Flash Air Occurence Name - Current: '" + s.OccurenceName + L"'"},
        {ids::kMenuLoRes, L"This extension is LoRes - Current: '" + s.TransferLoRes + L"'"},
        {ids::kMenuHiRes, L"This extension is HiRes - Current: '" + s.TransferHiRes + L"'"},
    };
}

std::vector<int> EnabledItems(ItemKind kind) {
    switch (kind) {
    // The items that act on an item would do nothing.
    case ItemKind::Nothing: return {ids::kMenuRefresh, ids::kMenuClose};
    case ItemKind::Root: return {ids::kMenuOccurenceName};
    case ItemKind::Folder: return {ids::kMenuSourcePath, ids::kMenuRefresh, ids::kMenuClose};
    case ItemKind::File:
        return {ids::kMenuTransfer, ids::kMenuFileInfo, ids::kMenuNeverLoad, ids::kMenuLoRes,
                ids::kMenuHiRes,    ids::kMenuRefresh,  ids::kMenuClose};
    }
    return {};
}

std::optional<std::wstring> ExtensionToAdopt(std::wstring_view name) {
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos || name.size() - dot - 1 <= 2) return std::nullopt;
    return std::wstring(name.substr(dot + 1));
}

std::wstring FileReport(const ReportFile& f, const Settings& s,
                        const std::function<bool(const std::wstring&)>& isThere) {
    auto two = [](int v) { return own_LeadingNull(std::to_wstring(v)); };
    auto yesNo = [&](const std::wstring& path) { return isThere(path) ? L":Yes" : L":No"; };
    std::wstring path = f.directory + L"/" + f.name;
    std::wstring r;
    r += L"*** Start File Info: " + path + L"\r";
    r += L"Size: " + std::to_wstring(f.size) + L"\r";
    r += L"Date: " + two(f.day) + L"." + two(f.month) + L"." + std::to_wstring(f.year) + L"\r";
    r += L"Time: " + two(f.hour) + L":" + two(f.minute) + L":" + two(f.second) + L"\r";
    r += L"In Storage: " + s.StoragePath + L"\\ " + yesNo(s.StoragePath + L"\\" + f.name) + L"\r";
    r += L"LoRes File: " + s.SourcePath + L"\\LoRes\\ " + yesNo(s.SourcePath + L"\\LoRes\\" + f.name) + L"\r";
    r += L"HiRes File: " + s.SourcePath + L"\\HiRes\\ " + yesNo(s.SourcePath + L"\\HiRes\\" + f.name) + L"\r";
    r += L"Selected: " + s.SourcePath + L"\\Selected\\ " + yesNo(s.SourcePath + L"\\Selected\\" + f.name) + L"\r";
    r += std::wstring(L"Thumbnail Present ") + yesNo(s.ThumbnailPath + L"\\_thm_" + f.name) + L"\r";
    r += L"*** End File Info: " + path;
    return r;
}

namespace {

std::optional<size_t> PositionOf(const std::vector<Cell>& cells, TileKey tile) {
    for (size_t i = 0; i < cells.size(); i++)
        if (cells[i].index == tile.record && cells[i].card == tile.card) return i;
    return std::nullopt;
}

}  // namespace

bool ApplyClick(PickClick click, std::vector<Cell>& cells, TileKey current, TileKey previous,
                const std::function<void(const Cell& cell, bool selected)>& setSelected) {
    if (click == PickClick::Plain) {
        // The clicked cell keeps what its click gave it; all others clear.
        for (Cell& c : cells) {
            if (c.index == current.record && c.card == current.card) continue;
            c.on = false;
            setSelected(c, false);
        }
        return true;
    }
    if (click == PickClick::Ctrl) return true;  // the click itself flipped the one cell
    if (current.record < 1 || previous.record < 1 || current == previous) return false;
    auto p = PositionOf(cells, current), q = PositionOf(cells, previous);
    if (!p || !q) return false;  // an anchor without a cell: nothing to span
    for (size_t i = std::min(*p, *q); i <= std::max(*p, *q); i++) {
        cells[i].on = true;
        setSelected(cells[i], true);
    }
    return true;
}

}  // namespace model
