#include "model/bar/work_progress.h"

#include <gtest/gtest.h>

#include "model/bar/card_states.h"

using model::ButtonTip;
using model::CardLine;
using model::CardState;
using model::CardsTip;
using model::JoinedLamp;
using model::Lamp;
using model::InfoView;
using model::TipFacts;
using model::WorkProgress;

TEST(WorkProgress, FractionFillAndText) {
    WorkProgress p{WorkProgress::Kind::Download, L"P1010001.CR2", 12'400'000, 25'000'000, 5000};
    EXPECT_DOUBLE_EQ(*model::ProgressFraction(p), 0.496);
    EXPECT_EQ(model::ProgressText(p), L"P1010001.CR2: 12.4 of 25.0 MB (49 %), 2.5 MB/s");
    // A card that sends more than it listed, or nothing listed yet.
    EXPECT_DOUBLE_EQ(*model::ProgressFraction({WorkProgress::Kind::Download, L"", 30, 20, 0}), 1.0);
    EXPECT_FALSE(model::ProgressFraction({WorkProgress::Kind::Download, L"", 30, 0, 0}));
    EXPECT_EQ(model::ProgressText({WorkProgress::Kind::Download, L"A.JPG", 1'000'000, 0, 0}), L"A.JPG: 1.0 of ? MB");
    EXPECT_EQ(model::ProgressText({WorkProgress::Kind::Walk, L"", 12, 40, 900}), L"Reading the card's folders: 12 of 40");
    EXPECT_EQ(model::ProgressFill(0.496, 40), 20);
    EXPECT_EQ(model::ProgressFill(1.5, 40), 40);
    EXPECT_EQ(model::ProgressFill(-0.1, 40), 0);
    EXPECT_EQ(model::ProgressFill(0.5, 0), 0);
}

TEST(ButtonTips, SayWhatAClickDoesNow) {
    TipFacts f;
    EXPECT_EQ(ButtonTip(5, f), L"Next picture");
    EXPECT_EQ(ButtonTip(6, f), L"Transfer new pictures from the card");
    EXPECT_EQ(ButtonTip(7, f), L"Hide the taskbar");
    EXPECT_EQ(ButtonTip(8, f), L"Show the journal");
    EXPECT_EQ(ButtonTip(12, f), L"");

    // A download: the cancel, and its progress once it has run half a second.
    f.downloading = true;
    f.work = WorkProgress{WorkProgress::Kind::Download, L"B.CR2", 1'000'000, 4'000'000, 400};
    EXPECT_EQ(ButtonTip(6, f), L"Cancel the transfer");
    f.work->elapsedMs = 1000;
    EXPECT_EQ(ButtonTip(6, f), L"Cancel the transfer\nB.CR2: 1.0 of 4.0 MB (25 %), 1.0 MB/s");

    // Several cards: each named on its lines and in the tip; the lower lamp
    // is green only while all answer and no inbox is in trouble.
    std::vector<CardState> cards{{.entry = L"10.0.0.1-9", .ssid = L"BodyA", .host = L"10.0.0.4", .answer = Lamp::Green},
                                 {.entry = L"10.0.1.1-9"}};
    EXPECT_EQ(CardLine(cards, 0, L"Transfer: x") + L"|" + CardLine(cards, 1, L"TFA Fail"),
              L"[BodyA] Transfer: x|[10.0.1.1-9] TFA Fail");
    EXPECT_EQ(CardsTip(cards), L"\nBodyA (10.0.0.4): answers\n10.0.1.1-9: not found yet");
    EXPECT_TRUE(model::CardSays(cards, 1, L"TFA Fail: 10.0.1.1"));
    EXPECT_TRUE(model::CardSays(cards, 0, L"Transfer: x"));
    EXPECT_FALSE(model::CardSays(cards, 1, L"TFA Fail: 10.0.1.1"));  // another card's line between lets none through
    EXPECT_EQ(JoinedLamp(cards, false, Lamp::Green), Lamp::Yellow);
    cards[1].answer = Lamp::Green;
    EXPECT_EQ(JoinedLamp(cards, false, Lamp::Green), Lamp::Green);
    EXPECT_EQ(JoinedLamp(cards, true, Lamp::Green), Lamp::Red);
    cards[0].answer = Lamp::Red;
    EXPECT_EQ(JoinedLamp(cards, false, Lamp::Green), Lamp::Red);
    cards.resize(1);
    EXPECT_EQ(CardLine(cards, 0, L"TFA Fail") + CardsTip(cards), L"TFA Fail");

    // The info button skips views that are turned off; button 1 with picks.
    f.view = InfoView::Journal;
    f.showTree = false;
    EXPECT_EQ(ButtonTip(8, f), L"Show the thumbnails");
    f.view = InfoView::Thumbnails;
    EXPECT_EQ(ButtonTip(8, f), L"Close the info panel");
    EXPECT_EQ(ButtonTip(7, f), L"Read the card's folders and thumbnails again");
    EXPECT_EQ(ButtonTip(1, f), L"Copy the picture to the selection");
    f.picked = 3;
    EXPECT_EQ(ButtonTip(1, f), L"Copy the 3 picked pictures from the card to the storage folder");
}
