// The settings file Wemlox.ini: the built-in default text, an INI document that
// keeps every line in order, and loading/normalising all settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/state.h"

// Next built-in text block (the default settings file), ending in CR LF; the
// empty string once every block has been read.
std::wstring own_ReadData();
// Rewinds the read position of own_ReadData to the first block.
void ResetBuiltInData();
// The default settings file text, without moving the read position.
std::wstring DefaultSettingsText();

// An INI text as a sequence of lines. Groups and keys are found ignoring case;
// lines the parser does not understand are kept as they are, so rewriting the
// file changes nothing but the value that was set.
class IniDocument {
public:
    IniDocument() = default;
    // UTF-8 text, a byte-order mark tolerated; lines may end in CR LF, LF or CR.
    explicit IniDocument(std::string_view utf8);

    bool HasGroup(std::wstring_view group) const;
    // Trimmed value of the first matching key; nothing when group or key is missing.
    std::optional<std::wstring> Value(std::wstring_view group, std::wstring_view key) const;
    // Rewrites the key line as key + " = " + value, or adds it at the end of the
    // group. False when the group is missing or key/value would break the line
    // structure (empty key, "=" in the key, line breaks).
    [[nodiscard]] bool SetValue(std::wstring_view group, std::wstring_view key,
                                std::wstring_view value);
    // UTF-8, every line ending in CR LF; the byte-order mark kept when there was one.
    std::string Serialize() const;

private:
    enum class Kind { Other, Group, Key };
    struct Line {
        std::wstring text;  // as read (or as rewritten)
        Kind kind = Kind::Other;
        std::wstring name;   // group or key name, trimmed
        std::wstring value;  // key value, trimmed
    };
    static Line ParseLine(std::wstring text);
    std::optional<size_t> FindGroup(std::wstring_view group) const;
    size_t GroupEnd(size_t groupLine) const;
    std::optional<size_t> FindKey(size_t groupLine, std::wstring_view key) const;

    std::vector<Line> lines_;
    bool bom_ = false;
};

// Bar position from the raw [Menu] Position and the (loaded) PositionX/Y.
std::wstring DeriveBarPosition(const std::wstring& rawPosition, int positionX, int positionY);
// Info panel size for InfoSize = -1, from already limited values.
int ComputedInfoSize(const Settings& s);
// The graphics folder from [Graphics] Location: empty means the program's
// folder + "Graphics\"; always ends in "\".
std::wstring ResolveGraphicsPath(const std::wstring& location, const std::wstring& programFolder);

// Loads, normalises and limits every setting of `ini` into `out`. Returns the
// empty string on success, otherwise an "%ERR%" text; `out` is changed only
// on success.
std::wstring LoadAllSettings(const IniDocument& ini, const std::wstring& graphicsPath,
                             const std::wstring& foundViewerId, const std::wstring& viewerPath,
                             Settings& out);

// Both group and key given: the value of one key of g_run.SettingsFile ("" when
// the key is missing). Otherwise loads all settings into g_settings.
std::wstring WLX_LoadPreferences(const std::wstring& group, const std::wstring& key);
// Stores one value in g_run.SettingsFile (the file is replaced as a whole, never
// half-written). 0 when the file cannot be read or written or the group is missing.
uint8_t WLX_SavePreference(const std::wstring& group, const std::wstring& key,
                           const std::wstring& value);
