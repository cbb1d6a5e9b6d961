// The record of a card: lines of tab-separated fields, UTF-8.
//   Wemlox card record 1
//   card   <id>
//   clock  <ns>                  one line per reading, oldest first
//   wait   <folder> <name> <size> <date> <time>
//   stored <folder> <name> <size> <date> <time> <file below the store>
// Card names and folders hold no control characters (the listing drops
// such entries), so a tab never occurs inside a field.
#include "model/card_record.h"

#include <algorithm>

#include "base/fs.h"
#include "base/str.h"

namespace model {

namespace {

constexpr std::string_view kHeader = "Wemlox card record 1";

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t from = 0;
    for (size_t tab; (tab = line.find('\t', from)) != std::string_view::npos; from = tab + 1)
        fields.push_back(line.substr(from, tab - from));
    fields.push_back(line.substr(from));
    return fields;
}

std::string IdFields(const PictureId& id) {
    return str::ToUtf8(id.folder) + "\t" + str::ToUtf8(id.name) + "\t" + std::to_string(id.size) + "\t" +
           std::to_string(id.date) + "\t" + std::to_string(id.time);
}

std::optional<PictureId> IdFromFields(const std::vector<std::string_view>& f) {
    if (f.size() < 6 || f[2].empty()) return std::nullopt;
    PictureId id;
    id.folder = str::FromUtf8(f[1]);
    id.name = str::FromUtf8(f[2]);
    id.size = std::strtoll(std::string(f[3]).c_str(), nullptr, 10);
    id.date = static_cast<int32_t>(std::strtol(std::string(f[4]).c_str(), nullptr, 10));
    id.time = static_cast<int32_t>(std::strtol(std::string(f[5]).c_str(), nullptr, 10));
    return id;
}

}  // namespace

