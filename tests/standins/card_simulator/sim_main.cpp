// The card simulator: an HTTP server on a loopback address that serves a
// folder as a FlashAir card does, at most two requests at once, with a
// control port for tests and demos. It binds nothing outside 127.0.0.0/8 and
// ends by itself after its lifetime.
//
//   card_simulator --root FOLDER --address 127.0.0.X [--port 80]
//                  [--control-port 8080] [--ssid NAME] [--cid HEX32]
//                  [--rate BYTES/S] [--stall SECONDS] [--lifetime SECONDS]
//
// The card answers op=100 (listing), 102 (update flag), 104 (SSID) and 120
// (CID, 32 hex digits), thumbnails and files.
//
// Control: connect to the control port, send one line, read the reply until
// the connection closes. The reply starts with "ok" or "error". Commands:
//   ping
//   shoot <folder> <count> [raw extension] [bytes]   JPEG + raw pairs, names
//                                   one a line; sets the update flag. Names
//                                   still on the card are passed over; every
//                                   file of a shot differs from every other
//                                   (the JPEG's first comment and the raw
//                                   file's first line name the shot), the
//                                   JPEGs stay whole pictures
//   clock <seconds>                 the camera's clock runs that far ahead of
//                                   the computer's (behind when negative):
//                                   the files it shoots carry its time, which
//                                   the listing shows
//   counter <1..9999>               the camera's next file number: the last
//                                   four digits of the names, which go on
//                                   from 9999 to 0001
//   shoot-slow <folder> <count> <step ms> [raw extension] [bytes]
//                                   the same, written as a camera does: listed
//                                   with 0 bytes, after one step half, after
//                                   two steps whole (the flag set each time)
//   roll <files>                    shoot and shoot-slow into a camera folder
//                                   (NNNXXXXX) that would pass <files> go on in
//                                   the next one (101_PANA -> 102_PANA), made
//                                   as needed; a line "folder <path>" says so.
//                                   0 (the start) keeps the folder named
//   add <card path> [bytes]         one file (a picture for JPEG names)
//   part <card path> <bytes> <total>
//                                   the first <bytes> of the file as "add"
//                                   would write it with <total> bytes
//   mkdir <card path>
//   format                          the folders in /DCIM emptied, as the
//                                   camera's format does (the folders stay);
//                                   steps still to be written are dropped
//   swap <folder> <cid> [seconds]   another card put in: its files in <folder>,
//                                   its own CID, the same network name and
//                                   address; silent while it starts (2 s)
//   move <127.0.0.x>                the card answers at another address from
//                                   now on (the old one takes no connection),
//                                   as after the camera started again; the
//                                   control port stays where it is
//   line <card folder> <raw line>   sent after the folder's entries
//   fault <kind> [count|always] [part of the target]
//                                   kinds: empty, cut, stall, 404, 500, reset,
//                                   gone (refuses until "accept")
//   sleep <seconds>, wake           asleep as a powered-down card: no
//                                   connection is taken (they wait unanswered
//                                   and are dropped on waking), requests in
//                                   progress get no more bytes; echo requests
//                                   on loopback are still answered
//   decoy <127.0.0.x> page|redirect|off
//                                   a host beside the card that is no card: it
//                                   answers every request with a router's HTML
//                                   page, or with a 302 redirect to the card
//   clear                           faults, lines, sleep and decoys end
//   release, refuse, accept, rate <bytes/s>, flag 0|1, log, log-clear, quit
// Requests to decoys are logged as "decoy <address> <target>".
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
using Socket = int;
constexpr Socket kNoSocket = -1;
#endif

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "sim_card.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kServedAtOnce = 2;  // the card answers at most two requests at a time
constexpr size_t kMaxHead = 16384;

// ---- The thin platform layer --------------------------------------------------

void CloseSocket(Socket s) {
#ifdef _WIN32
    closesocket(s);
#else
    close(s);
#endif
}

// Closes with a reset instead of an orderly end.
void ResetSocket(Socket s) {
    linger l{1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    CloseSocket(s);
}

void SetReceiveTimeout(Socket s, int ms) {
#ifdef _WIN32
    DWORD t = static_cast<DWORD>(ms);
#else
    timeval t{ms / 1000, (ms % 1000) * 1000};
#endif
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&t), sizeof t);
}

