// The settings file Wemlox.ini: the INI document, its encodings and the
// one-pass load that normalises every value into Settings, key by key as
// the table of keys (model/setting_keys) says.
#include "model/settings/settings.h"

#include <algorithm>
#include <utility>

#include "base/fs.h"
#include "base/str.h"
#include "model/common/journal.h"
#include "model/settings/folders.h"

namespace model {

// ---------------------------------------------------------------------------
// Encodings

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

}  // namespace

namespace {

// UTF-16 without its mark: a settings text is mostly ASCII, whose every
// character has a zero byte, on the odd places (little-endian) or the even
// ones. A stray zero in UTF-8 text (a file padded after a crash) is no
// such pattern.
std::optional<TextEncoding> Utf16WithoutMark(std::string_view bytes) {
    size_t zeros[2] = {0, 0};
    for (size_t i = 0; i < bytes.size(); i++) zeros[i % 2] += bytes[i] == '\0';
    auto mostly = [&](size_t on, size_t off) { return on * 8 >= bytes.size() && off * 4 <= on && on > 0; };
    if (mostly(zeros[1], zeros[0])) return TextEncoding::Utf16Le;
    if (mostly(zeros[0], zeros[1])) return TextEncoding::Utf16Be;
    return std::nullopt;
}

// 8-bit text holds no zero characters; those a damaged file has are dropped,
// so that the text written back reads as the same kind of text.
std::wstring WithoutZeros(std::wstring text) {
    std::erase(text, L'\0');
    return text;
}

}  // namespace

DecodedText DecodeSettingsText(std::string_view bytes, AnsiDecoder ansi) {
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        bytes.remove_prefix(kUtf8Bom.size());
        // Marked as UTF-8 but not: the bytes were written by hand after the mark.
        if (!str::IsUtf8(bytes)) return {WithoutZeros(ansi(bytes)), TextEncoding::Utf8Bom};
        return {WithoutZeros(str::FromUtf8(bytes)), TextEncoding::Utf8Bom};
    }
    if (bytes.substr(0, kUtf16LeBom.size()) == kUtf16LeBom)
        return {str::FromUtf16(bytes.substr(2), false), TextEncoding::Utf16Le};
    if (bytes.substr(0, kUtf16BeBom.size()) == kUtf16BeBom)
        return {str::FromUtf16(bytes.substr(2), true), TextEncoding::Utf16Be};
    if (std::optional<TextEncoding> utf16 = Utf16WithoutMark(bytes))
        return {str::FromUtf16(bytes, *utf16 == TextEncoding::Utf16Be), *utf16};
    if (str::IsUtf8(bytes)) return {WithoutZeros(str::FromUtf8(bytes)), TextEncoding::Utf8};
    return {WithoutZeros(ansi(bytes)), TextEncoding::Ansi};
}

TextEncoding RewriteEncoding(TextEncoding read) {
    return read == TextEncoding::Ansi ? TextEncoding::Utf8Bom : read;
}

std::string EncodeSettingsText(std::wstring_view text, TextEncoding as) {
    switch (as) {
    case TextEncoding::Utf8Bom: return std::string(kUtf8Bom) + str::ToUtf8(text);
    case TextEncoding::Utf16Le: return std::string(kUtf16LeBom) + str::ToUtf16(text, false);
    case TextEncoding::Utf16Be: return std::string(kUtf16BeBom) + str::ToUtf16(text, true);
    case TextEncoding::Utf8:
    case TextEncoding::Ansi: break;  // ANSI is never written (RewriteEncoding)
    }
    return str::ToUtf8(text);
}

// ---------------------------------------------------------------------------
// IniDocument

IniDocument::IniDocument(std::string_view bytes, AnsiDecoder ansi) {
    DecodedText decoded = DecodeSettingsText(bytes, ansi);
    encoding_ = decoded.encoding;
    const std::wstring& text = decoded.text;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != L'\r' && text[i] != L'\n') continue;
        lines_.push_back(ParseLine(text.substr(start, i - start)));
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') i++;
        start = i + 1;
    }
    if (start < text.size()) lines_.push_back(ParseLine(text.substr(start)));
}

