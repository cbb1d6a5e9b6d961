// Environment values, the program's folder, the working folder tree and the
// path check used for the image files of the settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace model {

struct Settings;
struct SettingsProblem;

// Value of the environment variable; an unset variable yields 256 blanks,
// which name no usable folder.
std::wstring own_GetEnv(const std::wstring& name);
// Folder of the running program file, ending in "\".
std::wstring own_GetProgramFolder();
// Whether a folder path names its place on its own: a drive ("D:\..."), a
// share ("\\server\share\...") or the root ("\..." or "/...").
bool IsAbsoluteFolderPath(std::wstring_view path);
// Makes sure that a folder exists, creating the missing folders above it
// too when the path is absolute (a relative one gets one level, as its
// parent is wherever the program runs); true when it exists.
bool EnsureFolder(const std::wstring& folder);
// The folder an empty [Copy] folder key stands for, below the user profile
// (the table of keys says which folder); empty for any other key.
std::wstring DefaultFolder(std::wstring_view key);
// The length of the part of an absolute path that cannot be created: "D:\",
// "\\server\share\", "\" or "/"; never more than the path.
size_t RootLength(std::wstring_view path);
// Fills the empty [Copy] folders of the settings with their defaults below
// the user profile and creates the working tree (with HiRes and LoRes when
// the card is used). The first folder that cannot be made, with its key.
// A target, storage or thumbnail folder whose drive or share is not there
// (a card reader or network drive not plugged in) is no problem: it is made
// when it is first used, and `waiting` gets a journal line for it.
std::optional<SettingsProblem> MakeWorkingTree(Settings& s, bool tfaActive, std::vector<std::wstring>& waiting);

// The folders of [Inbox] Folders: separated by ";", trimmed, empty ones left out.
std::vector<std::wstring> InboxFolders(std::wstring_view setting);
// [TFA] Url's entries, separated by ";": each an address or a range, and
// each one card (an old file's single entry is the one card it always was).
std::vector<std::wstring> CardEntries(const std::wstring& url);
// A list as the settings file writes it ([TFA] Url, UrlLastConnect, [Inbox]
// Folders): the entries separated by ";", empty ones keeping their place.
std::wstring JoinEntries(const std::vector<std::wstring>& entries);
// [TFA] UrlLastConnect holds the last address of each entry in the same
// order ("" where a card was not found yet).
std::wstring LastConnectOf(const std::wstring& lasts, size_t entry);
std::wstring WithLastConnect(const std::wstring& lasts, size_t entry, const std::wstring& host);
// The settings as the card of Url entry `entry` sees them: its entry as
// Url, its last address as UrlLastConnect.
Settings CardSettings(const Settings& s, size_t entry);
// A folder as the file system compares it: "\" between names, none at the
// end, every letter's case ignored.
std::wstring LocalFolderKey(std::wstring path);

// Why a folder cannot be an inbox beside this store: it would feed itself
// (it is the picture folder or the backup, lies inside either or holds
// it), or it is another inbox again, inside one or holding one.
enum class InboxClash { NotFullPath, Pictures, Backup, OtherInbox };
struct InboxRefused {
    InboxClash clash;
    std::wstring with;  // the folder it clashes with, as given
};
// `pictures`, `backup`: the store's folders (empty: none); `earlier`: the
// inboxes taken before it. Nothing when it can be used.
std::optional<InboxRefused> InboxRefusal(const std::wstring& inbox, const std::wstring& pictures,
                                         const std::wstring& backup, const std::vector<std::wstring>& earlier);
// The same with the store the settings name, in a few words for the journal.
std::optional<std::wstring> InboxRefusal(const std::wstring& inbox, const Settings& s,
                                         const std::vector<std::wstring>& earlier);

// The folders of the picture store and the files in them: every path of the
// store is built here.
enum class Store { LoRes, HiRes, Selected, Storage, Target, Tmp, ThumbnailCache };
std::wstring StoreFolder(const Settings& s, Store where);
// The file of that name there; in the thumbnail cache, the card picture's
// cached thumbnail ("_thm_" + name).
std::wstring StoreFile(const Settings& s, Store where, std::wstring_view name);
// The program's helper files take no name a card could give: a download is
// written to one file of the temporary folder, and a file on its way into a
// folder waits in a folder of the program's own inside it (without a dot,
// so no picture's name can be it), which keeps the last step a rename on
// one volume. What a cut run left there is known as such.
inline constexpr std::wstring_view kDownloadSuffix = L".download";
inline constexpr std::wstring_view kPartFolder = L"~wemlox";
// TmpPath\Wemlox.download, for a card of a later Url entry
// TmpPath\Wemlox-<entry + 1>.download.
std::wstring DownloadName(size_t entry);
std::wstring DownloadFile(const Settings& s, size_t entry = 0);
// The helper folder inside `folder`.
std::wstring PartFolder(const std::wstring& folder);
// The parts of a path own_CheckPathFile gives: the whole (trimmed) path, its
// folder with the trailing "\", the file name, the extension without its dot.
enum class PathPart { PathFile, Path, File, Ext };
// One part of `path`; with `mustExist` only when the path names a non-empty
// file (or, for the folder, a folder). The empty string otherwise.
std::wstring own_CheckPathFile(const std::wstring& path, bool mustExist, PathPart part);

}  // namespace model
