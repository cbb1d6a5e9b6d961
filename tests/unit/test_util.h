// Helpers shared by the unit tests: a scratch folder that is removed again,
// file writing and scoped environment variables. Paths use "\" like the
// program does; fs:: maps them on the Linux host.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "base/fs.h"
#include "base/str.h"

namespace testutil {

inline std::filesystem::path NativePath(std::wstring path) {
#ifdef _WIN32
    return std::filesystem::path(path);
#else
    for (auto& c : path)
        if (c == L'\\') c = L'/';
    return std::filesystem::path(str::ToUtf8(path));
#endif
}

// A fresh, uniquely named folder below the temp folder; removed with its content.
class TempDir {
public:
    TempDir() {
        static std::atomic<unsigned> counter{0};
        std::wstring root = Root();
        if (!str::EndsWith(root, L"\\") && !str::EndsWith(root, L"/")) root += L"\\";
        auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        for (int attempt = 0; attempt < 100 && path_.empty(); attempt++) {
            std::wstring candidate = root + L"wemlox_test_" + str::FromInt(ticks) + L"_" +
                                     str::FromInt(counter++);
            if (fs::CreateDir(candidate)) path_ = candidate;
        }
        EXPECT_FALSE(path_.empty()) << "no scratch folder below " << str::ToUtf8(root);
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(NativePath(path_), ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a trailing "\".
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

    // Writes bytes to a file below the folder (sub-folders must exist); returns the full path.
    std::wstring Write(const std::wstring& name, std::string_view bytes) const {
        std::wstring full = *this / name;
        EXPECT_TRUE(fs::WriteFile(full, bytes)) << str::ToUtf8(full);
        return full;
    }
    std::wstring MakeDir(const std::wstring& name) const {
        std::wstring full = *this / name;
        EXPECT_TRUE(fs::CreateDir(full)) << str::ToUtf8(full);
        return full;
    }

private:
    static std::wstring Root() {
        for (const wchar_t* name : {L"TEMP", L"TMPDIR", L"TMP"})
            if (auto v = fs::GetEnv(name); v && !v->empty()) return *v;
        return L"/tmp";
    }
    std::wstring path_;
};

inline void SetEnvValue(const std::wstring& name, const std::optional<std::wstring>& value) {
#ifdef _WIN32
    _wputenv_s(name.c_str(), value ? value->c_str() : L"");  // "" removes it
#else
    if (value)
        setenv(str::ToUtf8(name).c_str(), str::ToUtf8(*value).c_str(), 1);
    else
        unsetenv(str::ToUtf8(name).c_str());
#endif
}

// Sets (or with nothing, removes) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(std::wstring name, const std::optional<std::wstring>& value)
        : name_(std::move(name)), saved_(fs::GetEnv(name_)) {
        SetEnvValue(name_, value);
    }
    ~ScopedEnv() { SetEnvValue(name_, saved_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> saved_;
};

inline std::string ReadAll(const std::wstring& path) { return fs::ReadFile(path).value_or(""); }

}  // namespace testutil
