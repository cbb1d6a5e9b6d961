// The Win32 side of the card session: the one WinInet session for every
// short request to the card, the ICMP echo, and the card poll timer.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>

#include "flashair/card_session.h"

extern HINTERNET InternetHandle;

// Opens InternetHandle and connects the card session to WinInet, the echo
// request and the bar; false when WinInet refuses.
[[nodiscard]] bool OpenInternetHandle();
void CloseInternetHandle();
// Starts the card poll timer on the bar when `on` is non-zero; always 1.
uint8_t TFA_StartPolling(uint8_t on);
// One tick of the card poll timer.
void TFA_CardTimerStep();
