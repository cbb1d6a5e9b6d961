// Process rights read from access tokens.
#include "win/process_rights.h"

#include <vector>

#include "win/handle.h"

namespace win {

namespace {

model::ProcessRights RightsOf(HANDLE process) {
    model::ProcessRights rights;
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return rights;
    KernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size);
    std::vector<BYTE> label(size);
    if (size && GetTokenInformation(token.get(), TokenIntegrityLevel, label.data(), size, &size)) {
        PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
        const UCHAR count = *GetSidSubAuthorityCount(sid);
        if (count > 0) rights.integrity = *GetSidSubAuthority(sid, count - 1u);
    }
    DWORD uiAccess = 0;
    if (GetTokenInformation(token.get(), TokenUIAccess, &uiAccess, sizeof uiAccess, &size))
        rights.uiAccess = uiAccess != 0;
    return rights;
}

}  // namespace

model::ProcessRights OwnRights() { return RightsOf(GetCurrentProcess()); }

model::ProcessRights RightsOfWindowOwner(HWND window) {
    DWORD pid = 0;
    if (!GetWindowThreadProcessId(window, &pid)) return {};
    KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    return process ? RightsOf(process.get()) : model::ProcessRights{};
}

}  // namespace win
