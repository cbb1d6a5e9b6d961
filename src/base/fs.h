// The file system and environment as the program uses them, behind one thin
// interface: Win32 calls on Windows, POSIX calls on the Linux test host, so the
// logic that touches files runs in native unit tests as well. Paths are always
// written with "\\"; the Linux side maps it to "/".
#pragma once

#include <cstdint>
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
// Names of the files (not folders) directly in a folder, in no set order;
// empty when the folder cannot be listed.
std::vector<std::wstring> ListFileNames(const std::wstring& folder);

// Whole file as bytes; nothing when it cannot be opened.
std::optional<std::string> ReadFile(const std::wstring& path);
// Creates or empties the file and writes the bytes.
[[nodiscard]] bool WriteFile(const std::wstring& path, std::string_view bytes);
// Writes a temporary file beside the target and moves it over the target in one
// step, so a crash never leaves a half-written file behind.
[[nodiscard]] bool WriteFileReplacing(const std::wstring& path, std::string_view bytes);
[[nodiscard]] bool CopyFileTo(const std::wstring& from, const std::wstring& to);
[[nodiscard]] bool DeleteFileAt(const std::wstring& path);

// The environment variable's value, nothing when it is not set.
std::optional<std::wstring> GetEnv(const std::wstring& name);
// Full path of the running program file.
std::wstring ProgramFile();

}  // namespace fs