IniDocument::Line IniDocument::ParseLine(std::wstring text) {
    Line line;
    std::wstring t = str::Trim(text);
    line.text = std::move(text);
    if (t.empty() || t[0] == L';') return line;
    if (t[0] == L'[') {
        size_t close = t.find(L']');
        if (close != std::wstring::npos) {
            line.kind = Kind::Group;
            line.name = str::Trim(std::wstring_view(t).substr(1, close - 1));
        }
        return line;
    }
    size_t eq = t.find(L'=');
    if (eq == std::wstring::npos) return line;
    std::wstring name = str::Trim(std::wstring_view(t).substr(0, eq));
    if (name.empty()) return line;  // "= value" names nothing
    line.kind = Kind::Key;
    line.name = std::move(name);
    line.value = str::Trim(std::wstring_view(t).substr(eq + 1));
    return line;
}

std::optional<size_t> IniDocument::FindGroup(std::wstring_view group) const {
    for (size_t i = 0; i < lines_.size(); i++)
        if (lines_[i].kind == Kind::Group && str::EqualsI(lines_[i].name, group)) return i;
    return std::nullopt;
}

size_t IniDocument::GroupEnd(size_t groupLine) const {
    size_t i = groupLine + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::Group) i++;
    return i;
}

std::optional<size_t> IniDocument::FindKey(size_t groupLine, std::wstring_view key) const {
    size_t end = GroupEnd(groupLine);
    for (size_t i = groupLine + 1; i < end; i++)
        if (lines_[i].kind == Kind::Key && str::EqualsI(lines_[i].name, key)) return i;
    return std::nullopt;
}

bool IniDocument::HasGroup(std::wstring_view group) const { return FindGroup(group).has_value(); }

std::optional<std::wstring> IniDocument::Value(std::wstring_view group,
                                               std::wstring_view key) const {
    auto g = FindGroup(group);
    if (!g) return std::nullopt;
    auto k = FindKey(*g, key);
    if (!k) return std::nullopt;
    return lines_[*k].value;
}

// A line break, or a zero character, which the file does not read back.
static bool HasLineBreak(std::wstring_view s) {
    return s.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring_view::npos;
}

bool IniDocument::SetValue(std::wstring_view group, std::wstring_view key,
                           std::wstring_view value) {
    std::wstring name = str::Trim(key);
    // A key that would not read back as the same key would corrupt the file.
    if (name.empty() || name[0] == L';' || name[0] == L'[' ||
        name.find(L'=') != std::wstring::npos || HasLineBreak(name) || HasLineBreak(value))
        return false;
    auto g = FindGroup(group);
    if (!g) return false;
    if (auto k = FindKey(*g, name)) {
        Line& line = lines_[*k];
        line = ParseLine(line.name + L" = " + std::wstring(value));
        return true;
    }
    // A new key goes right after the group's last non-blank line, so blank
    // lines that separate it from the next group stay where they were.
    size_t insertAt = *g + 1;
    const size_t end = GroupEnd(*g);
    for (size_t i = *g + 1; i < end; i++)
        if (!str::Trim(lines_[i].text).empty()) insertAt = i + 1;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  ParseLine(name + L" = " + std::wstring(value)));
    return true;
}

bool IniDocument::SetValues(const std::vector<SettingChange>& changes, bool addGroups) {
    IniDocument changed = *this;
    for (const SettingChange& c : changes) {
        if (addGroups && !changed.HasGroup(c.group)) {
            std::wstring group = str::Trim(c.group);
            if (group.empty() || group.find_first_of(L"[]\r\n") != std::wstring::npos) return false;
            changed.lines_.push_back(ParseLine(L"[" + group + L"]"));
        }
        if (!changed.SetValue(c.group, c.key, c.value)) return false;
    }
    *this = std::move(changed);
    return true;
}

