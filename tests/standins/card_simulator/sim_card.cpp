// The simulated card's answers and control commands.
#include "sim_card.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>
#include <utility>

namespace sim {

namespace fs = std::filesystem;

namespace {

const char kListingHeader[] = "WLANSD_FILELIST";

std::string ErrorPage(int status) {
    // With a comma, like many error pages: it must not pass for a listing line.
    return "<html><body>" + std::to_string(status) + ", " + (status == 404 ? "Not Found" : "Internal Server Error") +
           "</body></html>";
}

Reply Error(int status) {
    Reply r;
    r.status = status;
    r.body = ErrorPage(status);
    return r;
}

// Answers of command.cgi carry no length: they end when the card closes.
Reply Text(std::string body) {
    Reply r;
    r.body = std::move(body);
    r.contentLength = false;
    return r;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool IsJpegName(const std::string& name) {
    std::string n = Lower(name);
    auto ends = [&](std::string_view e) { return n.size() >= e.size() && n.compare(n.size() - e.size(), e.size(), e) == 0; };
    return ends(".jpg") || ends(".jpeg");
}

std::string Utf8Name(const fs::path& p) {
    std::u8string s = p.filename().u8string();
    return std::string(s.begin(), s.end());
}

fs::path FromUtf8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

std::tm LocalTime(const fs::file_time_type& t) {
    auto sys = std::chrono::system_clock::now() +
               std::chrono::duration_cast<std::chrono::system_clock::duration>(t - fs::file_time_type::clock::now());
    std::time_t tt = std::chrono::system_clock::to_time_t(sys);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &tt);
#else
    localtime_r(&tt, &tm);
#endif
    return tm;
}

// One listing line: directory field, name, size, attribute, date, time.
std::string EntryLine(const std::string& dirField, const fs::directory_entry& e) {
    std::error_code ec;
    bool folder = e.is_directory(ec);
    std::string name = Utf8Name(e.path());
    bool hidden = !name.empty() && name[0] == '.';
    uint64_t size = folder ? 0 : e.file_size(ec);
    int attribute = (folder ? 16 : 32) | (hidden ? 2 : 0);
    std::tm tm = LocalTime(e.last_write_time(ec));
    return dirField + "," + name + "," + std::to_string(size) + "," + std::to_string(attribute) + "," +
           std::to_string(FatDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday)) + "," +
           std::to_string(FatTime(tm.tm_hour, tm.tm_min, tm.tm_sec)) + "\r\n";
}

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    std::istringstream in{std::string(line)};
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// The text after the first n blank-separated words, as it was written.
std::string_view AfterWords(std::string_view line, int n) {
    size_t at = 0;
    for (int w = 0; w < n; w++) {
        at = line.find_first_not_of(' ', at);
        at = line.find(' ', at);
        if (at == std::string_view::npos) return {};
    }
    return line.substr(at + 1);
}

std::string Joined(const std::vector<std::string>& segments) {
    std::string s;
    for (auto& seg : segments) s += "/" + seg;
    return s;
}

bool WriteFile(const fs::path& p, std::string_view bytes) {
    std::error_code ec;
    fs::create_directories(p.parent_path(), ec);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// The small JPEG grown to `size` as a camera's file is: the filler goes into
// comment segments after the start marker, so the file still ends with its
// end-of-image marker (a picture cut short does not). `mark` opens the first
// comment, so that two pictures of one size still differ; the file grows to
// hold it.
std::string Picture(uint64_t size, std::string_view mark = {}) {
    std::string_view jpeg = SmallJpeg();
    if (!mark.empty()) size = std::max<uint64_t>(size, jpeg.size() + 4 + mark.size());
    if (size < jpeg.size() + 4) {
        std::string data(jpeg);
        if (size > data.size()) data.resize(size, '\0');
        return data;
    }
    std::string data(jpeg.substr(0, 2));
    uint64_t filler = size - jpeg.size();
    while (filler > 0) {
        uint64_t segment = std::min<uint64_t>(filler, 65537);  // marker, length and at most 65533 bytes
        if (filler - segment > 0 && filler - segment < 4) segment -= 4;  // leave room for one more segment
        uint64_t length = segment - 2;
        data += '\xFF';
        data += '\xFE';
        data += static_cast<char>(length >> 8);
        data += static_cast<char>(length & 0xFF);
        const size_t payload = static_cast<size_t>(segment - 4);
        std::string_view opening = std::exchange(mark, {}).substr(0, payload);
        data += opening;
        data.append(payload - opening.size(), '\0');
        filler -= segment;
    }
    data.append(jpeg.substr(2));
    return data;
}

// A camera's raw file: a TIFF header (as most makers' raw files begin),
// its own line, then filler.
std::string RawFile(uint64_t size, std::string_view mark) {
    std::string data("II*\0\x08\0\0\0", 8);
    data += mark;
    data += '\n';
    if (size > data.size()) data.append(static_cast<size_t>(size - data.size()), 'R');
    return data;
}

// Camera-style names: P1010001, P1010002, ...
std::string PictureName(int number) {
    std::string name(1, 'P');
    name += std::to_string(number);
    return name;
}

bool IsCameraFolderChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

size_t FilesIn(const fs::path& folder) {
    std::error_code ec;
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.is_regular_file(ec)) n++;
    return n;
}

// What a file of the card holds once it is whole: the picture for JPEG
// names, filler bytes for anything else (as "add" writes them).
std::string WholeFile(const std::string& name, uint64_t size) {
    return IsJpegName(name) ? Picture(size) : std::string(size, 'D');
}

std::optional<Fault> FaultNamed(const std::string& name) {
    if (name == "empty") return Fault::Empty;
    if (name == "cut") return Fault::Cut;
    if (name == "stall") return Fault::Stall;
    if (name == "404") return Fault::NotFound;
    if (name == "500") return Fault::ServerError;
    if (name == "reset") return Fault::Reset;
    if (name == "gone") return Fault::Gone;
    return std::nullopt;
}

}  // namespace

