// Reading a process's rights (integrity level, accessibility right) from its
// token, for the rule whether the program's input can reach the viewer.
#pragma once

#include <windows.h>

#include "model/viewer/viewer_reach.h"

namespace win {

// This program's rights.
model::ProcessRights OwnRights();
// The rights of the process that owns the window; its level is unknown when
// the process or its token cannot be opened (another user's program).
model::ProcessRights RightsOfWindowOwner(HWND window);

}  // namespace win
