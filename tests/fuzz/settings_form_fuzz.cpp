// Fuzz target: the settings window's value checks with any text, on every
// field of the form, against a file system of the input's own making (no
// disk is touched). Aborts when a value the window accepts would not work:
// it cannot be written to the file, an address is taken for a range it is
// not (or the other way round), a number lies outside its limits, a folder
// is no whole path, an extension holds more than letters and digits.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/str.h"
#include "model/card/address_range.h"
#include "model/settings/folders.h"
#include "model/settings/settings_form.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// What a path is, decided by its own bytes, so every answer comes up.
size_t Shape(const std::wstring& path) { return std::hash<std::wstring>{}(path) % 5; }
bool IsFolder(const std::wstring& path) { return Shape(path) <= 1; }
bool IsFile(const std::wstring& path) { return Shape(path) == 2; }
std::optional<bool> MayCreateIn(const std::wstring& folder) {
    return Shape(folder) == 0 ? std::optional<bool>() : std::optional<bool>(Shape(folder) == 1);
}

bool LetterOrDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// An accepted address is either swept as a range or asked as one host:
// never taken for a range that sweeps nothing. A "*" names no host.
void CheckAddress(const std::wstring& v) {
    std::optional<model::AddressSweep> sweep = model::SweepOf(v);
    Check(model::IsAddressRange(v) == sweep.has_value());
    if (v.find(L'*') != std::wstring::npos) Check(sweep.has_value());
    if (sweep) Check(1 <= sweep->lower && sweep->lower <= sweep->upper && sweep->upper <= 254);
}

// An accepted value can be saved, and the file reads it back as it was.
void CheckSaved(const model::FormField& f, const std::wstring& v) {
    static const model::IniDocument defaults(str::ToUtf8(model::DefaultSettingsText()));
    model::IniDocument file = defaults;
    Check(file.SetValues({{f.group, f.key, v}}, true));
    Check(model::IniDocument(file.Serialize()).Value(f.group, f.key) == v);
}

void CheckAccepted(const model::FormField& f, const std::wstring& v) {
    switch (f.kind) {
    case model::FieldKind::Number: {
        const int n = str::LeadingInt32(v);
        Check((n >= f.min && n <= f.max) || (f.alsoAllowed && n == *f.alsoAllowed));
        break;
    }
    case model::FieldKind::Folder:
        Check(v.empty() || str::ContainsI(v, L"ftp://") || model::IsAbsoluteFolderPath(v));
        break;
    case model::FieldKind::CardList:
        for (const std::wstring& entry : model::CardEntries(v)) CheckAddress(entry);
        break;
    case model::FieldKind::Extension: {
        std::wstring_view e = v;
        if (!e.empty() && e[0] == L'.') e.remove_prefix(1);
        Check(std::all_of(e.begin(), e.end(), LetterOrDigit));
        break;
    }
    default: break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<model::FormField> fields =
        model::BuildSettingsForm(model::IniDocument(str::ToUtf8(model::DefaultSettingsText())));
    const std::wstring value = str::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    const model::FileSystemView files{IsFolder, IsFile, MayCreateIn};
    const std::wstring trimmed = str::Trim(value);
    const bool oneLine = value.find_first_of(L"\r\n") == std::wstring::npos;

    const model::FormField* saved = nullptr;  // the key does not change how a value is written
    for (const model::FormField& f : fields) {
        std::optional<std::wstring> problem = model::CheckFieldValue(f, value, files);
        Check(!problem || !problem->empty());
        if (!oneLine) Check(problem.has_value());
        if (f.kind == model::FieldKind::Folder && model::FolderProblem(value, f.remoteAllowed, files))
            Check(problem.has_value());
        if (problem) continue;
        CheckAccepted(f, trimmed);
        if (!saved) {
            CheckSaved(f, trimmed);
            saved = &f;
        }
    }
    if (oneLine && model::IsCardAddress(value) && !str::ContainsI(trimmed, L"://")) CheckAddress(trimmed);
    return 0;
}
