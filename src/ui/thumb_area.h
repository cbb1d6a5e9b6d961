// The scrolling container of the thumbnail view: a child window whose inner
// area can be taller than itself; its children scroll with it.
#pragma once

#include <windows.h>

#include "model/bar/thumb_picks.h"

namespace ui {

HWND CreateThumbArea(HWND parent, HINSTANCE inst, int id, int x, int y, int w, int h);
// The background, and the colours the cells are given when they ask.
void SetThumbAreaColours(HWND area, COLORREF back, COLORREF front);
// Sets the scrollable inner size and the step of one scroll-bar arrow click.
void SetThumbAreaInnerSize(HWND area, int width, int height);
void SetThumbAreaScrollStep(HWND area, int step);
// The pictures picked in the area; they outlast the cells. nullptr when
// `area` is no thumbnail area.
model::Picks* PicksOf(HWND area);

}  // namespace ui