uint16_t FatDate(int year, int month, int day) {
    return static_cast<uint16_t>(((year - 1980) & 0x7F) << 9 | (month & 0x0F) << 5 | (day & 0x1F));
}

uint16_t FatTime(int hour, int minute, int second) {
    return static_cast<uint16_t>((hour & 0x1F) << 11 | (minute & 0x3F) << 5 | ((second / 2) & 0x1F));
}

std::string PercentDecode(std::string_view text) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text.substr(i, 2) == "\\x" && i + 3 < text.size()) {
            std::string hex(text.substr(i + 2, 2));
            char* end = nullptr;
            long v = std::strtol(hex.c_str(), &end, 16);
            if (end == hex.c_str() + 2) {
                out.push_back(static_cast<char>(v));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::optional<std::string> RequestTarget(std::string_view head) {
    if (head.substr(0, 4) != "GET ") return std::nullopt;
    size_t end = head.find(' ', 4);
    if (end == std::string_view::npos || head.substr(end + 1, 7) != "HTTP/1.") return std::nullopt;
    return std::string(head.substr(4, end - 4));
}

std::optional<std::vector<std::string>> CardPathSegments(std::string_view path) {
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        std::string seg(path.substr(start, slash - start));
        start = slash + 1;
        if (seg.empty()) continue;
        if (seg == "." || seg == ".." || seg.find_first_of(std::string("\\:\0", 3)) != std::string::npos)
            return std::nullopt;
        segments.push_back(seg);
    }
    return segments;
}

bool IsLoopbackAddress(std::string_view address) {
    int octets[4];
    size_t at = 0;
    for (int i = 0; i < 4; i++) {
        if (i > 0 && (at >= address.size() || address[at++] != '.')) return false;
        size_t digits = 0;
        int value = 0;
        for (; at < address.size() && address[at] >= '0' && address[at] <= '9' && digits < 3; at++, digits++)
            value = value * 10 + (address[at] - '0');
        if (digits == 0 || value > 255) return false;
        octets[i] = value;
    }
    return at == address.size() && octets[0] == 127;
}

bool IsCid(std::string_view text) {
    return text.size() == 32 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

int NextPictureNumber(int number) {
    const int counter = number % 10000;
    return counter >= 9999 ? number - counter + 1 : number + 1;
}

std::optional<std::string> NextCameraFolderName(std::string_view name) {
    if (name.size() != 8 || name[0] < '1' || name[0] > '9') return std::nullopt;
    for (size_t i = 0; i < 8; i++)
        if (i < 3 ? !(name[i] >= '0' && name[i] <= '9') : !IsCameraFolderChar(name[i])) return std::nullopt;
    int number = (name[0] - '0') * 100 + (name[1] - '0') * 10 + (name[2] - '0');
    if (number >= 999) return std::nullopt;
    return std::to_string(number + 1) + std::string(name.substr(3));
}

Reply DecoyAnswer(Decoy kind, const std::string& target, const std::string& card) {
    Reply r;
    r.contentType = "text/html";
    if (kind == Decoy::Redirect) {
        r.status = 302;
        r.location = "http://" + card + target;
        r.body = "<html><body><a href=\"" + r.location + "\">Moved</a></body></html>";
    } else {
        r.body = "<!DOCTYPE html>\n<html><head><title>Router</title></head>"
                 "<body><h1>Welcome</h1><p>Please log in.</p></body></html>\n";
    }
    return r;
}

std::string ReplyHead(const Reply& r) {
    std::string reason = r.status == 200   ? "OK"
                         : r.status == 302 ? "Found"
                         : r.status == 404 ? "Not Found"
                                           : "Internal Server Error";
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + " " + reason + "\r\n";
    std::string type = !r.contentType.empty() ? r.contentType
                       : r.file || r.body.substr(0, 2) == "\xFF\xD8" ? "image/jpeg"
                                                                      : "text/plain";
    head += "Content-Type: " + type + "\r\n";
    if (!r.location.empty()) head += "Location: " + r.location + "\r\n";
    if (r.contentLength) head += "Content-Length: " + std::to_string(r.file ? r.fileSize : r.body.size()) + "\r\n";
    return head + "Connection: close\r\n\r\n";
}

Card::Card(fs::path root, std::string ssid, std::string cid)
    : root_(std::move(root)), ssid_(std::move(ssid)), cid_(std::move(cid)) {}

Reply Card::Answer(const std::string& target) {
    std::lock_guard lock(mutex_);
    ApplyDueWrites();
    log_.push_back(target);
    Fault fault = TakeFault(target);
    switch (fault) {
    case Fault::NotFound: return Error(404);
    case Fault::ServerError: return Error(500);
    case Fault::Empty: return Text("");
    case Fault::Gone: {
        refusing_ = true;
        Reply r;
        r.fault = Fault::Reset;
        return r;
    }
    case Fault::Stall:
    case Fault::Reset: {
        Reply r;
        r.fault = fault;
        return r;
    }
    default: break;
    }
    Reply r;
    if (target.rfind("/command.cgi?", 0) == 0)
        r = Command(target.substr(13));
    else if (target.rfind("/thumbnail.cgi?", 0) == 0)
        r = Thumbnail(PercentDecode(target.substr(15)));
    else
        r = File(PercentDecode(target.substr(0, target.find('?'))));
    r.fault = fault;
    return r;
}

Fault Card::TakeFault(const std::string& target) {
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (target.find(it->match) == std::string::npos) continue;
        Fault kind = it->kind;
        if (it->remaining > 0 && --it->remaining == 0) faults_.erase(it);
        return kind;
    }
    return Fault::None;
}

Reply Card::Command(const std::string& query) {
    std::string op, dir;
    bool hasDir = false;
    for (size_t start = 0; start <= query.size();) {
        size_t amp = query.find('&', start);
        if (amp == std::string::npos) amp = query.size();
        std::string pair = query.substr(start, amp - start);
        start = amp + 1;
        size_t eq = pair.find('=');
        std::string key = pair.substr(0, eq), value = eq == std::string::npos ? "" : PercentDecode(pair.substr(eq + 1));
        if (key == "op") op = value;
        if (key == "DIR") dir = value, hasDir = true;
    }
    if (op == "100" && hasDir) return Listing(dir);
    if (op == "102") {
        bool changed = std::exchange(updateFlag_, false);
        return Text(changed ? "1" : "0");
    }
    if (op == "104") return Text(ssid_);
    if (op == "120") return Text(cid_);
    return Error(404);
}

std::optional<fs::path> Card::Resolve(std::string_view cardPath) const {
    auto segments = CardPathSegments(cardPath);
    if (!segments) return std::nullopt;
    try {
        fs::path p = root_;
        for (auto& seg : *segments) p /= FromUtf8(seg);
        return p;
    } catch (const std::exception&) {
        return std::nullopt;  // not a name this system can spell
    }
}

Reply Card::Listing(std::string_view dir) const {
    auto segments = CardPathSegments(dir);
    auto folder = Resolve(dir);
    std::error_code ec;
    if (!segments || !folder || !fs::is_directory(*folder, ec)) return Error(404);
    std::string dirField = Joined(*segments);  // the root's entries have an empty directory field
    std::vector<fs::directory_entry> entries;
    for (const auto& e : fs::directory_iterator(*folder, ec)) entries.push_back(e);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return Utf8Name(a.path()) < Utf8Name(b.path()); });
    std::string body = std::string(kListingHeader) + "\r\n";
    for (const auto& e : entries) body += EntryLine(dirField, e);
    for (const auto& [where, line] : extraLines_)
        if (where == dirField) body += line + "\r\n";
    return Text(std::move(body));
}

