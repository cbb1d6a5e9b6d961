// The settings window's fields, the checks of their values and what saved
// changes do to the running program.
#include "model/settings/settings_form.h"

#include <algorithm>

#include "base/str.h"
#include "model/settings/catalogue.h"
#include "model/settings/folders.h"

namespace model {

namespace {

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
    for (const SettingKey& row : SettingKeys())
        if (auto v = ini.Value(row.group, row.key); row.picture && v && !v->empty()) AddChoice(names, *v);
    return names;
}

}  // namespace

const wchar_t* TabTitle(SettingsTab tab) {
    switch (tab) {
    case SettingsTab::Bar: return L"Bar";
    case SettingsTab::Viewer: return L"Viewer";
    case SettingsTab::Card: return L"Card";
    case SettingsTab::Sources: return L"Sources";
    case SettingsTab::Folders: return L"Folders";
    }
    return L"";
}

std::wstring FormField::Shown() const {
    std::wstring value = current.value_or(fallback);
    if (kind == FieldKind::YesNo) return IsYes(value) ? L"Yes" : L"No";
    if (IsList()) return Joined(Entries(value));
    return value;
}

bool FormField::Wide() const {
    return kind == FieldKind::Folder || kind == FieldKind::Program || IsList() ||
           (kind == FieldKind::Text && !choices.empty());
}

bool FormField::IsList() const { return kind == FieldKind::InboxList || kind == FieldKind::CardList; }

std::vector<std::wstring> FormField::Entries(const std::wstring& value) const {
    return kind == FieldKind::CardList ? CardEntries(value) : InboxFolders(value);
}

std::wstring FormField::Joined(const std::vector<std::wstring>& entries) const {
    return JoinEntries(entries);
}

std::vector<FormField> BuildSettingsForm(const IniDocument& ini, const std::vector<SettingChange>& held) {
    // A key's value: what the program holds and writes back, else the file's.
    auto current = [&](const SettingKey& row) {
        std::optional<std::wstring> value = ini.Value(row.group, row.key);
        for (const SettingChange& h : held)
            if (row.Is(h.group, h.key)) value = h.value;
        return value;
    };
    std::vector<FormField> fields;
    for (const SettingKey& row : SettingKeys()) {
        if (!row.InWindow()) continue;
        FormField f;
        f.tab = row.tab;
        f.group = row.group;
        f.key = row.key;
        f.label = row.label;
        f.kind = row.kind;
        f.id = row.id;
        f.min = row.min;
        f.max = row.max;
        f.alsoAllowed = row.alsoAllowed;
        f.remoteAllowed = row.remoteAllowed;
        f.fallback = row.fallback;
        f.takes = row.takes;
        f.current = current(row);
        // The file's own suggestions ("; Position = Left") first, then the known values.
        if (f.kind != FieldKind::YesNo && f.kind != FieldKind::Number && f.kind != FieldKind::Folder &&
            !f.IsList()) {
            for (std::wstring& v : ini.CommentedValues(row.group, row.key)) AddChoice(f.choices, std::move(v));
            for (const wchar_t* v : row.known) AddChoice(f.choices, v);
            // A list never hides the value the file has.
            if (f.kind == FieldKind::Choice) AddChoice(f.choices, f.Shown());
        }
        if (row.id == KeyId::GraphicsLocation) {
            f.mustHold = PictureNames(ini);
            f.hint = ResolveGraphicsPath(L"", own_GetProgramFolder());
        } else if (f.kind == FieldKind::Folder) {
            f.hint = DefaultFolder(f.key);
        }
        if (row.id == KeyId::CardUrl) {
            f.lastConnects = current(SettingKeyOf(KeyId::CardLastConnects)).value_or(L"");
        }
        fields.push_back(std::move(f));
    }
    return fields;
}

std::vector<SettingChange> WriteBackChanges(const Settings& s) {
    std::vector<const SettingKey*> rows;
    for (const SettingKey& row : SettingKeys())
        if (row.writtenBack) rows.push_back(&row);
    std::sort(rows.begin(), rows.end(), [](auto a, auto b) { return a->writtenBack < b->writtenBack; });
    std::vector<SettingChange> changes;
    for (const SettingKey* row : rows) changes.push_back({row->group, row->key, SettingText(*row, s)});
    return changes;
}

