// What tells one card picture from another, and which stored file is it. A
// name is no picture: camera counters wrap at 9999, a formatted card or a
// second body starts at 0001 again. A picture is its card folder, its name,
// its size and the card's date and time; a stored file carries that time as
// its modification time. No platform headers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/fs.h"
#include "model/pictures/card_list.h"

namespace model {

struct PictureId {
    std::wstring folder;  // the card folder as the listing names it ("/DCIM/101_PANA" or "DCIM/101_PANA")
    std::wstring name;
    int64_t size = 0;
    int32_t date = 0, time = 0;  // the listing's FAT date and time fields

    // One text per picture, equal for equal pictures: folder and name
    // ignoring case (fs::NameKey) and a leading "/", size, date and time.
    std::wstring Key() const;
    // Folder and name alone, ignoring case: the card's place of the picture.
    std::wstring PlaceKey() const;
};

// The picture a listing entry is (its Directory is the card folder).
PictureId IdOf(const CardFileRecord& r);

// The card's date and time as a file-system time: the camera's clock read
// as this computer's local time. Nothing for a date of 0 or fields that no
// clock shows (cameras without a set clock write such dates).
std::optional<int64_t> CardTime(int32_t date, int32_t time);
// Only JPEG files have a thumbnail on the card.
bool HasCardThumbnail(std::wstring_view name);
inline std::optional<int64_t> CardTime(const PictureId& id) { return CardTime(id.date, id.time); }

// The file system keeps times coarsely (FAT to 2 s): times this close are one.
inline constexpr int64_t kTimeSlackNs = int64_t{2} * 1000000000;

// A stored file of a folder by its name (ignoring case); nothing when none
// or it is empty (an empty file is a failed copy).
using FileLookup = std::function<std::optional<fs::FileEntry>(const std::wstring& name)>;
// The lookup in a folder on disk.
FileLookup FolderOnDisk(std::wstring folder);

// The longest file name the file system takes (NTFS: 255 UTF-16 units).
inline constexpr size_t kMaxNameLength = 255;
// The n-th name a picture may have in a folder: its own for n = 1, then
// stem + "-" + n + extension ("P1010001-2.JPG"). A name that would be too
// long has its stem cut and a mark of the whole name put in ("~" and eight
// hex digits), so two long names never share the names beside them; empty
// when even that does not fit.
std::wstring BesideName(std::wstring_view name, int n);
// The most names a picture is looked for under, and may be given. A look
// runs through the names that are taken and ends at the first free one, so
// it costs what the folder holds of that name, and each stored file is on
// the way of two names at most (its own and the one it stands beside).
inline constexpr int kMaxBesideNames = 999;
// Walks a picture's own name and the names beside it in order while `find`
// finds a file under them (the first free name ends every such walk: a gap a
// user made is taken by the next picture), calling `visit(name, file, n)`
// for each taken one until it returns true. The first free name; nothing
// when a visit ended the walk or no name is free (or fits).
template <typename Find, typename Visit>
std::optional<std::wstring> WalkBesideNames(std::wstring_view name, Find&& find, Visit&& visit) {
    for (int n = 1; n <= kMaxBesideNames; n++) {
        std::wstring candidate = BesideName(name, n);
        if (candidate.empty()) return std::nullopt;
        std::optional<fs::FileEntry> file = find(candidate);
        if (!file) return candidate;
        if (visit(candidate, *file, n)) return std::nullopt;
    }
    return std::nullopt;
}

// What a stored file's facts say of a picture. Another size, or a card
// time apart from the file's by more than the file system's step (and not by
// whole hours), is another picture; the same size with the card's time is
// the same. Nothing decides for a file older than `since` (stored before
// pictures had identities, with the download's time), a picture without a
// valid card time (a camera whose clock was never set), or times apart by
// whole hours (daylight saving time, or the computer's time zone, changed
// between storing and now): only the bytes can tell.
enum class FileMatch { Different, Same, Undecided };
FileMatch MatchStoredFile(const fs::FileEntry& file, const PictureId& id, int64_t since);
// The most hours a time zone or a daylight saving change moves a time.
inline constexpr int kMaxZoneHours = 26;
// True when the facts say the stored file is the picture.
inline bool StoredFileIs(const fs::FileEntry& file, const PictureId& id, int64_t since) {
    return MatchStoredFile(file, id, since) == FileMatch::Same;
}

// Moves a finished download to `to` by way of a file in the folder's
// PartFolder (a move across volumes copies, and the store never holds a
// picture cut short under its own name), with the card's time when there
// is one. Never over another file unless `replace`; an empty file in the way
// is a failed copy and goes. False, with the system's reason in `why`, when
// it could not be done; `from` is then left as it was.
[[nodiscard]] bool PlaceFile(const std::wstring& from, const std::wstring& to, std::optional<int64_t> time,
                             bool replace, std::wstring& why);
// Removes what a run cut short left in the folder's PartFolder: all of it,
// or only the part file of the download named `own` (and what older
// versions left), where other sources may be placing at the same time.
void SweepPartFolder(const std::wstring& folder, const std::wstring& own = L"");
// The journal's word when a picture went beside another of its name.
std::wstring BesideText(std::wstring_view name, std::wstring_view storedAs);

// The name of the file in a folder that is the picture, looked for under its
// own name and the names beside it; nothing when none is.
std::optional<std::wstring> StoredName(const FileLookup& lookup, const PictureId& id, int64_t since);
// The files under the picture's name and beside it whose facts do not decide.
std::vector<std::wstring> UndecidedNames(const FileLookup& lookup, const PictureId& id, int64_t since);
// The first of the files in `dir` with exactly the bytes of `file`.
std::optional<std::wstring> SameBytes(const std::wstring& file, const std::wstring& dir,
                                      const std::vector<std::wstring>& names);
// The name the picture gets in a folder: its own when free, else the first
// free name beside it; nothing when all are taken (or none fits).
std::optional<std::wstring> FreeName(const FileLookup& lookup, std::wstring_view name);

}  // namespace model
