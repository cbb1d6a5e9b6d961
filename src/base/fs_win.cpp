// Win32 implementation of the file system edge.
#include "base/fs.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>


namespace fs {

namespace {

// A file handle closed on scope exit (the one Win32 handle this edge needs).
class File {
public:
    explicit File(HANDLE h) : h_(h) {}
    ~File() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

thread_local DWORD t_lastError = 0;

// Keeps why a call failed for LastErrorText; false, for `return Failed();`.
bool Failed() {
    t_lastError = GetLastError();
    return false;
}

bool Succeeded(BOOL ok) { return ok ? true : Failed(); }

// The form of a path that the system takes beyond the classic 260
// characters: "\\?\C:\..." or "\\?\UNC\server\share\...". That form is
// taken as it is, so it is made from the full, normalised path. Shorter
// paths stay as they are (a folder name may still need 12 characters more).
std::wstring Long(const std::wstring& path) {
    constexpr size_t kClassicLimit = MAX_PATH - 12;
    if (path.size() < kClassicLimit || path.rfind(L"\\\\?\\", 0) == 0) return path;
    DWORD need = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (need == 0) return path;
    std::wstring full(need, L'\0');
    DWORD got = GetFullPathNameW(path.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return path;
    full.resize(got);
    if (full.size() > 2 && full[1] == L':') return L"\\\\?\\" + full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return path;
}

}  // namespace

std::wstring SystemPath(const std::wstring& path) { return Long(path); }

std::optional<uint64_t> FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(Long(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool IsDirectory(const std::wstring& path) {
    if (path.empty()) return false;
    DWORD a = GetFileAttributesW(Long(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const std::wstring& path) {
    return !path.empty() && Succeeded(CreateDirectoryW(Long(path).c_str(), nullptr));
}

bool RemoveDir(const std::wstring& path) { return !path.empty() && Succeeded(RemoveDirectoryW(Long(path).c_str())); }

std::wstring NameKey(std::wstring_view name) {
    std::wstring key(name);
    const int size = static_cast<int>(key.size());
    if (size > 0 && LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.data(), size, key.data(), size, nullptr,
                                  nullptr, 0) != size) {
        key = name;
        for (wchar_t& c : key)
            if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
    }
    return key;
}

bool CreateDirs(const std::wstring& path) {
    if (path.empty()) return false;
    if (IsDirectory(path)) return true;
    size_t cut = path.find_last_of(L"\\/");
    // Up to the drive ("C:") or the share ("\\\\server\\share"), which cannot be made.
    if (cut != std::wstring::npos && cut > 0) {
        std::wstring parent = path.substr(0, cut);
        bool isRoot = (parent.size() == 2 && parent[1] == L':') ||
                      (parent.rfind(L"\\\\", 0) == 0 && parent.find(L'\\', 2) == std::wstring::npos);
        if (!parent.empty() && !isRoot && !CreateDirs(parent)) return false;
    }
    if (CreateDirectoryW(Long(path).c_str(), nullptr)) return true;
    Failed();
    return IsDirectory(path);
}

namespace {

// FILETIME counts 100 ns since 1601; the edge's times count ns since 1970.
constexpr int64_t kFrom1601To1970 = 116444736000000000;

int64_t FromFileTime(const FILETIME& t) {
    uint64_t ticks = (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    int64_t since1970 = static_cast<int64_t>(std::min<uint64_t>(ticks, INT64_MAX)) - kFrom1601To1970;
    return std::clamp<int64_t>(since1970, -kTimeBound / 100, kTimeBound / 100) * 100;
}

}  // namespace

std::vector<FileEntry> ListFiles(const std::wstring& folder) {
    std::vector<FileEntry> files;
    if (folder.empty()) return files;
    std::wstring pattern = folder;
    if (pattern.back() != L'\\') pattern += L'\\';
    pattern += L"*.*";
    WIN32_FIND_DATAW data;
    // The basic information only: no short 8.3 names to look up for each file.
    HANDLE find = FindFirstFileExW(Long(pattern).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back({data.cFileName, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                             FromFileTime(data.ftLastWriteTime)});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return files;
}

namespace {

bool ListTreeInto(const std::wstring& dir, const std::wstring& below, int depth, std::vector<TreeEntry>& into) {
    WIN32_FIND_DATAW data;
    const std::wstring in = dir.back() == L'\\' ? dir : dir + L"\\";  // a drive's root ends in one
    HANDLE find = FindFirstFileExW(Long(in + L"*.*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    // The root of an empty FAT drive has not even "." in it.
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND || Failed();
    bool ok = true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            into.push_back({below, {name, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                                    FromFileTime(data.ftLastWriteTime)}});
        } else if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && depth < kTreeDepth) {
            ok = ListTreeInto(in + name, below.empty() ? name : below + L"\\" + name, depth + 1, into);
        }
    } while (ok && FindNextFileW(find, &data));
    // A listing that broke off (the share went) is no listing.
    if (ok && GetLastError() != ERROR_NO_MORE_FILES) ok = Failed();
    FindClose(find);
    return ok;
}

}  // namespace

std::optional<std::vector<TreeEntry>> ListTree(const std::wstring& folder) {
    std::vector<TreeEntry> files;
    std::wstring root = folder;
    while (root.size() > 3 && root.back() == L'\\') root.pop_back();
    if (root.empty() || !ListTreeInto(root, L"", 1, files)) return std::nullopt;
    return files;
}

bool ClosedByWriters(const std::wstring& path) {
    File f(CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return f ? true : Failed();
}

std::optional<FileEntry> FileFacts(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(Long(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    size_t slash = path.find_last_of(L"\\/");
    return FileEntry{slash == std::wstring::npos ? path : path.substr(slash + 1),
                     (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                     FromFileTime(data.ftLastWriteTime)};
}

std::optional<int64_t> LastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(Long(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return FromFileTime(data.ftLastWriteTime);
}

bool SetLastWriteTime(const std::wstring& path, int64_t time) {
    // A folder opens only with backup semantics.
    File f(CreateFileW(Long(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!f || time < 0) return Failed();
    uint64_t ticks = static_cast<uint64_t>(time / 100 + kFrom1601To1970);
    FILETIME t{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    return Succeeded(SetFileTime(f.get(), nullptr, nullptr, &t));
}

int64_t Now() {
    FILETIME t{};
    GetSystemTimeAsFileTime(&t);
    return FromFileTime(t);
}

std::optional<int64_t> LocalTimeToFileTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1601 || year > 30827) return std::nullopt;
    SYSTEMTIME local{static_cast<WORD>(year),   static_cast<WORD>(month),  0, static_cast<WORD>(day),
                     static_cast<WORD>(hour),   static_cast<WORD>(minute), static_cast<WORD>(second), 0};
    FILETIME check{};
    SYSTEMTIME utc{};
    FILETIME t{};
    // The first call refuses a date that does not exist (31 April, 25 o'clock).
    if (!SystemTimeToFileTime(&local, &check) || !TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
        !SystemTimeToFileTime(&utc, &t))
        return std::nullopt;
    return FromFileTime(t);
}

std::optional<LocalTime> FileTimeToLocalTime(int64_t time) {
    if (time / 100 < -kFrom1601To1970) return std::nullopt;
    const uint64_t ticks = static_cast<uint64_t>(time / 100 + kFrom1601To1970);
    FILETIME t{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{}, local{};
    if (!FileTimeToSystemTime(&t, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return std::nullopt;
    return LocalTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

std::optional<std::string> ReadFile(const std::wstring& path, size_t limit) {
    File f(CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!f || !GetFileSizeEx(f.get(), &size)) {
        Failed();
        return std::nullopt;
    }
    if (static_cast<uint64_t>(size.QuadPart) > limit) {
        t_lastError = ERROR_FILE_TOO_LARGE;
        return std::nullopt;
    }
    std::string data(static_cast<size_t>(size.QuadPart), '\0');
    size_t got = 0;
    DWORD n = 1;
    while (got < data.size() && n > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - got, 1u << 20));
        if (!::ReadFile(f.get(), data.data() + got, chunk, &n, nullptr)) {
            Failed();
            return std::nullopt;
        }
        got += n;
    }
    // A file that gave less than its size, or more, changed under the read.
    char more = 0;
    if (got != data.size() || !::ReadFile(f.get(), &more, 1, &n, nullptr) || n != 0) {
        t_lastError = ERROR_READ_FAULT;
        return std::nullopt;
    }
    return data;
}

std::optional<std::string> ReadRange(const std::wstring& path, uint64_t offset, size_t count) {
    File f(CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER from{};
    from.QuadPart = static_cast<LONGLONG>(offset);
    if (!f || !SetFilePointerEx(f.get(), from, nullptr, FILE_BEGIN)) {
        Failed();
        return std::nullopt;
    }
    std::string data(count, '\0');
    size_t got = 0;
    DWORD n = 1;
    while (got < count && n > 0) {
        if (!::ReadFile(f.get(), data.data() + got, static_cast<DWORD>(std::min<size_t>(count - got, 1u << 20)), &n,
                        nullptr)) {
            Failed();
            return std::nullopt;
        }
        got += n;
    }
    data.resize(got);
    return data;
}

bool WriteFile(const std::wstring& path, std::string_view bytes) {
    File f(CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return Failed();
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD wrote = 0;
        if (!::WriteFile(f.get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            return Failed();
        done += wrote;
    }
    return Succeeded(FlushFileBuffers(f.get()));
}

namespace {

// The path of the file itself: where a link, or a junction on the way,
// leads ("\\?\C:\..."). The path as given when it does not exist.
std::wstring FinalPath(const std::wstring& path) {
    File f(CreateFileW(Long(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!f) return path;
    DWORD need = GetFinalPathNameByHandleW(f.get(), nullptr, 0, FILE_NAME_NORMALIZED);
    if (need == 0) return path;
    std::wstring final(need, L'\0');
    DWORD got = GetFinalPathNameByHandleW(f.get(), final.data(), need, FILE_NAME_NORMALIZED);
    if (got == 0 || got >= need) return path;
    final.resize(got);
    return final;
}

}  // namespace

bool WriteFileReplacing(const std::wstring& path, std::string_view bytes) {
    const std::wstring target = FinalPath(path);
    const DWORD attributes = GetFileAttributesW(Long(target).c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) {
        t_lastError = ERROR_ACCESS_DENIED;
        return false;
    }
    const std::wstring tmp = target + L".new";
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    bool ok = WriteFile(tmp, bytes) &&
              (!exists || !(attributes & kKept) || Succeeded(SetFileAttributesW(Long(tmp).c_str(), attributes & kKept))) &&
              Succeeded(MoveFileExW(Long(tmp).c_str(), Long(target).c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    if (!ok) {
        const DWORD why = t_lastError;
        DeleteFileW(Long(tmp).c_str());
        t_lastError = why;
    }
    return ok;
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to) {
    return Succeeded(CopyFileW(Long(from).c_str(), Long(to).c_str(), FALSE));
}

bool MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
    return Succeeded(MoveFileExW(Long(from).c_str(), Long(to).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH));
}

bool MoveFileNew(const std::wstring& from, const std::wstring& to) {
    return Succeeded(MoveFileExW(Long(from).c_str(), Long(to).c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH));
}

bool DeleteFileAt(const std::wstring& path) { return Succeeded(DeleteFileW(Long(path).c_str())); }

namespace {

constexpr DWORD kPiece = 64u << 10;  // stays in the processor's cache
// A file up to this size is read once and held for the comparison.
constexpr uint64_t kHeldLimit = uint64_t{64} << 20;

// Reads up to `count` bytes, fewer only at the end; false when the read failed.
bool ReadPiece(HANDLE f, char* to, DWORD count, DWORD& got) {
    got = 0;
    while (got < count) {
        DWORD n = 0;
        if (!::ReadFile(f, to + got, count - got, &n, nullptr)) return Failed();
        if (n == 0) break;
        got += n;
    }
    return true;
}

HANDLE OpenToRead(const std::wstring& path) {
    return CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

CopyOutcome CopyInto(const std::wstring& from, const std::wstring& part, const std::function<bool()>& goOn,
                     std::string& a, std::string& b) {
    FILETIME written{};
    std::string held;
    uint64_t size = 0;
    {
        File in(OpenToRead(from));
        LARGE_INTEGER length{};
        if (!in || !GetFileTime(in.get(), nullptr, nullptr, &written) || !GetFileSizeEx(in.get(), &length))
            return Failed(), CopyOutcome::Failed;
        if (static_cast<uint64_t>(length.QuadPart) <= kHeldLimit) held.resize(static_cast<size_t>(length.QuadPart) + kPiece);
        File out(CreateFileW(Long(part).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!out) return Failed(), CopyOutcome::Failed;
        for (DWORD got = kPiece; got == kPiece; size += got) {
            if (!goOn()) return CopyOutcome::Stopped;
            char* piece = held.size() >= size + kPiece ? held.data() + size : a.data();  // grown meanwhile: not held
            if (!ReadPiece(in.get(), piece, kPiece, got)) return CopyOutcome::Failed;
            DWORD wrote = 0;
            if (got && (!::WriteFile(out.get(), piece, got, &wrote, nullptr) || wrote != got))
                return Failed(), CopyOutcome::Failed;
        }
        if (held.size() < size + kPiece) held.clear();
        if (!SetFileTime(out.get(), nullptr, nullptr, &written) || !FlushFileBuffers(out.get()))
            return Failed(), CopyOutcome::Failed;
    }
    // The copy read back, against the stored file's bytes as held or read again.
    File in(held.empty() ? OpenToRead(from) : INVALID_HANDLE_VALUE), copy(OpenToRead(part));
    if ((held.empty() && !in) || !copy) return Failed(), CopyOutcome::Failed;
    for (uint64_t at = 0;; at += kPiece) {
        if (!goOn()) return CopyOutcome::Stopped;
        DWORD got = static_cast<DWORD>(std::min<uint64_t>(kPiece, size - std::min(at, size))), gotCopy = 0;
        if (held.empty() && !ReadPiece(in.get(), a.data(), kPiece, got)) return CopyOutcome::Failed;
        if (!ReadPiece(copy.get(), b.data(), kPiece, gotCopy)) return CopyOutcome::Failed;
        if (got != gotCopy || memcmp(held.empty() ? a.data() : held.data() + at, b.data(), got) != 0)
            return CopyOutcome::Differs;
        if (got < kPiece) return CopyOutcome::Copied;
    }
}

}  // namespace

CopyOutcome CopyVerified(const std::wstring& from, const std::wstring& part, const std::function<bool()>& goOn) {
    std::string a(kPiece, '\0'), b(kPiece, '\0');
    const CopyOutcome outcome = CopyInto(from, part, goOn, a, b);
    if (outcome != CopyOutcome::Copied) {
        const DWORD why = t_lastError;
        DeleteFileW(Long(part).c_str());
        t_lastError = why;
    }
    return outcome;
}

std::optional<std::wstring> DriveOf(const std::wstring& path) {
    wchar_t root[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(Long(path).c_str(), root, MAX_PATH)) return std::nullopt;
    // Two volumes of one disk fail together: the disk's number when the
    // system gives it.
    wchar_t volume[64] = {};
    if (GetVolumeNameForVolumeMountPointW(root, volume, 64)) {
        std::wstring device = volume;
        if (!device.empty() && device.back() == L'\\') device.pop_back();
        File v(CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        STORAGE_DEVICE_NUMBER number{};
        DWORD got = 0;
        if (v && DeviceIoControl(v.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number, &got,
                                 nullptr))
            return L"disk " + std::to_wstring(number.DeviceType) + L"." + std::to_wstring(number.DeviceNumber);
    }
    DWORD serial = 0;
    if (!GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) return std::nullopt;
    return L"volume " + std::to_wstring(serial);
}

std::optional<uint64_t> FreeSpace(const std::wstring& folder) {
    std::wstring dir = Long(folder);
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    ULARGE_INTEGER available{};
    if (dir.empty() || !GetDiskFreeSpaceExW(dir.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

std::wstring LastErrorText() {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, t_lastError, MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT),
                             reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : std::wstring();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message.empty() ? L"error " + std::to_wstring(t_lastError) : message;
}

std::optional<bool> MayCreateIn(const std::wstring& folder) {
    if (!IsDirectory(folder)) return std::nullopt;
    const std::wstring path = Long(folder);
    // A folder on a read-only volume (a CD, a write-protected card) grants
    // what its rights say and still takes nothing.
    wchar_t root[MAX_PATH];
    DWORD volumeFlags = 0;
    if (GetVolumePathNameW(path.c_str(), root, MAX_PATH) &&
        GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &volumeFlags, nullptr, 0) &&
        (volumeFlags & FILE_READ_ONLY_VOLUME))
        return false;
    const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD need = 0;
    GetFileSecurityW(path.c_str(), what, nullptr, 0, &need);
    if (need == 0) return std::nullopt;
    std::string descriptor(need, '\0');
    if (!GetFileSecurityW(path.c_str(), what, descriptor.data(), need, &need)) return std::nullopt;
    HANDLE process = nullptr, token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process)) return std::nullopt;
    BOOL duplicated = DuplicateToken(process, SecurityImpersonation, &token);
    CloseHandle(process);
    if (!duplicated) return std::nullopt;
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    DWORD wanted = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
    MapGenericMask(&wanted, &mapping);
    PRIVILEGE_SET privileges{};
    DWORD privilegesSize = sizeof privileges, granted = 0;
    BOOL allowed = FALSE;
    BOOL checked = AccessCheck(descriptor.data(), token, wanted, &mapping, &privileges, &privilegesSize, &granted,
                               &allowed);
    CloseHandle(token);
    if (!checked) return std::nullopt;
    return allowed != FALSE;
}

std::wstring FromAnsiCodePage(std::string_view bytes) {
    if (bytes.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

std::optional<std::wstring> GetEnv(const std::wstring& name) {
    wchar_t buf[32768];
    DWORD n = GetEnvironmentVariableW(name.c_str(), buf, 32768);
    if (n == 0 || n >= 32768) return std::nullopt;
    return std::wstring(buf, n);
}

std::wstring ProgramFile() {
    wchar_t buf[2048];
    DWORD n = GetModuleFileNameW(nullptr, buf, 2048);
    return std::wstring(buf, n < 2048 ? n : 0);
}

}  // namespace fs
