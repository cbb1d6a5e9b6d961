#include "model/bar/placement.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "model/settings/settings.h"

using model::BarMode;
using model::PlacementRecord;
using model::Rect;

namespace {

// B = 80, S = 2, E = 10, I = 280 on 1920 x 1080: T = 84, L = 904.
model::BarInput Input(const wchar_t* mode, bool center = false, bool titled = false) {
    model::BarInput in;
    in.position = mode;
    in.positionX = 300;
    in.positionY = 400;
    in.buttonSize = 80;
    in.buttonSpace = 2;
    in.borderSpace = 10;
    in.infoSize = 280;
    in.titled = titled;
    in.center = center;
    in.screenWidth = 1920;
    in.screenHeight = 1080;
    in.windowStyle = 0x12345678;
    return in;
}

Rect Closed(const PlacementRecord& r) { return {r.x, r.y, r.width, r.height}; }
Rect Open(const PlacementRecord& r) { return {r.xInfo, r.yInfo, r.widthInfo, r.heightInfo}; }

}  // namespace

namespace ui {
// Readable failure messages for rectangles.
void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}
}  // namespace ui

TEST(Placement, WorkedExampleRightCentred) {
    model::BarGeometry g = model::ComputeBarGeometry(Input(L"right", true));
    EXPECT_FALSE(g.unknownMode);
    EXPECT_EQ(g.mode, BarMode::Right);
    EXPECT_EQ(Closed(g.window), (Rect{1826, 88, 84, 904}));
    EXPECT_EQ(Open(g.window), (Rect{1546, 88, 364, 904}));
    EXPECT_EQ(g.buttons[1].x, 2);
    EXPECT_EQ(g.buttons[1].y, 2);
    EXPECT_EQ(g.buttons[1].xInfo, 282);
    EXPECT_EQ(g.buttons[1].yInfo, 2);
    EXPECT_EQ(Open(g.info), (Rect{2, 2, 280, 904}));
    EXPECT_EQ(g.window.flags, 0x12345678);
    EXPECT_EQ(g.window.flagsInfo, 0x12345678);
}

TEST(Placement, WindowAndInfoByMode) {
    struct Case {
        const wchar_t* mode;
        bool center, titled;
        Rect closed, open, button1Closed, button1Open, infoClosed, infoOpen;
    } cases[] = {
        // Docked, Center off: E from both edges that matter.
        {L"left", false, false, {10, 10, 84, 904}, {10, 10, 364, 904},
         {2, 2, 80, 80}, {2, 2, 80, 80}, {0, 0, 0, 0}, {84, 2, 280, 904}},
        {L"right", false, false, {1826, 10, 84, 904}, {1546, 10, 364, 904},
         {2, 2, 80, 80}, {282, 2, 80, 80}, {0, 0, 84, 0}, {2, 2, 280, 904}},
        {L"top", false, false, {10, 10, 904, 84}, {10, 10, 904, 364},
         {2, 2, 80, 80}, {2, 2, 80, 80}, {0, 0, 904, 0}, {2, 82, 904, 280}},
        {L"bottom", false, false, {10, 986, 904, 84}, {10, 706, 904, 364},
         {2, 2, 80, 80}, {2, 282, 80, 80}, {0, 0, 904, 0}, {2, 2, 904, 280}},
        // Center replaces E along the edge only.
        {L"left", true, false, {10, 88, 84, 904}, {10, 88, 364, 904},
         {2, 2, 80, 80}, {2, 2, 80, 80}, {0, 0, 0, 0}, {84, 2, 280, 904}},
        {L"top", true, false, {508, 10, 904, 84}, {508, 10, 904, 364},
         {2, 2, 80, 80}, {2, 2, 80, 80}, {0, 0, 904, 0}, {2, 82, 904, 280}},
        // Titled: only the bottom-docked bar makes room for its caption.
        {L"bottom", false, true, {10, 958, 904, 84}, {10, 678, 904, 364},
         {2, 2, 80, 80}, {2, 282, 80, 80}, {0, 0, 904, 0}, {2, 2, 904, 280}},
        {L"top", false, true, {10, 10, 904, 84}, {10, 10, 904, 364},
         {2, 2, 80, 80}, {2, 2, 80, 80}, {0, 0, 904, 0}, {2, 82, 904, 280}},
        {L"right", true, true, {1826, 88, 84, 904}, {1546, 88, 364, 904},
         {2, 2, 80, 80}, {282, 2, 80, 80}, {0, 0, 84, 0}, {2, 2, 280, 904}},
        // User modes at (300, 400): E, Center and Titled play no part.
        {L"verticalleft", true, true, {300, 400, 84, 904}, {300, 400, 364, 904},
         {2, 2, 80, 80}, {2, 2, 80, 80}, {0, 0, 0, 0}, {84, 2, 280, 904}},
        {L"verticalright", true, true, {300, 400, 84, 904}, {20, 400, 364, 904},
         {2, 2, 80, 80}, {282, 2, 80, 80}, {0, 0, 84, 0}, {2, 2, 280, 904}},
        {L"horizontaltop", true, true, {300, 400, 904, 84}, {300, 400, 904, 364},
         {2, 2, 80, 80}, {2, 2, 80, 80}, {0, 0, 904, 0}, {2, 82, 904, 280}},
        {L"horizontalbottom", false, false, {300, 400, 904, 84}, {300, 120, 904, 364},
         {2, 2, 80, 80}, {2, 282, 80, 80}, {0, 0, 904, 0}, {2, 2, 904, 280}},
        {L"horizontalbottom", true, true, {300, 400, 904, 84}, {300, 120, 904, 364},
         {2, 2, 80, 80}, {2, 282, 80, 80}, {0, 0, 904, 0}, {2, 2, 904, 280}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.mode << " center=" << c.center
                                          << " titled=" << c.titled);
        model::BarGeometry g = model::ComputeBarGeometry(Input(c.mode, c.center, c.titled));
        EXPECT_FALSE(g.unknownMode);
        EXPECT_EQ(Closed(g.window), c.closed);
        EXPECT_EQ(Open(g.window), c.open);
        EXPECT_EQ(Closed(g.buttons[1]), c.button1Closed);
        EXPECT_EQ(Open(g.buttons[1]), c.button1Open);
        EXPECT_EQ(Closed(g.info), c.infoClosed);
        EXPECT_EQ(Open(g.info), c.infoOpen);
    }
}

