// The settings window's fields, the checks of their values and what saved
// changes do to the running program.
#include "model/settings_form.h"

#include <algorithm>
#include <iterator>

#include "base/str.h"
#include "model/catalogue.h"
#include "model/folders.h"

namespace model {

namespace {

// One row of the window. The table below is the one place that says which
// key is shown where and when a change to it takes effect:
//   at once     the bar's place and sizes, what the info panel shows, the
//               busy face's time, the viewer and the working mode, the card's
//               address and camera folder, the transfer choices, writing back
//               at exit;
//   next start  what is set up once at start-up: the caption, the taskbar,
//               whether the card is used and how often it is asked, which
//               pictures count as taken before the start, and the folders
//               (they are created at start-up, and the card's work uses them).
struct KeyRow {
    SettingsTab tab;
    const wchar_t* group;
    const wchar_t* key;
    const wchar_t* label;
    FieldKind kind;
    const wchar_t* fallback;
    Takes takes;
    int min = 0, max = 0;
    std::optional<int> alsoAllowed = std::nullopt;
    std::vector<const wchar_t*> known = {};  // choices offered besides the file's own
    bool remoteAllowed = false;
};

using K = FieldKind;
using T = SettingsTab;
constexpr Takes kAtOnce = Takes::AtOnce, kNextStart = Takes::NextStart;

const std::vector<KeyRow>& KeyRows() {
    static const std::vector<KeyRow> rows = {
        // Bar
        {T::Bar, L"Menu", L"Position", L"&Position", K::Choice, L"Right", kAtOnce, 0, 0, std::nullopt,
         {L"Right", L"Left", L"Top", L"Bottom", L"UserVerticalRight", L"UserVerticalLeft", L"UserHorizontalTop",
          L"UserHorizontalBottom"}},
        {T::Bar, L"Menu", L"PositionX", L"User position &X", K::Number, L"-1", kAtOnce, -1, 30000},
        {T::Bar, L"Menu", L"PositionY", L"User position &Y", K::Number, L"-1", kAtOnce, -1, 30000},
        {T::Bar, L"Menu", L"ButtonSize", L"Button si&ze", K::Number, L"80", kAtOnce, 24, 80},
        {T::Bar, L"Menu", L"ButtonSpace", L"Space between &buttons", K::Number, L"2", kAtOnce, 0, 20},
        {T::Bar, L"Menu", L"BorderSpace", L"Space to the scr&een edge", K::Number, L"10", kAtOnce, 0, 200},
        {T::Bar, L"Menu", L"InfoSize", L"&Info panel (-1: to fit)", K::Number, L"280", kAtOnce, 60, 2400, -1},
        {T::Bar, L"Menu", L"InfoTouchSpace", L"Extra &touch space", K::Number, L"0", kAtOnce, 0, 200},
        {T::Bar, L"Menu", L"ThumbCols", L"Thumbnail c&olumns", K::Number, L"12", kAtOnce, 1, 8, 12},
        {T::Bar, L"Graphics", L"DelayChg", L"Busy face after a &click (ms)", K::Number, L"300", kAtOnce, 10, 1000},
        {T::Bar, L"Menu", L"Center", L"Centre alon&g the edge", K::YesNo, L"Yes", kAtOnce},
        {T::Bar, L"Menu", L"ShowInfoText", L"Show the &journal", K::YesNo, L"Yes", kAtOnce},
        {T::Bar, L"Menu", L"ShowInfoTree", L"Show the card t&ree", K::YesNo, L"Yes", kAtOnce},
        {T::Bar, L"Menu", L"ShowInfoThumbs", L"Show the thumb&nails", K::YesNo, L"Yes", kAtOnce},
        {T::Bar, L"Menu", L"Titled", L"Title b&ar", K::YesNo, L"No", kNextStart},
        {T::Bar, L"System", L"HideTaskBar", L"&Hide the Windows taskbar", K::YesNo, L"No", kNextStart},
        {T::Bar, L"System", L"SaveChangesOnExit", L"Re&member the place at exit", K::YesNo, L"Yes", kAtOnce},
        // Viewer
        {T::Viewer, L"Main", L"Mode", L"Working &mode", K::Choice, L"SystemOnly", kAtOnce, 0, 0, std::nullopt,
         {L"ViewerDefined", L"TransferOnly", L"SystemOnly"}},
        {T::Viewer, L"Viewer", L"Location", L"&Viewer program", K::Program, L"", kAtOnce, 0, 0, std::nullopt,
         {L"AutoSearch"}},
        {T::Viewer, L"System", L"Delay", L"&Wait for the viewer (ms)", K::Number, L"50", kAtOnce, 8, 8000},
        // Card
        {T::Card, L"TFA", L"Url", L"Card &address", K::Address, L"", kAtOnce},
        {T::Card, L"TFA", L"Path", L"&Camera folder", K::Text, L"", kAtOnce},
        {T::Card, L"TFA", L"OccurenceName", L"Card &name", K::Text, L"FlashAir", kAtOnce},
        {T::Card, L"TFA", L"DoNotLoad", L"Ne&ver load", K::Text, L"", kAtOnce},
        {T::Card, L"TFA", L"TransferModeAuto", L"Au&tomatic transfer", K::Choice, L"LoRes", kAtOnce, 0, 0,
         std::nullopt, {L"LoRes", L"HiRes", L"Both"}},
        {T::Card, L"TFA", L"TransferModeMan", L"Card &button transfer", K::Choice, L"HiRes", kAtOnce, 0, 0,
         std::nullopt, {L"LoRes", L"HiRes", L"Both"}},
        {T::Card, L"TFA", L"TransferLoRes", L"&LoRes extension", K::Extension, L"jpg", kAtOnce, 0, 0, std::nullopt,
         {L"jpg"}},
        {T::Card, L"TFA", L"TransferHiRes", L"&HiRes extension", K::Extension, L"cr2", kAtOnce, 0, 0, std::nullopt,
         {L"cr2", L"cr3", L"nef", L"arw", L"orf", L"rw2", L"raf", L"dng"}},
        {T::Card, L"TFA", L"PingTimeoutMs", L"&Ping wait (ms)", K::Number, L"100", kAtOnce, 10, 1000},
        {T::Card, L"TFA", L"CheckNewFilesSec", L"Check &every (s)", K::Number, L"4", kNextStart, 1, 60},
        {T::Card, L"TFA", L"QuickPollMs", L"&Quick check (ms, 0: off)", K::Number, L"300", kNextStart,
         kQuickPollMinMs, 60000, 0},
        {T::Card, L"TFA", L"Active", L"&Use the FlashAir card", K::YesNo, L"No", kNextStart},
        {T::Card, L"TFA", L"TransferOnlyAddedFiles", L"&Only pictures taken after the start", K::YesNo, L"Yes",
         kNextStart},
        {T::Card, L"TFA", L"UseUpdateFlag", L"List when the card &reports a change", K::YesNo, L"No", kAtOnce},
        {T::Card, L"TFA", L"FollowNewFolders", L"&Follow the camera's new folders", K::YesNo, L"Yes", kAtOnce},
        {T::Card, L"TFA", L"LoResFirst", L"&JPEGs before raw files", K::YesNo, L"No", kAtOnce},
        // Folders
        {T::Folders, L"Copy", L"SourcePath", L"&Pictures (HiRes, LoRes)", K::Folder, L"", kNextStart},
        {T::Folders, L"Copy", L"TargetPath", L"&Target of the card tree", K::Folder, L"", kNextStart, 0, 0,
         std::nullopt, {}, true},
        {T::Folders, L"Copy", L"StoragePath", L"&Storage", K::Folder, L"", kNextStart, 0, 0, std::nullopt, {}, true},
        {T::Folders, L"Copy", L"ThumbnailPath", L"T&humbnails", K::Folder, L"", kNextStart, 0, 0, std::nullopt, {},
         true},
        {T::Folders, L"Copy", L"TmpPath", L"Temporary &downloads", K::Folder, L"", kNextStart},
        {T::Folders, L"Copy", L"BackupPath", L"Bac&kup (another drive)", K::Folder, L"", kNextStart},
        {T::Folders, L"Graphics", L"Location", L"&Button pictures", K::Folder, L"", kNextStart},
    };
    return rows;
}

const KeyRow* KeyRowOf(std::wstring_view group, std::wstring_view key) {
    for (const KeyRow& s : KeyRows())
        if (str::EqualsI(s.group, group) && str::EqualsI(s.key, key)) return &s;
    return nullptr;
}

bool IsYes(std::wstring_view value) { return str::EqualsI(str::Trim(value), L"yes"); }

void AddChoice(std::vector<std::wstring>& choices, std::wstring value) {
    value = str::Trim(value);
    if (value.empty()) return;
    for (const std::wstring& c : choices)
        if (str::EqualsI(c, value)) return;
    choices.push_back(std::move(value));
}

// The picture files [Graphics] names: they must be in its Location.
std::vector<std::wstring> PictureNames(const IniDocument& ini) {
    std::vector<std::wstring> names;
    std::vector<std::wstring> keys;
    for (int n = 1; n <= 11; n++) keys.push_back(L"Button_" + str::FromInt(n));
    keys.push_back(L"Button_21");
    for (int n = 1; n <= 4; n++) keys.push_back(L"Tree_" + str::FromInt(n));
    for (const wchar_t* k : {L"Thumb", L"NotLoadedUnchecked", L"NotLoadedChecked", L"LoadedUnchecked", L"LoadedChecked"})
        keys.push_back(k);
    for (const std::wstring& k : keys)
        if (auto v = ini.Value(L"Graphics", k); v && !v->empty()) AddChoice(names, *v);
    return names;
}

}  // namespace

const wchar_t* TabTitle(SettingsTab tab) {
    switch (tab) {
    case SettingsTab::Bar: return L"Bar";
    case SettingsTab::Viewer: return L"Viewer";
    case SettingsTab::Card: return L"Card";
    case SettingsTab::Folders: return L"Folders";
    }
    return L"";
}

std::wstring FormField::Shown() const {
    std::wstring value = current.value_or(fallback);
    if (kind == FieldKind::YesNo) return IsYes(value) ? L"Yes" : L"No";
    return value;
}

bool FormField::Wide() const {
    return kind == FieldKind::Folder || kind == FieldKind::Program || kind == FieldKind::Address ||
           (kind == FieldKind::Text && !choices.empty());
}

std::vector<FormField> BuildSettingsForm(const IniDocument& ini, const std::vector<SettingChange>& held) {
    std::vector<FormField> fields;
    for (const KeyRow& s : KeyRows()) {
        FormField f;
        f.tab = s.tab;
        f.group = s.group;
        f.key = s.key;
        f.label = s.label;
        f.kind = s.kind;
        f.min = s.min;
        f.max = s.max;
        f.alsoAllowed = s.alsoAllowed;
        f.remoteAllowed = s.remoteAllowed;
        f.fallback = s.fallback;
        f.takes = s.takes;
        f.current = ini.Value(s.group, s.key);
        for (const SettingChange& h : held)
            if (str::EqualsI(h.group, s.group) && str::EqualsI(h.key, s.key)) f.current = h.value;
        // The file's own suggestions ("; Position = Left") first, then the known values.
        if (f.kind != FieldKind::YesNo && f.kind != FieldKind::Number && f.kind != FieldKind::Folder) {
            for (std::wstring& v : ini.CommentedValues(s.group, s.key)) AddChoice(f.choices, std::move(v));
            for (const wchar_t* v : s.known) AddChoice(f.choices, v);
            // A list never hides the value the file has.
            if (f.kind == FieldKind::Choice) AddChoice(f.choices, f.Shown());
        }
        if (f.group == L"Graphics" && f.key == L"Location") {
            f.mustHold = PictureNames(ini);
            f.hint = ResolveGraphicsPath(L"", own_GetProgramFolder());
        } else if (f.kind == FieldKind::Folder) {
            f.hint = DefaultFolder(f.key);
        }
        fields.push_back(std::move(f));
    }
    return fields;
}

std::vector<SettingChange> WriteBackChanges(const Settings& s) {
    return {
        {L"TFA", L"UrlLastConnect", s.UrlLastConnect},
        {L"TFA", L"DoNotLoad", s.DoNotLoad},
        {L"TFA", L"Path", s.Path},
        {L"TFA", L"OccurenceName", s.OccurenceName},
        {L"TFA", L"TransferHiRes", s.TransferHiResToSave},
        {L"TFA", L"TransferLoRes", s.TransferLoResToSave},
        {L"Menu", L"PositionX", str::FromInt(s.PositionX)},
        {L"Menu", L"PositionY", str::FromInt(s.PositionY)},
    };
}

std::vector<SettingChange> HeldValues(const Settings& s) {
    std::vector<SettingChange> held = WriteBackChanges(s);
    if (!s.Active) held.erase(held.begin(), held.end() - 2);  // the bar's place alone
    return held;
}

// --- Checks --------------------------------------------------------------------

bool IsExistingFile(const std::wstring& path) { return fs::FileSize(path).has_value(); }

namespace {

// A decimal number of 1 to `digits` digits, at most `max`.
std::optional<int> SmallNumber(std::wstring_view t, size_t digits, int max) {
    if (t.empty() || t.size() > digits) return std::nullopt;
    int v = 0;
    for (wchar_t c : t) {
        if (c < L'0' || c > L'9') return std::nullopt;
        v = v * 10 + (c - L'0');
    }
    return v <= max ? std::optional<int>(v) : std::nullopt;
}

std::vector<std::wstring_view> Split(std::wstring_view t, wchar_t at) {
    std::vector<std::wstring_view> parts;
    for (size_t from = 0;;) {
        size_t end = t.find(at, from);
        parts.push_back(t.substr(from, end == std::wstring_view::npos ? std::wstring_view::npos : end - from));
        if (end == std::wstring_view::npos) return parts;
        from = end + 1;
    }
}

bool IsHostName(std::wstring_view t) {
    if (t.empty() || t.size() > 253) return false;
    bool allNumeric = true;
    for (std::wstring_view label : Split(t, L'.')) {
        if (label.empty() || label.size() > 63 || label.front() == L'-' || label.back() == L'-') return false;
        for (wchar_t c : label) {
            bool digit = c >= L'0' && c <= L'9';
            bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
            if (!digit && !letter && c != L'-') return false;
            allNumeric = allNumeric && digit;
        }
    }
    return !allNumeric;  // digits and dots are an address, and a broken one here
}

std::wstring Range(const FormField& f) {
    std::wstring range = L"from " + str::FromInt(f.min) + L" to " + str::FromInt(f.max);
    if (!f.alsoAllowed) return L"a whole number " + range;
    return str::FromInt(*f.alsoAllowed) + L" or a whole number " + range;
}

std::optional<std::wstring> NumberProblem(const FormField& f, std::wstring_view value) {
    std::wstring t = str::Trim(value);
    size_t digitsFrom = !t.empty() && (t[0] == L'-' || t[0] == L'+') ? 1 : 0;
    bool digits = t.size() > digitsFrom && t.size() <= digitsFrom + 9 &&
                  std::all_of(t.begin() + static_cast<std::ptrdiff_t>(digitsFrom), t.end(),
                              [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    if (digits) {
        const int v = str::LeadingInt32(t);
        if ((v >= f.min && v <= f.max) || (f.alsoAllowed && v == *f.alsoAllowed)) return std::nullopt;
    }
    return L"Give " + Range(f) + L".";
}

constexpr std::wstring_view kBadNameCharacters = L"<>:\"|?*";

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Names Windows keeps for devices, with or without an extension.
bool IsDeviceName(std::wstring_view name) {
    std::wstring base = str::ToLower(name.substr(0, name.find(L'.')));
    for (const wchar_t* device : {L"con", L"prn", L"aux", L"nul"})
        if (base == device) return true;
    return base.size() == 4 && (base.rfind(L"com", 0) == 0 || base.rfind(L"lpt", 0) == 0) && base[3] >= L'1' &&
           base[3] <= L'9';
}

// Why a folder's name cannot be one; nothing when it can.
std::optional<std::wstring> NameProblem(std::wstring_view name) {
    if (name == L"." || name == L"..") return L"Give the whole path, without \".\" or \"..\".";
    for (wchar_t c : name)
        if (c < 32 || kBadNameCharacters.find(c) != std::wstring_view::npos)
            return L"A folder name cannot hold < > : \" | ? * or control characters.";
    if (name.back() == L' ' || name.back() == L'.') return L"A folder name cannot end in a blank or a dot.";
    if (IsDeviceName(name)) return L"\"" + std::wstring(name) + L"\" is a name Windows keeps for a device.";
    return std::nullopt;
}

}  // namespace

bool IsCardAddress(std::wstring_view text) {
    const std::wstring t = str::Trim(text);
    std::vector<std::wstring_view> fields = Split(t, L'.');
    bool numericStart = !t.empty() && t[0] >= L'0' && t[0] <= L'9';
    if (fields.size() == 4 && numericStart && SmallNumber(fields[0], 3, 255) && SmallNumber(fields[1], 3, 255) &&
        SmallNumber(fields[2], 3, 255)) {
        std::wstring_view last = fields[3];
        if (last == L"*" || SmallNumber(last, 3, 255)) return true;
        size_t dash = last.find(L'-');
        if (dash == std::wstring_view::npos) return false;
        auto from = SmallNumber(last.substr(0, dash), 3, 254), to = SmallNumber(last.substr(dash + 1), 3, 254);
        return from && to && *from >= 1 && *to >= 1;
    }
    return IsHostName(t);
}

std::optional<std::wstring> FolderProblem(std::wstring_view path, bool remoteAllowed, const FileSystemView& files) {
    std::wstring p = str::Trim(path);
    if (p.empty()) return std::nullopt;
    // Windows takes either separator; the checks below see one.
    if (!str::ContainsI(p, L"ftp://")) std::replace(p.begin(), p.end(), L'/', L'\\');
    if (str::ContainsI(p, L"ftp://")) {
        if (remoteAllowed) return std::nullopt;
        return std::wstring(L"This folder must be on this computer or a share, not on an FTP server.");
    }
    if (!IsAbsoluteFolderPath(p))
        return std::wstring(L"Give the whole path, beginning with a drive (D:\\Pictures) or a share (\\\\server\\share).");
    while (p.size() > RootLength(p) && IsSeparator(p.back())) p.pop_back();
    const size_t root = RootLength(p);
    for (std::wstring_view name : Split(std::wstring_view(p).substr(root), L'\\'))
        for (std::wstring_view part : Split(name, L'/'))
            if (!part.empty())
                if (auto problem = NameProblem(part)) return problem;
    // The folder itself, or the nearest one above it that is there.
    std::wstring at = p;
    bool missing = false;
    for (;;) {
        if (files.isFolder(at)) break;
        if (files.isFile(at))
            return at == p ? std::wstring(L"This is a file, not a folder.")
                           : L"No folder can be made in " + at + L": it is a file.";
        size_t cut = at.find_last_of(L"\\/");
        if (at.size() <= root || cut == std::wstring::npos || cut + 1 < root)
            return L"There is no " + at + L" on this computer.";
        at = cut + 1 == root ? at.substr(0, root) : at.substr(0, cut);
        missing = true;
    }
    if (files.mayCreateIn(at) == std::optional<bool>(false))
        return missing ? L"You may not create folders in " + at + L"."
                       : std::wstring(L"You may not write to this folder.");
    return std::nullopt;
}

std::optional<std::wstring> CheckFieldValue(const FormField& f, std::wstring_view value, const FileSystemView& files) {
    if (value.find_first_of(L"\r\n") != std::wstring_view::npos) return std::wstring(L"Give one line.");
    // The file would not read them back as written.
    if (std::any_of(value.begin(), value.end(), [](wchar_t c) { return c < 32 && c != L'\t'; }))
        return std::wstring(L"A value cannot hold control characters.");
    const std::wstring v = str::Trim(value);
    switch (f.kind) {
    case FieldKind::Text:
    case FieldKind::YesNo: return std::nullopt;
    case FieldKind::Number: return NumberProblem(f, v);
    case FieldKind::Choice:
        for (const std::wstring& c : f.choices)
            if (str::EqualsI(c, v)) return std::nullopt;
        return std::wstring(L"Choose one of the list.");
    case FieldKind::Folder: {
        if (auto problem = FolderProblem(v, f.remoteAllowed, files)) return problem;
        if (v.empty() || f.mustHold.empty()) return std::nullopt;
        std::wstring folder = v;
        while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
        if (!files.isFolder(folder)) return std::wstring(L"This folder is not there.");
        for (const std::wstring& name : f.mustHold)
            if (!files.isFile(folder + L"\\" + name)) return L"The picture " + name + L" is not in this folder.";
        return std::nullopt;
    }
    case FieldKind::Program:
        if (v.empty() || str::EqualsI(v, L"AutoSearch") || files.isFile(v)) return std::nullopt;
        return std::wstring(L"There is no such program. Choose it with Browse, or write AutoSearch.");
    case FieldKind::Address:
        if (str::ContainsI(v, L"://")) return std::wstring(L"Give the address alone, without http://.");
        if (IsCardAddress(v)) return std::nullopt;
        return std::wstring(L"Not an address: 192.168.0.1, 192.168.0.201-209, 192.168.0.* or the card's name.");
    case FieldKind::Extension: {
        std::wstring_view e = v;
        if (!e.empty() && e[0] == L'.') e.remove_prefix(1);
        bool ok = e.size() <= 10 && (v.empty() || !e.empty()) &&
                  std::all_of(e.begin(), e.end(), [](wchar_t c) {
                      return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
                  });
        if (ok) return std::nullopt;
        return std::wstring(L"An extension is letters and digits, such as cr2 (empty: none of these is fetched).");
    }
    }
    return std::nullopt;
}

// --- Changes ---------------------------------------------------------------------

std::vector<SettingChange> FormChanges(const std::vector<FormField>& fields, const std::vector<std::wstring>& values) {
    std::vector<SettingChange> changes;
    for (size_t i = 0; i < fields.size() && i < values.size(); i++) {
        const FormField& f = fields[i];
        std::wstring value = str::Trim(values[i]);
        if (f.kind == FieldKind::YesNo) value = IsYes(value) ? L"Yes" : L"No";
        if (value != str::Trim(f.Shown())) changes.push_back({f.group, f.key, value});
    }
    return changes;
}

std::wstring PlainLabel(std::wstring_view label) {
    std::wstring plain;
    for (size_t i = 0; i < label.size(); i++) {
        if (label[i] == L'&' && i + 1 < label.size()) i++;
        plain.push_back(label[i]);
    }
    return plain;
}

std::vector<std::wstring> WaitingForNextStart(const std::vector<FormField>& fields,
                                              const std::vector<SettingChange>& changes) {
    std::vector<std::wstring> labels;
    for (const FormField& f : fields) {
        if (f.takes != Takes::NextStart) continue;
        for (const SettingChange& c : changes)
            if (str::EqualsI(c.group, f.group) && str::EqualsI(c.key, f.key)) labels.push_back(PlainLabel(f.label));
    }
    return labels;
}

std::wstring NextStartNote(const std::vector<std::wstring>& labels) {
    if (labels.empty()) return {};
    std::wstring note = L"At the next start of Wemlox: ";
    for (size_t i = 0; i < labels.size(); i++) note += (i ? L", " : L"") + labels[i];
    return note + L".";
}

// --- Taking changes over ---------------------------------------------------------

ViewerFacts ViewerFromLocation(const std::wstring& location) {
    ViewerFacts v;
    std::wstring path = str::Trim(location);
    if (str::EqualsI(path, L"autosearch")) path = AutoSearchViewer(v.foundId);
    if (fs::IsNonEmptyFile(path)) v.path = path;
    return v;
}

namespace {

// Which fields of the settings a key fills, for those that take effect at once.
enum class Fills { None, Layout, Journal, Tree, Thumbs, DelayChg, SaveOnExit, Viewer, Delay, Card };

Fills FillsOf(const SettingChange& c) {
    const KeyRow* row = KeyRowOf(c.group, c.key);
    if (!row || row->takes != Takes::AtOnce) return Fills::None;
    if (row->tab == SettingsTab::Card) return Fills::Card;
    if (str::EqualsI(c.group, L"Main") || str::EqualsI(c.group, L"Viewer")) return Fills::Viewer;
    if (str::EqualsI(c.key, L"Delay")) return Fills::Delay;
    if (str::EqualsI(c.key, L"DelayChg")) return Fills::DelayChg;
    if (str::EqualsI(c.key, L"SaveChangesOnExit")) return Fills::SaveOnExit;
    if (str::EqualsI(c.key, L"ShowInfoText")) return Fills::Journal;
    if (str::EqualsI(c.key, L"ShowInfoTree")) return Fills::Tree;
    if (str::EqualsI(c.key, L"ShowInfoThumbs")) return Fills::Thumbs;
    return Fills::Layout;  // the bar's place and sizes
}

void TakeCardKey(const std::wstring& key, const Settings& from, Settings& to) {
    struct Text { const wchar_t* key; std::wstring Settings::*field; };
    static const Text texts[] = {
        {L"Url", &Settings::Url}, {L"Path", &Settings::Path}, {L"OccurenceName", &Settings::OccurenceName},
        {L"DoNotLoad", &Settings::DoNotLoad}, {L"TransferModeAuto", &Settings::TransferModeAuto},
        {L"TransferModeMan", &Settings::TransferModeMan},
    };
    for (const Text& t : texts)
        if (str::EqualsI(key, t.key)) to.*t.field = from.*t.field;
    if (str::EqualsI(key, L"TransferLoRes")) {
        to.TransferLoRes = from.TransferLoRes;
        to.TransferLoResToSave = from.TransferLoResToSave;
    }
    if (str::EqualsI(key, L"TransferHiRes")) {
        to.TransferHiRes = from.TransferHiRes;
        to.TransferHiResToSave = from.TransferHiResToSave;
    }
    if (str::EqualsI(key, L"PingTimeoutMs")) to.PingTimeoutMs = from.PingTimeoutMs;
    if (str::EqualsI(key, L"UseUpdateFlag")) to.UseUpdateFlag = from.UseUpdateFlag;
    if (str::EqualsI(key, L"FollowNewFolders")) to.FollowNewFolders = from.FollowNewFolders;
    if (str::EqualsI(key, L"LoResFirst")) to.LoResFirst = from.LoResFirst;
}

void TakeLayout(const Settings& from, Settings& to) {
    to.Position = from.Position;
    to.PositionX = from.PositionX;
    to.PositionY = from.PositionY;
    to.ButtonSize = from.ButtonSize;
    to.ButtonSpace = from.ButtonSpace;
    to.BorderSpace = from.BorderSpace;
    to.InfoSize = from.InfoSize;
    to.InfoTouchSpace = from.InfoTouchSpace;
    to.ThumbCols = from.ThumbCols;
    to.Center = from.Center;
}

bool Names(const std::vector<SettingChange>& changes, const SettingChange& c) {
    return std::any_of(changes.begin(), changes.end(), [&](const SettingChange& x) {
        return str::EqualsI(x.group, c.group) && str::EqualsI(x.key, c.key);
    });
}

}  // namespace

ChangeEffects ApplySavedChanges(const IniDocument& saved, const std::vector<SettingChange>& changes,
                                const std::wstring& graphicsPath, ViewerFacts& viewer, Settings& live) {
    ChangeEffects effects;
    // The file as the running program sees it: what it holds now stands
    // where no change names it, and the card is used as it is now.
    std::vector<SettingChange> overlay;
    for (const SettingChange& h : HeldValues(live))
        if (!Names(changes, h)) overlay.push_back(h);
    overlay.push_back({L"TFA", L"Active", live.Active ? L"Yes" : L"No"});
    IniDocument running = saved;
    (void)running.SetValues(overlay, true);

    for (const SettingChange& c : changes)
        if (str::EqualsI(c.group, L"Viewer") && str::EqualsI(c.key, L"Location")) viewer = ViewerFromLocation(c.value);
    Settings reloaded = live;
    if (LoadSettings(running, graphicsPath, viewer.foundId, viewer.path, reloaded)) {
        // The saved file no longer loads (a picture went meanwhile): the
        // running program keeps what it has; the next start will say why.
        for (const SettingChange& c : changes) effects.nextStart.push_back(c.key);
        return effects;
    }
    for (const SettingChange& c : changes) {
        switch (FillsOf(c)) {
        case Fills::None: effects.nextStart.push_back(c.key); break;
        case Fills::Layout:
            TakeLayout(reloaded, live);
            effects.barLayout = true;
            break;
        case Fills::Journal: live.ShowInfoText = reloaded.ShowInfoText; break;
        case Fills::Tree: live.ShowInfoTree = reloaded.ShowInfoTree; break;
        case Fills::Thumbs: live.ShowInfoThumbs = reloaded.ShowInfoThumbs; break;
        case Fills::DelayChg: live.Graphics.DelayChg = reloaded.Graphics.DelayChg; break;
        case Fills::SaveOnExit: live.SaveChangesOnExit = reloaded.SaveChangesOnExit; break;
        case Fills::Delay: live.Delay = reloaded.Delay; break;
        case Fills::Viewer:
            live.Mode = reloaded.Mode;
            effects.viewer = true;
            break;
        case Fills::Card:
            // Without the card the keys wait with it; they are read when it is used.
            if (!live.Active) {
                effects.nextStart.push_back(c.key);
                break;
            }
            TakeCardKey(c.key, reloaded, live);
            effects.card = true;
            break;
        }
    }
    return effects;
}

}  // namespace model
