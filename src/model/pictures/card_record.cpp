// The record of a card: lines of tab-separated fields, UTF-8.
//   Wemlox card record 1
//   card   <id>
//   clock  <ns>                  one line per reading, oldest first
//   wait   <folder> <name> <size> <date> <time>
//   stored <folder> <name> <size> <date> <time> <file below the store>
//   held   <folder> <name> <size> <date> <time>  what the card held, by folder,
//                                                the folder listed longest ago first
// Versions that knew no "held" lines pass over them.
// Card names and folders hold no control characters (the listing drops
// such entries), so a tab never occurs inside a field.
#include "model/pictures/card_record.h"

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

std::string WaitLine(const PictureId& id) { return "wait\t" + IdFields(id) + "\r\n"; }
std::string HeldLine(const PictureId& id) { return "held\t" + IdFields(id) + "\r\n"; }
std::wstring FolderKey(std::wstring_view folder) { return PictureId{std::wstring(folder), L"", 0, 0, 0}.PlaceKey(); }
std::string StoredLine(const PictureId& id, const std::wstring& file) {
    return "stored\t" + IdFields(id) + "\t" + str::ToUtf8(file) + "\r\n";
}

// The name records had before they were named after the whole id: the
// letters, digits, "-" and "_" of it.
std::wstring FormerFileFor(const std::wstring& folder, std::wstring_view cardId) {
    std::wstring name;
    for (wchar_t c : cardId)
        if ((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'-' || c == L'_')
            name += c;
    if (name.empty()) name = L"card";
    return folder + L"\\" + name.substr(0, 64) + L".txt";
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
    std::wstring readable;
    for (wchar_t c : cardId.substr(0, 24))
        readable += (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'-' ? c : L'_';
    return folder + L"\\" + readable + L"-" + str::Hex(str::Hash64(str::ToUtf8(cardId)), 16) + L".txt";
}

std::optional<std::wstring> CardRecord::Open(const std::wstring& folder, std::wstring cardId) {
    *this = CardRecord();
    file_ = FileFor(folder, cardId);
    cardId_ = std::move(cardId);
    const bool former = !fs::FileSize(file_) && !fs::IsDirectory(file_);
    const std::wstring from = former ? FormerFileFor(folder, cardId_) : file_;
    if (!fs::FileSize(from) && !fs::IsDirectory(from)) return std::nullopt;
    std::optional<std::string> text = fs::ReadFile(from, kReadLimit);
    CardRecord read;
    const bool isRecord = text && read.Parse(*text);
    // A record of the earlier naming may be another card's: names that
    // differed in a character shared it. It is left to that card.
    if (former) {
        if (!isRecord || read.cardId_ != cardId_) return std::nullopt;
    } else if (!text) {
        kept_ = true;
        if (fs::FileSize(from).value_or(0) > kReadLimit) return L"larger than a record can be";
        return fs::LastErrorText();
    } else if (!isRecord) {
        return std::nullopt;  // no record (empty, say): nothing in it to keep
    } else if (read.cardId_ != cardId_) {
        kept_ = true;
        return L"it is the record of " + read.cardId_;
    }
    read.file_ = std::move(file_);
    *this = std::move(read);
    dirty_ = former;  // written under its own name
    return std::nullopt;
}

void CardRecord::Wait(const PictureId& id) {
    std::wstring key = id.Key();
    if (waiting_.count(key)) return;
    const size_t bytes = WaitLine(id).size();
    bytes_ += bytes;
    waiting_.emplace(key, Entry{id, {}, bytes});
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
    bytes_ -= it->second.bytes;
    waiting_.erase(it);
}

void CardRecord::DropStored(const std::wstring& key) {
    auto it = stored_.find(key);
    auto byFile = byFile_.find(fs::NameKey(it->second.file));
    if (byFile != byFile_.end() && byFile->second == key) byFile_.erase(byFile);
    auto byPlace = byPlace_.find(it->second.id.PlaceKey());
    if (byPlace != byPlace_.end() && byPlace->second == key) byPlace_.erase(byPlace);
    bytes_ -= it->second.bytes;
    stored_.erase(it);
}

std::optional<std::wstring> CardRecord::StoredAs(const PictureId& id) const {
    auto it = stored_.find(id.Key());
    if (it == stored_.end()) return std::nullopt;
    return it->second.file;
}

std::optional<std::wstring> CardRecord::PictureOf(const std::wstring& file) const {
    auto it = byFile_.find(fs::NameKey(file));
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
    const std::wstring key = id.Key(), fileKey = fs::NameKey(file);
    // The file is this picture's now: one noted for it before (a copy cut
    // short that this one completed) is stored no more.
    if (auto owner = byFile_.find(fileKey); owner != byFile_.end() && owner->second != key) {
        const std::wstring other = owner->second;
        DropStored(other);
        storedOrder_.erase(std::find(storedOrder_.begin(), storedOrder_.end(), other));
    }
    byPlace_[id.PlaceKey()] = key;
    auto it = stored_.find(key);
    if (it != stored_.end()) {
        if (it->second.file == file) return;
        // Stored again under another name: the old one is no longer its.
        auto old = byFile_.find(fs::NameKey(it->second.file));
        if (old != byFile_.end() && old->second == key) byFile_.erase(old);
        bytes_ -= it->second.bytes;
        it->second.bytes = StoredLine(it->second.id, file).size();
        it->second.file = std::move(file);
        bytes_ += it->second.bytes;
    } else {
        const size_t bytes = StoredLine(id, file).size();
        bytes_ += bytes;
        stored_.emplace(key, Entry{id, std::move(file), bytes});
        storedOrder_.push_back(key);
    }
    byFile_[fileKey] = key;
    dirty_ = true;
    Trim();
}

void CardRecord::AddHeld(HeldFolder& folder, const PictureId& id) {
    folder.keys.emplace(id.Key(), true);
    const size_t bytes = HeldLine(id).size();
    folder.ids.push_back(id);
    folder.bytes += bytes;
    heldBytes_ += bytes;
    heldCount_++;
}

void CardRecord::Held(std::wstring_view folder, const std::vector<PictureId>& listed) {
    const std::wstring key = FolderKey(folder);
    auto it = held_.find(key);
    // A card lists a folder in the order its entries were written: a tick
    // that changed nothing lists the same entries in the same order.
    auto equal = [](const PictureId& a, const PictureId& b) {
        return a.size == b.size && a.date == b.date && a.time == b.time && a.name == b.name && a.folder == b.folder;
    };
    const bool same = it != held_.end() && std::equal(listed.begin(), listed.end(), it->second.ids.begin(),
                                                      it->second.ids.end(), equal);
    const bool latest = !heldOrder_.empty() && heldOrder_.back() == key;
    if (same && latest) return;  // a tick that changed nothing costs no write
    if (it == held_.end()) {
        it = held_.emplace(key, HeldFolder{}).first;
    } else {
        heldOrder_.erase(std::find(heldOrder_.begin(), heldOrder_.end(), key));
    }
    heldOrder_.push_back(key);
    if (!same) {
        heldCount_ -= it->second.ids.size();
        heldBytes_ -= it->second.bytes;
        it->second = HeldFolder{};
        for (const PictureId& id : listed) AddHeld(it->second, id);
    }
    dirty_ = true;
    TrimHeld();
}

std::optional<bool> CardRecord::WasHeld(const PictureId& id) const {
    auto it = held_.find(FolderKey(id.folder));
    if (it == held_.end()) return std::nullopt;
    return it->second.keys.count(id.Key()) > 0;
}

void CardRecord::TrimHeld() {
    while (heldOrder_.size() > 1 && (heldCount_ > kMaxHeld || heldBytes_ > kMaxHeldBytes)) {
        auto oldest = held_.find(heldOrder_.front());
        heldCount_ -= oldest->second.ids.size();
        heldBytes_ -= oldest->second.bytes;
        held_.erase(oldest);
        heldOrder_.pop_front();
    }
    // One folder beyond the bound (no camera writes so many): its first
    // entries are kept.
    if (heldOrder_.size() == 1 && (heldCount_ > kMaxHeld || heldBytes_ > kMaxHeldBytes)) {
        HeldFolder& only = held_.begin()->second;
        while (!only.ids.empty() && (heldCount_ > kMaxHeld || heldBytes_ > kMaxHeldBytes)) {
            const size_t bytes = HeldLine(only.ids.back()).size();
            only.ids.pop_back();
            only.bytes -= bytes;
            heldBytes_ -= bytes;
            heldCount_--;
        }
        only.keys.clear();
        for (const PictureId& id : only.ids) only.keys.emplace(id.Key(), true);
    }
}

void CardRecord::NoteClockReading(int64_t offsetNs) {
    clock_.push_back(std::clamp(offsetNs, -kMaxClockOffsetNs, kMaxClockOffsetNs));
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
    // Where a picture went is found again by its size and time; a picture
    // that waits is not, so the stored go first.
    while (storedOrder_.size() > kMaxStored || (bytes_ > kMaxEntryBytes && !storedOrder_.empty())) {
        DropStored(storedOrder_.front());
        storedOrder_.pop_front();
    }
    while (bytes_ > kMaxEntryBytes && !waitingOrder_.empty()) {
        DropWaiting(waitingOrder_.front());
        waitingOrder_.pop_front();
    }
}

bool CardRecord::Save() {
    if (!dirty_ || file_.empty() || kept_) return true;
    if (!fs::WriteFileReplacing(file_, Serialize())) return false;
    dirty_ = false;
    return true;
}

std::string CardRecord::Serialize() const {
    std::string text = std::string(kHeader) + "\r\ncard\t" + str::ToUtf8(cardId_) + "\r\n";
    text.reserve(text.size() + bytes_ + heldBytes_ + kClockReadings * 32);
    for (int64_t reading : clock_) text += "clock\t" + std::to_string(reading) + "\r\n";
    for (const std::wstring& key : waitingOrder_) text += WaitLine(waiting_.at(key).id);
    for (const std::wstring& key : storedOrder_) {
        const Entry& e = stored_.at(key);
        text += StoredLine(e.id, e.file);
    }
    for (const std::wstring& key : heldOrder_)
        for (const PictureId& id : held_.at(key).ids) text += HeldLine(id);
    return text;
}

bool CardRecord::Parse(std::string_view text) {
    size_t from = 0;
    bool headerSeen = false, cardSeen = false;
    while (from < text.size()) {
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(from, end - from);
        from = end + 1;
        if (line.empty()) continue;
        if (!headerSeen) {
            if (line != kHeader) return false;  // not a record of this program: nothing of it is trusted
            headerSeen = true;
            continue;
        }
        std::vector<std::string_view> f = Fields(line);
        if (f[0] == "card" && f.size() >= 2 && !cardSeen) {
            cardId_ = str::FromUtf8(f[1]);
            cardSeen = true;
        } else if (f[0] == "clock" && f.size() >= 2) {
            NoteClockReading(std::strtoll(std::string(f[1]).c_str(), nullptr, 10));
        } else if (f[0] == "wait") {
            if (std::optional<PictureId> id = IdFromFields(f)) Wait(*id);
        } else if (f[0] == "stored" && f.size() >= 7) {
            if (std::optional<PictureId> id = IdFromFields(f)) NoteStored(*id, str::FromUtf8(f[6]));
        } else if (f[0] == "held") {
            std::optional<PictureId> id = IdFromFields(f);
            if (!id) continue;
            const std::wstring key = FolderKey(id->folder);
            auto it = held_.find(key);
            if (it == held_.end()) {
                it = held_.emplace(key, HeldFolder{}).first;
                heldOrder_.push_back(key);
            }
            AddHeld(it->second, *id);
        }
    }
    TrimHeld();
    return headerSeen;
}

int64_t IdentitiesSince(const std::wstring& folder, int64_t now) {
    const std::wstring file = folder + L"\\identities-since.txt";
    if (std::optional<std::string> text = fs::ReadFile(file, 64)) {
        int64_t since = std::strtoll(text->c_str(), nullptr, 10);
        if (since > 0) return since;
    }
    (void)fs::CreateDirs(folder);
    (void)fs::WriteFileReplacing(file, std::to_string(now) + "\r\n");
    return now;
}

}  // namespace model