Reply Card::Thumbnail(std::string_view path) const {
    auto file = Resolve(path);
    std::error_code ec;
    if (!file || !fs::is_regular_file(*file, ec) || !IsJpegName(Utf8Name(*file))) return Error(404);
    Reply r;
    r.body = std::string(SmallJpeg());
    return r;
}

Reply Card::File(std::string_view path) const {
    auto file = Resolve(path);
    std::error_code ec;
    if (!file || !fs::is_regular_file(*file, ec)) return Error(404);
    Reply r;
    r.file = *file;
    r.fileSize = fs::file_size(*file, ec);
    return r;
}

std::string Card::Shoot(const std::vector<std::string>& args, bool slow) {
    // shoot <folder> <count> [raw extension] [bytes]
    // shoot-slow <folder> <count> <step ms> [raw extension] [bytes]
    size_t options = slow ? 4 : 3;
    if (args.size() < options)
        return slow ? "error usage: shoot-slow <folder> <count> <step ms> [raw extension] [bytes]"
                    : "error usage: shoot <folder> <count> [raw extension] [bytes]";
    std::string reply = "ok";
    auto segments = CardPathSegments(Unescape(args[1]));
    std::optional<fs::path> folder = Resolve(Unescape(args[1]));
    if (!segments || !folder) return "error bad folder";
    int count = std::max(0, std::atoi(args[2].c_str()));
    int stepMs = slow ? std::max(0, std::atoi(args[3].c_str())) : 0;
    std::string rawExt = args.size() > options ? args[options] : "CR2";
    uint64_t size = args.size() > options + 1 ? std::strtoull(args[options + 1].c_str(), nullptr, 10) : 0;
    for (int i = 0; i < count; i++) {
        // A camera starts its next folder when a picture would pass the limit.
        while (filesPerFolder_ > 0 && !segments->empty() && FilesIn(*folder) + 2 > filesPerFolder_) {
            std::optional<std::string> next = NextCameraFolderName(segments->back());
            if (!next) break;  // the last folder a camera can make: it stays there
            segments->back() = *next;
            *folder = folder->parent_path() / *next;
            reply += "\nfolder " + Joined(*segments);
        }
        // A name still on the card is passed over, as a camera does.
        std::string base;
        std::error_code ec;
        int tries = 0;
        do {
            base = PictureName(nextPicture_);
            nextPicture_ = NextPictureNumber(nextPicture_);
        } while (fs::exists(*folder / (base + ".JPG"), ec) && ++tries < 9999);
        if (tries == 9999) return "error no free name in " + Joined(*segments);
        fs::path jpeg = *folder / (base + ".JPG"), raw = *folder / base;
        raw += "." + rawExt;
        // The network name tells two cards' shots of one number and name apart.
        const std::string mark = "card simulator shot " + std::to_string(++shots_) + " on " + ssid_ + " " +
                                 Joined(*segments) + "/" + base;
        std::string jpegBytes = Picture(size, mark + ".JPG");
        std::string rawBytes = RawFile(std::max<uint64_t>(size, 4096), mark + "." + rawExt);
        if (slow) {
            if (!WriteFile(jpeg, "") || !WriteFile(raw, "")) return "error cannot write " + base;
            StampWithCameraTime(jpeg);
            StampWithCameraTime(raw);
            // Both files of the pair grow at the same moments.
            const auto start = std::chrono::steady_clock::now();
            WriteInSteps(jpeg, std::move(jpegBytes), stepMs, start);
            WriteInSteps(raw, std::move(rawBytes), stepMs, start);
        } else if (!WriteFile(jpeg, jpegBytes) || !WriteFile(raw, rawBytes)) {
            return "error cannot write " + base;
        } else {
            StampWithCameraTime(jpeg);
            StampWithCameraTime(raw);
        }
        reply += "\n" + base;
    }
    updateFlag_ = updateFlag_ || count > 0;
    return reply;
}

