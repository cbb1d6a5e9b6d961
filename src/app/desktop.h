// Desktop helpers around the viewer: the taskbar, the touch keyboard and
// minimising the bar.
#pragma once

#include <cstdint>

// Shows or hides the Windows taskbar (ShowWindow command 0 or 5); always 1.
uint32_t own_ShowHideTaskBar(int showCommand);
// Whether the taskbar window exists and is visible.
bool TaskBarVisible();
void WLX_btn_10();
void WLX_btn_11();