TEST(Placement, ButtonsStayPutOnScreenAndInsideTheWindow) {
    for (const wchar_t* mode : {L"left", L"right", L"top", L"bottom", L"verticalleft",
                                L"verticalright", L"horizontaltop", L"horizontalbottom"}) {
        SCOPED_TRACE(::testing::Message() << mode);
        model::BarGeometry g = model::ComputeBarGeometry(Input(mode, true, true));
        const PlacementRecord& w = g.window;
        for (int i = 1; i <= model::ids::kButtonCount; i++) {
            const PlacementRecord& b = g.buttons[i];
            EXPECT_EQ(w.x + b.x, w.xInfo + b.xInfo) << "button " << i;
            EXPECT_EQ(w.y + b.y, w.yInfo + b.yInfo) << "button " << i;
            EXPECT_EQ(b.width, 80);
            EXPECT_EQ(b.heightInfo, 80);
            // S around the strip: the last button ends S before the far edge.
            EXPECT_GE(b.x, 2);
            EXPECT_GE(b.y, 2);
            EXPECT_LE(b.x + b.width + 2, w.width);
            EXPECT_LE(b.y + b.height + 2, w.height);
            EXPECT_LE(b.xInfo + b.widthInfo + 2, w.widthInfo);
            EXPECT_LE(b.yInfo + b.heightInfo + 2, w.heightInfo);
        }
        // Buttons step by B + S along the strip: button 11 starts at 10 x 80 + 11 x 2.
        const bool vertical = w.height > w.width;
        EXPECT_EQ(vertical ? g.buttons[11].y : g.buttons[11].x, 822);
    }
}

TEST(Placement, UserCornerAtScreenOriginIgnoresBorderAndCenter) {
    for (bool center : {false, true}) {
        model::BarInput in = Input(L"verticalleft", center);
        in.positionX = 0;
        in.positionY = 0;
        model::BarGeometry g = model::ComputeBarGeometry(in);
        EXPECT_EQ(Closed(g.window), (Rect{0, 0, 84, 904}));
        EXPECT_EQ(Open(g.window), (Rect{0, 0, 364, 904}));
    }
}

