// The simulated FlashAir card without its network side: what it answers to
// a request (listings, update flag, SSID, thumbnails, files), the faults the
// tests ask for, the request log, and the control commands. Portable C++;
// the card's content is a folder on disk.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The small JPEG served as every thumbnail and written, grown to size, as
// every new picture.
std::string_view SmallJpeg();

// The card's CID (op=120) unless --cid names another: 32 hex digits, as a
// Toshiba card of 16 GB reports it.
inline constexpr char kDefaultCid[] = "02544d535731364710a3b5c974011be1";
bool IsCid(std::string_view text);

// FAT date (bits 15-9 year - 1980, 8-5 month, 4-0 day) and time (15-11 hour,
// 10-5 minute, 4-0 seconds / 2).
uint16_t FatDate(int year, int month, int day);
uint16_t FatTime(int hour, int minute, int second);

std::string PercentDecode(std::string_view text);
// "\xNN" escapes of the control lines (how tests write blanks, commas or
// bytes 0x80-0xFF into a name); other text unchanged.
std::string Unescape(std::string_view text);
// The target of "GET <target> HTTP/1.x"; nothing for anything else.
std::optional<std::string> RequestTarget(std::string_view head);

// A card path as its segments; nothing when a segment is "." or ".." or holds
// a character that could leave the card's folder.
std::optional<std::vector<std::string>> CardPathSegments(std::string_view path);

// True for a dotted IPv4 address in 127.0.0.0/8: the simulator listens on
// nothing else.
bool IsLoopbackAddress(std::string_view address);

// The camera's file number after `number` (P1010001 is 1010001): its last
// four digits count 0001 to 9999 and then start again at 0001.
int NextPictureNumber(int number);

// The next camera folder's name after a DCF name "NNNXXXXX" (101_PANA ->
// 102_PANA); nothing for other names and after 999.
std::optional<std::string> NextCameraFolderName(std::string_view name);

// Gone: the connection is reset and the card refuses every later one until
// "accept", as a card that is switched off or leaves the network.
enum class Fault { None, Empty, Cut, Stall, NotFound, ServerError, Reset, Gone };

// What to send for one request.
struct Reply {
    int status = 200;
    std::string body;                           // command answers, thumbnails, error pages
    std::optional<std::filesystem::path> file;  // a file of the card, sent from disk
    uint64_t fileSize = 0;
    bool contentLength = true;  // false: the body ends when the connection closes
    Fault fault = Fault::None;  // Cut, Stall and Reset are done by the network side
    std::string contentType;    // empty: JPEG or plain text, from the body
    std::string location;       // a redirect's target
};

// A host on the network that is no card: a router's web page, or a host
// that redirects every request to the card.
enum class Decoy { Page, Redirect };
// Its answer to any request; `card` is the card's "host[:port]".
Reply DecoyAnswer(Decoy kind, const std::string& target, const std::string& card);

// Status line and headers, ending in the empty line.
std::string ReplyHead(const Reply& r);

class Card {
public:
    Card(std::filesystem::path root, std::string ssid, std::string cid = kDefaultCid);

    // The answer to a request target, faults applied; the target is logged.
    Reply Answer(const std::string& target);
    // One control command; the reply starts with "ok" or "error", further
    // lines follow for "log".
    std::string Control(std::string_view line);

    bool Refusing() const;
    bool QuitRequested() const;
    // Pace of file bodies; 0 sends at full speed.
    uint64_t BytesPerSecond() const;
    void SetBytesPerSecond(uint64_t rate);
    void SetStallSeconds(int seconds);
    // Holds a stalled request until "release", "clear" or the stall time ends.
    void Stall();

    // The card's own address as redirects name it ("127.0.0.5" or with ":port").
    void SetOwnAddress(std::string hostAndPort);
    // Where the card answers: the address of SetOwnAddress until "move"
    // names another; the network side follows it.
    std::string Host() const;
    // Asleep ("sleep"): the card takes no connection and answers nothing,
    // as a card whose camera powered it down, until the time ends or "wake".
    bool Asleep() const;
    // Returns once the card is awake.
    void WaitAwake() const;
    // The hosts that are no card, by address ("decoy"); the network side
    // listens for them.
    std::map<std::string, Decoy> Decoys() const;
    // A request to a decoy: logged as "decoy <address> <target>".
    Reply AnswerDecoy(const std::string& address, const std::string& target);
    // Writes the steps of pictures written slowly that are due; the network
    // side calls it while idle, requests and commands call it too.
    void Tick();

private:
    struct PlannedFault {
        Fault kind = Fault::None;
        std::string match;  // part of the target; empty matches every request
        int remaining = 1;  // -1: until cleared
    };

    Fault TakeFault(const std::string& target);
    Reply Command(const std::string& query);
    Reply Listing(std::string_view dir) const;
    Reply Thumbnail(std::string_view path) const;
    Reply File(std::string_view path) const;
    std::optional<std::filesystem::path> Resolve(std::string_view cardPath) const;
    // A file written in steps: each step appends up to `length` of `content`.
    struct PendingWrite {
        std::chrono::steady_clock::time_point due;
        std::filesystem::path path;
        std::string content;
        size_t length = 0;
    };

    void ApplyDueWrites();
    // A file the camera wrote carries the camera's time ("clock").
    void StampWithCameraTime(const std::filesystem::path& file) const;
    std::string Shoot(const std::vector<std::string>& args, bool slow);
    std::optional<std::filesystem::path> ShootingFolder(const std::string& cardFolder, std::string& reply);
    void WriteInSteps(const std::filesystem::path& file, std::string content, int stepMs,
                      std::chrono::steady_clock::time_point start);
    std::string AddFile(const std::vector<std::string>& args);
    std::string WritePart(const std::vector<std::string>& args);
    std::string SetDecoy(const std::vector<std::string>& args);
    std::string MakeFolder(const std::string& cardPath);
    std::string Move(const std::string& address);
    std::string SetCounter(const std::string& number);
    std::string Swap(const std::vector<std::string>& args);
    std::string Format();
    std::string AddLine(std::string_view line, const std::vector<std::string>& args);
    std::string PlanFault(const std::vector<std::string>& args);

    std::filesystem::path root_;
    std::string ssid_, cid_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    uint64_t releaseCount_ = 0;
    bool updateFlag_ = false;
    bool refusing_ = false;
    bool quit_ = false;
    uint64_t bytesPerSecond_ = 0;
    int stallSeconds_ = 30;
    int nextPicture_ = 1010001;
    uint64_t shots_ = 0;  // pairs shot: each pair's files carry its number, so no two shots are alike
    std::chrono::seconds cameraClock_{0};  // the camera's clock ahead of the computer's (behind when negative)
    std::vector<PlannedFault> faults_;
    std::vector<std::pair<std::string, std::string>> extraLines_;  // card folder, raw line
    std::vector<std::string> log_;
    std::vector<PendingWrite> pending_;
    size_t filesPerFolder_ = 0;  // "roll": 0 keeps shooting into the folder named
    std::chrono::steady_clock::time_point sleepUntil_{};
    mutable std::condition_variable woken_;
    std::string ownAddress_ = "127.0.0.5";
    std::map<std::string, Decoy> decoys_;
};

}  // namespace sim
