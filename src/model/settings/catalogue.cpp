// Viewer catalogue, automatic viewer search and working-mode derivation.
#include "model/settings/catalogue.h"

#include <string_view>

#include "base/fs.h"
#include "base/str.h"
#include "model/settings/folders.h"

namespace model {

// A program-files folder ready for appending a sub-path; "" when the variable
// is unset, so no relative path is probed.
static std::wstring ProgramFilesFolder(const wchar_t* variable) {
    std::wstring folder = own_GetEnv(variable);
    if (str::Trim(folder).empty()) return L"";
    if (!str::EndsWith(folder, L"\\")) folder += L"\\";
    return folder;
}

static std::wstring_view FileName(std::wstring_view path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

bool IsViewerProgram(std::wstring_view viewerId, std::wstring_view programPath, std::wstring_view viewerPath) {
    std::wstring_view program = FileName(programPath);
    if (program.empty()) return false;
    if (!viewerPath.empty() && str::EqualsI(program, FileName(viewerPath))) return true;
    for (size_t row = 0; std::wstring_view(KnownViewers[row]) != kKnownViewersEnd; row += 2)
        if (viewerId == KnownViewers[row + 1] && str::EqualsI(program, FileName(KnownViewers[row]))) return true;
    return false;
}

std::wstring AutoSearchViewer(std::wstring& foundViewerId) {
    const std::wstring folders[] = {ProgramFilesFolder(L"programfiles"),
                                    ProgramFilesFolder(L"programfiles(x86)")};
    for (size_t row = 0; std::wstring_view(KnownViewers[row]) != kKnownViewersEnd; row += 2) {
        for (const std::wstring& folder : folders) {
            if (folder.empty()) continue;
            std::wstring candidate = folder + KnownViewers[row];
            if (fs::IsNonEmptyFile(candidate)) {
                foundViewerId = KnownViewers[row + 1];
                return candidate;
            }
        }
    }
    return L"";
}

std::wstring ModeFromViewerPath(const std::wstring& viewerPath) {
    struct Rule { const wchar_t* a; const wchar_t* b; const wchar_t* id; };
    // Order matters: a path naming both Adobe and nomacs is Photoshop.
    static const Rule rules[] = {
        {L"irfan", L"i_view", L"irfan"},
        {L"FastStone", L"FSViewer", L"fast"},
        {L"xnview", nullptr, L"xnview"},
        {L"adobe", L"photoshop", L"ps"},
        {L"nomacs", nullptr, L"nomacs"},
    };
    for (const Rule& r : rules)
        if (str::ContainsI(viewerPath, r.a) || (r.b && str::ContainsI(viewerPath, r.b))) return r.id;
    return L"systemonly";
}


std::wstring DeriveMode(const std::wstring& rawMode, bool modeKeyPresent,
                        const std::wstring& foundViewerId, const std::wstring& viewerPath) {
    std::wstring m = modeKeyPresent ? str::ToLower(str::Trim(rawMode)) : L"systemonly";
    // Precedence: transferonly, systemonly, viewerdefined, userdefined.
    if (str::ContainsI(m, L"transferonly")) m = L"transferonly";
    if (str::ContainsI(m, L"systemonly")) m = L"systemonly";
    bool recognised = false;
    if (str::ContainsI(m, L"viewerdefined") && !foundViewerId.empty()) {
        m = foundViewerId;
        recognised = true;
    }
    if (str::ContainsI(m, L"userdefined") && !foundViewerId.empty()) {
        m = L"userdefined";
        recognised = true;
    }
    if (str::ContainsI(m, L"transferonly") || str::ContainsI(m, L"systemonly")) recognised = true;
    return recognised ? m : ModeFromViewerPath(viewerPath);
}

bool DerivesToTransferOnly(const std::wstring& rawMode) {
    return DeriveMode(rawMode, true, L"", L"") == L"transferonly";
}

}  // namespace model
