// The settings file Wemlox.ini: the built-in default text, an INI document that
// keeps every line in order, and loading/normalising all settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/fs.h"
#include "model/settings/setting_keys.h"

namespace model {


// Image files named in [Graphics], as full paths (graphics folder + file name).
struct GraphicsSettings {
    std::wstring Button[12];  // Button_1 .. Button_11 (index 0 unused)
    std::wstring Busy;        // Button_21, the busy face
    std::wstring Tree[5];     // Tree_1 .. Tree_4 (index 0 unused)
    std::wstring Thumb;
    std::wstring NotLoadedUnchecked, NotLoadedChecked, LoadedUnchecked, LoadedChecked;
    int DelayChg = 0;  // ms the busy face stays after an action
};

// Every setting of Wemlox.ini after loading and normalising (which key fills
// which field: model/setting_keys). Values a group does not set keep these
// start values (empty, 0, off).
struct Settings {
    // [Main]
    std::wstring Mode;  // working mode derived from [Main] Mode and the viewer
    // [Menu]
    std::wstring Position;  // "left", "right", "top", "bottom", "verticalleft", ...
    int PositionX = 0, PositionY = 0;
    bool Titled = false;
    int ButtonSize = 0, ThumbSelSize = 0, ThumbSize = 0, ThumbCols = 0;
    int ButtonSpace = 0, BorderSpace = 0, InfoSize = 0, InfoTouchSpace = 0;
    bool ShowInfoText = false, ShowInfoTree = false, ShowInfoThumbs = false, Center = false;
    // [Graphics]
    GraphicsSettings Graphics;
    // [Copy]
    std::wstring SourcePath, TargetPath, StoragePath, ThumbnailPath, TmpPath;
    std::wstring BackupPath;  // the second copy of every stored picture; empty: none
    // [Inbox]
    std::wstring InboxFolders;  // folders separated by ";"; empty: none
    // [TFA]
    bool Active = false;
    std::wstring TransferHiRes, TransferLoRes;  // with a leading "."
    // The same as written back at exit: as loaded, with the "."; taken over
    // from a file name in the card tree, as the name spells it ("JPG").
    std::wstring TransferHiResToSave, TransferLoResToSave;
    std::wstring Url, UrlLastConnect, OccurenceName;
    int PingTimeoutMs = 0;
    bool TransferOnlyAddedFiles = false;
    std::wstring DoNotLoad, Path;
    std::wstring TransferModeAuto, TransferModeMan;  // "lores", "hires", "both"
    bool ExtendedDirectory = false, UseUpdateFlag = false;
    bool FollowNewFolders = false;  // move on to the camera's next folder
    bool LoResFirst = false;  // "Both": every new JPEG before any raw file
    int QuickPollMs = 0;      // op=102 between ticks this often; 0 = off, else >= kQuickPollMinMs (missing: 300)
    int CheckNewFilesSec = 0;
    // [System]
    int Delay = 0;
    bool SaveChangesOnExit = false, HideTaskBar = false;
};

// The shortest interval of the quick poll: a card answers two requests at once.
constexpr int kQuickPollMinMs = 200;
// The quick poll of a file that does not name it: a new picture is seen
// within a third of a second, not at the next tick.
constexpr int kQuickPollDefaultMs = 300;

constexpr const wchar_t* kProgramName = L"Wemlox";
constexpr const wchar_t* kProgramLongName = L"Wemlox Glimmerdeck";
constexpr const wchar_t* kProgramVersion = L"2017.11.14.4268";

// How a settings file's bytes are text. Read: a byte-order mark names UTF-8
// or UTF-16; without one, valid UTF-8 is UTF-8 and anything else is in the
// system's ANSI code page (Notepad's "ANSI" on that system).
enum class TextEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Ansi };
// Turns bytes of the system's ANSI code page into text (fs::FromAnsiCodePage;
// tests hand in their own).
using AnsiDecoder = std::wstring (*)(std::string_view);

struct DecodedText {
    std::wstring text;
    TextEncoding encoding = TextEncoding::Utf8;
};
DecodedText DecodeSettingsText(std::string_view bytes, AnsiDecoder ansi = fs::FromAnsiCodePage);
// How a file read in `read` is written back: as it was, except that ANSI
// text becomes UTF-8 with a byte-order mark, so that it reads the same on a
// system with another code page and every character the program writes fits.
TextEncoding RewriteEncoding(TextEncoding read);
// The text in that encoding, its byte-order mark included.
std::string EncodeSettingsText(std::wstring_view text, TextEncoding as);

// One key to write: group, key, the new value.
struct SettingChange {
    std::wstring group, key, value;
    friend bool operator==(const SettingChange&, const SettingChange&) = default;
};

// An INI text as a sequence of lines. Groups and keys are found ignoring case;
// lines the parser does not understand are kept as they are, so rewriting the
// file changes nothing but the value that was set.
class IniDocument {
public:
    IniDocument() = default;
    // The bytes of a settings file (see DecodeSettingsText); lines may end in
    // CR LF, LF or CR.
    explicit IniDocument(std::string_view bytes, AnsiDecoder ansi = fs::FromAnsiCodePage);

