// Handing stored pictures to the viewer: showing a transferred file, and
// copying the picture the viewer shows into the selection folder.
#pragma once

#include <cstdint>
#include <string>

// Shows a stored file as the working mode says; 1 handled, 0 not shown.
uint8_t Viewer_ShowFile(const std::wstring& path);
// Copies the file named in text (the viewer's title) into the selection
// folder; 1 when it is there afterwards. Reports on button 1 and the journal.
uint8_t Viewer_CopyToSel(const std::wstring& text);
