#include "model/common/info_logic.h"

#include <gtest/gtest.h>

#include <climits>

using model::LampRect;
using model::Rgb;

namespace {

// The lamp a journal text lights, by its colour name ('g', 'r', 'b'; 0 none).
wchar_t JournalLampColour(const wchar_t* text) {
    std::optional<model::Lamp> lamp = model::JournalLamp(text);
    if (!lamp) return 0;
    return *lamp == model::Lamp::Green ? L'g' : *lamp == model::Lamp::Red ? L'r' : L'b';
}

}  // namespace

TEST(InfoLogic, JournalLampColour) {
    struct Case { const wchar_t* text; wchar_t colour; } cases[] = {
        {L"TFA Success: IMG_0042.JPG", L'g'},
        {L"tfa fail - card not found", L'r'},  // case does not matter
        {L"TFA Search in 4 sec", L'b'},
        {L"xTfAy", L'b'},
        {L"TFA Success after TFA Fail", L'g'},  // the later test wins
        {L"TFA Fail after TFA Success", L'g'},
        {L"TFAFail", L'b'},
        {L"Viewer: C:\\irfan\\i_view64.exe (irfan)", 0},
        {L"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(JournalLampColour(c.text), c.colour) << c.text;
}

TEST(InfoLogic, RepeatFilterDropsOnlyTheImmediateRepeat) {
    model::JournalRepeatFilter filter;
    struct Step { const wchar_t* text; bool accepted; } steps[] = {
        {L"TFA Success", true},
        {L"TFA Success", false},
        {L"Copied", true},
        {L"TFA Success", true},
        {L"tfa success", true},  // exact comparison
        {L"tfa success ", true},
        {L"tfa success ", false},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(filter.Accept(s.text), s.accepted) << s.text;
        EXPECT_EQ(filter.LastInfoText(), s.text);
    }
}

TEST(InfoLogic, LampColour) {
    const model::ColourRef clear = Rgb(12, 34, 56);
    using model::Lamp;
    struct Case { Lamp lamp; model::ColourRef colour; } cases[] = {
        {Lamp::Red, 0x0000FF}, {Lamp::Green, 0x00FF00}, {Lamp::Blue, 0xFF0000},
        {Lamp::Yellow, 0x00FFFF}, {Lamp::Clear, clear}, {Lamp::Black, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(model::LampColour(c.lamp, clear), c.colour) << static_cast<int>(c.lamp);
    EXPECT_EQ(Rgb(0x12, 0x34, 0x56), 0x563412u);
}

TEST(InfoLogic, LampPixelsOnAnEightyPixelFace) {
    auto covers = [](const LampRect& r, int x, int y) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    };
    const LampRect upper = model::LampRectFor(80, 80, model::LampAt::Top);
    const LampRect lower = model::LampRectFor(80, 80, model::LampAt::Bottom);
    struct Probe { int x, y; bool inUpper, inLower; } probes[] = {
        {27, 27, true, false}, {52, 28, true, false},
        {26, 27, false, false}, {53, 27, false, false}, {27, 26, false, false},
        {27, 29, false, false},
        {27, 53, false, true}, {52, 54, false, true},
        {27, 52, false, false}, {27, 55, false, false}, {53, 54, false, false},
    };
    for (const Probe& p : probes) {
        EXPECT_EQ(covers(upper, p.x, p.y), p.inUpper) << p.x << "," << p.y;
        EXPECT_EQ(covers(lower, p.x, p.y), p.inLower) << p.x << "," << p.y;
    }
}

TEST(InfoLogic, LampRectPositionAndSize) {
    constexpr model::LampAt t = model::LampAt::Top, b = model::LampAt::Bottom;
    struct Case { int32_t w, h; model::LampAt pos; LampRect rect; } cases[] = {
        {80, 80, t, {27, 27, 53, 29}},
        {80, 80, b, {27, 53, 53, 55}},
        // Non-square faces: the lower lamp follows the height.
        {80, 120, b, {27, 93, 53, 95}},
        {120, 48, b, {27, 21, 93, 23}},
        // Smallest faces that still hold a lamp.
        {55, 80, t, {27, 27, 28, 29}},
        {80, 29, t, {27, 27, 53, 29}},
        {80, 27, b, {27, 0, 53, 2}},
        // Too small: nothing to draw, nothing outside the image.
        {54, 80, t, {}},
        {0, 80, b, {}},
        {80, 28, t, {}},
        {80, 26, b, {}},
        {-80, -80, b, {}},
        {INT32_MIN, INT32_MIN, b, {}},
    };
    for (const Case& c : cases) {
        const LampRect r = model::LampRectFor(c.w, c.h, c.pos);
        EXPECT_EQ(r, c.rect) << c.w << "x" << c.h << " " << static_cast<int>(c.pos);
        EXPECT_EQ(r.IsEmpty(), c.rect == LampRect{}) << c.w << "x" << c.h;
    }
}