void Card::WriteInSteps(const fs::path& file, std::string content, int stepMs,
                        std::chrono::steady_clock::time_point now) {
    size_t half = content.size() / 2;
    pending_.push_back({now + std::chrono::milliseconds(stepMs), file, content, half});
    pending_.push_back({now + std::chrono::milliseconds(2 * stepMs), file, std::move(content), 0});
    pending_.back().length = pending_.back().content.size();
}

void Card::ApplyDueWrites() {
    auto now = std::chrono::steady_clock::now();
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->due > now) {
            ++it;
            continue;
        }
        // The camera appends: what is there stays as it is.
        std::error_code ec;
        uint64_t there = fs::file_size(it->path, ec);
        if (ec) there = 0;
        if (there < it->length) {
            std::ofstream out(it->path, std::ios::binary | std::ios::app);
            out.write(it->content.data() + there, static_cast<std::streamsize>(it->length - there));
            out.close();
            StampWithCameraTime(it->path);
        }
        updateFlag_ = true;
        it = pending_.erase(it);
    }
}

void Card::StampWithCameraTime(const fs::path& file) const {
    if (cameraClock_.count() == 0) return;  // the file system's own time is the computer's
    std::error_code ec;
    fs::last_write_time(file, fs::file_time_type::clock::now() + cameraClock_, ec);
}

