// The settings window's content, free of any window: its fields made from
// the table of keys (model/setting_keys), the values they start from, the
// choices they offer, whether a value can work, and what the running
// program does with the changes once they are saved.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/settings/settings.h"

namespace model {

const wchar_t* TabTitle(SettingsTab tab);

struct FormField {
    SettingsTab tab = SettingsTab::Bar;
    std::wstring group, key;
    std::wstring label;  // with its access key: "&Position"
    FieldKind kind = FieldKind::Text;
    KeyId id = KeyId::None;
    int min = 0, max = 0;       // Number: the limits
    std::optional<int> alsoAllowed;  // Number: one more value outside them (-1, 0, 12)
    bool remoteAllowed = false;      // Folder: "ftp://..." is taken as written
    std::vector<std::wstring> mustHold;  // Folder: files that must be in it (the button pictures)
    std::wstring fallback;               // the value used when the key is missing
    std::wstring hint;                   // Folder: the folder an empty value stands for, shown greyed
    std::optional<std::wstring> current;  // as the file has it (or as the program holds it now)
    std::wstring lastConnects;            // card entries: [TFA] UrlLastConnect as it stands, one per entry
    std::vector<std::wstring> choices;   // the list (Choice) or the suggestions (others)
    Takes takes = Takes::AtOnce;

    // What the field shows first: the current value, else the fallback; for
    // a yes/no field "Yes" or "No"; a list as the file would write it.
    std::wstring Shown() const;
    // Folders, programs and lists take the whole width of the tab.
    bool Wide() const;
    // Inbox folders and card entries: typed one at a time, added, removed.
    bool IsList() const;
    // A list's value as its entries, and back as the file writes it.
    std::vector<std::wstring> Entries(const std::wstring& value) const;
    std::wstring Joined(const std::vector<std::wstring>& entries) const;
};

// Every field of the window, tab by tab, from the settings file. `held`
// names values the program holds now and writes back at exit (the bar's
// place, the camera folder, ...): the window starts from those, since they
// are what the file will say.
std::vector<FormField> BuildSettingsForm(const IniDocument& ini, const std::vector<SettingChange>& held = {});

// The values the program writes back to the settings file at exit, in the
// table's order for them (card keys, then the bar's place).
std::vector<SettingChange> WriteBackChanges(const Settings& s);
// What the program holds now of the keys the window shows: the bar's place,
// and with the card in use its write-back keys (without the card they were
// never read). The `held` of BuildSettingsForm.
std::vector<SettingChange> HeldValues(const Settings& s);

// Whether a file (not a folder) is there, empty or not.
bool IsExistingFile(const std::wstring& path);

// The file system as a value check sees it; tests hand in their own.
struct FileSystemView {
    bool (*isFolder)(const std::wstring& path) = fs::IsDirectory;
    bool (*isFile)(const std::wstring& path) = IsExistingFile;
    // Whether the user may create in an existing folder; nothing when unknown.
    std::optional<bool> (*mayCreateIn)(const std::wstring& folder) = fs::MayCreateIn;
};

// Why a value cannot work, in a sentence for beside the field; nothing
// when it can. Nothing is created: a folder that does not exist yet is
// judged by the nearest folder above it that does.
std::optional<std::wstring> CheckFieldValue(const FormField& field, std::wstring_view value,
                                            const FileSystemView& files = {});
// The same for a folder alone (empty: the default folder, which is fine).
std::optional<std::wstring> FolderProblem(std::wstring_view path, bool remoteAllowed,
                                          const FileSystemView& files = {});
// The folders an inbox must keep clear of, as the window has them now.
struct InboxNeighbours {
    std::wstring pictures;              // the picture folder (its default when left empty)
    std::wstring backup;                // empty: no backup
    std::vector<std::wstring> inboxes;  // the inbox list's folders
};
// From the window's fields and their values (one value per field).
InboxNeighbours InboxNeighboursOf(const std::vector<FormField>& fields, const std::vector<std::wstring>& values);
// Why a folder cannot be added as an inbox, in a sentence: it is not there
// to be read, or it clashes with the store, the backup or an inbox of the list.
std::optional<std::wstring> InboxFolderProblem(std::wstring_view folder, const InboxNeighbours& around,
                                               const FileSystemView& files = {});
// The clashes of every folder of the list (with the store, the backup and
// the folders before it): the first, with its folder. Whether the listed
// folders are there is not asked again.
std::optional<std::wstring> InboxListProblem(const InboxNeighbours& around);

// Whether a text names a card: one address (192.168.0.1), a range of the
// last field (192.168.0.201-209, 192.168.0.*) or a host name.
bool IsCardAddress(std::wstring_view text);
// Why an entry cannot be added to the cards' list, in a sentence: it is no
// address or range, or it names an address an entry of `listed` names too
// (a card there would be looked for twice).
std::optional<std::wstring> CardEntryProblem(std::wstring_view entry, const std::vector<std::wstring>& listed);
// The first problem of a whole list, with its entry; an empty list too.
std::optional<std::wstring> CardListProblem(const std::vector<std::wstring>& entries);
// [TFA] UrlLastConnect after the entries changed from `oldUrl` to `newUrl`:
// one address per new entry, in its order; an entry kept keeps its last
// address, a new one has none yet.
std::wstring KeepLastConnects(const std::wstring& oldUrl, const std::wstring& oldLast, const std::wstring& newUrl);

// The changes the window makes: each field whose value differs from what it
// showed first, in the fields' order; after changed card entries their last
// addresses, kept entry by entry. `values` holds one value per field.
std::vector<SettingChange> FormChanges(const std::vector<FormField>& fields, const std::vector<std::wstring>& values);
// The labels (access keys removed) of the changed fields that wait for the
// next start.
std::vector<std::wstring> WaitingForNextStart(const std::vector<FormField>& fields,
                                              const std::vector<SettingChange>& changes);
// The window's note on them: "" when there are none.
std::wstring NextStartNote(const std::vector<std::wstring>& labels);
// A label without its access key marker: "Title b&ar" -> "Title bar".
std::wstring PlainLabel(std::wstring_view label);

// What the running program does once changes are saved.
struct ChangeEffects {
    bool barLayout = false;  // lay the bar out again (its place and sizes)
    bool card = false;       // the card settings changed: the next card work takes them
    bool viewer = false;     // the viewer program or the working mode changed
    std::vector<std::wstring> nextStart;  // the keys that wait for the next start
};
// The viewer the program found: its path and, for a search hit, its id
// (empty otherwise).
struct ViewerFacts {
    std::wstring path, foundId;
};
// The viewer a [Viewer] Location names: "AutoSearch" searches the known
// viewers (setting foundId); a path counts when it is a non-empty file.
ViewerFacts ViewerFromLocation(const std::wstring& location);
// After `changes` were saved to the file that now reads `saved`: `live`
// takes over what takes effect at once (and `viewer` the viewer named),
// while what the program holds now (the bar's place, the camera folder it
// follows, whether the card is used) stays as it is where no change names it.
ChangeEffects ApplySavedChanges(const IniDocument& saved, const std::vector<SettingChange>& changes,
                                const std::wstring& graphicsPath, ViewerFacts& viewer, Settings& live);

}  // namespace model