// Without the card its keys were never read.
std::vector<SettingChange> HeldValues(const Settings& s) {
    std::vector<SettingChange> held;
    for (const SettingChange& c : WriteBackChanges(s))
        if (s.Active || !FindSettingKey(c.group, c.key)->withCard) held.push_back(c);
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

namespace {

// The addresses an entry names, when it is a dotted IPv4 address or a range
// of its last field; a host name names none that can be compared.
struct EntrySpan {
    int net[3] = {};
    int lower = 0, upper = 0;
};

std::optional<EntrySpan> SpanOf(std::wstring_view entry) {
    std::vector<std::wstring_view> fields = Split(entry, L'.');
    if (fields.size() != 4) return std::nullopt;
    EntrySpan span;
    for (int i = 0; i < 3; i++) {
        std::optional<int> n = SmallNumber(fields[static_cast<size_t>(i)], 3, 255);
        if (!n) return std::nullopt;
        span.net[i] = *n;
    }
    std::wstring_view last = fields[3];
    if (last == L"*") last = L"1-254";
    const size_t dash = last.find(L'-');
    std::optional<int> from = SmallNumber(last.substr(0, dash), 3, 255);
    std::optional<int> to = dash == std::wstring_view::npos ? from : SmallNumber(last.substr(dash + 1), 3, 255);
    if (!from || !to) return std::nullopt;
    span.lower = std::min(*from, *to);
    span.upper = std::max(*from, *to);
    return span;
}

bool Overlap(std::wstring_view a, std::wstring_view b) {
    if (str::EqualsI(a, b)) return true;
    std::optional<EntrySpan> x = SpanOf(a), y = SpanOf(b);
    return x && y && std::equal(x->net, x->net + 3, y->net) && x->lower <= y->upper && y->lower <= x->upper;
}

}  // namespace

std::optional<std::wstring> CardEntryProblem(std::wstring_view entry, const std::vector<std::wstring>& listed) {
    const std::wstring e = str::Trim(entry);
    if (str::ContainsI(e, L"://")) return std::wstring(L"Give the address alone, without http://.");
    if (!IsCardAddress(e))
        return std::wstring(L"Not an address or range: 192.168.0.1, 192.168.0.201-209, 192.168.0.* or the card's name.");
    for (const std::wstring& other : listed) {
        if (str::EqualsI(e, other)) return std::wstring(L"This entry is in the list already.");
        if (Overlap(e, other))
            return L"This names addresses of the entry " + other + L" too: a card there would be looked for twice.";
    }
    return std::nullopt;
}

std::optional<std::wstring> CardListProblem(const std::vector<std::wstring>& entries) {
    if (entries.empty())
        return std::wstring(L"Give at least one address; to work without a card, clear \"Use the FlashAir card\".");
    std::vector<std::wstring> before;
    for (const std::wstring& e : entries) {
        if (auto problem = CardEntryProblem(e, before)) return e + L": " + *problem;
        before.push_back(e);
    }
    return std::nullopt;
}

std::wstring KeepLastConnects(const std::wstring& oldUrl, const std::wstring& oldLast, const std::wstring& newUrl) {
    const std::vector<std::wstring> oldEntries = CardEntries(oldUrl);
    std::vector<bool> taken(oldEntries.size(), false);
    std::vector<std::wstring> kept;
    for (const std::wstring& entry : CardEntries(newUrl)) {
        std::wstring last;
        for (size_t i = 0; i < oldEntries.size(); i++) {
            if (taken[i] || !str::EqualsI(oldEntries[i], entry)) continue;
            taken[i] = true;
            last = LastConnectOf(oldLast, i);
            break;
        }
        kept.push_back(std::move(last));
    }
    return JoinEntries(kept);
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

InboxNeighbours InboxNeighboursOf(const std::vector<FormField>& fields, const std::vector<std::wstring>& values) {
    InboxNeighbours around;
    for (size_t i = 0; i < fields.size() && i < values.size(); i++) {
        const std::wstring v = str::Trim(values[i]);
        if (fields[i].id == KeyId::PictureFolder) around.pictures = v.empty() ? DefaultFolder(fields[i].key) : v;
        if (fields[i].id == KeyId::BackupFolder) around.backup = v;
        if (fields[i].id == KeyId::InboxFolders) around.inboxes = InboxFolders(v);
    }
    return around;
}

namespace {

// Whether a folder may stand beside the store and the inboxes: its path and
// the clashes; whether it is there is judged apart.
std::optional<std::wstring> InboxClashProblem(const std::wstring& f, const InboxNeighbours& around) {
    // The file separates the folders with it.
    if (f.find(L';') != std::wstring::npos) return std::wstring(L"An inbox folder cannot have \";\" in its path.");
    if (!IsAbsoluteFolderPath(f) || str::ContainsI(f, L"://"))
        return std::wstring(L"Give the whole path, beginning with a drive (D:\\Inbox) or a share (\\\\server\\share).");
    std::optional<InboxRefused> refused = InboxRefusal(f, around.pictures, around.backup, around.inboxes);
    if (!refused) return std::nullopt;
    switch (refused->clash) {
    case InboxClash::NotFullPath: break;
    case InboxClash::Pictures:
        return L"This is, holds or lies in the picture folder " + refused->with + L": Wemlox would take its own pictures.";
    case InboxClash::Backup:
        return L"This is, holds or lies in the backup folder " + refused->with + L": Wemlox would take its copies.";
    case InboxClash::OtherInbox:
        return L"This is, holds or lies in the inbox " + refused->with + L": its pictures would be taken twice.";
    }
    return std::wstring(L"This folder cannot be an inbox.");
}

}  // namespace

std::optional<std::wstring> InboxFolderProblem(std::wstring_view folder, const InboxNeighbours& around,
                                               const FileSystemView& files) {
    std::wstring at = str::Trim(folder);
    if (auto problem = InboxClashProblem(at, around)) return problem;
    std::replace(at.begin(), at.end(), L'/', L'\\');
    while (at.size() > RootLength(at) && IsSeparator(at.back())) at.pop_back();
    if (files.isFile(at)) return std::wstring(L"This is a file, not a folder.");
    // An inbox is only read: it must be there, not merely possible to make.
    if (!files.isFolder(at))
        return std::wstring(L"Wemlox cannot reach this folder: it is not there, or its drive or share is not connected.");
    return std::nullopt;
}

// Folders already listed were checked as they were added (or come from the
// file, and may be away for now); only the store may have moved since.
std::optional<std::wstring> InboxListProblem(const InboxNeighbours& around) {
    InboxNeighbours before = around;
    before.inboxes.clear();
    for (const std::wstring& folder : around.inboxes) {
        if (auto problem = InboxClashProblem(folder, before)) return folder + L": " + *problem;
        before.inboxes.push_back(folder);
    }
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
    case FieldKind::CardList: return CardListProblem(CardEntries(v));
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
    case FieldKind::InboxList: return InboxListProblem({.inboxes = InboxFolders(v)});
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
        if (f.IsList()) value = f.Joined(f.Entries(value));
        if (value == str::Trim(f.Shown())) continue;
        changes.push_back({f.group, f.key, value});
        if (f.id != KeyId::CardUrl) continue;
        const SettingKey& last = SettingKeyOf(KeyId::CardLastConnects);
        std::wstring kept = KeepLastConnects(f.Shown(), f.lastConnects, value);
        if (kept != f.lastConnects) changes.push_back({last.group, last.key, std::move(kept)});
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
    const SettingKey& active = SettingKeyOf(KeyId::CardActive);
    overlay.push_back({active.group, active.key, SettingText(active, live)});
    IniDocument running = saved;
    (void)running.SetValues(overlay, true);

    for (const SettingChange& c : changes)
        if (const SettingKey* row = FindSettingKey(c.group, c.key); row && row->id == KeyId::ViewerLocation)
            viewer = ViewerFromLocation(c.value);
    Settings reloaded = live;
    if (LoadSettings(running, graphicsPath, viewer.foundId, viewer.path, reloaded)) {
        // The saved file no longer loads (a picture went meanwhile): the
        // running program keeps what it has; the next start will say why.
        for (const SettingChange& c : changes) effects.nextStart.push_back(c.key);
        return effects;
    }
    for (const SettingChange& c : changes) {
        const SettingKey* row = FindSettingKey(c.group, c.key);
        // Without the card its keys wait with it; they are read when it is used.
        // A key the window does not show follows one it does, unnamed.
        if (!row || row->takes != Takes::AtOnce || (row->withCard && !live.Active)) {
            if (!row || row->InWindow()) effects.nextStart.push_back(row ? PlainLabel(row->label) : c.key);
            continue;
        }
        switch (row->effect) {
        case Effect::Own:
            CopySetting(*row, reloaded, live);
            effects.card = effects.card || row->withCard;
            break;
        case Effect::Layout:
            for (const SettingKey& other : SettingKeys())
                if (other.effect == Effect::Layout) CopySetting(other, reloaded, live);
            effects.barLayout = true;
            break;
        case Effect::Viewer:
            live.Mode = reloaded.Mode;
            effects.viewer = true;
            break;
        }
    }
    return effects;
}

}  // namespace model
