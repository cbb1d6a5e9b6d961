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

namespace model {

// The lists grow with the card: a camera folder may hold 9,999 files and a
// card 50,000 or more. Only what a card sends is bounded, against a faulty or
// hostile one: a listing of 9,999 pictures is about 600 KB, so 64 MB per
// answer is never reached by a card that works.
inline constexpr size_t kAnswerBound = size_t{64} << 20;
// All listings of one walk together, for a card that invents folders without
// end; a card of 50,000 files lists a few MB in all.
inline constexpr size_t kWalkBound = kAnswerBound;

// One entry of a listing. Directory and Name are the card's bytes decoded
// (UTF-8, or one character per byte when not valid UTF-8); RawDirectory and
// RawName keep the bytes, so a file is requested under the name the card
// gave it whatever the decoding.
struct CardFileRecord {
    int32_t Index = 0;  // own position in CardRecords, 1-based
    std::wstring Directory, Name;
    int64_t Size = 0;  // a video may well exceed 2 GiB
    int32_t Attribute = 0;
    int32_t RawDate = 0, Year = 0, Month = 0, Day = 0;
    int32_t RawTime = 0, Hour = 0, Minute = 0, Second = 0;
    int32_t ThumbImage = 0, ThumbControl = 0, LabelControl = 0, SelectControl = 0;
    bool Selected = false;
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
    std::vector<CardFileRecord> TransferCandidates;  // the camera folder's entries, Index by listing order

    // The record with this Index; nullptr for 0 and unknown numbers.
    const CardFileRecord* Record(int32_t index) const;
    CardFileRecord* Record(int32_t index);
};

// Where the card code's journal lines go.
using JournalSink = std::function<void(const std::wstring&)>;

// The lines of an answer: every CR ends a line (an LF right after it is
// skipped); text after the last CR is no line.
std::vector<std::string_view> SplitLines(std::string_view answer);

// FAT fields: date bits 15-9 year since 1980, 8-5 month, 4-0 day; time bits
// 15-11 hour, 10-5 minute, 4-0 seconds / 2.
void SetFatDate(CardFileRecord& r, int32_t rawDate);
void SetFatTime(CardFileRecord& r, int32_t rawTime);

// One listing line "<directory>,<name>,<size>,<attribute>,<date>,<time>" as a
// record (Index 0). The last four fields are counted from the end, so a name
// that contains commas stays whole; a line with fewer than six fields is no
// entry. The size is read as 64 bits, the other numbers as 32 (saturating).
std::optional<CardFileRecord> ParseRecord(std::string_view line);

// True when the entry's name and folder may reach the lists: the name a safe
// local file name, the folder "" or "/" (the root) or safe names joined by
// "/". Otherwise false, with a journal line.
bool UsableEntry(const CardFileRecord& r, const JournalSink& journal);

// True when the name is of the kind an extension names ([TFA] TransferLoRes
// or TransferHiRes, ".jpg"): it ends in it, ignoring case as the file system
// does. A name that only holds it ("P1.JPG.part", "x.jpg.exe") is not of that
// kind; an empty extension names no kind.
bool IsOfKind(std::wstring_view name, std::wstring_view extension);

// "DIR": the names of the camera folder's entries of the HiRes or the LoRes
// kind, in listing order, each with its size. An answer without any CR is
// one line. Entries that are not usable are left out with a journal line,
// and so is a name listed again in its folder (a folder holds a name once).
std::vector<CardFileRecord> ListingCandidates(std::string_view answer, std::wstring_view hiRes,
                                              std::wstring_view loRes, const JournalSink& journal);

// Every usable entry of one listing, in listing order (Index 0).
std::vector<CardFileRecord> ListingEntries(std::string_view answer, const JournalSink& journal);

// The camera folder that follows `cameraPath` (as [TFA] Path holds it, e.g.
// "DCIM/101_PANA"), from the entries of its parent's listing: the folder of
// that parent whose name sorts next after the camera folder's (by code unit)
// among those named as cameras name them (three digits 100-999, then five
// letters, digits or "_"; e.g. 102_PANA). Returned in the form of Path
// ("DCIM/102_PANA"); nothing when there is none.
std::optional<std::wstring> NextCameraFolder(std::wstring_view cameraPath,
                                             const std::vector<CardFileRecord>& parentEntries);

// Fetches the listing of a card path (the card's bytes). Nothing when the
// request could not be opened; an empty text when the card sent no lines.
using ListingFetch = std::function<std::optional<std::string>(const std::string& path)>;

// "ExamineTREE": lists `root`, then every directory found, breadth-first in
// listing order, filling the lists. When the first listing cannot be opened
// the lists keep what they held and the result is 0; otherwise the lists are
// rebuilt and the result is the number of records. A path is listed once per
// walk however often the card names it, and the walk ends (with a journal
// line) once its listings exceed kWalkBound. `listed` hears after each
// listing how many folders are listed and how many are known so far.
using WalkProgress = std::function<void(size_t listed, size_t known)>;
int32_t ExamineTree(const std::string& root, const ListingFetch& fetch, CardLists& lists,
                    const JournalSink& journal, const WalkProgress& listed = nullptr);

// Journal texts for what the lists leave out. A case gives the same text
// every time, so a journal that writes each text once reports it once.
std::wstring SkippedNameText(const CardFileRecord& r);
std::wstring ListedTwiceText(const CardFileRecord& r);
// An answer that reached `bound` and was cut there.
std::wstring AnswerCutText(size_t bound = kAnswerBound);
std::wstring WalkCutText(size_t bound = kWalkBound);

}  // namespace model
