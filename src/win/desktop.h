// The Windows taskbar, shown and hidden for a bar that needs the whole screen.
#pragma once

namespace win {

// Shows or hides the Windows taskbar; nothing happens when there is none.
void own_ShowHideTaskBar(bool show);
// Whether the taskbar window exists and is visible.
bool TaskBarVisible();

}  // namespace win
