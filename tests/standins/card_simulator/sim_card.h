// The simulated FlashAir card without its network side: what it answers to
// a request (listings, update flag, SSID, thumbnails, files), the faults the
// tests ask for, the request log, and the control commands. Portable C++;
// the card's content is a folder on disk.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The small JPEG served as every thumbnail and written as every new picture.
std::string_view SmallJpeg();

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
};

// Status line and headers, ending in the empty line.
std::string ReplyHead(const Reply& r);

class Card {
public:
    Card(std::filesystem::path root, std::string ssid);

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
    std::string Shoot(const std::vector<std::string>& args);
    std::string AddFile(const std::vector<std::string>& args);
    std::string MakeFolder(const std::string& cardPath);
    std::string AddLine(std::string_view line, const std::vector<std::string>& args);
    std::string PlanFault(const std::vector<std::string>& args);

    std::filesystem::path root_;
    std::string ssid_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    uint64_t releaseCount_ = 0;
    bool updateFlag_ = false;
    bool refusing_ = false;
    bool quit_ = false;
    uint64_t bytesPerSecond_ = 0;
    int stallSeconds_ = 30;
    int nextPicture_ = 1010001;
    std::vector<PlannedFault> faults_;
    std::vector<std::pair<std::string, std::string>> extraLines_;  // card folder, raw line
    std::vector<std::string> log_;
};

}  // namespace sim
