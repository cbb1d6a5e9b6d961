// The file system and environment as the program uses them, behind one thin
// interface: Win32 calls on Windows, POSIX calls on the Linux test host, so the
// logic that touches files runs in native unit tests as well. Paths are always
// written with "\\"; the Linux side maps it to "/". Paths longer than the
// classic 260 characters work on both sides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fs {

// Size of an existing regular file, nothing for a folder or a missing path.
std::optional<uint64_t> FileSize(const std::wstring& path);
inline bool IsNonEmptyFile(const std::wstring& path) {
    auto s = FileSize(path);
    return s && *s > 0;
}
bool IsDirectory(const std::wstring& path);
// Creates one folder level; true when it was created.
[[nodiscard]] bool CreateDir(const std::wstring& path);
// Removes an empty folder; true when it was removed.
[[nodiscard]] bool RemoveDir(const std::wstring& path);
// The form in which the file system compares a file name: two names with
// the same key are one file in a folder. NTFS ignores the case of every
// letter, not only of ASCII ("\u0141.JPG" and "\u0142.JPG" name one file), so
// this is the system's ordinal upper-case mapping (the C.UTF-8 locale's on
// the Linux host); the length stays.
std::wstring NameKey(std::wstring_view name);
// Names of the files (not folders) directly in a folder, in no set order;
// empty when the folder cannot be listed.
std::vector<std::wstring> ListFileNames(const std::wstring& folder);
struct FileEntry {
    std::wstring name;
    uint64_t size = 0;
    int64_t modified = 0;  // last-write time, as LastWriteTime
};
// The same with each file's size and last-write time.
std::vector<FileEntry> ListFiles(const std::wstring& folder);
// Size and last-write time of an existing regular file.
std::optional<FileEntry> FileFacts(const std::wstring& path);
// A file somewhere below a folder: the folders between, joined by "\\"
// ("" for the folder's own files).
struct TreeEntry {
    std::wstring below;
    FileEntry file;
};
// Every file below a folder, in its folders too (not through links or
// junctions, which may loop, and at most kTreeDepth deep); nothing when the
// folder or a folder below it could not be listed (a share that dropped
// midway lists nothing rather than part).
inline constexpr int kTreeDepth = 32;
std::optional<std::vector<TreeEntry>> ListTree(const std::wstring& folder);
// True when no program has the file open for writing: it opens for reading
// without letting others write (the Linux host knows no such share mode:
// true when it opens).
bool ClosedByWriters(const std::wstring& path);

// Times of the file system, in nanoseconds since 1970 (UTC), so stamps and
// the clock can be compared. A folder's last-write time changes whenever a
// name in it is added, removed or renamed; nothing when the path is missing.
// Times beyond kTimeBound either way (about 1824 and 2116) read as the
// bound, so the difference of two times never overflows.
inline constexpr int64_t kTimeBound = INT64_MAX / 2;
std::optional<int64_t> LastWriteTime(const std::wstring& path);
// Sets a file's or folder's last-write time (tests steer the store's times).
[[nodiscard]] bool SetLastWriteTime(const std::wstring& path, int64_t time);
int64_t Now();
// A wall-clock time of this computer's time zone (the daylight-saving rule
// of that date applied) as a file-system time; nothing for a date that does
// not exist.
std::optional<int64_t> LocalTimeToFileTime(int year, int month, int day, int hour, int minute, int second);
// The other way: a file-system time as this computer's wall-clock time.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
std::optional<LocalTime> FileTimeToLocalTime(int64_t time);

// Whole file as bytes; nothing when it cannot be opened, is larger than
// `limit`, or what could be read is not its size (a read that broke off on a
// flaky share is no read).
inline constexpr size_t kNoLimit = SIZE_MAX;
std::optional<std::string> ReadFile(const std::wstring& path, size_t limit = kNoLimit);
// Up to `count` bytes of a file from `offset` (fewer at its end); nothing
// when it cannot be read.
std::optional<std::string> ReadRange(const std::wstring& path, uint64_t offset, size_t count);
// The last `count` bytes of a file (all of a shorter one); nothing when it
// cannot be opened.
std::optional<std::string> ReadTail(const std::wstring& path, size_t count);
// True when the file `whole` begins with every byte of the file `start`
// (a file the camera was still writing, and that file finished); read a
// piece at a time, whatever their size.
bool BeginsWithFile(const std::wstring& whole, const std::wstring& start);
// Creates or empties the file and writes the bytes.
[[nodiscard]] bool WriteFile(const std::wstring& path, std::string_view bytes);
// Writes a temporary file beside the target and moves it over the target in one
// step, so a crash never leaves a half-written file behind. A link is
// followed: the file it points to is replaced and the link stays. The file
// keeps its attributes (hidden, system; its mode bits on the Linux host); a
// read-only file is not replaced (false, access denied): the user made it so.
[[nodiscard]] bool WriteFileReplacing(const std::wstring& path, std::string_view bytes);
[[nodiscard]] bool CopyFileTo(const std::wstring& from, const std::wstring& to);
// Moves a file over `to` (replacing it), copying when the two are on
// different volumes; the data is on the disk when it returns true.
[[nodiscard]] bool MoveFileReplacing(const std::wstring& from, const std::wstring& to);
// The same, but never over an existing file: false when `to` exists.
[[nodiscard]] bool MoveFileNew(const std::wstring& from, const std::wstring& to);
[[nodiscard]] bool DeleteFileAt(const std::wstring& path);
// How a verified copy ended.
enum class CopyOutcome { Copied, Failed, Differs, Stopped };
// Copies `from` into `part` a piece at a time, asking `goOn` between pieces,
// puts it on the disk with `from`'s last-write time, then reads the copy
// back and compares it byte for byte with `from`'s bytes (held from the copy
// when the file is small, else read again): a copy counts only when every
// byte is there. Anything but Copied removes the part; after Failed, LastErrorText
// says why.
[[nodiscard]] CopyOutcome CopyVerified(const std::wstring& from, const std::wstring& part,
                                       const std::function<bool()>& goOn);
// The physical drive (else the volume) a path lies on, as a text equal for
// two paths on one; nothing when the system does not tell.
std::optional<std::wstring> DriveOf(const std::wstring& path);
// Creates a folder with every missing level above it; true when it exists
// afterwards.
[[nodiscard]] bool CreateDirs(const std::wstring& path);
// The path as the system's own calls take it (C runtime, other libraries):
// on Windows the long form beyond the classic 260 characters.
std::wstring SystemPath(const std::wstring& path);
// Bytes the current user may still write on the volume of an existing
// folder; nothing when the system does not tell.
std::optional<uint64_t> FreeSpace(const std::wstring& folder);
// Why the last call of this edge that failed on this thread failed, as the
// system words it ("There is not enough space on the disk."). Read it right
// after the failing call.
std::wstring LastErrorText();

// Whether the current user may create files and folders in an existing
// folder, judged by its access rights and its volume; nothing is created.
// Nothing when the system does not tell (the folder is missing, say).
std::optional<bool> MayCreateIn(const std::wstring& folder);

// Bytes of a text file written in the system's ANSI code page (what Notepad
// calls "ANSI": Windows-1250 on a Polish system, 1252 on a German one). The
// Linux host reads them as Windows-1252.
std::wstring FromAnsiCodePage(std::string_view bytes);

// The environment variable's value, nothing when it is not set.
std::optional<std::wstring> GetEnv(const std::wstring& name);
// Full path of the running program file.
std::wstring ProgramFile();

}  // namespace fs
