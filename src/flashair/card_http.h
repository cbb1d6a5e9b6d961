// The one WinInet session used for every short request to the card, and the
// card poll timer.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>

extern HINTERNET InternetHandle;

// Opens InternetHandle; false when WinInet refuses.
[[nodiscard]] bool OpenInternetHandle();
void CloseInternetHandle();
// Starts the card poll timer on the bar when `on` is non-zero; always 1.
uint8_t TFA_StartPolling(uint8_t on);
// One tick of the card poll timer.
void TFA_CardTimerStep();
