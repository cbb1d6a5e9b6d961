// Win32 implementation of the file system edge.
#include "base/fs.h"

#include <windows.h>

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

}  // namespace

std::optional<uint64_t> FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool IsDirectory(const std::wstring& path) {
    if (path.empty()) return false;
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const std::wstring& path) {
    return !path.empty() && CreateDirectoryW(path.c_str(), nullptr) != 0;
}

namespace {

// FILETIME counts 100 ns since 1601; the edge's times count ns since 1970.
constexpr int64_t kFrom1601To1970 = 116444736000000000;

int64_t FromFileTime(const FILETIME& t) {
    int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    return (ticks - kFrom1601To1970) * 100;
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
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back({data.cFileName, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return files;
}

std::optional<int64_t> LastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return FromFileTime(data.ftLastWriteTime);
}

bool SetLastWriteTime(const std::wstring& path, int64_t time) {
    // A folder opens only with backup semantics.
    File f(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!f || time < 0) return false;
    uint64_t ticks = static_cast<uint64_t>(time / 100 + kFrom1601To1970);
    FILETIME t{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    return SetFileTime(f.get(), nullptr, nullptr, &t) != 0;
}

int64_t Now() {
    FILETIME t{};
    GetSystemTimeAsFileTime(&t);
    return FromFileTime(t);
}

std::optional<std::string> ReadFile(const std::wstring& path) {
    File f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return std::nullopt;
    std::string data;
    char buf[65536];
    DWORD got = 0;
    while (::ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
    return data;
}

std::optional<std::string> ReadTail(const std::wstring& path, size_t count) {
    File f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!f || !GetFileSizeEx(f.get(), &size)) return std::nullopt;
    uint64_t total = static_cast<uint64_t>(size.QuadPart);
    LARGE_INTEGER from{};
    from.QuadPart = static_cast<LONGLONG>(total - std::min<uint64_t>(total, count));
    if (!SetFilePointerEx(f.get(), from, nullptr, FILE_BEGIN)) return std::nullopt;
    std::string data(static_cast<size_t>(total - static_cast<uint64_t>(from.QuadPart)), '\0');
    DWORD got = 0;
    if (!data.empty() && !::ReadFile(f.get(), data.data(), static_cast<DWORD>(data.size()), &got, nullptr))
        return std::nullopt;
    data.resize(got);
    return data;
}

bool WriteFile(const std::wstring& path, std::string_view bytes) {
    File f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD wrote = 0;
        if (!::WriteFile(f.get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return FlushFileBuffers(f.get()) != 0;
}

bool WriteFileReplacing(const std::wstring& path, std::string_view bytes) {
    std::wstring tmp = path + L".new";
    if (!WriteFile(tmp, bytes)) {
        DeleteFileW(tmp.c_str());
        return false;
    }
    if (!MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(tmp.c_str());
        return false;
    }
    return true;
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

bool MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED |
                                                     MOVEFILE_WRITE_THROUGH) != 0;
}

bool DeleteFileAt(const std::wstring& path) { return DeleteFileW(path.c_str()) != 0; }

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