std::vector<std::wstring> IniDocument::CommentedValues(std::wstring_view group, std::wstring_view key) const {
    std::vector<std::wstring> values;
    auto g = FindGroup(group);
    if (!g) return values;
    for (size_t i = *g + 1; i < GroupEnd(*g); i++) {
        std::wstring t = str::Trim(lines_[i].text);
        if (lines_[i].kind != Kind::Other || !str::StartsWith(t, L";")) continue;
        size_t eq = t.find(L'=');
        if (eq == std::wstring::npos || !str::EqualsI(str::Trim(std::wstring_view(t).substr(1, eq - 1)), key))
            continue;
        std::wstring value = str::Trim(std::wstring_view(t).substr(eq + 1));
        if (value.empty()) continue;
        bool known = false;
        for (const std::wstring& v : values) known = known || str::EqualsI(v, value);
        if (!known) values.push_back(std::move(value));
    }
    return values;
}

std::string IniDocument::Serialize() const {
    std::wstring text;
    for (const Line& line : lines_) {
        text += line.text;
        text += L"\r\n";
    }
    return EncodeSettingsText(text, RewriteEncoding(encoding_));
}

// ---------------------------------------------------------------------------
// Normalisation

std::wstring DeriveBarPosition(const std::wstring& rawPosition, int positionX, int positionY) {
    std::wstring position = rawPosition;
    for (const wchar_t* edge : {L"left", L"right", L"top", L"bottom"}) {
        if (str::ContainsI(rawPosition, edge)) {
            position = edge;
            break;
        }
    }
    // The user-placed forms count only with a usable stored position.
    if (positionX >= 0 && positionY >= 0) {
        for (const wchar_t* user :
             {L"verticalleft", L"verticalright", L"horizontaltop", L"horizontalbottom"})
            if (str::ContainsI(rawPosition, user)) position = user;
    }
    return position;
}

int ComputedInfoSize(const Settings& s) {
    if (str::ContainsI(s.Position, L"left") || str::ContainsI(s.Position, L"right"))
        return s.ThumbCols * s.ThumbSize + s.ButtonSpace * (s.ThumbCols + 2) + s.InfoTouchSpace +
               21;
    return (s.ThumbSize + s.ThumbSelSize + s.ButtonSpace + 1) * 3 + 20;
}

std::wstring WithLeadingDot(std::wstring_view extension) {
    if (extension.empty() || str::StartsWith(extension, L".")) return std::wstring(extension);
    return L"." + std::wstring(extension);
}

std::wstring ResolveGraphicsPath(const std::wstring& location, const std::wstring& programFolder) {
    std::wstring path = str::Trim(location);
    if (path.empty()) path = programFolder + L"Graphics\\";
    if (!str::EndsWith(path, L"\\")) path += L"\\";
    return path;
}

namespace {

// The groups in the order they are read; all but the last must be there.
struct LoadedGroup {
    const wchar_t* name;
    bool required;
};
constexpr LoadedGroup kLoadedGroups[] = {
    {L"Main", true}, {L"Menu", true}, {L"Graphics", true}, {L"Copy", true}, {L"Inbox", false}, {L"TFA", true}, {L"System", false},
};

// One key by its kind, unless its row reads it otherwise.
std::optional<SettingsProblem> LoadKey(const SettingKey& row, const IniDocument& ini, const LoadFacts& facts,
                                       Settings& s) {
    const std::wstring text = ini.Value(row.group, row.key).value_or(row.fallback);
    if (row.load) return row.load(row, text, facts, s);
    if (row.slot.flag) row.slot.flag(s) = str::EqualsI(text, L"yes");
    if (row.slot.number) row.slot.number(s) = std::clamp(str::LeadingInt32(text), row.min, row.max);
    if (row.slot.text) row.slot.text(s) = row.kind == FieldKind::Extension ? WithLeadingDot(text) : text;
    if (row.savedAs.text) row.savedAs.text(s) = row.slot.text(s);
    return std::nullopt;
}

// The keys of one group in the table's order; without the card its keys
// keep their start values. Then what is worked out from them.
std::optional<SettingsProblem> LoadGroup(std::wstring_view group, const IniDocument& ini, const LoadFacts& facts,
                                         Settings& s) {
    for (bool cardKeys : {false, true}) {
        // An inbox takes its pictures by the card's rules, card or not.
        if (cardKeys && !s.Active && s.InboxFolders.empty()) break;
        for (const SettingKey& row : SettingKeys())
            if (row.withCard == cardKeys && str::EqualsI(row.group, group))
                if (auto problem = LoadKey(row, ini, facts, s)) return problem;
    }
    for (const SettingKey& row : SettingKeys())
        if (row.settle && str::EqualsI(row.group, group) && (!row.withCard || s.Active || !s.InboxFolders.empty()))
            row.settle(row, s);
    return std::nullopt;
}

}  // namespace

