// Listing lines, records, candidates and the card walk.
#include "flashair/card_list.h"

#include "base/str.h"
#include "flashair/card_text.h"

namespace card {

namespace {

// Decimal field as the card writes it; a field of any length or content is
// read without wrapping (saturates at the int32 limits).
int32_t Number(std::string_view field) {
    std::wstring wide(field.begin(), field.end());
    for (wchar_t& c : wide) c = static_cast<wchar_t>(static_cast<unsigned char>(c));
    return str::LeadingInt32(wide);
}

std::string_view Between(std::string_view line, size_t fromComma, size_t toComma) {
    return line.substr(fromComma + 1, toComma - fromComma - 1);
}

// Adds one listing to the lists; false once the records are full, which ends
// the walk (nothing more could be kept).
bool AddListing(std::string_view answer, CardLists& lists, std::vector<std::string>& queue,
                const JournalSink& journal) {
    bool cut = false;
    std::vector<std::string_view> lines = SplitLines(answer, &cut);
    if (cut) journal(CapacityText(L"lines in one listing", kLineCapacity));
    for (std::string_view line : lines) {
        std::optional<CardFileRecord> r = ParseRecord(line);
        if (!r) continue;
        if (!IsSafeLocalName(r->Name)) {
            journal(SkippedNameText(*r));
            continue;
        }
        if (lists.CardRecords.size() >= kRecordCapacity) {
            journal(CapacityText(L"entries on the card", kRecordCapacity));
            return false;
        }
        r->Index = static_cast<int32_t>(lists.CardRecords.size() + 1);
        std::wstring fullPath = r->Directory + L"/" + r->Name;
        if (r->Size == 0) {
            if (lists.CardDirectories.size() < kDirectoryCapacity) {
                lists.CardDirectories.push_back(fullPath);
                queue.push_back(r->RawDirectory + "/" + r->RawName);
            } else {
                journal(CapacityText(L"folders on the card", kDirectoryCapacity));
            }
        } else if (r->Size > 0) {
            if (lists.CardFiles.size() < kFileCapacity)
                lists.CardFiles.push_back({std::move(fullPath), r->Directory, r->Name, r->Index});
            else
                journal(CapacityText(L"files on the card", kFileCapacity));
        }
        lists.CardRecords.push_back(std::move(*r));
    }
    return true;
}

}  // namespace

const CardFileRecord* CardLists::Record(int32_t index) const {
    if (index < 1 || static_cast<size_t>(index) > CardRecords.size()) return nullptr;
    return &CardRecords[static_cast<size_t>(index) - 1];
}

CardFileRecord* CardLists::Record(int32_t index) {
    return const_cast<CardFileRecord*>(static_cast<const CardLists&>(*this).Record(index));
}

std::vector<std::string_view> SplitLines(std::string_view answer, bool* full) {
    std::vector<std::string_view> lines;
    if (full) *full = false;
    size_t start = 0;
    for (size_t cr = answer.find('\r'); cr != std::string_view::npos; cr = answer.find('\r', start)) {
        if (lines.size() >= kLineCapacity) {
            if (full) *full = true;
            break;
        }
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
    r.Size = Number(Between(line, comma[0], comma[1]));
    r.Attribute = Number(Between(line, comma[1], comma[2]));
    SetFatDate(r, Number(Between(line, comma[2], comma[3])));
    SetFatTime(r, Number(line.substr(comma[3] + 1)));
    return r;
}

std::vector<CardFileRecord> ListingCandidates(std::string_view answer, std::wstring_view hiRes,
                                              std::wstring_view loRes, const JournalSink& journal) {
    std::vector<std::string_view> lines;
    if (answer.find('\r') == std::string_view::npos) {
        lines.push_back(answer);
    } else {
        bool cut = false;
        lines = SplitLines(answer, &cut);
        if (cut) journal(CapacityText(L"lines in one listing", kLineCapacity));
    }
    std::vector<CardFileRecord> candidates;
    for (std::string_view line : lines) {
        std::optional<CardFileRecord> r = ParseRecord(line);
        if (!r || !(str::ContainsI(r->Name, hiRes) || str::ContainsI(r->Name, loRes))) continue;
        if (!IsSafeLocalName(r->Name)) {
            journal(SkippedNameText(*r));
            continue;
        }
        if (candidates.size() >= kCandidateCapacity) {
            journal(CapacityText(L"pictures in the camera folder", kCandidateCapacity));
            break;
        }
        CardFileRecord c;
        c.Index = static_cast<int32_t>(candidates.size() + 1);
        c.Name = std::move(r->Name);
        c.RawName = std::move(r->RawName);
        c.Size = r->Size;  // a download of another length is incomplete
        candidates.push_back(std::move(c));
    }
    return candidates;
}

int32_t ExamineTree(const std::string& root, const ListingFetch& fetch, CardLists& lists,
                    const JournalSink& journal) {
    std::optional<std::string> answer = fetch(root);
    if (!answer) return 0;
    lists.CardRecords.clear();
    lists.CardDirectories.clear();
    lists.CardFiles.clear();
    // Card paths of the queued directories, beside their texts in CardDirectories.
    std::vector<std::string> queue;
    bool room = AddListing(*answer, lists, queue, journal);
    for (size_t next = 0; room && next < queue.size(); next++) {
        answer = fetch(queue[next]);
        if (!answer) break;  // what was collected so far stays
        room = AddListing(*answer, lists, queue, journal);
    }
    return static_cast<int32_t>(lists.CardRecords.size());
}

std::wstring SkippedNameText(const CardFileRecord& r) {
    return L"Card: entry skipped, its name cannot be a file name: " + Printable(r.Directory + L"/" + r.Name);
}

std::wstring CapacityText(std::wstring_view what, size_t capacity) {
    return L"Card: more than " + str::FromInt(static_cast<int64_t>(capacity)) + L" " + std::wstring(what) +
           L", the rest is left out";
}

}  // namespace card