bool SendAll(Socket s, std::string_view data) {
    while (!data.empty()) {
        int n = send(s, data.data(), static_cast<int>(std::min<size_t>(data.size(), 65536)), 0);
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Only loopback addresses: the simulator must never reach the network.
bool LoopbackAddress(const char* text, in_addr& addr) {
    return inet_pton(AF_INET, text, &addr) == 1 && (ntohl(addr.s_addr) >> 24) == 127;
}

Socket Listen(const in_addr& addr, int port) {
    Socket s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == kNoSocket) return kNoSocket;
    int yes = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr = addr;
    if (bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(s, 16) != 0) {
        CloseSocket(s);
        return kNoSocket;
    }
    return s;
}

// ---- Serving ------------------------------------------------------------------

std::string ReadHead(Socket s) {
    std::string head;
    char buf[2048];
    while (head.size() < kMaxHead && head.find("\r\n\r\n") == std::string::npos) {
        int n = recv(s, buf, sizeof buf, 0);
        if (n <= 0) break;
        head.append(buf, static_cast<size_t>(n));
    }
    return head;
}

// Sends at the card's pace: after each piece, waits until the rate allows more.
// A card that falls asleep sends nothing more.
bool SendPaced(const sim::Card& card, Socket s, std::string_view data, uint64_t bytesPerSecond,
               Clock::time_point start, uint64_t& sent) {
    constexpr size_t kPiece = 8192;
    while (!data.empty()) {
        if (card.Asleep()) return false;
        std::string_view piece = data.substr(0, kPiece);
        if (!SendAll(s, piece)) return false;
        data.remove_prefix(piece.size());
        sent += piece.size();
        if (bytesPerSecond > 0)
            std::this_thread::sleep_until(start + std::chrono::microseconds(sent * 1000000 / bytesPerSecond));
    }
    return true;
}

// The body, or for a cut answer its first half; false when it was not sent whole.
bool SendBody(const sim::Card& card, Socket s, const sim::Reply& r, uint64_t bytesPerSecond) {
    uint64_t total = r.file ? r.fileSize : r.body.size();
    uint64_t limit = r.fault == sim::Fault::Cut ? total / 2 : total;
    uint64_t sent = 0;
    Clock::time_point start = Clock::now();
    if (!r.file) return SendPaced(card, s, std::string_view(r.body).substr(0, limit), bytesPerSecond, start, sent);
    std::ifstream in(*r.file, std::ios::binary);
    std::string buf(65536, '\0');
    while (sent < limit && in) {
        in.read(buf.data(), static_cast<std::streamsize>(std::min<uint64_t>(buf.size(), limit - sent)));
        if (in.gcount() <= 0) break;
        if (!SendPaced(card, s, std::string_view(buf.data(), static_cast<size_t>(in.gcount())), bytesPerSecond, start,
                       sent))
            return false;
    }
    return true;
}

void EndReply(Socket s) {
#ifdef _WIN32
    shutdown(s, SD_SEND);
#else
    shutdown(s, SHUT_WR);
#endif
    CloseSocket(s);
}

// Held without an answer while the card sleeps, then dropped.
void DropWhenAwake(const sim::Card& card, Socket s) {
    card.WaitAwake();
    ResetSocket(s);
}

void Serve(sim::Card& card, Socket s) {
    // Accepted before the listener closed: a card that is gone answers nothing.
    if (card.Refusing()) return ResetSocket(s);
    SetReceiveTimeout(s, 5000);
    auto target = sim::RequestTarget(ReadHead(s));
    if (!target) {
        CloseSocket(s);
        return;
    }
    if (card.Asleep()) return DropWhenAwake(card, s);
    sim::Reply r = card.Answer(*target);
    if (r.fault == sim::Fault::Reset) return ResetSocket(s);
    if (r.fault == sim::Fault::Stall) {
        card.Stall();
        return ResetSocket(s);
    }
    if (SendAll(s, sim::ReplyHead(r)) && !SendBody(card, s, r, card.BytesPerSecond()) && card.Asleep())
        return DropWhenAwake(card, s);
    EndReply(s);
}

// A host that is no card answers at once, whatever the card is doing.
void ServeDecoy(sim::Card& card, Socket s, std::string address) {
    SetReceiveTimeout(s, 5000);
    auto target = sim::RequestTarget(ReadHead(s));
    if (!target) return CloseSocket(s);
    sim::Reply r = card.AnswerDecoy(address, *target);
    if (r.fault == sim::Fault::Reset) return ResetSocket(s);
    if (SendAll(s, sim::ReplyHead(r))) SendAll(s, r.body);
    EndReply(s);
}

// Accepted connections wait here for one of the two servers.
class Queue {
public:
    void Push(Socket s) {
        std::lock_guard lock(mutex_);
        waiting_.push_back(s);
        ready_.notify_one();
    }
    Socket Pop() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !waiting_.empty(); });
        Socket s = waiting_.front();
        waiting_.pop_front();
        return s;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Socket> waiting_;
};

void AnswerControl(sim::Card& card, Socket s) {
    SetReceiveTimeout(s, 2000);
    std::string line;
    char c;
    while (line.size() < kMaxHead && recv(s, &c, 1, 0) == 1 && c != '\n') line.push_back(c);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    SendAll(s, card.Control(line) + "\n");
    CloseSocket(s);
}

// Opens and closes the decoys' listeners to match the card's list.
void UpdateDecoys(const std::map<std::string, sim::Decoy>& wanted, int port, std::map<std::string, Socket>& open) {
    for (auto it = open.begin(); it != open.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        CloseSocket(it->second);
        it = open.erase(it);
    }
    for (const auto& [address, kind] : wanted) {
        in_addr addr{};
        if (open.count(address) || !LoopbackAddress(address.c_str(), addr)) continue;
        Socket s = Listen(addr, port);
        if (s != kNoSocket) open.emplace(address, s);
    }
}

