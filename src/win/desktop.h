// The Windows taskbar, shown and hidden for a bar that needs the whole screen.
#pragma once

#include <cstdint>

namespace win {

// Shows or hides the Windows taskbar (ShowWindow command 0 or 5); always 1.
uint32_t own_ShowHideTaskBar(int showCommand);
// Whether the taskbar window exists and is visible.
bool TaskBarVisible();

}  // namespace win
