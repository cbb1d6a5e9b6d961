// Listing lines, records, candidates and the card walk.
#include "model/pictures/card_list.h"

#include <unordered_set>

#include "base/fs.h"
#include "base/str.h"
#include "model/pictures/card_text.h"

namespace model {

namespace {

std::wstring Widened(std::string_view field) {
    std::wstring wide(field.size(), L'\0');
    for (size_t i = 0; i < field.size(); i++) wide[i] = static_cast<unsigned char>(field[i]);
    return wide;
}

// Decimal fields as the card writes them; a field of any length or content is
// read without wrapping (saturating at the type's limits).
int32_t Number(std::string_view field) { return str::LeadingInt32(Widened(field)); }
int64_t Number64(std::string_view field) { return str::LeadingInt(Widened(field)); }

std::string_view Between(std::string_view line, size_t fromComma, size_t toComma) {
    return line.substr(fromComma + 1, toComma - fromComma - 1);
}

constexpr int32_t kDirectoryAttribute = 0x10;

// Camera folders are named "NNNXXXXX": a number 100-999 and five letters,
// digits or "_" (101_PANA, 100CANON, 100_0815).
bool IsCameraFolderName(std::wstring_view name) {
    if (name.size() != 8 || name[0] < L'1' || name[0] > L'9') return false;
    for (size_t i = 1; i < 3; i++)
        if (name[i] < L'0' || name[i] > L'9') return false;
    for (size_t i = 3; i < 8; i++) {
        wchar_t c = name[i];
        bool ok = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_';
        if (!ok) return false;
    }
    return true;
}

// The walk's state beside the lists: the card paths still to list, those
// already asked for, and how much listing text came in.
struct Walk {
    std::vector<std::string> queue;
    std::unordered_set<std::string> seen;
    size_t bytes = 0;
};

// Adds one listing to the lists.
void AddListing(std::string_view answer, CardLists& lists, Walk& walk, const JournalSink& journal) {
    for (std::string_view line : SplitLines(answer)) {
        std::optional<CardFileRecord> r = ParseRecord(line);
        if (!r || !UsableEntry(*r, journal)) continue;
        r->Index = static_cast<int32_t>(lists.CardRecords.size() + 1);
        std::wstring fullPath = r->Directory + L"/" + r->Name;
        if (r->Size == 0) {
            lists.CardDirectories.push_back(fullPath);
            // A card that names a folder again (inside itself, say) is not
            // asked twice: the walk would never end.
            std::string path = r->RawDirectory + "/" + r->RawName;
            if (walk.seen.insert(path).second) walk.queue.push_back(std::move(path));
        } else if (r->Size > 0) {
            lists.CardFiles.push_back({std::move(fullPath), r->Directory, r->Name, r->Index});
        }
        lists.CardRecords.push_back(std::move(*r));
    }
}

}  // namespace

const CardFileRecord* CardLists::Record(int32_t index) const {
    if (index < 1 || static_cast<size_t>(index) > CardRecords.size()) return nullptr;
    return &CardRecords[static_cast<size_t>(index) - 1];
}

CardFileRecord* CardLists::Record(int32_t index) {
    return const_cast<CardFileRecord*>(static_cast<const CardLists&>(*this).Record(index));
}

std::vector<std::string_view> SplitLines(std::string_view answer) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t cr = answer.find('\r'); cr != std::string_view::npos; cr = answer.find('\r', start)) {
        lines.push_back(answer.substr(start, cr - start));
        start = cr + 1;
        if (start < answer.size() && answer[start] == '\n') start++;
    }
    return lines;
}

void SetFatDate(CardFileRecord& r, int32_t rawDate) {
    auto bits = static_cast<uint32_t>(rawDate);
    r.RawDate = rawDate;
    r.Year = static_cast<int32_t>((bits >> 9) & 0x7F) + 1980;
    r.Month = static_cast<int32_t>((bits >> 5) & 0x0F);
    r.Day = static_cast<int32_t>(bits & 0x1F);
}

void SetFatTime(CardFileRecord& r, int32_t rawTime) {
    auto bits = static_cast<uint32_t>(rawTime);
    r.RawTime = rawTime;
    r.Hour = static_cast<int32_t>((bits >> 11) & 0x1F);
    r.Minute = static_cast<int32_t>((bits >> 5) & 0x3F);
    r.Second = static_cast<int32_t>(bits & 0x1F) * 2;
}

std::optional<CardFileRecord> ParseRecord(std::string_view line) {
    size_t first = line.find(',');
    if (first == std::string_view::npos) return std::nullopt;
    // The four numeric fields are the last four: find their commas from the end.
    size_t comma[4];
    size_t end = line.size();
    for (int k = 3; k >= 0; k--) {
        size_t c = end == 0 ? std::string_view::npos : line.rfind(',', end - 1);
        if (c == std::string_view::npos || c <= first) return std::nullopt;
        comma[k] = c;
        end = c;
    }
    CardFileRecord r;
    r.RawDirectory = std::string(line.substr(0, first));
    r.RawName = std::string(Between(line, first, comma[0]));
    r.Directory = str::FromUtf8(r.RawDirectory);
    r.Name = str::FromUtf8(r.RawName);
    r.Size = Number64(Between(line, comma[0], comma[1]));
    r.Attribute = Number(Between(line, comma[1], comma[2]));
    SetFatDate(r, Number(Between(line, comma[2], comma[3])));
    SetFatTime(r, Number(line.substr(comma[3] + 1)));
    return r;
}