void Card::Tick() {
    std::lock_guard lock(mutex_);
    ApplyDueWrites();
}

std::string Card::AddFile(const std::vector<std::string>& args) {
    // add <card path> [bytes]
    if (args.size() < 2) return "error usage: add <card path> [bytes]";
    auto file = Resolve(Unescape(args[1]));
    if (!file) return "error bad path";
    uint64_t size = args.size() > 2 ? std::strtoull(args[2].c_str(), nullptr, 10) : SmallJpeg().size();
    std::string bytes = IsJpegName(Utf8Name(*file)) ? Picture(size) : std::string(size, 'D');
    if (!WriteFile(*file, bytes)) return "error cannot write";
    updateFlag_ = true;
    return "ok";
}

std::string Card::WritePart(const std::vector<std::string>& args) {
    // part <card path> <bytes> <total>
    auto file = Resolve(Unescape(args[1]));
    if (!file) return "error bad path";
    std::string whole = WholeFile(Utf8Name(*file), std::strtoull(args[3].c_str(), nullptr, 10));
    uint64_t bytes = std::strtoull(args[2].c_str(), nullptr, 10);
    if (!WriteFile(*file, std::string_view(whole).substr(0, static_cast<size_t>(std::min<uint64_t>(bytes, whole.size())))))
        return "error cannot write";
    updateFlag_ = true;
    return "ok";
}

std::string Card::SetDecoy(const std::vector<std::string>& args) {
    // decoy <127.0.0.x> page|redirect|off
    const std::string& address = args[1];
    if (!IsLoopbackAddress(address) || ownAddress_.substr(0, ownAddress_.find(':')) == address)
        return "error not a loopback address beside the card's";
    if (args[2] == "off") {
        decoys_.erase(address);
    } else if (args[2] == "page" || args[2] == "redirect") {
        decoys_[address] = args[2] == "page" ? Decoy::Page : Decoy::Redirect;
    } else {
        return "error usage: decoy <127.0.0.x> page|redirect|off";
    }
    return "ok";
}

