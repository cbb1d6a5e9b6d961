// Geometry of the button bar and its info panel, closed and open, as a pure
// function of the settings and the screen size. The Win32 shell applies it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/common/ids.h"

namespace model {

struct Settings;

// A control's rectangle with the info panel closed (plain fields) and open
// (the Info fields). flags/flagsInfo carry the window style for the bar.
struct PlacementRecord {
    int32_t x = 0, xInfo = 0, y = 0, yInfo = 0, width = 0, widthInfo = 0, height = 0,
            heightInfo = 0, flags = 0, flagsInfo = 0;
    friend bool operator==(const PlacementRecord&, const PlacementRecord&) = default;
};

struct Rect {
    int32_t x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

enum class BarMode {
    Left, Right, Top, Bottom,  // docked to a screen edge
    VerticalLeft, VerticalRight, HorizontalTop, HorizontalBottom,  // at the user's position
};

// Exact match against the eight mode names ("left", ..., "horizontalbottom");
// the settings loader has already normalised them.
std::optional<BarMode> ParseBarMode(std::wstring_view position);
bool IsUserMode(BarMode mode);
// Right and bottom panels open towards the buttons' side, so the buttons move
// inside the window when it opens.
bool ButtonsMoveWhenOpen(BarMode mode);

// Height of the bar's caption when Titled: a bar docked at the bottom edge
// moves up by this much so it stays on screen.
inline constexpr int32_t kCaptionAllowance = 28;

// Every size of the settings file is meant at 96 DPI and drawn at the
// monitor's DPI. Rounded to the nearest pixel, halves away from zero (as
// MulDiv does); a DPI of 0 or below counts as 96.
inline constexpr int32_t kBaseDpi = 96;
int32_t ScaleToDpi(int32_t size, int32_t dpi);
// The settings with the sizes of buttons, spaces, the info panel and the
// thumbnails at the monitor's DPI. Positions (screen pixels), counts and
// everything else stay as they are: the copy lays the bar out and is never
// written back.
Settings SizesAtDpi(const Settings& s, int32_t dpi);

struct BarInput {
    std::wstring position;         // mode name
    int32_t positionX = 0, positionY = 0;
    int32_t buttonSize = 0;        // B
    int32_t buttonSpace = 0;       // S
    int32_t borderSpace = 0;       // E
    int32_t infoSize = 0;          // I
    int32_t captionAllowance = kCaptionAllowance;
    bool titled = false, center = false;
    int32_t screenWidth = 0, screenHeight = 0;
    int32_t windowStyle = 0;       // stored unchanged in the window record's flags
    // The monitors' work areas (screen pixels): a bar at a user position
    // that would not be wholly on them is moved onto the nearest (see
    // KeepOnScreen). None: placed as the position says.
    std::vector<Rect> workAreas;
    // What the window's frame adds to the client area (a caption).
    int32_t frameWidth = 0, frameHeight = 0;
};

// Sizes (and the caption allowance) scaled to `dpi`; positions as they are.
BarInput BarInputFromSettings(const Settings& s, int32_t screenWidth, int32_t screenHeight,
                              int32_t windowStyle, int32_t dpi = kBaseDpi);

struct BarGeometry {
    BarMode mode = BarMode::Right;     // the mode actually laid out
    bool unknownMode = false;          // position named no mode; laid out as "right"
    bool movedOnScreen = false;        // the user position lay off the monitors
    PlacementRecord window;            // screen coordinates; size = client area
    std::array<PlacementRecord, ids::kButtonCount + 1> buttons{};  // 1..11, entry 0 unused
    PlacementRecord info;              // shared by the three info views
};

BarGeometry ComputeBarGeometry(const BarInput& in);

// Where a window goes so that it can be seen: where it is when every pixel
// of it lies on a monitor's work area; otherwise wholly inside the work area
// it overlaps most (or, overlapping none, the nearest), moved as little as
// may be, with its top-left corner at the area's where it is larger. Only
// the window moves: the position the user saved stays as it was. No work
// areas: where it is.
Rect KeepOnScreen(const Rect& window, const std::vector<Rect>& workAreas);

// Where the journal and the tree/thumbnail views sit inside the open panel,
// derived from the info record's open rectangle.
struct InfoViewRects {
    Rect journal;
    Rect treeAndThumbs;
};
InfoViewRects ComputeInfoViewRects(BarMode mode, const PlacementRecord& info, int32_t buttonSpace);

// In the user modes the panel opens from wherever the bar was dropped: that
// corner becomes the new user position and the window record follows it.
// Returns the new PositionX/PositionY; nothing (and no change) in docked modes.
struct UserPosition {
    int32_t x = 0, y = 0;
};
std::optional<UserPosition> CaptureUserPosition(BarMode mode, int32_t windowX, int32_t windowY,
                                                int32_t infoSize, PlacementRecord& window);

// Scrolling thumbnail area: inner size for a built grid, and the scroll step.
int32_t ThumbAreaInnerHeight(int32_t rows, int32_t thumbSize, int32_t thumbSelSize,
                             int32_t buttonSpace);
int32_t ThumbAreaInnerWidth(int32_t cols, int32_t thumbSize, int32_t buttonSpace);
int32_t ThumbAreaScrollStep(int32_t thumbSize, int32_t thumbSelSize);

}  // namespace model
