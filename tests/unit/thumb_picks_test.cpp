#include "model/bar/thumb_picks.h"

#include <gtest/gtest.h>

TEST(ThumbPicks, KeptByCardPathUntilUnpicked) {
    model::Picks picks;
    picks.Set(0, L"/DCIM/100CANON", L"IMG_0001.JPG", true);
    picks.Set(0, L"/DCIM/100CANON", L"IMG_0001.JPG", true);  // picked twice is one pick
    picks.Set(0, L"/DCIM/101CANON", L"IMG_0002.JPG", true);
    picks.Set(0, L"/DCIM", L"", true);                         // no file
    EXPECT_EQ(picks.Count(), 2u);
    EXPECT_TRUE(picks.Has(0, L"/DCIM/100CANON", L"IMG_0001.JPG"));
    // The same name in another folder is another file.
    EXPECT_FALSE(picks.Has(0, L"/DCIM/101CANON", L"IMG_0001.JPG"));
    EXPECT_FALSE(picks.Has(0, L"/DCIM/100CANON", L"IMG_0002.JPG"));
    EXPECT_FALSE(picks.Has(0, L"/DCIM", L""));
    // The same path on another card is another file.
    EXPECT_FALSE(picks.Has(1, L"/DCIM/100CANON", L"IMG_0001.JPG"));
    picks.Set(1, L"/DCIM/100CANON", L"IMG_0001.JPG", true);

    picks.Set(0, L"/DCIM/100CANON", L"IMG_0001.JPG", false);
    picks.Set(0, L"/DCIM/100CANON", L"IMG_0009.JPG", false);  // never picked
    EXPECT_FALSE(picks.Has(0, L"/DCIM/100CANON", L"IMG_0001.JPG"));
    EXPECT_TRUE(picks.Has(0, L"/DCIM/101CANON", L"IMG_0002.JPG"));
    EXPECT_TRUE(picks.Has(1, L"/DCIM/100CANON", L"IMG_0001.JPG"));
    EXPECT_EQ(picks.Count(), 2u);
}