struct Options {
    std::string root, address = "127.0.0.5", ssid = "flashair_e8e0b756a7fb", cid = sim::kDefaultCid;
    int port = 80, controlPort = 8080, lifetimeSeconds = 600, stallSeconds = 30;
    uint64_t bytesPerSecond = 0;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string key = argv[i], value = argv[i + 1];
        if (key == "--root") o.root = value;
        else if (key == "--address") o.address = value;
        else if (key == "--ssid") o.ssid = value;
        else if (key == "--cid") o.cid = value;
        else if (key == "--port") o.port = std::atoi(value.c_str());
        else if (key == "--control-port") o.controlPort = std::atoi(value.c_str());
        else if (key == "--lifetime") o.lifetimeSeconds = std::atoi(value.c_str());
        else if (key == "--stall") o.stallSeconds = std::atoi(value.c_str());
        else if (key == "--rate") o.bytesPerSecond = std::strtoull(value.c_str(), nullptr, 10);
        else return false;
    }
    return argc % 2 == 1 && !o.root.empty() && sim::IsCid(o.cid);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: card_simulator --root FOLDER --address 127.0.0.X [--port N] [--control-port N]\n"
                             "       [--ssid NAME] [--cid HEX32] [--rate BYTES/S] [--stall SECONDS]\n"
                             "       [--lifetime SECONDS]\n");
        return 2;
    }
#ifdef _WIN32
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
#endif
    in_addr addr{};
    if (!LoopbackAddress(o.address.c_str(), addr)) {
        std::fprintf(stderr, "card_simulator: %s is no loopback address (127.0.0.0/8)\n", o.address.c_str());
        return 2;
    }
    sim::Card card(std::filesystem::path(o.root), o.ssid, o.cid);  // argv is in the system code page
    card.SetBytesPerSecond(o.bytesPerSecond);
    card.SetStallSeconds(o.stallSeconds);
    card.SetOwnAddress(o.port == 80 ? o.address : o.address + ":" + std::to_string(o.port));

    Socket control = Listen(addr, o.controlPort);
    Socket listener = Listen(addr, o.port);
    std::string servingAt = o.address;  // the control port stays here when the card moves
    if (control == kNoSocket || listener == kNoSocket) {
        std::fprintf(stderr, "card_simulator: cannot listen on %s:%d and :%d\n", o.address.c_str(), o.port,
                     o.controlPort);
        return 1;
    }
    Queue queue;
    for (int i = 0; i < kServedAtOnce; i++)
        std::thread([&] {
            for (;;) Serve(card, queue.Pop());
        }).detach();

    std::map<std::string, Socket> decoys;  // listeners of the hosts that are no card
    bool wasAsleep = false;
    const Clock::time_point end = Clock::now() + std::chrono::seconds(o.lifetimeSeconds);
    while (Clock::now() < end && !card.QuitRequested()) {
        card.Tick();
        // "move": the old address takes no more connections, the new one does.
        if (std::string host = card.Host(); host != servingAt && LoopbackAddress(host.c_str(), addr)) {
            if (listener != kNoSocket) CloseSocket(std::exchange(listener, kNoSocket));
            servingAt = host;
        }
        // "refuse": the listener is closed, so connections are refused as by a card that is gone.
        if (card.Refusing() && listener != kNoSocket) CloseSocket(std::exchange(listener, kNoSocket));
        if (!card.Refusing() && listener == kNoSocket) listener = Listen(addr, o.port);
        // Asleep, the listener is left alone: connections wait unanswered in
        // its queue. Waking, a new listener drops them, as a card that starts
        // again knows nothing of them.
        bool asleep = card.Asleep();
        if (wasAsleep && !asleep && listener != kNoSocket) {
            CloseSocket(listener);
            listener = Listen(addr, o.port);
        }
        wasAsleep = asleep;
        UpdateDecoys(card.Decoys(), o.port, decoys);
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(control, &ready);
        Socket highest = control;
        auto watch = [&](Socket s) {
            FD_SET(s, &ready);
            highest = std::max(highest, s);
        };
        if (listener != kNoSocket && !asleep) watch(listener);
        for (auto& [address, s] : decoys) watch(s);
        timeval wait{0, 100000};
        if (select(static_cast<int>(highest) + 1, &ready, nullptr, nullptr, &wait) <= 0) continue;
        if (listener != kNoSocket && !asleep && FD_ISSET(listener, &ready)) {
            Socket s = accept(listener, nullptr, nullptr);
            if (s != kNoSocket) queue.Push(s);
        }
        for (auto& [address, listening] : decoys) {
            if (!FD_ISSET(listening, &ready)) continue;
            Socket s = accept(listening, nullptr, nullptr);
            if (s != kNoSocket) std::thread(ServeDecoy, std::ref(card), s, address).detach();
        }
        if (FD_ISSET(control, &ready)) {
            Socket s = accept(control, nullptr, nullptr);
            if (s != kNoSocket) AnswerControl(card, s);
        }
    }
    std::fflush(nullptr);
    std::_Exit(0);  // stalled servers are not waited for
}
