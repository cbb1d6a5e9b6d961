// The info panel beside the buttons (journal, card tree, thumbnails) and the
// status lamps painted on the buttons.
#pragma once

#include <cstdint>
#include <string>

// A journal line for a non-empty text; the next info view for an empty one.
uint8_t ShowInfo(const std::wstring& text);
// Paints a lamp ("r", "g", "b", "y", "c" clears) at the top ("t") or bottom
// ("b") of an image; 1 when drawn.
int SetState(int image, const std::wstring& colour, const std::wstring& position);
// 1 journal, 2 tree, 3 thumbnails visible; 0 none.
int GetInfoState();

// Rows of the built thumbnail grid; 0 = not built yet.
extern int ThumbRowCount;
// Current info view: 0 closed, 1 journal, 2 tree, 3 thumbnails.
int CurrentInfoView();
