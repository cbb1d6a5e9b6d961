// The Win32 side of the card session: the one WinInet session for every
// short request to the card, the ICMP echo, and the card poll timer.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>

#include "model/card_session.h"

extern HINTERNET InternetHandle;

// Opens InternetHandle and connects the card session to WinInet, the echo
// request and the bar; false when WinInet refuses.
[[nodiscard]] bool OpenInternetHandle();
// Closes InternetHandle once the card thread has ended.
void CloseInternetHandle(bool cardThreadEnded);
// Starts the card poll timer on the bar when `on` is non-zero; always 1.
uint8_t TFA_StartPolling(uint8_t on);
// One tick of the card poll timer, on the card thread: finds and polls the
// card and transfers what is new.
void TFA_CardTimerStep();