TEST(Placement, CentringTruncatesTowardZero) {
    // A bar longer than the screen: (801 - 904) / 2 = -51, not floor's -52.
    struct Case { const wchar_t* mode; int32_t sw, sh; Rect closed; } cases[] = {
        {L"right", 1920, 801, {1826, -51, 84, 904}},
        {L"left", 1920, 1081, {10, 88, 84, 904}},
        {L"top", 903, 1080, {0, 10, 904, 84}},
        {L"bottom", 901, 1080, {-1, 986, 904, 84}},
    };
    for (const Case& c : cases) {
        model::BarInput in = Input(c.mode, true);
        in.screenWidth = c.sw;
        in.screenHeight = c.sh;
        EXPECT_EQ(Closed(model::ComputeBarGeometry(in).window), c.closed) << c.mode;
    }
}

TEST(Placement, UnknownModeFallsBackToRight) {
    const model::BarGeometry right = model::ComputeBarGeometry(Input(L"right", true));
    // Matching is exact: the settings loader hands over lower-case names.
    for (const wchar_t* mode : {L"", L"centre", L"Right", L" right", L"userverticalright"}) {
        model::BarGeometry g = model::ComputeBarGeometry(Input(mode, true));
        EXPECT_TRUE(g.unknownMode) << mode;
        EXPECT_EQ(g.mode, BarMode::Right);
        EXPECT_EQ(g.window, right.window);
        EXPECT_EQ(g.buttons, right.buttons);
        EXPECT_EQ(g.info, right.info);
    }
}

TEST(Placement, InfoViewRectsByMode) {
    struct Case { const wchar_t* mode; Rect journal, tree; } cases[] = {
        {L"left", {84, 3, 278, 898}, {84, 3, 278, 898}},
        {L"verticalleft", {84, 3, 278, 898}, {84, 3, 278, 898}},
        {L"right", {2, 3, 278, 898}, {2, 3, 278, 898}},
        {L"verticalright", {2, 3, 278, 898}, {2, 3, 278, 898}},
        {L"top", {2, 84, 904, 278}, {2, 84, 899, 278}},
        {L"horizontaltop", {2, 84, 904, 278}, {2, 84, 899, 278}},
        {L"bottom", {2, 2, 904, 278}, {2, 2, 899, 278}},
        {L"horizontalbottom", {2, 2, 904, 278}, {2, 2, 899, 278}},
    };
    for (const Case& c : cases) {
        model::BarGeometry g = model::ComputeBarGeometry(Input(c.mode));
        model::InfoViewRects r = model::ComputeInfoViewRects(g.mode, g.info, 2);
        EXPECT_EQ(r.journal, c.journal) << c.mode;
        EXPECT_EQ(r.treeAndThumbs, c.tree) << c.mode;
    }
}

