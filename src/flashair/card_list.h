// The card's directory listings (op=100) turned into the program's lists: the
// line splitter, the record parser with the FAT date and time fields, the
// transfer candidates of the camera folder and the breadth-first walk over
// the whole card. No platform headers: requests and journal lines reach the
// outside through the callbacks given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace card {

// Fixed capacities of the lists; beyond them nothing is added.
inline constexpr size_t kRecordCapacity = 8192;
inline constexpr size_t kDirectoryCapacity = 256;
inline constexpr size_t kFileCapacity = 65536;
inline constexpr size_t kCandidateCapacity = 8192;
inline constexpr size_t kLineCapacity = 8192;

// One entry of a listing. Directory and Name are the card's bytes decoded
// (UTF-8, or one character per byte when not valid UTF-8); RawDirectory and
// RawName keep the bytes, so a file is requested under the name the card
// gave it whatever the decoding.
struct CardFileRecord {
    int32_t Index = 0;  // own position in CardRecords, 1-based
    std::wstring Directory, Name;
    int32_t Size = 0, Attribute = 0;
    int32_t RawDate = 0, Year = 0, Month = 0, Day = 0;
    int32_t RawTime = 0, Hour = 0, Minute = 0, Second = 0;
    int32_t ThumbImage = 0, ThumbControl = 0, LabelControl = 0, SelectControl = 0, Selected = 0;
    std::string RawDirectory, RawName;
};

// A file of the walk: FullPath = Directory + "/" + Name.
struct CardFileEntry {
    std::wstring FullPath, Directory, Name;
    int32_t RecordIndex = 0;
};

// Everything the walk and the camera-folder listing produce.
struct CardLists {
    std::vector<CardFileRecord> CardRecords;      // Index i at position i - 1
    std::vector<std::wstring> CardDirectories;    // Directory + "/" + Name of size-0 entries
    std::vector<CardFileEntry> CardFiles;         // entries with a size above 0
    std::vector<CardFileRecord> TransferCandidates;  // only Name, RawName and Size are set

    // The record with this Index; nullptr for 0 and unknown numbers.
    const CardFileRecord* Record(int32_t index) const;
    CardFileRecord* Record(int32_t index);
};

// Where the card code's journal lines go.
using JournalSink = std::function<void(const std::wstring&)>;

// The lines of an answer: every CR ends a line (an LF right after it is
// skipped); text after the last CR is no line. At most kLineCapacity lines;
// `full` tells whether lines were left out.
std::vector<std::string_view> SplitLines(std::string_view answer, bool* full = nullptr);

// FAT fields: date bits 15-9 year since 1980, 8-5 month, 4-0 day; time bits
// 15-11 hour, 10-5 minute, 4-0 seconds / 2.
void SetFatDate(CardFileRecord& r, int32_t rawDate);
void SetFatTime(CardFileRecord& r, int32_t rawTime);

// One listing line "<directory>,<name>,<size>,<attribute>,<date>,<time>" as a
// record (Index 0). The last four fields are counted from the end, so a name
// that contains commas stays whole; a line with fewer than six fields is no
// entry.
std::optional<CardFileRecord> ParseRecord(std::string_view line);

// "DIR": the names of the camera folder's entries that contain the HiRes or
// the LoRes extension text (ignoring case), in listing order. An answer
// without any CR is one line. Unsafe names are left out with a journal line.
std::vector<CardFileRecord> ListingCandidates(std::string_view answer, std::wstring_view hiRes,
                                              std::wstring_view loRes, const JournalSink& journal);

// Fetches the listing of a card path (the card's bytes). Nothing when the
// request could not be opened; an empty text when the card sent no lines.
using ListingFetch = std::function<std::optional<std::string>(const std::string& path)>;

// "ExamineTREE": lists `root`, then every directory found, breadth-first in
// listing order, filling the lists. When the first listing cannot be opened
// the lists keep what they held and the result is 0; otherwise the lists are
// rebuilt and the result is the number of records.
int32_t ExamineTree(const std::string& root, const ListingFetch& fetch, CardLists& lists,
                    const JournalSink& journal);

// Journal texts for what the lists leave out.
std::wstring SkippedNameText(const CardFileRecord& r);
std::wstring CapacityText(std::wstring_view what, size_t capacity);

}  // namespace card
