// Environment values, working folders and path parts.
#include "model/folders.h"

#include "base/fs.h"
#include "base/str.h"
#include "model/settings.h"

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

// Remote targets are taken as written: nothing to check or create locally.
bool EnsureFolderUnlessFtp(const std::wstring& folder) {
    return str::ContainsI(folder, L"ftp://") || EnsureFolder(folder);
}

void FillDefault(std::wstring& folder, const std::wstring& profile, const wchar_t* ending) {
    if (folder.empty()) folder = profile + ending;
}

}  // namespace

bool EnsureFolder(const std::wstring& folder) {
    return fs::IsDirectory(folder) || fs::CreateDir(folder);
}

// Parents come before their children, so each step creates one level only.
bool CreateWorkingTree(Settings& s, bool tfaActive) {
    std::wstring profile = own_GetEnv(L"userprofile");
    FillDefault(s.SourcePath, profile, L"\\Wemlox");
    FillDefault(s.TargetPath, profile, L"\\Wemlox\\Selected");
    FillDefault(s.StoragePath, profile, L"\\Wemlox\\Storage");
    FillDefault(s.ThumbnailPath, profile, L"\\Wemlox\\Storage\\Thumbnails");
    FillDefault(s.TmpPath, profile, L"\\Wemlox\\Storage\\tmp");
    if (!EnsureFolder(s.SourcePath)) return false;
    if (!EnsureFolderUnlessFtp(s.TargetPath)) return false;
    if (!EnsureFolderUnlessFtp(s.StoragePath)) return false;
    if (!EnsureFolderUnlessFtp(s.ThumbnailPath)) return false;
    if (!EnsureFolder(s.TmpPath)) return false;
    if (tfaActive)
        return EnsureFolder(s.SourcePath + L"\\HiRes") && EnsureFolder(s.SourcePath + L"\\LoRes");
    return true;
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
    std::wstring file = StoreFolder(s, where) + (where == Store::ThumbnailCache ? L"\\_thm_" : L"\\") + std::wstring(name);
    return where == Store::Tmp ? file + std::wstring(kDownloadSuffix) : file;
}

namespace {

std::wstring PathPart(const std::wstring& path, const std::wstring& kind) {
    size_t slash = path.rfind(L'\\');
    std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (kind == L"pathfile") return path;
    if (kind == L"path") return slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
    if (kind == L"file") return file;
    if (kind == L"ext") {
        size_t dot = file.rfind(L'.');
        return dot == std::wstring::npos ? L"" : file.substr(dot + 1);
    }
    return L"";
}

}  // namespace

std::wstring own_CheckPathFile(const std::wstring& path, uint8_t mustExist,
                               const std::wstring& kind) {
    std::wstring p = str::Trim(path);
    std::wstring k = str::ToLower(kind);
    std::wstring part = PathPart(p, k);
    if (!mustExist || part.empty()) return part;
    if (fs::IsNonEmptyFile(p) || (k == L"path" && fs::IsDirectory(p))) return part;
    return L"";
}

}  // namespace model