std::optional<SettingsProblem> LoadSettings(const IniDocument& ini, const std::wstring& graphicsPath,
                                            const std::wstring& foundViewerId, const std::wstring& viewerPath,
                                            Settings& out) {
    const LoadFacts facts{graphicsPath, foundViewerId, viewerPath};
    Settings s = out;
    for (const LoadedGroup& group : kLoadedGroups) {
        if (!ini.HasGroup(group.name)) {
            if (!group.required) continue;
            return SettingsProblem{SettingsProblemKind::GroupMissing, group.name, {}, {}, {}};
        }
        if (auto problem = LoadGroup(group.name, ini, facts, s)) return problem;
    }
    out = std::move(s);
    return std::nullopt;
}

namespace {

// A paragraph of the message box: a blank line before it; none when empty.
std::wstring Paragraph(const std::wstring& text) { return text.empty() ? text : L"\n\n" + text; }

}  // namespace

std::wstring ProblemMessage(const SettingsProblem& p, const std::wstring& settingsFile) {
    const std::wstring renamed =
        L"If you rename the file, Wemlox writes a new one with its defaults at the next start.";
    switch (p.kind) {
    case SettingsProblemKind::CannotOpen:
        return L"Wemlox cannot read its settings file:" + Paragraph(settingsFile) + Paragraph(p.reason) +
               Paragraph(L"Make sure that the file is there and that you may read it. " + renamed);
    case SettingsProblemKind::CannotWrite:
        return L"Wemlox cannot write its settings file:" + Paragraph(settingsFile) + Paragraph(p.reason) +
               Paragraph(L"Make sure that you may write to that folder and that the disk is not full.");
    case SettingsProblemKind::GroupMissing:
        return L"The group [" + p.group + L"] is missing from the settings file:" + Paragraph(settingsFile) +
               Paragraph(L"Add the line [" + p.group + L"] with its settings. " + renamed);
    case SettingsProblemKind::PictureMissing:
        return L"A picture of the bar is missing: [Graphics] " + p.key + L" names" + Paragraph(p.path) +
               Paragraph(L"which does not exist or is empty. Put the picture there, or change " + p.key +
                         L" (or the folder in Location) in the group [Graphics] of the settings file:") +
               Paragraph(settingsFile);
    case SettingsProblemKind::FolderCannotBeMade:
        if (p.key.empty())
            return L"Wemlox cannot create its settings folder:" + Paragraph(p.path) + Paragraph(p.reason) +
                   Paragraph(L"Make sure that your application data folder (%APPDATA%) exists and that you may "
                             L"write to it.");
        return L"Wemlox cannot create the folder" + Paragraph(p.path) +
               Paragraph(L"for [" + p.group + L"] " + p.key + L". " + p.reason) +
               Paragraph(L"Change " + p.key + L" in the group [" + p.group +
                         L"] of the settings file to a folder you may create, or leave it empty for a folder "
                         L"below your profile:") +
               Paragraph(settingsFile);
    }
    return {};
}

// ---------------------------------------------------------------------------
// The settings file

std::optional<std::wstring> ReadPreference(const std::wstring& settingsFile, const std::wstring& group,
                                           const std::wstring& key) {
    auto bytes = fs::ReadFile(settingsFile);
    if (!bytes) return std::nullopt;
    IniDocument ini(*bytes);
    if (!ini.HasGroup(group)) return std::nullopt;
    return ini.Value(group, key).value_or(L"");
}

std::optional<std::wstring> ReadPreference(const std::wstring& settingsFile, KeyId key) {
    auto bytes = fs::ReadFile(settingsFile);
    if (!bytes) return std::nullopt;
    IniDocument ini(*bytes);
    const SettingKey& row = SettingKeyOf(key);
    if (!ini.HasGroup(row.group)) return std::nullopt;
    return ini.Value(row.group, row.key).value_or(row.fallback);
}