std::string Card::Control(std::string_view line) {
    std::vector<std::string> args = Words(line);
    if (args.empty()) return "error empty command";
    const std::string& cmd = args[0];
    std::lock_guard lock(mutex_);
    ApplyDueWrites();
    if (cmd == "ping") return "ok";
    if (cmd == "shoot") return Shoot(args, false);
    if (cmd == "shoot-slow") return Shoot(args, true);
    if (cmd == "part" && args.size() == 4) return WritePart(args);
    if (cmd == "decoy" && args.size() == 3) return SetDecoy(args);
    if (cmd == "add") return AddFile(args);
    if (cmd == "mkdir" && args.size() == 2) return MakeFolder(args[1]);
    if (cmd == "move" && args.size() == 2) return Move(args[1]);
    if (cmd == "counter" && args.size() == 2) return SetCounter(args[1]);
    if (cmd == "format") return Format();
    if (cmd == "swap" && args.size() >= 3) return Swap(args);
    if (cmd == "line" && args.size() >= 3) return AddLine(line, args);
    if (cmd == "fault" && args.size() >= 2) return PlanFault(args);
    if (cmd == "log") {
        std::string reply = "ok";
        for (auto& l : log_) reply += "\n" + l;
        return reply;
    }
    if (cmd == "clear") {
        faults_.clear();
        extraLines_.clear();
        decoys_.clear();
        sleepUntil_ = {};
        woken_.notify_all();
    } else if (cmd == "sleep" && args.size() == 2) {
        sleepUntil_ = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(args[1].c_str()));
    } else if (cmd == "wake") {
        sleepUntil_ = {};
        woken_.notify_all();
    } else if (cmd == "clock" && args.size() == 2) {
        cameraClock_ = std::chrono::seconds(std::strtoll(args[1].c_str(), nullptr, 10));
    } else if (cmd == "roll" && args.size() == 2) {
        filesPerFolder_ = std::strtoull(args[1].c_str(), nullptr, 10);
    } else if (cmd == "quit") {
        quit_ = true;
    } else if (cmd == "refuse" || cmd == "accept") {
        refusing_ = cmd == "refuse";
    } else if (cmd == "rate" && args.size() == 2) {
        bytesPerSecond_ = std::strtoull(args[1].c_str(), nullptr, 10);
    } else if (cmd == "flag" && args.size() == 2) {
        updateFlag_ = args[1] == "1";
    } else if (cmd == "log-clear") {
        log_.clear();
    } else if (cmd != "release") {
        return "error unknown command: " + cmd;
    }
    if (cmd == "clear" || cmd == "release" || cmd == "quit") {
        releaseCount_++;
        released_.notify_all();
    }
    return "ok";
}

std::string Card::MakeFolder(const std::string& cardPath) {
    auto folder = Resolve(Unescape(cardPath));
    std::error_code ec;
    return folder && fs::create_directories(*folder, ec) ? "ok" : "error cannot make the folder";
}

std::string Card::Move(const std::string& address) {
    // move <127.0.0.x>: the card answers there from now on, as after the
    // camera started again and the network gave it another address.
    if (!IsLoopbackAddress(address)) return "error not a loopback address";
    if (decoys_.count(address)) return "error a host that is no card answers there";
    size_t colon = ownAddress_.find(':');
    ownAddress_ = address + (colon == std::string::npos ? "" : ownAddress_.substr(colon));
    return "ok";
}

std::string Card::Swap(const std::vector<std::string>& args) {
    // swap <folder> <cid> [seconds]: the photographer takes the card out and
    // puts in another (its content in <folder>, its own CID, the same network
    // name and address); it answers nothing while it starts (2 s by default).
    if (!IsCid(args[2])) return "error usage: swap <folder> <cid of 32 hex digits> [seconds]";
    std::error_code ec;
    fs::path root = FromUtf8(Unescape(args[1]));
    if (!fs::is_directory(root, ec)) return "error no such folder";
    root_ = std::move(root);
    cid_ = args[2];
    pending_.clear();  // what the camera still wrote went with the card
    updateFlag_ = false;
    const int seconds = args.size() > 3 ? std::max(0, std::atoi(args[3].c_str())) : 2;
    sleepUntil_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    return "ok";
}

