#include "model/bar/thumb_layout.h"

#include <gtest/gtest.h>

using namespace model;

TEST(ThumbLayout, TilesOnlyForPicturesOfTheCameraFolder) {
    struct Case { const wchar_t* dir; const wchar_t* name; int64_t size; bool tile; } cases[] = {
        {L"/DCIM/101_PANA", L"P1010001.JPG", 100, true},
        {L"/DCIM/101_PANA", L"P1010001.rw2", 100, true},
        {L"/DCIM/101_PANA", L"P1010001.MOV", 100, false},
        {L"/DCIM/101_PANA", L"P1010001.JPG", 0, false},          // empty file
        {L"/DCIM/101_PANA/SUB", L"P1010001.JPG", 100, false},    // sub-folder
        {L"/DCIM/100_PANA", L"P1010001.JPG", 100, false},        // another folder
        {L"/DCIM/101_PANA", L"", 100, false},
        {L"/DCIM/101_PANA", L"x.jpg.txt", 100, false},           // extension must end the name
    };
    for (auto& c : cases)
        EXPECT_EQ(WantsTile(c.dir, c.name, c.size, L"DCIM/101_PANA", L".rw2", L".jpg"), c.tile) << c.name << c.dir;
}

TEST(ThumbLayout, OnlyJpegsHaveCardThumbnails) {
    EXPECT_TRUE(HasCardThumbnail(L"A.JPG"));
    EXPECT_TRUE(HasCardThumbnail(L"a.jpeg"));
    EXPECT_FALSE(HasCardThumbnail(L"a.cr2"));
    EXPECT_FALSE(HasCardThumbnail(L"jp"));
}

TEST(ThumbLayout, CaptionsAreShortenedInTheMiddle) {
    EXPECT_EQ(Caption(L"/DCIM/101_PANA", L"P1010001.JPG"), L"/DCIM/101_PANA/P1010001.JPG");  // 27 characters
    std::wstring longCaption = Caption(L"/DCIM/100_LONGFOLDERNAME", L"IMG_20171114_0001.JPG");  // 46
    EXPECT_EQ(longCaption, L"/DCIM/100_LONGFOLD ... _20171114_0001.JPG");
    EXPECT_EQ(longCaption.size(), 18u + 5u + 18u);
    EXPECT_EQ(Caption(L"/DCIM/101_PANA", L"ABCDEFGHIJKLMNOPQRSTU").size(), 36u);  // exactly 36 stays
}

TEST(ThumbLayout, TilesFillRowsOfTheGrid) {
    TileLayout t = LayoutTile(2, 1, 160, 36, 2);
    EXPECT_EQ(t.picture, (TileRect{324, 198, 160, 160}));
    EXPECT_EQ(t.toggle, (TileRect{324, 359, 36, 36}));
    EXPECT_EQ(t.caption, (TileRect{360, 359, 124, 36}));
}

// The first card's records below 1000 keep their numbered ids; later ones
// and another card's are numbered by grid position (a second card's record 7
// is not the first card's), and every id leads back to its tile.
TEST(ThumbLayout, TileIdsOfEveryPictureLeadBackToTheirTile) {
    std::vector<TileKey> grid = {{0, 7}, {0, 999}, {0, 1000}, {0, 25000}, {1, 7}};
    for (size_t position = 0; position < grid.size(); position++) {
        std::optional<TileIds> ids = TileIdsFor(grid[position], position);
        ASSERT_TRUE(ids) << position;
        for (int32_t id : {ids->picture, ids->toggle, ids->caption}) {
            EXPECT_EQ(TileOfId(id, grid).recordIndex, grid[position].record) << id;
            EXPECT_EQ(TileOfId(id, grid).card, grid[position].card) << id;
        }
        EXPECT_EQ(TileOfId(ids->picture, grid).part, TilePart::Picture);
        EXPECT_EQ(TileOfId(ids->toggle, grid).part, TilePart::Toggle);
        EXPECT_EQ(TileOfId(ids->caption, grid).part, TilePart::Caption);
    }
    EXPECT_EQ(TileIdsFor({0, 7}, 0)->toggle, 2007);
    EXPECT_EQ(TileIdsFor({0, 25000}, 3)->picture, 10009);
    EXPECT_EQ(TileIdsFor({1, 7}, 4)->picture, 10012);
    EXPECT_FALSE(TileIdsFor({0, 25000}, 20000));  // beyond the last control id
    for (int32_t stray : {0, 11, 1000, 3999 + 1, 9999, 10000 + 3 * 5, 10000 + 3 * 1})
        EXPECT_EQ(TileOfId(stray, grid).part, TilePart::None) << stray;  // 10003 is record 999's position
}