bool UsableEntry(const CardFileRecord& r, const JournalSink& journal) {
    if (IsSafeLocalName(r.Name) && IsSafeCardFolder(r.Directory)) return true;
    journal(SkippedNameText(r));
    return false;
}

bool IsOfKind(std::wstring_view name, std::wstring_view extension) {
    return !extension.empty() && name.size() >= extension.size() &&
           fs::NameKey(name.substr(name.size() - extension.size())) == fs::NameKey(extension);
}

std::vector<CardFileRecord> ListingCandidates(std::string_view answer, std::wstring_view hiRes,
                                              std::wstring_view loRes, const JournalSink& journal) {
    std::vector<std::string_view> lines;
    if (answer.find('\r') == std::string_view::npos)
        lines.push_back(answer);
    else
        lines = SplitLines(answer);
    std::vector<CardFileRecord> candidates;
    std::unordered_set<std::wstring> places;
    for (std::string_view line : lines) {
        std::optional<CardFileRecord> r = ParseRecord(line);
        if (!r || !(IsOfKind(r->Name, hiRes) || IsOfKind(r->Name, loRes))) continue;
        if (!UsableEntry(*r, journal)) continue;
        if (!places.insert(fs::NameKey(r->Directory) + L"/" + fs::NameKey(r->Name)).second) {
            journal(ListedTwiceText(*r));
            continue;
        }
        // The whole entry: its folder, size and time tell the picture.
        r->Index = static_cast<int32_t>(candidates.size() + 1);
        candidates.push_back(std::move(*r));
    }
    return candidates;
}

std::vector<CardFileRecord> ListingEntries(std::string_view answer, const JournalSink& journal) {
    std::vector<CardFileRecord> entries;
    for (std::string_view line : SplitLines(answer)) {
        std::optional<CardFileRecord> r = ParseRecord(line);
        if (r && UsableEntry(*r, journal)) entries.push_back(std::move(*r));
    }
    return entries;
}

std::optional<std::wstring> NextCameraFolder(std::wstring_view cameraPath,
                                             const std::vector<CardFileRecord>& parentEntries) {
    std::wstring_view path = cameraPath;
    while (!path.empty() && path.front() == L'/') path.remove_prefix(1);
    while (!path.empty() && path.back() == L'/') path.remove_suffix(1);
    size_t slash = path.rfind(L'/');
    std::wstring_view parent = slash == std::wstring_view::npos ? std::wstring_view() : path.substr(0, slash);
    std::wstring_view current = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    if (current.empty()) return std::nullopt;
    std::wstring parentField = parent.empty() ? std::wstring() : L"/" + std::wstring(parent);
    const CardFileRecord* next = nullptr;
    for (const CardFileRecord& r : parentEntries) {
        // Only the parent's own folders: a zero-byte picture still being
        // written has size 0 too, but not the folder attribute.
        bool inParent = r.Directory == parentField || (parent.empty() && r.Directory == L"/");
        if (!inParent || r.Size != 0 || !(r.Attribute & kDirectoryAttribute)) continue;
        if (!IsCameraFolderName(r.Name) || !(std::wstring_view(r.Name) > current)) continue;
        if (!next || r.Name < next->Name) next = &r;
    }
    if (!next) return std::nullopt;
    return parent.empty() ? next->Name : std::wstring(parent) + L"/" + next->Name;
}

int32_t ExamineTree(const std::string& root, const ListingFetch& fetch, CardLists& lists,
                    const JournalSink& journal, const WalkProgress& listed) {
    std::optional<std::string> answer = fetch(root);
    if (!answer) return 0;
    lists.CardRecords.clear();
    lists.CardDirectories.clear();
    lists.CardFiles.clear();
    Walk walk;
    walk.seen.insert(root);
    for (size_t next = 0;; next++) {
        walk.bytes += answer->size();
        if (walk.bytes > kWalkBound) {
            journal(WalkCutText());
            break;
        }
        AddListing(*answer, lists, walk, journal);
        if (listed) listed(next + 1, walk.queue.size() + 1);
        if (next >= walk.queue.size()) break;
        answer = fetch(walk.queue[next]);
        if (!answer) break;  // what was collected so far stays
    }
    return static_cast<int32_t>(lists.CardRecords.size());
}

std::wstring SkippedNameText(const CardFileRecord& r) {
    return L"Card: entry skipped, its name cannot be a file name: " + Printable(r.Directory + L"/" + r.Name);
}

std::wstring ListedTwiceText(const CardFileRecord& r) {
    return L"Card: a name listed twice in its folder is taken once: " + Printable(r.Directory + L"/" + r.Name);
}

std::wstring AnswerCutText(size_t bound) {
    return L"Card: an answer longer than " + str::FromInt(static_cast<int64_t>(bound >> 20)) +
           L" MB was cut there; the card may be faulty";
}

std::wstring WalkCutText(size_t bound) {
    return L"Card: the card's listings exceed " + str::FromInt(static_cast<int64_t>(bound >> 20)) +
           L" MB in all; the rest of the card is not shown";
}

}  // namespace model