std::wstring CardRecord::FileFor(const std::wstring& folder, std::wstring_view cardId) {
    std::wstring name;
    for (wchar_t c : cardId)
        if ((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'-' || c == L'_')
            name += c;
    if (name.empty()) name = L"card";
    return folder + L"\\" + name.substr(0, 64) + L".txt";
}

void CardRecord::Open(const std::wstring& file, std::wstring cardId) {
    *this = CardRecord();
    file_ = file;
    cardId_ = std::move(cardId);
    if (std::optional<std::string> text = fs::ReadFile(file)) Parse(*text);
    dirty_ = false;
}

void CardRecord::Wait(const PictureId& id) {
    std::wstring key = id.Key();
    if (waiting_.count(key)) return;
    waiting_.emplace(key, Entry{id, {}});
    waitingAt_[id.PlaceKey()] = key;
    waitingOrder_.push_back(std::move(key));
    dirty_ = true;
    Trim();
}

void CardRecord::StopWaiting(const PictureId& id) {
    std::wstring key = id.Key();
    if (!waiting_.count(key)) return;
    DropWaiting(key);
    waitingOrder_.erase(std::find(waitingOrder_.begin(), waitingOrder_.end(), key));
    dirty_ = true;
}

void CardRecord::KeepWaitingListed(std::wstring_view folder, const std::vector<PictureId>& listed) {
    std::wstring folderKey = PictureId{std::wstring(folder), L"", 0, 0, 0}.PlaceKey();  // "<folder>/"
    std::unordered_map<std::wstring, bool> shown;
    for (const PictureId& id : listed) shown[id.Key()] = true;
    auto gone = [&](const std::wstring& key) {
        const PictureId& id = waiting_.at(key).id;
        return str::StartsWith(id.PlaceKey(), folderKey) && !shown.count(key);
    };
    auto end = std::remove_if(waitingOrder_.begin(), waitingOrder_.end(), [&](const std::wstring& key) {
        if (!gone(key)) return false;
        DropWaiting(key);
        return true;
    });
    if (end == waitingOrder_.end()) return;
    waitingOrder_.erase(end, waitingOrder_.end());
    dirty_ = true;
}

std::vector<PictureId> CardRecord::Waiting() const {
    std::vector<PictureId> ids;
    for (const std::wstring& key : waitingOrder_) ids.push_back(waiting_.at(key).id);
    return ids;
}

std::optional<PictureId> CardRecord::LastWaitingAt(const std::wstring& placeKey) const {
    auto place = waitingAt_.find(placeKey);
    if (place == waitingAt_.end()) return std::nullopt;
    return waiting_.at(place->second).id;
}

void CardRecord::DropWaiting(const std::wstring& key) {
    auto it = waiting_.find(key);
    auto place = waitingAt_.find(it->second.id.PlaceKey());
    if (place != waitingAt_.end() && place->second == key) waitingAt_.erase(place);
    waiting_.erase(it);
}

std::optional<std::wstring> CardRecord::StoredAs(const PictureId& id) const {
    auto it = stored_.find(id.Key());
    if (it == stored_.end()) return std::nullopt;
    return it->second.file;
}

std::optional<std::wstring> CardRecord::PictureOf(const std::wstring& file) const {
    auto it = byFile_.find(str::ToLower(file));
    if (it == byFile_.end()) return std::nullopt;
    return it->second;
}

std::optional<PictureId> CardRecord::LastStoredAt(const std::wstring& placeKey) const {
    auto place = byPlace_.find(placeKey);
    if (place == byPlace_.end()) return std::nullopt;
    auto it = stored_.find(place->second);
    if (it == stored_.end()) return std::nullopt;
    return it->second.id;
}

void CardRecord::NoteStored(const PictureId& id, std::wstring file) {
    std::wstring key = id.Key();
    byFile_[str::ToLower(file)] = key;
    byPlace_[id.PlaceKey()] = key;
    auto it = stored_.find(key);
    if (it != stored_.end()) {
        if (it->second.file == file) return;
        it->second.file = std::move(file);
    } else {
        stored_.emplace(key, Entry{id, std::move(file)});
        storedOrder_.push_back(std::move(key));
    }
    dirty_ = true;
    Trim();
}

void CardRecord::NoteClockReading(int64_t offsetNs) {
    clock_.push_back(offsetNs);
    while (clock_.size() > kClockReadings) clock_.pop_front();
    dirty_ = true;
}

std::optional<int64_t> CardRecord::ClockOffset() const {
    if (clock_.empty()) return std::nullopt;
    return *std::min_element(clock_.begin(), clock_.end());
}

void CardRecord::Trim() {
    while (waitingOrder_.size() > kMaxWaiting) {
        DropWaiting(waitingOrder_.front());
        waitingOrder_.pop_front();
    }
    while (storedOrder_.size() > kMaxStored) {
        auto it = stored_.find(storedOrder_.front());
        auto byFile = byFile_.find(str::ToLower(it->second.file));
        if (byFile != byFile_.end() && byFile->second == it->first) byFile_.erase(byFile);
        auto byPlace = byPlace_.find(it->second.id.PlaceKey());
        if (byPlace != byPlace_.end() && byPlace->second == it->first) byPlace_.erase(byPlace);
        stored_.erase(it);
        storedOrder_.pop_front();
    }
}

bool CardRecord::Save() {
    if (!dirty_ || file_.empty()) return true;
    if (!fs::WriteFileReplacing(file_, Serialize())) return false;
    dirty_ = false;
    return true;
}

std::string CardRecord::Serialize() const {
    std::string text = std::string(kHeader) + "\r\ncard\t" + str::ToUtf8(cardId_) + "\r\n";
    for (int64_t reading : clock_) text += "clock\t" + std::to_string(reading) + "\r\n";
    for (const std::wstring& key : waitingOrder_) text += "wait\t" + IdFields(waiting_.at(key).id) + "\r\n";
    for (const std::wstring& key : storedOrder_) {
        const Entry& e = stored_.at(key);
        text += "stored\t" + IdFields(e.id) + "\t" + str::ToUtf8(e.file) + "\r\n";
    }
    return text;
}

void CardRecord::Parse(std::string_view text) {
    size_t from = 0;
    bool headerSeen = false;
    while (from < text.size()) {
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(from, end - from);
        from = end + 1;
        if (line.empty()) continue;
        if (!headerSeen) {
            if (line != kHeader) return;  // not a record of this program: nothing of it is trusted
            headerSeen = true;
            continue;
        }
        std::vector<std::string_view> f = Fields(line);
        if (f[0] == "clock" && f.size() >= 2) {
            clock_.push_back(std::strtoll(std::string(f[1]).c_str(), nullptr, 10));
            while (clock_.size() > kClockReadings) clock_.pop_front();
        } else if (f[0] == "wait") {
            if (std::optional<PictureId> id = IdFromFields(f)) Wait(*id);
        } else if (f[0] == "stored" && f.size() >= 7) {
            if (std::optional<PictureId> id = IdFromFields(f)) NoteStored(*id, str::FromUtf8(f[6]));
        }
    }
}

int64_t IdentitiesSince(const std::wstring& folder, int64_t now) {
    const std::wstring file = folder + L"\\identities-since.txt";
    if (std::optional<std::string> text = fs::ReadFile(file)) {
        int64_t since = std::strtoll(text->c_str(), nullptr, 10);
        if (since > 0) return since;
    }
    (void)fs::CreateDirs(folder);
    (void)fs::WriteFileReplacing(file, std::to_string(now) + "\r\n");
    return now;
}

}  // namespace model
