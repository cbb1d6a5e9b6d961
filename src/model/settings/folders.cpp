// Environment values, working folders and path parts.
#include "model/settings/folders.h"

#include <algorithm>
#include <vector>

#include "base/fs.h"
#include "base/str.h"
#include "model/settings/settings.h"

namespace model {

std::wstring own_GetEnv(const std::wstring& name) {
    // Longer values than the classic 255 characters come back whole: a cut
    // path would name a different folder.
    return fs::GetEnv(name).value_or(std::wstring(256, L' '));
}

std::wstring own_GetProgramFolder() {
    std::wstring file = fs::ProgramFile();
    size_t cut = file.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : file.substr(0, cut + 1);
}

namespace {

bool IsFtp(const std::wstring& folder) { return str::ContainsI(folder, L"ftp://"); }

}  // namespace

std::wstring DefaultFolder(std::wstring_view key) {
    for (const SettingKey& row : SettingKeys())
        if (row.belowProfile && str::EqualsI(row.key, key)) return own_GetEnv(L"userprofile") + row.belowProfile;
    return L"";
}

bool IsAbsoluteFolderPath(std::wstring_view path) {
    if (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/') &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')))
        return true;
    return !path.empty() && (path[0] == L'\\' || path[0] == L'/');
}

bool EnsureFolder(const std::wstring& folder) {
    if (fs::IsDirectory(folder)) return true;
    return IsAbsoluteFolderPath(folder) ? fs::CreateDirs(folder) : fs::CreateDir(folder);
}

namespace {

// The ";"-separated parts of a setting, trimmed, empty ones kept in place.
std::vector<std::wstring> Parts(std::wstring_view setting) {
    std::vector<std::wstring> parts;
    for (size_t start = 0; start <= setting.size();) {
        size_t end = setting.find(L';', start);
        if (end == std::wstring_view::npos) end = setting.size();
        parts.push_back(str::Trim(std::wstring(setting.substr(start, end - start))));
        start = end + 1;
    }
    return parts;
}

std::vector<std::wstring> NonEmptyParts(std::wstring_view setting) {
    std::vector<std::wstring> parts = Parts(setting);
    parts.erase(std::remove(parts.begin(), parts.end(), L""), parts.end());
    return parts;
}

}  // namespace

std::vector<std::wstring> InboxFolders(std::wstring_view setting) { return NonEmptyParts(setting); }

std::vector<std::wstring> CardEntries(const std::wstring& url) { return NonEmptyParts(url); }

std::wstring JoinEntries(const std::vector<std::wstring>& entries) {
    std::wstring joined;
    for (size_t i = 0; i < entries.size(); i++) joined += (i ? L";" : L"") + entries[i];
    return joined;
}

std::wstring LastConnectOf(const std::wstring& lasts, size_t entry) {
    std::vector<std::wstring> parts = Parts(lasts);
    return entry < parts.size() ? parts[entry] : L"";
}

std::wstring WithLastConnect(const std::wstring& lasts, size_t entry, const std::wstring& host) {
    std::vector<std::wstring> parts = lasts.empty() ? std::vector<std::wstring>{} : Parts(lasts);
    if (parts.size() <= entry) parts.resize(entry + 1);
    parts[entry] = host;
    while (parts.size() > 1 && parts.back().empty()) parts.pop_back();
    return JoinEntries(parts);
}

Settings CardSettings(const Settings& s, size_t entry) {
    Settings card = s;
    std::vector<std::wstring> entries = CardEntries(s.Url);
    card.Url = entry < entries.size() ? entries[entry] : (entry == 0 ? str::Trim(s.Url) : L"");
    card.UrlLastConnect = LastConnectOf(s.UrlLastConnect, entry);
    return card;
}

std::wstring LocalFolderKey(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    while (path.size() > 1 && path.back() == L'\\') path.pop_back();
    return fs::NameKey(path);
}

namespace {

bool Holds(const std::wstring& outer, const std::wstring& inner) {
    return inner == outer || str::StartsWith(inner, outer + L"\\");
}

bool OneInTheOther(const std::wstring& a, const std::wstring& b) {
    const std::wstring ka = LocalFolderKey(a), kb = LocalFolderKey(b);
    return Holds(ka, kb) || Holds(kb, ka);
}

}  // namespace

std::optional<InboxRefused> InboxRefusal(const std::wstring& inbox, const std::wstring& pictures,
                                         const std::wstring& backup, const std::vector<std::wstring>& earlier) {
    if (!IsAbsoluteFolderPath(inbox)) return InboxRefused{InboxClash::NotFullPath, {}};
    if (!pictures.empty() && OneInTheOther(inbox, pictures)) return InboxRefused{InboxClash::Pictures, pictures};
    if (!backup.empty() && OneInTheOther(inbox, backup)) return InboxRefused{InboxClash::Backup, backup};
    for (const std::wstring& other : earlier)
        if (OneInTheOther(inbox, other)) return InboxRefused{InboxClash::OtherInbox, other};
    return std::nullopt;
}

