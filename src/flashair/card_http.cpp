// WinInet session and card poll timer.
#include "flashair/card_http.h"

#include "core/state.h"
#include "ui/bar.h"
#include "ui/ids.h"

HINTERNET InternetHandle = nullptr;

bool OpenInternetHandle() {
    std::wstring agent = std::wstring(kProgramName) + L"/" + kProgramVersion;
    InternetHandle = InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    return InternetHandle != nullptr;
}

void CloseInternetHandle() {
    if (InternetHandle) InternetCloseHandle(InternetHandle);
    InternetHandle = nullptr;
}

uint8_t TFA_StartPolling(uint8_t on) {
    if (on) SetTimer(bar::Window(), ids::kCardTimer, static_cast<UINT>(g_settings.CheckNewFilesSec) * 1000u, nullptr);
    return 1;
}

// The card is found, listed and transferred from here once card access exists.
void TFA_CardTimerStep() {}
