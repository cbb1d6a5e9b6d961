#include "model/bar/thumb_picks.h"

#include <gtest/gtest.h>

TEST(ThumbPicks, KeptByCardPathUntilUnpicked) {
    model::Picks picks;
    picks.Set(L"/DCIM/100CANON", L"IMG_0001.JPG", true);
    picks.Set(L"/DCIM/100CANON", L"IMG_0001.JPG", true);  // picked twice is one pick
    picks.Set(L"/DCIM/101CANON", L"IMG_0002.JPG", true);
    picks.Set(L"/DCIM", L"", true);                         // no file
    EXPECT_EQ(picks.Count(), 2u);
    EXPECT_TRUE(picks.Has(L"/DCIM/100CANON", L"IMG_0001.JPG"));
    // The same name in another folder is another file.
    EXPECT_FALSE(picks.Has(L"/DCIM/101CANON", L"IMG_0001.JPG"));
    EXPECT_FALSE(picks.Has(L"/DCIM/100CANON", L"IMG_0002.JPG"));
    EXPECT_FALSE(picks.Has(L"/DCIM", L""));

    picks.Set(L"/DCIM/100CANON", L"IMG_0001.JPG", false);
    picks.Set(L"/DCIM/100CANON", L"IMG_0009.JPG", false);  // never picked
    EXPECT_FALSE(picks.Has(L"/DCIM/100CANON", L"IMG_0001.JPG"));
    EXPECT_TRUE(picks.Has(L"/DCIM/101CANON", L"IMG_0002.JPG"));
    EXPECT_EQ(picks.Count(), 1u);
}
