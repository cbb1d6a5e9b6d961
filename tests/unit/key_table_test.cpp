#include "model/viewer/key_table.h"

#include <gtest/gtest.h>

#include <string>

#include "base/str.h"

// The keys themselves are checked at stand-in viewers by the system tests;
// here the edges that decide whether a button acts at all.
TEST(KeyTable, OnlyViewerIdsAndViewerButtonsAct) {
    struct Case { const wchar_t* mode; const wchar_t* windowClass; } cases[] = {
        {L"irfan", L"FullScreenClass"}, {L"fast", L"TFullScreenWindow"}, {L"xnview", L"XmainClass"},
        {L"nomacs", L"Qt5QWindowIcon"}, {L"ps", L"Photoshop"},
        {L"systemonly", nullptr}, {L"transferonly", nullptr}, {L"userdefined", nullptr}, {L"", nullptr},
        {L"Irfan", nullptr}, {L" irfan", nullptr}, {L"irfanview", nullptr},  // ids are compared exactly
    };
    for (const Case& c : cases) {
        const std::string mode = str::ToUtf8(c.mode);
        const wchar_t* got = model::ViewerWindowClass(c.mode);
        EXPECT_EQ(got ? std::wstring(got) : L"-", c.windowClass ? c.windowClass : L"-") << mode;
        for (int button : {-1, 0, 6, 7, 8, 10, 11})
            EXPECT_EQ(model::ViewerCommandFor(button, c.mode).action, model::ViewerAction::None) << mode << button;
        if (c.windowClass) continue;
        for (int button : {1, 2, 3, 4, 5, 9})
            EXPECT_EQ(model::ViewerCommandFor(button, c.mode).action, model::ViewerAction::None) << mode << button;
    }
}