TEST(Placement, CaptureUserPositionWhenJournalOpens) {
    struct Case {
        BarMode mode;
        int32_t wx, wy;
        bool captured;
        PlacementRecord after;  // only the position fields are checked
    } cases[] = {
        {BarMode::VerticalLeft, 500, 300, true, {500, 500, 300, 300}},
        {BarMode::VerticalRight, 500, 300, true, {500, 220, 300, 300}},
        {BarMode::HorizontalTop, 500, 300, true, {500, 500, 300, 300}},
        {BarMode::HorizontalBottom, 500, 300, true, {500, 500, 300, 20}},
        // A bar dragged far off to the left cannot wrap around.
        {BarMode::VerticalRight, INT32_MIN + 10, 0, true, {INT32_MIN + 10, INT32_MIN, 0, 0}},
        // Docked bars keep their computed place.
        {BarMode::Right, 500, 300, false, {1, 2, 3, 4}},
        {BarMode::Bottom, 500, 300, false, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        PlacementRecord window{1, 2, 3, 4, 84, 364, 904, 904, 9, 9};
        std::optional<model::UserPosition> pos =
            model::CaptureUserPosition(c.mode, c.wx, c.wy, 280, window);
        ASSERT_EQ(pos.has_value(), c.captured) << static_cast<int>(c.mode);
        if (pos) {
            EXPECT_EQ(pos->x, c.wx);
            EXPECT_EQ(pos->y, c.wy);
        }
        EXPECT_EQ(window.x, c.after.x);
        EXPECT_EQ(window.xInfo, c.after.xInfo);
        EXPECT_EQ(window.y, c.after.y);
        EXPECT_EQ(window.yInfo, c.after.yInfo);
        EXPECT_EQ(window.widthInfo, 364);  // sizes untouched
        EXPECT_EQ(window.flags, 9);
    }
}

TEST(Placement, CapturedPositionReproducesTheSameBar) {
    // The captured corner is what gets saved; the next start must put the bar
    // exactly there again, also titled at the bottom.
    model::BarInput in = Input(L"horizontalbottom", true, true);
    model::BarGeometry g = model::ComputeBarGeometry(in);
    std::optional<model::UserPosition> pos =
        model::CaptureUserPosition(g.mode, g.window.x, g.window.y, in.infoSize, g.window);
    ASSERT_TRUE(pos);
    in.positionX = pos->x;
    in.positionY = pos->y;
    EXPECT_EQ(model::ComputeBarGeometry(in).window, g.window);
}

TEST(Placement, ThumbnailAreaSizes) {
    struct Case { int32_t rows, cols, thumb, sel, space, height, width; } cases[] = {
        {3, 3, 160, 36, 2, 3 * 202, 3 * 160 + 2 * 3 + 2},
        {0, 1, 160, 36, 2, 0, 164},
        {4, 12, 160, 36, 0, 4 * 198, 1920},
        {1, 8, 160, 36, 20, 238, 8 * 160 + 20 * 8 + 20},
        {INT32_MAX, 12, 160, 36, 2, INT32_MAX, 1946},  // saturates, no wrap
    };
    for (const Case& c : cases) {
        EXPECT_EQ(model::ThumbAreaInnerHeight(c.rows, c.thumb, c.sel, c.space), c.height) << c.rows;
        EXPECT_EQ(model::ThumbAreaInnerWidth(c.cols, c.thumb, c.space), c.width) << c.cols;
    }
    EXPECT_EQ(model::ThumbAreaScrollStep(160, 36), 198);
}

TEST(Placement, ModeNames) {
    struct Case { const wchar_t* name; BarMode mode; bool user, buttonsMove; } cases[] = {
        {L"left", BarMode::Left, false, false},
        {L"right", BarMode::Right, false, true},
        {L"top", BarMode::Top, false, false},
        {L"bottom", BarMode::Bottom, false, true},
        {L"verticalleft", BarMode::VerticalLeft, true, false},
        {L"verticalright", BarMode::VerticalRight, true, true},
        {L"horizontaltop", BarMode::HorizontalTop, true, false},
        {L"horizontalbottom", BarMode::HorizontalBottom, true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(model::ParseBarMode(c.name), c.mode) << c.name;
        EXPECT_EQ(model::IsUserMode(c.mode), c.user) << c.name;
        EXPECT_EQ(model::ButtonsMoveWhenOpen(c.mode), c.buttonsMove) << c.name;
    }
    EXPECT_FALSE(model::ParseBarMode(L"LEFT"));
}

TEST(Placement, SizesAtDpiRoundToTheNearestPixel) {
    struct Case { int32_t size, dpi, scaled; } cases[] = {
        {48, 96, 48}, {48, 192, 96}, {48, 120, 60}, {3, 120, 4},  // 3.75
        {1, 144, 2}, {-1, 144, -2},  // halves away from zero
        {7, 0, 7},                   // no DPI known: as written
        {INT_MAX, 192, INT_MAX},     // saturates instead of wrapping
    };
    for (const Case& c : cases)
        EXPECT_EQ(model::ScaleToDpi(c.size, c.dpi), c.scaled) << c.size << " at " << c.dpi;

    model::Settings s;
    s.Position = L"verticalleft";
    std::tie(s.PositionX, s.PositionY, s.ThumbCols) = std::make_tuple(300, 150, 3);
    std::tie(s.ButtonSize, s.ButtonSpace, s.BorderSpace, s.InfoSize, s.InfoTouchSpace, s.ThumbSize, s.ThumbSelSize) =
        std::make_tuple(48, 2, 10, 511, 5, 160, 36);
    model::Settings big = model::SizesAtDpi(s, 144);
    EXPECT_EQ(std::tie(big.ButtonSize, big.ButtonSpace, big.BorderSpace, big.InfoSize, big.InfoTouchSpace,
                       big.ThumbSize, big.ThumbSelSize),
              std::make_tuple(72, 3, 15, 767, 8, 240, 54));
    // Screen positions and counts are no sizes.
    EXPECT_EQ(std::tie(big.PositionX, big.PositionY, big.ThumbCols), std::make_tuple(300, 150, 3));
}

TEST(Placement, WorkedExampleDoublesAt192Dpi) {
    // The worked example's sizes at 192 DPI on a screen twice as large: the
    // same bar, every coordinate and size doubled; the caption allowance too.
    auto doubled = [](PlacementRecord r) {
        for (int32_t* v : {&r.x, &r.xInfo, &r.y, &r.yInfo, &r.width, &r.widthInfo, &r.height, &r.heightInfo}) *v *= 2;
        return r;
    };
    for (const wchar_t* mode : {L"left", L"right", L"top", L"bottom"})
        for (int flags = 0; flags < 4; flags++) {
            model::Settings s;
            s.Position = mode;
            std::tie(s.ButtonSize, s.ButtonSpace, s.BorderSpace, s.InfoSize) = std::make_tuple(80, 2, 10, 280);
            s.Center = flags & 1;
            s.Titled = flags & 2;
            model::BarGeometry at96 = model::ComputeBarGeometry(model::BarInputFromSettings(s, 1920, 1080, 0));
            model::BarGeometry at192 = model::ComputeBarGeometry(model::BarInputFromSettings(s, 3840, 2160, 0, 192));
            EXPECT_EQ(at192.window, doubled(at96.window)) << mode << " " << flags;
            EXPECT_EQ(at192.info, doubled(at96.info)) << mode << " " << flags;
            for (size_t i = 1; i <= model::ids::kButtonCount; i++)
                EXPECT_EQ(at192.buttons[i], doubled(at96.buttons[i])) << mode << " " << flags << " button " << i;
        }
}

TEST(Placement, AWindowOffTheMonitorsComesOntoTheNearestWhollyVisible) {
    const std::vector<Rect> one = {{0, 0, 1920, 1040}};                      // taskbar below
    const std::vector<Rect> two = {{0, 0, 1920, 1040}, {1920, -200, 1280, 1024}};  // a second, higher
    struct Case { const char* what; Rect window; std::vector<Rect> areas; Rect placed; };
    const Case cases[] = {
        {"on the monitor", {300, 100, 84, 904}, one, {300, 100, 84, 904}},
        {"on no monitors known", {5000, 3000, 84, 904}, {}, {5000, 3000, 84, 904}},
        {"far off, below right", {5000, 3000, 84, 904}, one, {1836, 136, 84, 904}},
        {"half off the left edge", {-40, 100, 84, 904}, one, {0, 100, 84, 904}},
        {"over the taskbar", {300, 1000, 904, 84}, one, {300, 956, 904, 84}},
        {"across both monitors", {1800, 100, 904, 84}, two, {1800, 100, 904, 84}},
        {"mostly on the second", {2500, 900, 904, 84}, two, {2296, 740, 904, 84}},
        {"where the second was", {3400, 100, 84, 904}, two, {3116, -80, 84, 904}},
        {"above the first, nearer it", {100, -500, 84, 904}, two, {100, 0, 84, 904}},
        {"larger than the work area", {100, 100, 84, 2000}, one, {100, 0, 84, 2000}},
        {"wider than the work area", {100, 100, 2500, 84}, one, {0, 100, 2500, 84}},
    };
    for (const Case& c : cases) EXPECT_EQ(model::KeepOnScreen(c.window, c.areas), c.placed) << c.what;
}

TEST(Placement, AUserPositionOffScreenPutsTheBarOnScreenAndKeepsTheSavedPosition) {
    model::BarInput in = Input(L"verticalright");
    in.positionX = 5000;
    in.positionY = 3000;
    in.workAreas = {{0, 0, 1920, 1080}};
    in.frameHeight = 20;  // a caption above the client area
    model::BarGeometry g = model::ComputeBarGeometry(in);
    EXPECT_TRUE(g.movedOnScreen);
    EXPECT_EQ(Closed(g.window), (Rect{1836, 156, 84, 904}));  // the window with its caption fits
    EXPECT_EQ(Open(g.window), (Rect{1556, 156, 364, 904}));
    EXPECT_EQ(in.positionX, 5000);
    // Docked bars and user positions on screen are where they were.
    in.positionX = 300;
    in.positionY = 100;
    EXPECT_FALSE(model::ComputeBarGeometry(in).movedOnScreen);
    in.position = L"right";
    EXPECT_FALSE(model::ComputeBarGeometry(in).movedOnScreen);
}
