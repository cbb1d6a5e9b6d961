// Button 7: saves the journal, refreshes the card views or toggles the taskbar,
// depending on what the info panel shows.
#pragma once

#include <cstdint>
#include <string>

uint8_t WLX_btn_07();
// Whole journal text with CR LF line ends, as it is saved.
std::wstring JournalText();
