#include "flashair/thumb_layout.h"

#include <gtest/gtest.h>

using namespace thumbs;

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