std::string Card::SetCounter(const std::string& number) {
    // counter <1..9999>: the camera's next file number
    char* end = nullptr;
    long n = std::strtol(number.c_str(), &end, 10);
    if (*end != '\0' || n < 1 || n > 9999) return "error usage: counter <1..9999>";
    nextPicture_ = nextPicture_ - nextPicture_ % 10000 + static_cast<int>(n);
    return "ok";
}

std::string Card::Format() {
    // The camera folders stay, empty; what the camera was still writing is gone.
    std::error_code ec;
    for (const auto& folder : fs::directory_iterator(root_ / "DCIM", ec)) {
        if (!folder.is_directory(ec)) continue;
        std::vector<fs::path> entries;
        for (const auto& e : fs::directory_iterator(folder.path(), ec)) entries.push_back(e.path());
        for (const fs::path& e : entries) fs::remove_all(e, ec);
    }
    pending_.clear();
    updateFlag_ = true;
    return "ok";
}

std::string Card::AddLine(std::string_view line, const std::vector<std::string>& args) {
    // line <card folder> <raw listing line>: sent after the folder's entries
    auto segments = CardPathSegments(Unescape(args[1]));
    if (!segments) return "error bad folder";
    extraLines_.emplace_back(Joined(*segments), Unescape(AfterWords(line, 2)));
    return "ok";
}

std::string Card::PlanFault(const std::vector<std::string>& args) {
    // fault <kind> [count|always] [part of the target]
    auto kind = FaultNamed(args[1]);
    if (!kind) return "error unknown fault";
    PlannedFault f;
    f.kind = *kind;
    if (args.size() > 2) f.remaining = args[2] == "always" ? -1 : std::max(1, std::atoi(args[2].c_str()));
    if (args.size() > 3) f.match = Unescape(args[3]);
    faults_.push_back(f);
    return "ok";
}

bool Card::Refusing() const {
    std::lock_guard lock(mutex_);
    return refusing_;
}

bool Card::QuitRequested() const {
    std::lock_guard lock(mutex_);
    return quit_;
}

uint64_t Card::BytesPerSecond() const {
    std::lock_guard lock(mutex_);
    return bytesPerSecond_;
}

void Card::SetBytesPerSecond(uint64_t rate) {
    std::lock_guard lock(mutex_);
    bytesPerSecond_ = rate;
}

void Card::SetStallSeconds(int seconds) {
    std::lock_guard lock(mutex_);
    stallSeconds_ = seconds;
}

void Card::SetOwnAddress(std::string hostAndPort) {
    std::lock_guard lock(mutex_);
    ownAddress_ = std::move(hostAndPort);
}

std::string Card::Host() const {
    std::lock_guard lock(mutex_);
    return ownAddress_.substr(0, ownAddress_.find(':'));
}

bool Card::Asleep() const {
    std::lock_guard lock(mutex_);
    return std::chrono::steady_clock::now() < sleepUntil_;
}

void Card::WaitAwake() const {
    std::unique_lock lock(mutex_);
    while (std::chrono::steady_clock::now() < sleepUntil_) woken_.wait_until(lock, sleepUntil_);
}

std::map<std::string, Decoy> Card::Decoys() const {
    std::lock_guard lock(mutex_);
    return decoys_;
}

Reply Card::AnswerDecoy(const std::string& address, const std::string& target) {
    std::lock_guard lock(mutex_);
    log_.push_back("decoy " + address + " " + target);
    auto it = decoys_.find(address);
    if (it == decoys_.end()) {
        Reply gone;
        gone.fault = Fault::Reset;  // switched off meanwhile
        return gone;
    }
    return DecoyAnswer(it->second, target, ownAddress_);
}

void Card::Stall() {
    std::unique_lock lock(mutex_);
    uint64_t seen = releaseCount_;
    released_.wait_for(lock, std::chrono::seconds(stallSeconds_), [&] { return releaseCount_ != seen; });
}

}  // namespace sim