std::optional<std::wstring> InboxRefusal(const std::wstring& inbox, const Settings& s,
                                         const std::vector<std::wstring>& earlier) {
    std::optional<InboxRefused> refused = InboxRefusal(inbox, s.SourcePath, s.BackupPath, earlier);
    if (!refused) return std::nullopt;
    switch (refused->clash) {
    case InboxClash::NotFullPath: return L"it is no full path of a folder";
    case InboxClash::Pictures:
    case InboxClash::Backup: return L"it would feed itself: the inbox and " + refused->with + L" lie one in the other";
    case InboxClash::OtherInbox:
        return L"its pictures would be taken twice: it lies in " + refused->with + L" or holds it";
    }
    return std::nullopt;
}

size_t RootLength(std::wstring_view p) {
    auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    auto letter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
    if (p.size() >= 2 && p[1] == L':' && letter(p[0])) return std::min<size_t>(3, p.size());
    if (p.size() >= 2 && separator(p[0]) && separator(p[1])) {
        size_t server = p.find_first_of(L"\\/", 2);
        if (server == std::wstring_view::npos) return p.size();
        size_t share = p.find_first_of(L"\\/", server + 1);
        return share == std::wstring_view::npos ? p.size() : share + 1;
    }
    return 1;
}

namespace {

// Whether the drive or share of an absolute path is there now.
bool RootIsThere(const std::wstring& path) {
    return !IsAbsoluteFolderPath(path) || fs::IsDirectory(path.substr(0, RootLength(path)));
}

}  // namespace

// Parents come before their children, so the default tree is made top-down.
std::optional<SettingsProblem> MakeWorkingTree(Settings& s, bool tfaActive, std::vector<std::wstring>& waiting) {
    struct Folder {
        const SettingKey* row;
        std::wstring path;
    };
    std::vector<Folder> folders;
    for (const SettingKey& row : SettingKeys()) {
        if (!row.belowProfile) continue;
        std::wstring& folder = row.slot.text(s);
        if (folder.empty()) folder = DefaultFolder(row.key);
        folders.push_back({&row, folder});
    }
    if (tfaActive) {
        const SettingKey* pictures = &SettingKeyOf(KeyId::PictureFolder);
        folders.push_back({pictures, StoreFolder(s, Store::HiRes)});
        folders.push_back({pictures, StoreFolder(s, Store::LoRes)});
    }
    for (const Folder& f : folders) {
        // A remote one is taken as written; one whose drive is not there can wait.
        const bool secondary = f.row->remoteAllowed;
        if ((secondary && IsFtp(f.path)) || EnsureFolder(f.path)) continue;
        const std::wstring why = fs::LastErrorText();
        if (secondary && !RootIsThere(f.path)) {
            waiting.push_back(L"[" + std::wstring(f.row->group) + L"] " + f.row->key +
                              L" is on a drive that is not there; the folder is made when it is first used: " + f.path);
            continue;
        }
        return SettingsProblem{SettingsProblemKind::FolderCannotBeMade, f.row->group, f.row->key, f.path, why};
    }
    return std::nullopt;
}

std::wstring StoreFolder(const Settings& s, Store where) {
    switch (where) {
    case Store::LoRes: return s.SourcePath + L"\\LoRes";
    case Store::HiRes: return s.SourcePath + L"\\HiRes";
    case Store::Selected: return s.SourcePath + L"\\Selected";
    case Store::Storage: return s.StoragePath;
    case Store::Target: return s.TargetPath;
    case Store::Tmp: return s.TmpPath;
    case Store::ThumbnailCache: return s.ThumbnailPath;
    }
    return L"";
}

std::wstring StoreFile(const Settings& s, Store where, std::wstring_view name) {
    return StoreFolder(s, where) + (where == Store::ThumbnailCache ? L"\\_thm_" : L"\\") + std::wstring(name);
}

std::wstring DownloadName(size_t entry) {
    return L"Wemlox" + (entry == 0 ? std::wstring() : L"-" + std::to_wstring(entry + 1)) + std::wstring(kDownloadSuffix);
}

std::wstring DownloadFile(const Settings& s, size_t entry) { return StoreFolder(s, Store::Tmp) + L"\\" + DownloadName(entry); }

std::wstring PartFolder(const std::wstring& folder) { return folder + L"\\" + std::wstring(kPartFolder); }

namespace {

std::wstring PartOf(const std::wstring& path, PathPart part) {
    size_t slash = path.rfind(L'\\');
    std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
    switch (part) {
    case PathPart::PathFile: return path;
    case PathPart::Path: return slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
    case PathPart::File: return file;
    case PathPart::Ext: {
        size_t dot = file.rfind(L'.');
        return dot == std::wstring::npos ? L"" : file.substr(dot + 1);
    }
    }
    return L"";
}

}  // namespace

std::wstring own_CheckPathFile(const std::wstring& path, bool mustExist, PathPart part) {
    std::wstring p = str::Trim(path);
    std::wstring found = PartOf(p, part);
    if (!mustExist || found.empty()) return found;
    if (fs::IsNonEmptyFile(p) || (part == PathPart::Path && fs::IsDirectory(p))) return found;
    return L"";
}

}  // namespace model
