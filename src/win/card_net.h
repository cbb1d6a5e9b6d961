// The card's network side: one WinInet session for every short request to
// the card (no proxy, no redirect, bounded waits) and the ICMP echo that
// stands in for the "Ping" command.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "model/card/card_session.h"
#include "win/handle.h"

namespace win {

struct InternetTraits {
    static HINTERNET Invalid() { return nullptr; }
    static void Close(HINTERNET h) { InternetCloseHandle(h); }
};

class CardNet {
public:
    // Opens the session with the agent name; false when WinInet refuses.
    [[nodiscard]] bool Open(const std::wstring& agent);
    void Close();
    // GET of an URL, reading at most `capacity` bytes of the body.
    model::CardAnswer Get(const std::wstring& url, size_t capacity);
    // One echo request with the time-out; true when the host answered.
    bool Ping(const std::wstring& host, int timeoutMs);

private:
    Owned<HINTERNET, InternetTraits> session_;
};

}  // namespace win
