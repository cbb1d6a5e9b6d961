// Every key of the settings file, declared once in one table: its group and
// name, how it is read, what a missing key stands for, its limits, when a
// saved change takes effect, its row in the settings window and whether the
// exit writes it back. Loading, the window, saved changes and the write-back
// all read this table; the built-in default file text lives beside it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace model {

struct Settings;
struct SettingsProblem;

// The built-in text block that starts at `position`, ending in CR LF;
// `position` moves behind it. The empty string once every block was read.
std::wstring BuiltInBlock(size_t& position);
// The default settings file text (the first block).
std::wstring DefaultSettingsText();

enum class SettingsTab { Bar, Viewer, Card, Sources, Folders };
inline constexpr SettingsTab kSettingsTabs[] = {SettingsTab::Bar, SettingsTab::Viewer, SettingsTab::Card,
                                                SettingsTab::Sources, SettingsTab::Folders};

enum class FieldKind {
    Text,       // free text (with suggestions when the file offers some)
    Number,     // a whole number within limits
    YesNo,      // a check box; written as "Yes" or "No"
    Choice,     // one of a fixed list
    Folder,     // a folder (Browse); empty: the default folder
    Program,    // a program file (Browse); "AutoSearch" or empty also do
    CardList,   // the cards' addresses or ranges separated by ";", shown as a list (Add, Remove)
    Extension,  // a file extension: letters and digits
    InboxList,  // inbox folders separated by ";", shown as a list (Add, Remove, Browse)
};

// When a saved change takes effect.
enum class Takes { AtOnce, NextStart };

// What the running program takes over when a change takes effect at once.
enum class Effect {
    Own,     // the key's own value
    Layout,  // every value of the bar's place and sizes (one is worked out from others); laid out again
    Viewer,  // the working mode, derived again with the viewer named
};

// The keys that code outside the table reads on its own, by name.
enum class KeyId { None, Mode, ViewerLocation, GraphicsLocation, CardActive, CardUrl, CardLastConnects,
                   HiResExtension, LoResExtension, PictureFolder, BackupFolder, InboxFolders };

// The program's facts a load needs besides the file.
struct LoadFacts {
    const std::wstring& graphicsPath;
    const std::wstring& foundViewerId;
    const std::wstring& viewerPath;
};

// Where a value lives in Settings: one accessor set, by the value's type;
// none for a key the program reads on its own.
struct SettingSlot {
    std::wstring& (*text)(Settings&) = nullptr;
    int& (*number)(Settings&) = nullptr;
    bool& (*flag)(Settings&) = nullptr;
    bool Empty() const { return !text && !number && !flag; }
};

struct SettingKey;
// Reads a key otherwise than its kind says: `text` is the file's value or
// the fallback. Nothing, or why the settings cannot be used.
using LoadHook = std::optional<SettingsProblem> (*)(const SettingKey& row, const std::wstring& text,
                                                    const LoadFacts& facts, Settings& s);

struct SettingKey {
    const wchar_t* group = L"";
    const wchar_t* key = L"";
    FieldKind kind = FieldKind::Text;
    const wchar_t* fallback = L"";  // what a missing key reads as
    SettingSlot slot{};
    SettingSlot savedAs{};   // the value written back, when it is not `slot` as loaded
    LoadHook load = nullptr;  // none: by kind (a number held to min..max, "yes", a dot before an extension)
    // After its whole group is read: the value worked out from the others.
    void (*settle)(const SettingKey& row, Settings& s) = nullptr;
    int min = 0, max = 0;             // Number: the window refuses, the load holds to them
    std::optional<int> alsoAllowed{};  // Number: one more value outside them (-1, 0, 12)
    Takes takes = Takes::NextStart;
    Effect effect = Effect::Own;
    bool withCard = false;     // read, taken over at once and written back only when the card is used
    int writtenBack = 0;       // its place among the values the exit writes back (what the program holds); 0: none
    bool picture = false;      // a picture of the bar, in the graphics folder
    KeyId id = KeyId::None;
    // Its row in the settings window; no label: not shown there.
    SettingsTab tab = SettingsTab::Bar;
    const wchar_t* label = nullptr;           // with its access key: "&Position"
    std::vector<const wchar_t*> known = {};   // choices offered besides the file's own
    bool remoteAllowed = false;               // Folder: "ftp://..." is taken as written
    const wchar_t* belowProfile = nullptr;    // Folder: made at start; empty stands for this below the profile

    bool InWindow() const { return label != nullptr; }
    bool Is(std::wstring_view group, std::wstring_view key) const;
};

// Every key, in the window's order (keys it does not show among them).
const std::vector<SettingKey>& SettingKeys();
// The row of a key (group and key ignoring case); nothing for an unknown one.
const SettingKey* FindSettingKey(std::wstring_view group, std::wstring_view key);
const SettingKey& SettingKeyOf(KeyId id);

// The key's value as held in `s`, as the file writes it (the one written
// back where that differs).
std::wstring SettingText(const SettingKey& row, const Settings& s);
// Copies the key's values (loaded and written back) from one Settings to another.
void CopySetting(const SettingKey& row, const Settings& from, Settings& to);

}  // namespace model
