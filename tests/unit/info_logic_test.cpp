#include "model/info_logic.h"

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
    struct Case { const wchar_t* text; model::ColourRef colour; } cases[] = {
        {L"r", 0x0000FF}, {L"R", 0x0000FF},
        {L"g", 0x00FF00}, {L"G", 0x00FF00},
        {L"b", 0xFF0000}, {L"B", 0xFF0000},
        {L"y", 0x00FFFF}, {L"Y", 0x00FFFF},
        {L"c", clear},    {L"C", clear},
        {L"", 0}, {L"red", 0}, {L"x", 0}, {L" r", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(model::LampColour(model::LampNamed(c.text), clear), c.colour) << c.text;
    EXPECT_EQ(Rgb(0x12, 0x34, 0x56), 0x563412u);
}

TEST(InfoLogic, LampPixelsOnAnEightyPixelFace) {
    auto covers = [](const LampRect& r, int x, int y) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    };
    const LampRect upper = model::LampRectFor(80, 80, model::LampAtNamed(L"t"));
    const LampRect lower = model::LampRectFor(80, 80, model::LampAtNamed(L"b"));
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
    struct Case { int32_t w, h; const wchar_t* pos; LampRect rect; } cases[] = {
        {80, 80, L"top", {27, 27, 53, 29}},
        {80, 80, L"T", {27, 27, 53, 29}},
        {80, 80, L"TOP", {27, 27, 53, 29}},
        {80, 80, L"bottom", {27, 53, 53, 55}},
        {80, 80, L"", {27, 53, 53, 55}},
        {80, 80, L"tp", {27, 53, 53, 55}},
        // Non-square faces: the lower lamp follows the height.
        {80, 120, L"b", {27, 93, 53, 95}},
        {120, 48, L"b", {27, 21, 93, 23}},
        // Smallest faces that still hold a lamp.
        {55, 80, L"t", {27, 27, 28, 29}},
        {80, 29, L"t", {27, 27, 53, 29}},
        {80, 27, L"b", {27, 0, 53, 2}},
        // Too small: nothing to draw, nothing outside the image.
        {54, 80, L"t", {}},
        {0, 80, L"b", {}},
        {80, 28, L"t", {}},
        {80, 26, L"b", {}},
        {-80, -80, L"b", {}},
        {INT32_MIN, INT32_MIN, L"b", {}},
    };
    for (const Case& c : cases) {
        const LampRect r = model::LampRectFor(c.w, c.h, model::LampAtNamed(c.pos));
        EXPECT_EQ(r, c.rect) << c.w << "x" << c.h << " " << c.pos;
        EXPECT_EQ(r.IsEmpty(), c.rect == LampRect{}) << c.w << "x" << c.h;
    }
}
