// POSIX implementation of the file system edge, for the Linux test host.
// Paths are wide strings inside the program and UTF-8 on disk.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <cwctype>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/fs.h"
#include "base/str.h"

namespace fs {

// The logic builds Windows paths with "\\"; on the test host they become "/".
static std::string Native(const std::wstring& p) {
    std::string s = str::ToUtf8(p);
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

std::wstring SystemPath(const std::wstring& path) { return path; }

static int64_t Nanoseconds(const timespec& t) {
    constexpr time_t kSecondsBound = kTimeBound / 1000000000;
    if (t.tv_sec >= kSecondsBound) return kTimeBound;
    if (t.tv_sec <= -kSecondsBound) return -kTimeBound;
    return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

std::optional<uint64_t> FileSize(const std::wstring& path) {
    struct stat st {};
    if (path.empty() || stat(Native(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

bool IsDirectory(const std::wstring& path) {
    struct stat st {};
    return !path.empty() && stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static bool Failed();

bool CreateDir(const std::wstring& path) {
    return !path.empty() && (mkdir(Native(path).c_str(), 0755) == 0 || Failed());
}

bool RemoveDir(const std::wstring& path) { return !path.empty() && (rmdir(Native(path).c_str()) == 0 || Failed()); }

std::wstring NameKey(std::wstring_view name) {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    std::wstring key(name);
    for (wchar_t& c : key)
        c = utf8 ? static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), utf8)) : (c >= L'a' && c <= L'z' ? c - 32 : c);
    return key;
}

std::vector<FileEntry> ListFiles(const std::wstring& folder) {
    std::vector<FileEntry> files;
    DIR* dir = folder.empty() ? nullptr : opendir(Native(folder).c_str());
    if (!dir) return files;
    std::string base = Native(folder) + "/";
    while (dirent* e = readdir(dir)) {
        struct stat st {};
        if (stat((base + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            files.push_back({str::FromUtf8(e->d_name), static_cast<uint64_t>(st.st_size),
                             Nanoseconds(st.st_mtim)});
    }
    closedir(dir);
    return files;
}

static bool ListTreeInto(const std::string& dir, const std::wstring& below, int depth,
                         std::vector<TreeEntry>& into) {
    DIR* d = opendir(dir.c_str());
    if (!d) return false;
    bool ok = true;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (lstat((dir + "/" + name).c_str(), &st) != 0) continue;  // gone meanwhile
        const std::wstring wide = str::FromUtf8(name);
        if (S_ISREG(st.st_mode)) {
            into.push_back({below, {wide, static_cast<uint64_t>(st.st_size), Nanoseconds(st.st_mtim)}});
        } else if (S_ISDIR(st.st_mode) && depth < kTreeDepth) {
            ok = ListTreeInto(dir + "/" + name, below.empty() ? wide : below + L"\\" + wide, depth + 1, into);
            if (!ok) break;
        }
    }
    closedir(d);
    return ok;
}

std::optional<std::vector<TreeEntry>> ListTree(const std::wstring& folder) {
    std::vector<TreeEntry> files;
    if (folder.empty() || !ListTreeInto(Native(folder), L"", 1, files)) return std::nullopt;
    return files;
}

bool ClosedByWriters(const std::wstring& path) {
    int f = open(Native(path).c_str(), O_RDONLY);
    if (f < 0) return false;
    close(f);
    return true;
}

std::optional<FileEntry> FileFacts(const std::wstring& path) {
    struct stat st {};
    if (path.empty() || stat(Native(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    size_t slash = path.find_last_of(L"\\/");
    return FileEntry{slash == std::wstring::npos ? path : path.substr(slash + 1), static_cast<uint64_t>(st.st_size),
                     Nanoseconds(st.st_mtim)};
}

std::optional<int64_t> LastWriteTime(const std::wstring& path) {
    struct stat st {};
    if (path.empty() || stat(Native(path).c_str(), &st) != 0) return std::nullopt;
    return Nanoseconds(st.st_mtim);
}

bool SetLastWriteTime(const std::wstring& path, int64_t time) {
    timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(time / 1000000000), static_cast<long>(time % 1000000000)}};
    return !path.empty() && time >= 0 && utimensat(AT_FDCWD, Native(path).c_str(), times, 0) == 0;
}

int64_t Now() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

std::optional<int64_t> LocalTimeToFileTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    std::tm asked = tm;
    time_t t = mktime(&tm);
    // mktime moves a date that does not exist on (31 April becomes 1 May).
    if (t == static_cast<time_t>(-1) || tm.tm_mday != asked.tm_mday || tm.tm_mon != asked.tm_mon ||
        tm.tm_year != asked.tm_year || month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return int64_t{t} * 1000000000;
}

std::optional<LocalTime> FileTimeToLocalTime(int64_t time) {
    const time_t seconds = static_cast<time_t>(time / 1000000000 - (time % 1000000000 < 0 ? 1 : 0));
    std::tm tm{};
    if (!localtime_r(&seconds, &tm)) return std::nullopt;
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

static thread_local int t_lastError = 0;

// Keeps why a call failed for LastErrorText; false, for `return Failed();`.
static bool Failed() {
    t_lastError = errno;
    return false;
}

static bool Failed(int why) {
    errno = why;
    return Failed();
}

std::optional<std::string> ReadFile(const std::wstring& path, size_t limit) {
    int fd = open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Failed();
        return std::nullopt;
    }
    std::optional<std::string> whole;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        Failed();
    } else if (!S_ISREG(st.st_mode)) {
        Failed(EISDIR);
    } else if (static_cast<uint64_t>(st.st_size) > limit) {
        Failed(EFBIG);
    } else {
        std::string data(static_cast<size_t>(st.st_size), '\0');
        size_t got = 0;
        while (got < data.size()) {
            ssize_t n = read(fd, data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        // A file that gave less than its size, or more, changed under the read.
        char more = 0;
        if (got == data.size() && read(fd, &more, 1) == 0)
            whole = std::move(data);
        else
            Failed(EIO);
    }
    close(fd);
    return whole;
}

std::optional<std::string> ReadRange(const std::wstring& path, uint64_t offset, size_t count) {
    int fd = open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Failed();
        return std::nullopt;
    }
    std::string data(count, '\0');
    size_t got = 0;
    ssize_t n = 1;
    while (got < count && n > 0) {
        n = pread(fd, data.data() + got, count - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) n = 1;
        else if (n > 0) got += static_cast<size_t>(n);
    }
    if (n < 0) Failed();
    close(fd);
    if (n < 0) return std::nullopt;
    data.resize(got);
    return data;
}

static bool WriteNative(const std::string& path, std::string_view bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return Failed();
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (fflush(f) == 0) && ok;
    if (!ok) Failed();
    ok = (fclose(f) == 0) && ok;
    return ok;
}

bool WriteFile(const std::wstring& path, std::string_view bytes) { return WriteNative(Native(path), bytes); }

bool WriteFileReplacing(const std::wstring& path, std::string_view bytes) {
    std::string target = Native(path);
    if (char* resolved = realpath(target.c_str(), nullptr)) {
        target = resolved;
        free(resolved);
    }
    struct stat st {};
    const bool exists = stat(target.c_str(), &st) == 0;
    if (exists && !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) return Failed(EACCES);
    const std::string tmp = target + ".new";
    bool ok = WriteNative(tmp, bytes) && (!exists || chmod(tmp.c_str(), st.st_mode & 07777) == 0 || Failed()) &&
              (rename(tmp.c_str(), target.c_str()) == 0 || Failed());
    if (!ok) {
        const int why = t_lastError;
        unlink(tmp.c_str());
        t_lastError = why;
    }
    return ok;
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to) {
    auto data = ReadFile(from);
    return data && WriteFile(to, *data);
}

bool MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
    if (rename(Native(from).c_str(), Native(to).c_str()) == 0) return true;
    Failed();
    return errno == EXDEV && CopyFileTo(from, to) && DeleteFileAt(from);
}

bool MoveFileNew(const std::wstring& from, const std::wstring& to) {
    // A hard link is made only where no file is; the name `from` then goes.
    if (link(Native(from).c_str(), Native(to).c_str()) == 0) return DeleteFileAt(from);
    if (errno != EXDEV && errno != EPERM) return Failed();
    if (FileSize(to) || IsDirectory(to)) {
        errno = EEXIST;
        return Failed();
    }
    return MoveFileReplacing(from, to);
}

bool DeleteFileAt(const std::wstring& path) { return unlink(Native(path).c_str()) == 0 || Failed(); }

static constexpr size_t kPiece = size_t{64} << 10;

// Reads up to `count` bytes, fewer only at the end; false when the read failed.
static bool ReadPiece(int fd, char* to, size_t count, size_t& got) {
    got = 0;
    while (got < count) {
        ssize_t n = read(fd, to + got, count - got);
        if (n < 0) return Failed();
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return true;
}

namespace {
struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};
}  // namespace

static CopyOutcome CopyInto(const std::string& from, const std::string& part, const std::function<bool()>& goOn,
                            std::string& a, std::string& b) {
    struct stat st {};
    {
        Fd in{open(from.c_str(), O_RDONLY)};
        if (in.fd < 0 || fstat(in.fd, &st) != 0) return Failed(), CopyOutcome::Failed;
        Fd out{open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)};
        if (out.fd < 0) return Failed(), CopyOutcome::Failed;
        for (size_t got = kPiece; got == kPiece;) {
            if (!goOn()) return CopyOutcome::Stopped;
            if (!ReadPiece(in.fd, a.data(), kPiece, got)) return CopyOutcome::Failed;
            if (got && write(out.fd, a.data(), got) != static_cast<ssize_t>(got)) return Failed(), CopyOutcome::Failed;
        }
        timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
        if (futimens(out.fd, times) != 0 || fsync(out.fd) != 0) return Failed(), CopyOutcome::Failed;
    }
    Fd in{open(from.c_str(), O_RDONLY)}, copy{open(part.c_str(), O_RDONLY)};
    if (in.fd < 0 || copy.fd < 0) return Failed(), CopyOutcome::Failed;
    for (size_t got = kPiece, gotCopy = 0; got == kPiece;) {
        if (!goOn()) return CopyOutcome::Stopped;
        if (!ReadPiece(in.fd, a.data(), kPiece, got) || !ReadPiece(copy.fd, b.data(), kPiece, gotCopy))
            return CopyOutcome::Failed;
        if (got != gotCopy || std::memcmp(a.data(), b.data(), got) != 0) return CopyOutcome::Differs;
    }
    return CopyOutcome::Copied;
}

CopyOutcome CopyVerified(const std::wstring& from, const std::wstring& part, const std::function<bool()>& goOn) {
    std::string a(kPiece, '\0'), b(kPiece, '\0');
    const CopyOutcome outcome = CopyInto(Native(from), Native(part), goOn, a, b);
    if (outcome != CopyOutcome::Copied) {
        const int why = t_lastError;
        unlink(Native(part).c_str());
        t_lastError = why;
    }
    return outcome;
}

std::optional<std::wstring> DriveOf(const std::wstring& path) {
    struct stat st {};
    if (path.empty() || stat(Native(path).c_str(), &st) != 0) return std::nullopt;
    return L"device " + std::to_wstring(static_cast<unsigned long long>(st.st_dev));
}

bool CreateDirs(const std::wstring& path) {
    if (path.empty()) return false;
    if (IsDirectory(path)) return true;
    size_t cut = path.find_last_of(L"\\/");
    if (cut != std::wstring::npos && cut > 0 && !CreateDirs(path.substr(0, cut))) return false;
    if (mkdir(Native(path).c_str(), 0755) == 0) return true;
    Failed();
    return IsDirectory(path);
}

std::optional<uint64_t> FreeSpace(const std::wstring& folder) {
    struct statvfs st {};
    if (folder.empty() || statvfs(Native(folder).c_str(), &st) != 0) return std::nullopt;
    return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

std::wstring LastErrorText() { return str::FromUtf8(std::strerror(t_lastError)); }

std::optional<bool> MayCreateIn(const std::wstring& folder) {
    if (!IsDirectory(folder)) return std::nullopt;
    return access(Native(folder).c_str(), W_OK | X_OK) == 0;
}

std::wstring FromAnsiCodePage(std::string_view bytes) {
    // Windows-1252: Latin-1 with printable characters in 0x80..0x9F (the five
    // codes it leaves out stay as they are).
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::wstring text;
    text.reserve(bytes.size());
    for (unsigned char c : bytes)
        text.push_back(c >= 0x80 && c < 0xA0 ? static_cast<wchar_t>(kHigh[c - 0x80]) : static_cast<wchar_t>(c));
    return text;
}

std::optional<std::wstring> GetEnv(const std::wstring& name) {
    const char* v = getenv(Native(name).c_str());
    if (!v) return std::nullopt;
    return str::FromUtf8(v);
}

std::wstring ProgramFile() {
    char buf[2048];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? str::FromUtf8(std::string_view(buf, static_cast<size_t>(n))) : std::wstring();
}

}  // namespace fs
