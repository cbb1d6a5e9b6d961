// Geometry of the button bar and its info panel: every rectangle the shell
// needs, closed and open, computed once from the settings and the screen size.
#include "model/bar/placement.h"

#include <algorithm>
#include <limits>

#include "model/settings/settings.h"

namespace model {

namespace {

// Sums are formed in 64 bits and saturated, so absurd settings or positions
// give a far-away rectangle instead of a wrapped one.
int32_t Sat(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// A size handed to SetWindowPos is never negative.
int32_t SatSize(int64_t v) { return Sat(std::max<int64_t>(v, 0)); }

// The screen edge the bar lies along and the panel opens towards.
enum class Side { Left, Right, Top, Bottom };

Side SideOf(BarMode mode) {
    switch (mode) {
        case BarMode::Left:
        case BarMode::VerticalLeft: return Side::Left;
        case BarMode::Right:
        case BarMode::VerticalRight: return Side::Right;
        case BarMode::Top:
        case BarMode::HorizontalTop: return Side::Top;
        case BarMode::Bottom:
        case BarMode::HorizontalBottom: return Side::Bottom;
    }
    return Side::Right;
}

bool IsVertical(Side side) { return side == Side::Left || side == Side::Right; }

}  // namespace

std::optional<BarMode> ParseBarMode(std::wstring_view position) {
    struct Name { const wchar_t* text; BarMode mode; };
    static constexpr Name kNames[] = {
        {L"left", BarMode::Left},
        {L"right", BarMode::Right},
        {L"top", BarMode::Top},
        {L"bottom", BarMode::Bottom},
        {L"verticalleft", BarMode::VerticalLeft},
        {L"verticalright", BarMode::VerticalRight},
        {L"horizontaltop", BarMode::HorizontalTop},
        {L"horizontalbottom", BarMode::HorizontalBottom},
    };
    for (const Name& n : kNames)
        if (position == n.text) return n.mode;
    return std::nullopt;
}

bool IsUserMode(BarMode mode) {
    return mode == BarMode::VerticalLeft || mode == BarMode::VerticalRight ||
           mode == BarMode::HorizontalTop || mode == BarMode::HorizontalBottom;
}

bool ButtonsMoveWhenOpen(BarMode mode) {
    Side side = SideOf(mode);
    return side == Side::Right || side == Side::Bottom;
}

int32_t ScaleToDpi(int32_t size, int32_t dpi) {
    if (dpi <= 0 || dpi == kBaseDpi) return size;
    const int64_t product = int64_t{size} * dpi;
    const int64_t half = kBaseDpi / 2;
    return Sat(product >= 0 ? (product + half) / kBaseDpi : (product - half) / kBaseDpi);
}

Settings SizesAtDpi(const Settings& s, int32_t dpi) {
    Settings scaled = s;
    for (int* size : {&scaled.ButtonSize, &scaled.ButtonSpace, &scaled.BorderSpace, &scaled.InfoSize,
                      &scaled.InfoTouchSpace, &scaled.ThumbSize, &scaled.ThumbSelSize})
        *size = ScaleToDpi(*size, dpi);
    return scaled;
}

BarInput BarInputFromSettings(const Settings& s, int32_t screenWidth, int32_t screenHeight,
                              int32_t windowStyle, int32_t dpi) {
    BarInput in;
    in.position = s.Position;
    in.positionX = s.PositionX;
    in.positionY = s.PositionY;
    in.buttonSize = ScaleToDpi(s.ButtonSize, dpi);
    in.buttonSpace = ScaleToDpi(s.ButtonSpace, dpi);
    in.borderSpace = ScaleToDpi(s.BorderSpace, dpi);
    in.infoSize = ScaleToDpi(s.InfoSize, dpi);
    in.captionAllowance = ScaleToDpi(kCaptionAllowance, dpi);
    in.titled = s.Titled;
    in.center = s.Center;
    in.screenWidth = screenWidth;
    in.screenHeight = screenHeight;
    in.windowStyle = windowStyle;
    return in;
}

BarGeometry ComputeBarGeometry(const BarInput& in) {
    BarGeometry g;
    std::optional<BarMode> parsed = ParseBarMode(in.position);
    g.unknownMode = !parsed;
    g.mode = parsed.value_or(BarMode::Right);
    const Side side = SideOf(g.mode);
    const bool vertical = IsVertical(side);

    const int64_t B = in.buttonSize, S = in.buttonSpace, E = in.borderSpace, I = in.infoSize;
    const int64_t SW = in.screenWidth, SH = in.screenHeight;
    const int64_t thickness = B + 2 * S;
    const int64_t length = ids::kButtonCount * (B + S) + S;
    // Integer division truncates toward zero, also for a bar longer than the screen.
    const int64_t centredAlong = ((vertical ? SH : SW) - length) / 2;
    const int64_t along = in.center ? centredAlong : E;

    int64_t x = 0, y = 0;
    switch (side) {
        case Side::Left: x = E; y = along; break;
        case Side::Right: x = SW - thickness - E; y = along; break;
        case Side::Top: x = along; y = E; break;
        case Side::Bottom: x = along; y = SH - thickness - E; break;
    }
    if (IsUserMode(g.mode)) {
        x = in.positionX;
        y = in.positionY;
        const Rect window{Sat(x), Sat(y), SatSize((vertical ? thickness : length) + in.frameWidth),
                          SatSize((vertical ? length : thickness) + in.frameHeight)};
        const Rect seen = KeepOnScreen(window, in.workAreas);
        g.movedOnScreen = seen != window;
        x = seen.x;
        y = seen.y;
    }
    // Only a bar docked at the bottom edge needs room for its caption; a user
    // position is the corner the user chose (and the one saved back), so
    // shifting it would make the bar climb on every start.
    if (g.mode == BarMode::Bottom && in.titled) y -= in.captionAllowance;

    PlacementRecord& w = g.window;
    w.x = w.xInfo = Sat(x);
    w.y = w.yInfo = Sat(y);
    w.width = w.widthInfo = SatSize(vertical ? thickness : length);
    w.height = w.heightInfo = SatSize(vertical ? length : thickness);
    if (vertical)
        w.widthInfo = SatSize(thickness + I);
    else
        w.heightInfo = SatSize(thickness + I);
    // The panel opening to the left or upwards pushes the corner back.
    if (side == Side::Right) w.xInfo = Sat(x - I);
    if (side == Side::Bottom) w.yInfo = Sat(y - I);
    w.flags = w.flagsInfo = in.windowStyle;

    const int64_t shift = ButtonsMoveWhenOpen(g.mode) ? I : 0;
    for (int64_t i = 1; i <= ids::kButtonCount; i++) {
        PlacementRecord& b = g.buttons[static_cast<size_t>(i)];
        const int64_t offset = B * (i - 1) + S * i;
        b.width = b.widthInfo = b.height = b.heightInfo = SatSize(B);
        if (vertical) {
            b.x = Sat(S);
            b.xInfo = Sat(S + shift);
            b.y = b.yInfo = Sat(offset);
        } else {
            b.x = b.xInfo = Sat(offset);
            b.y = Sat(S);
            b.yInfo = Sat(S + shift);
        }
    }

    // Closed: a zero-height strip at the corner; open: the panel beside the buttons.
    PlacementRecord& info = g.info;
    switch (side) {
        case Side::Left:
            info.width = 0;
            info.xInfo = Sat(2 * S + B);
            info.yInfo = Sat(S);
            info.widthInfo = SatSize(I);
            info.heightInfo = SatSize(length);
            break;
        case Side::Right:
            info.width = SatSize(thickness);
            info.xInfo = Sat(S);
            info.yInfo = Sat(S);
            info.widthInfo = SatSize(I);
            info.heightInfo = SatSize(length);
            break;
        case Side::Top:
            info.width = SatSize(length);
            info.xInfo = Sat(S);
            info.yInfo = Sat(S + B);
            info.widthInfo = SatSize(length);
            info.heightInfo = SatSize(I);
            break;
        case Side::Bottom:
            info.width = SatSize(length);
            info.xInfo = Sat(S);
            info.yInfo = Sat(S);
            info.widthInfo = SatSize(length);
            info.heightInfo = SatSize(I);
            break;
    }
    return g;
}

namespace {

int64_t Overlap(const Rect& a, const Rect& b) {
    const int64_t w = std::min<int64_t>(int64_t{a.x} + a.width, int64_t{b.x} + b.width) - std::max(a.x, b.x);
    const int64_t h = std::min<int64_t>(int64_t{a.y} + a.height, int64_t{b.y} + b.height) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

// Squared distance between two rectangles that do not overlap (0 when they touch).
int64_t DistanceSquared(const Rect& a, const Rect& b) {
    auto gap = [](int64_t lo1, int64_t hi1, int64_t lo2, int64_t hi2) {
        return std::max<int64_t>({lo2 - hi1, lo1 - hi2, 0});
    };
    const int64_t dx = gap(a.x, int64_t{a.x} + a.width, b.x, int64_t{b.x} + b.width);
    const int64_t dy = gap(a.y, int64_t{a.y} + a.height, b.y, int64_t{b.y} + b.height);
    return dx * dx + dy * dy;
}

// The start of a span of `size` inside [lo, lo + room): as close to `at` as
// fits, at `lo` when it does not fit at all.
int32_t Fit(int32_t at, int32_t size, int32_t lo, int32_t room) {
    const int64_t last = int64_t{lo} + room - size;
    return last < lo ? lo : Sat(std::clamp<int64_t>(at, lo, last));
}

}  // namespace

Rect KeepOnScreen(const Rect& window, const std::vector<Rect>& workAreas) {
    if (workAreas.empty()) return window;
    // A window without area still has a corner that must be seen.
    const Rect probe{window.x, window.y, std::max(window.width, 1), std::max(window.height, 1)};
    int64_t covered = 0;
    for (const Rect& area : workAreas) covered += Overlap(probe, area);
    if (covered >= int64_t{probe.width} * probe.height) return window;
    const Rect* best = &workAreas.front();
    int64_t bestOverlap = -1, bestDistance = std::numeric_limits<int64_t>::max();
    for (const Rect& area : workAreas) {
        const int64_t overlap = Overlap(probe, area);
        const int64_t distance = overlap > 0 ? 0 : DistanceSquared(probe, area);
        if (overlap > bestOverlap || (overlap == 0 && bestOverlap == 0 && distance < bestDistance)) {
            best = &area;
            bestOverlap = overlap;
            bestDistance = distance;
        }
    }
    Rect moved = window;
    moved.x = Fit(window.x, window.width, best->x, best->width);
    moved.y = Fit(window.y, window.height, best->y, best->height);
    return moved;
}

InfoViewRects ComputeInfoViewRects(BarMode mode, const PlacementRecord& info, int32_t buttonSpace) {
    const int64_t x = info.xInfo, y = info.yInfo, w = info.widthInfo, h = info.heightInfo;
    const int64_t S = buttonSpace;
    InfoViewRects r;
    switch (SideOf(mode)) {
        case Side::Left:
        case Side::Right:
            r.journal = {Sat(x), Sat(y + 1), SatSize(w - S), SatSize(h - 2 * S - 2)};
            r.treeAndThumbs = r.journal;
            break;
        case Side::Top:
            r.journal = {Sat(x), Sat(y + S), SatSize(w), SatSize(h - S)};
            r.treeAndThumbs = {Sat(x), Sat(y + S), SatSize(w - 2 * S - 1), SatSize(h - S)};
            break;
        case Side::Bottom:
            r.journal = {Sat(x), Sat(y), SatSize(w), SatSize(h - S)};
            r.treeAndThumbs = {Sat(x), Sat(y), SatSize(w - 2 * S - 1), SatSize(h - S)};
            break;
    }
    return r;
}

std::optional<UserPosition> CaptureUserPosition(BarMode mode, int32_t windowX, int32_t windowY,
                                                int32_t infoSize, PlacementRecord& window) {
    if (!IsUserMode(mode)) return std::nullopt;
    window.x = window.xInfo = windowX;
    window.y = window.yInfo = windowY;
    if (mode == BarMode::VerticalRight) window.xInfo = Sat(int64_t{windowX} - infoSize);
    if (mode == BarMode::HorizontalBottom) window.yInfo = Sat(int64_t{windowY} - infoSize);
    return UserPosition{windowX, windowY};
}

int32_t ThumbAreaInnerHeight(int32_t rows, int32_t thumbSize, int32_t thumbSelSize,
                             int32_t buttonSpace) {
    return SatSize(int64_t{rows} *
                   (int64_t{thumbSize} + thumbSelSize + 2 * int64_t{buttonSpace} + 2));
}

int32_t ThumbAreaInnerWidth(int32_t cols, int32_t thumbSize, int32_t buttonSpace) {
    return SatSize(int64_t{cols} * thumbSize + int64_t{buttonSpace} * cols + buttonSpace);
}

int32_t ThumbAreaScrollStep(int32_t thumbSize, int32_t thumbSelSize) {
    return SatSize(int64_t{thumbSize} + thumbSelSize + 2);
}

}  // namespace model