    bool HasGroup(std::wstring_view group) const;
    // Trimmed value of the first matching key; nothing when group or key is missing.
    std::optional<std::wstring> Value(std::wstring_view group, std::wstring_view key) const;
    // The values of the comment lines "; key = value" of the group, in their
    // order: the choices the file itself offers for the key.
    std::vector<std::wstring> CommentedValues(std::wstring_view group, std::wstring_view key) const;
    // Rewrites the key line as key + " = " + value, or adds it at the end of the
    // group. False when the group is missing or key/value would break the line
    // structure (empty key, "=" in the key, line breaks).
    [[nodiscard]] bool SetValue(std::wstring_view group, std::wstring_view key,
                                std::wstring_view value);
    // Several keys at once; a missing group is added at the end of the text
    // when `addGroups`. All or nothing: false (and the text unchanged) when
    // one of them cannot be set.
    [[nodiscard]] bool SetValues(const std::vector<SettingChange>& changes, bool addGroups);
    // Every line ending in CR LF, in RewriteEncoding(ReadAs()).
    std::string Serialize() const;
    TextEncoding ReadAs() const { return encoding_; }

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
    TextEncoding encoding_ = TextEncoding::Utf8;
};

// Bar position from the raw [Menu] Position and the (loaded) PositionX/Y.
std::wstring DeriveBarPosition(const std::wstring& rawPosition, int positionX, int positionY);
// Info panel size for InfoSize = -1, from already limited values.
int ComputedInfoSize(const Settings& s);
// The extension with a "." in front unless it has one. An empty one stays
// empty: that kind of file is not transferred (a lone "." would make every
// name with a dot that kind).
std::wstring WithLeadingDot(std::wstring_view extension);

// The graphics folder from [Graphics] Location: empty means the program's
// folder + "Graphics\"; always ends in "\".
std::wstring ResolveGraphicsPath(const std::wstring& location, const std::wstring& programFolder);

// Why the settings cannot be used, and what it concerns: the start-up ends
// with a message that names it (ProblemMessage).
enum class SettingsProblemKind {
    CannotOpen,          // the settings file cannot be read
    CannotWrite,         // the default settings file cannot be written
    GroupMissing,        // a group the program needs is not in the file
    PictureMissing,      // a picture [Graphics] names is missing or empty
    FolderCannotBeMade,  // a folder of [Copy], its default, or the settings folder
};
struct SettingsProblem {
    SettingsProblemKind kind = SettingsProblemKind::CannotOpen;
    std::wstring group, key;  // the picture's or folder's key and its group; a missing group alone
    std::wstring path;        // the picture or folder concerned
    std::wstring reason;      // the system's words, when it gave any
    friend bool operator==(const SettingsProblem&, const SettingsProblem&) = default;
};
// The message box text: the file, group, key, picture or folder, and what to
// do about it.
std::wstring ProblemMessage(const SettingsProblem& problem, const std::wstring& settingsFile);

// The groups every settings file must have, in the order they are checked.
inline constexpr const wchar_t* kRequiredGroups[] = {L"Main", L"Menu", L"Viewer", L"Graphics", L"Copy", L"TFA"};
// Whether the settings file can be read and has every group the program
// needs; the first problem otherwise.
std::optional<SettingsProblem> CheckSettingsFile(const std::wstring& settingsFile);
// The start of every run: the settings folder made (with its missing
// parents), the default settings written when the file is missing or empty,
// and then CheckSettingsFile. The first problem, named for the message box.
std::optional<SettingsProblem> PrepareSettingsFile(const std::wstring& settingsFolder,
                                                   const std::wstring& settingsFile);

// Loads, normalises and limits every setting of `ini` into `out`, key by key
// as the table of keys says; the first problem otherwise, and then `out` is
// unchanged.
std::optional<SettingsProblem> LoadSettings(const IniDocument& ini, const std::wstring& graphicsPath,
                                            const std::wstring& foundViewerId, const std::wstring& viewerPath,
                                            Settings& out);

// The value of one key of the settings file ("" when the key is missing);
// nothing when the file cannot be read or has no such group.
std::optional<std::wstring> ReadPreference(const std::wstring& settingsFile, const std::wstring& group,
                                           const std::wstring& key);
// One key the program reads on its own; a missing key reads as its fallback.
std::optional<std::wstring> ReadPreference(const std::wstring& settingsFile, KeyId key);
// Loads every setting of the settings file into `out` (see LoadSettings;
// the file given as the problem's path when it cannot be read).
std::optional<SettingsProblem> LoadSettingsFile(const std::wstring& settingsFile, const std::wstring& graphicsPath,
                                                const std::wstring& foundViewerId, const std::wstring& viewerPath,
                                                Settings& out);
enum class SaveResult { Saved, CannotRead, Refused, CannotWrite };
// Stores several values in one write (a temporary file, then a rename), every
// other line, comment and their order kept; a group the file lacks is added
// at its end. Nothing is written unless every value can be.
[[nodiscard]] SaveResult SavePreferences(const std::wstring& settingsFile, const std::vector<SettingChange>& changes);
// Why a save failed, in a sentence that names the file; `reason` is the
// system's words (fs::LastErrorText right after the save). "" when saved.
std::wstring SaveProblemText(SaveResult result, const std::wstring& settingsFile, const std::wstring& reason);

// A write-back at exit that fails is said in the journal of that run, which
// closes with it, and again at the next start: it leaves a note in the
// settings folder that the next start takes. False when the note cannot be
// written either.
[[nodiscard]] bool LeaveWriteBackNote(const std::wstring& settingsFolder, const std::wstring& line);
// The journal line of the note a failed write-back left, which is removed;
// nothing when there is none.
std::optional<std::wstring> TakeWriteBackNote(const std::wstring& settingsFolder);

}  // namespace model
