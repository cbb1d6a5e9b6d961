// The program's colours, in one place: the bar, its views and the thumbnail
// grid share them.
#pragma once

#include <windows.h>

namespace ui::theme {

constexpr COLORREF kBackground = RGB(51, 51, 51);
constexpr COLORREF kText = RGB(204, 204, 204);
constexpr COLORREF kThumbAreaFront = RGB(0, 255, 0);
// Button 6's progress bar: the track and the part done.
constexpr COLORREF kProgressTrack = RGB(20, 20, 20);
constexpr COLORREF kProgressFill = RGB(0, 200, 255);

}  // namespace ui::theme
