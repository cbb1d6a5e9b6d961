#include "model/bar/tree_menu_logic.h"

#include <gtest/gtest.h>

#include "model/common/ids.h"
#include "model/settings/settings.h"

TEST(TreeMenuLogic, EnabledItemsByKind) {
    using model::ItemKind;
    EXPECT_EQ(model::EnabledItems(ItemKind::Nothing), (std::vector<int>{168, 169}));
    EXPECT_EQ(model::EnabledItems(ItemKind::Root), std::vector<int>{167});
    EXPECT_EQ(model::EnabledItems(ItemKind::Folder), (std::vector<int>{165, 168, 169}));
    EXPECT_EQ(model::EnabledItems(ItemKind::File), (std::vector<int>{161, 162, 166, 170, 171, 168, 169}));
}

TEST(TreeMenuLogic, ExtensionIsTakenOnlyWhenLongerThanTwo) {
    EXPECT_EQ(model::ExtensionToAdopt(L"IMG_0001.JPG").value_or(L"-"), L"JPG");
    EXPECT_EQ(model::ExtensionToAdopt(L"a.b.jpeg").value_or(L"-"), L"jpeg");
    EXPECT_FALSE(model::ExtensionToAdopt(L"IMG_0001.TX"));
    EXPECT_FALSE(model::ExtensionToAdopt(L"IMG_0001"));
    EXPECT_FALSE(model::ExtensionToAdopt(L"IMG_0001."));
}

TEST(TreeMenuLogic, FileReportHasTenLinesWithPaddedDateAndStorageTests) {
    model::Settings s;
    s.StoragePath = L"C:\\S";
    s.SourcePath = L"C:\\W";
    s.ThumbnailPath = L"C:\\S\\Thumbnails";
    model::ReportFile f{L"/DCIM/100CANON", L"IMG_0001.JPG", 123456, 2017, 3, 5, 9, 4, 6};
    auto there = [](const std::wstring& p) { return p == L"C:\\W\\LoRes\\IMG_0001.JPG" || p == L"C:\\S\\Thumbnails\\_thm_IMG_0001.JPG"; };
    EXPECT_EQ(model::FileReport(f, s, there),
              L"*** Start File Info: /DCIM/100CANON/IMG_0001.JPG\r"
              L"Size: 123456\r"
              L"Date: 05.03.2017\r"
              L"Time: 09:04:06\r"
              L"In Storage: C:\\S\\ :No\r"
              L"LoRes File: C:\\W\\LoRes\\ :Yes\r"
              L"HiRes File: C:\\W\\HiRes\\ :No\r"
              L"Selected: C:\\W\\Selected\\ :No\r"
              L"Thumbnail Present :Yes\r"
              L"*** End File Info: /DCIM/100CANON/IMG_0001.JPG");
}

namespace {

// Cells in display order whose record indices are deliberately not sorted.
std::vector<model::Cell> Cells() { return {{7, false}, {3, false}, {9, false}, {1, false}, {5, false}}; }
std::vector<bool> States(const std::vector<model::Cell>& cells) {
    std::vector<bool> on;
    for (auto& c : cells) on.push_back(c.on);
    return on;
}
void Ignore(const model::Cell&, bool) {}
model::TileKey At(int32_t record) { return {0, record}; }

}  // namespace

TEST(Selection, ClicksSelectSingleRangesAndAdd) {
    auto cells = Cells();
    // Click the first (it turns on by itself), then Shift-click the fourth.
    cells[0].on = true;
    ASSERT_TRUE(model::ApplyClick(model::PickClick::Plain, cells, At(7), At(0), Ignore));
    cells[3].on = true;
    ASSERT_TRUE(model::ApplyClick(model::PickClick::Shift, cells, At(1), At(7), Ignore));
    EXPECT_EQ(States(cells), (std::vector<bool>{true, true, true, true, false}));

    // A plain click on the second cell leaves only that one.
    std::vector<int32_t> cleared;
    ASSERT_TRUE(model::ApplyClick(model::PickClick::Plain, cells, At(3), At(1), [&](const model::Cell& c, bool on) { if (!on) cleared.push_back(c.index); }));
    EXPECT_EQ(States(cells), (std::vector<bool>{false, true, false, false, false}));
    EXPECT_EQ(cleared, (std::vector<int32_t>{7, 9, 1, 5}));

    // Ctrl-clicks add or remove one cell (the click flipped it) and leave
    // every other cell and every record flag as it was.
    cells[0].on = cells[3].on = true;
    for (size_t clicked : {1, 3}) {
        cells[clicked].on = !cells[clicked].on;
        const std::vector<bool> afterClick = States(cells);
        int flagged = 0;
        ASSERT_TRUE(model::ApplyClick(model::PickClick::Ctrl, cells, At(cells[clicked].index), At(3), [&](const model::Cell&, bool) { flagged++; }));
        EXPECT_EQ(States(cells), afterClick);
        EXPECT_EQ(flagged, 0);
    }
    EXPECT_EQ(States(cells), (std::vector<bool>{true, false, false, false, false}));
}

TEST(Selection, ShiftRangesAddInDisplayOrderAndNeedTwoKnownCells) {
    auto cells = Cells();
    cells[0].on = true;  // selected earlier, stays on
    // Shift-click the fourth, then Shift-click the second: two to four.
    EXPECT_TRUE(model::ApplyClick(model::PickClick::Shift, cells, At(3), At(1), Ignore));
    EXPECT_EQ(States(cells), (std::vector<bool>{true, true, true, true, false}));

    auto fresh = Cells();
    EXPECT_FALSE(model::ApplyClick(model::PickClick::Shift, fresh, At(3), At(0), Ignore));   // no earlier click
    EXPECT_FALSE(model::ApplyClick(model::PickClick::Shift, fresh, At(3), At(3), Ignore));   // same cell twice
    EXPECT_FALSE(model::ApplyClick(model::PickClick::Shift, fresh, At(3), At(42), Ignore));  // anchor without a tile
    EXPECT_EQ(States(fresh), (std::vector<bool>(5, false)));

    // Two cards may number their records alike: the card tells the cells apart.
    std::vector<model::Cell> two = {{3, true, 0}, {5, false, 0}, {3, true, 1}, {4, false, 1}};
    ASSERT_TRUE(model::ApplyClick(model::PickClick::Plain, two, {1, 3}, {0, 3}, Ignore));
    EXPECT_EQ(States(two), (std::vector<bool>{false, false, true, false}));
    ASSERT_TRUE(model::ApplyClick(model::PickClick::Shift, two, {0, 5}, {1, 3}, Ignore));
    EXPECT_EQ(States(two), (std::vector<bool>{false, true, true, false}));
}