std::optional<SettingsProblem> LoadSettingsFile(const std::wstring& settingsFile, const std::wstring& graphicsPath,
                                                const std::wstring& foundViewerId, const std::wstring& viewerPath,
                                                Settings& out) {
    auto bytes = fs::ReadFile(settingsFile);
    if (!bytes) return SettingsProblem{SettingsProblemKind::CannotOpen, {}, {}, settingsFile, fs::LastErrorText()};
    return LoadSettings(IniDocument(*bytes), graphicsPath, foundViewerId, viewerPath, out);
}

std::optional<SettingsProblem> CheckSettingsFile(const std::wstring& settingsFile) {
    auto bytes = fs::ReadFile(settingsFile);
    if (!bytes) return SettingsProblem{SettingsProblemKind::CannotOpen, {}, {}, settingsFile, fs::LastErrorText()};
    IniDocument ini(*bytes);
    for (const wchar_t* group : kRequiredGroups)
        if (!ini.HasGroup(group)) return SettingsProblem{SettingsProblemKind::GroupMissing, group, {}, {}, {}};
    return std::nullopt;
}

std::optional<SettingsProblem> PrepareSettingsFile(const std::wstring& settingsFolder,
                                                   const std::wstring& settingsFile) {
    if (!EnsureFolder(settingsFolder))
        return SettingsProblem{SettingsProblemKind::FolderCannotBeMade, {}, {}, settingsFolder, fs::LastErrorText()};
    // A file that holds nothing but a byte-order mark and blanks is as good
    // as empty. One that cannot be read is no empty file: it is never
    // replaced (CheckSettingsFile names it).
    bool blank = !fs::IsNonEmptyFile(settingsFile);
    if (!blank) {
        std::optional<std::string> bytes = fs::ReadFile(settingsFile);
        blank = bytes && str::Trim(DecodeSettingsText(*bytes).text).empty();
        // Written anew below, where a cut write leaves no file that looks like settings.
        if (blank) (void)fs::DeleteFileAt(settingsFile);
    }
    if (blank && !own_SaveTextFile(settingsFile, DefaultSettingsText(), false))
        return SettingsProblem{SettingsProblemKind::CannotWrite, {}, {}, settingsFile, fs::LastErrorText()};
    return CheckSettingsFile(settingsFile);
}

SaveResult SavePreferences(const std::wstring& settingsFile, const std::vector<SettingChange>& changes) {
    auto bytes = fs::ReadFile(settingsFile);
    if (!bytes) return SaveResult::CannotRead;
    IniDocument ini(*bytes);
    if (!ini.SetValues(changes, true)) return SaveResult::Refused;
    return fs::WriteFileReplacing(settingsFile, ini.Serialize()) ? SaveResult::Saved : SaveResult::CannotWrite;
}

std::wstring SaveProblemText(SaveResult result, const std::wstring& settingsFile, const std::wstring& reason) {
    switch (result) {
    case SaveResult::Saved: break;
    case SaveResult::CannotRead: return L"The settings file cannot be read: " + settingsFile;
    case SaveResult::Refused: return L"A value cannot be written to the settings file as it is";
    case SaveResult::CannotWrite: return L"The settings file cannot be written (" + reason + L"): " + settingsFile;
    }
    return L"";
}

namespace {

std::wstring WriteBackNote(const std::wstring& settingsFolder) { return settingsFolder + L"WriteBackFailed.txt"; }

}  // namespace

bool LeaveWriteBackNote(const std::wstring& settingsFolder, const std::wstring& line) {
    return fs::WriteFile(WriteBackNote(settingsFolder), str::ToUtf8(line));
}

std::optional<std::wstring> TakeWriteBackNote(const std::wstring& settingsFolder) {
    const std::wstring note = WriteBackNote(settingsFolder);
    std::optional<std::string> line = fs::ReadFile(note, 64 * 1024);  // one line of ours
    if (!line) return std::nullopt;
    (void)fs::DeleteFileAt(note);
    return L"When Wemlox last ended: " + str::FromUtf8(*line);
}

}  // namespace model
