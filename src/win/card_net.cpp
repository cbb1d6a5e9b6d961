// WinInet requests and the ICMP echo.
#include "win/card_net.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <algorithm>
#include <optional>

#include "win/handle.h"

namespace win {

namespace {

// WinInet's own defaults let a card that accepts a request and then stalls
// hold the program for minutes (under some WinInet versions for ever); a
// card on the local network answers well within these.
constexpr DWORD kConnectTimeoutMs = 5000;
constexpr DWORD kReceiveTimeoutMs = 10000;
// Only the card answers for the card: a redirect (a router's login page, a
// captive portal) is not followed.
constexpr DWORD kRequestFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;

using InternetObject = Owned<HINTERNET, InternetTraits>;

struct IcmpTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { IcmpCloseHandle(h); }
};
using IcmpHandle = win::Owned<HANDLE, IcmpTraits>;

// Set on each request: not every WinInet passes a session's time-outs on.
void LimitWaiting(HINTERNET request) {
    DWORD connect = kConnectTimeoutMs, receive = kReceiveTimeoutMs;
    InternetSetOptionW(request, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionW(request, INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof receive);
    InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

struct UrlParts {
    std::wstring host, pathAndQuery;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
};

std::optional<UrlParts> SplitUrl(const std::wstring& url) {
    URL_COMPONENTSW c{};
    c.dwStructSize = sizeof c;
    c.dwHostNameLength = c.dwUrlPathLength = c.dwExtraInfoLength = 1;  // ask for pointers into url
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &c) || !c.lpszHostName || c.dwHostNameLength == 0) return std::nullopt;
    UrlParts parts;
    parts.host.assign(c.lpszHostName, c.dwHostNameLength);
    if (c.lpszUrlPath) parts.pathAndQuery.assign(c.lpszUrlPath, c.dwUrlPathLength);
    if (c.lpszExtraInfo) parts.pathAndQuery.append(c.lpszExtraInfo, c.dwExtraInfoLength);
    if (parts.pathAndQuery.empty()) parts.pathAndQuery = L"/";
    parts.port = c.nPort;
    return parts;
}

// The request opened and sent; null when the card cannot be reached or
// does not answer in time. The connection handle is kept beside it.
InternetObject SendRequest(HINTERNET session, const UrlParts& url, InternetObject& connection) {
    connection.reset(InternetConnectW(session, url.host.c_str(), url.port, nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return {};
    InternetObject request(HttpOpenRequestW(connection.get(), L"GET", url.pathAndQuery.c_str(), nullptr, nullptr,
                                             nullptr, kRequestFlags, 0));
    if (!request) return {};
    LimitWaiting(request.get());
    if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return {};
    return request;
}

// The answer's HTTP status, 0 when there is none. An error page is no answer
// of the card: its text must not be read as a listing, an SSID or an update
// flag.
int StatusOf(HINTERNET request) {
    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
    return static_cast<int>(status);
}

// The length the card announced for the body, when it did.
std::optional<uint64_t> AnnouncedLength(HINTERNET request) {
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return std::nullopt;
    wchar_t* end = nullptr;
    unsigned long long n = wcstoull(text, &end, 10);
    if (end == text) return std::nullopt;
    return n;
}

// One InternetReadFile may return only part of what has arrived; read until
// the card ends the answer or the bound is passed. The buffer grows with what
// arrives (a listing is mostly small; the bound is only for a card that does
// not stop), and `cut` tells that the answer went on beyond the bound.
// `broken` tells that the connection failed before the card ended the answer.
std::string ReadBody(HINTERNET request, size_t bound, bool& cut, bool& broken) {
    std::string body;
    char chunk[16384];
    cut = broken = false;
    for (;;) {
        // Up to one byte beyond the bound is asked for, to see whether more follows.
        size_t room = bound - body.size() + 1;
        DWORD n = 0;
        if (!InternetReadFile(request, chunk, static_cast<DWORD>(std::min(sizeof chunk, room)), &n)) {
            broken = true;
            break;
        }
        if (n == 0) break;
        if (n >= room) {
            body.append(chunk, room - 1);
            cut = true;
            break;
        }
        body.append(chunk, n);
    }
    return body;
}

std::optional<IN_ADDR> Ipv4Address(const std::wstring& host) {
    IN_ADDR addr{};
    if (InetPtonW(AF_INET, host.c_str(), &addr) == 1) return addr;
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    FreeAddrInfoW(found);
    return addr;
}

// The system's echo request in place of starting the "Ping" command: the
// same one request with the same reply time-out, without a console process.
bool EchoAnswered(const std::wstring& host, int timeoutMs) {
    std::optional<IN_ADDR> addr = Ipv4Address(host);
    if (!addr) return false;
    IcmpHandle icmp(IcmpCreateFile());
    if (!icmp) return false;
    char payload[32] = "Wemlox";
    // Room for the reply, the echoed data, an ICMP error and the status block.
    char reply[sizeof(ICMP_ECHO_REPLY) + sizeof payload + 8 + 32];
    DWORD replies = IcmpSendEcho(icmp.get(), addr->S_un.S_addr, payload, sizeof payload, nullptr, reply, sizeof reply,
                                 static_cast<DWORD>(timeoutMs));
    return replies > 0 && reinterpret_cast<const ICMP_ECHO_REPLY*>(reply)->Status == IP_SUCCESS;
}

}  // namespace

bool CardNet::Open(const std::wstring& agent) {
    // The card is on the local network: a proxy set up for the internet
    // would swallow every request to it.
    session_.reset(InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    return static_cast<bool>(session_);
}

void CardNet::Close() { session_.reset(); }

model::CardAnswer CardNet::Get(const std::wstring& url, size_t capacity) {
    std::optional<UrlParts> parts = SplitUrl(url);
    if (!session_ || !parts) return {};
    InternetObject connection;
    InternetObject request = SendRequest(session_.get(), *parts, connection);
    if (!request) return {};
    model::CardAnswer answer;
    answer.opened = true;
    answer.status = StatusOf(request.get());
    answer.success = answer.status >= 200 && answer.status < 300;
    if (!answer.success) return answer;
    answer.body = ReadBody(request.get(), capacity, answer.cut, answer.broken);
    // A body shorter than announced was cut off on the way.
    std::optional<uint64_t> announced = AnnouncedLength(request.get());
    if (!answer.cut && announced && *announced != answer.body.size()) answer.broken = true;
    return answer;
}

bool CardNet::Ping(const std::wstring& host, int timeoutMs) { return EchoAnswered(host, timeoutMs); }

}  // namespace win
