// The no-transfer list.
#include "flashair/no_transfer.h"

#include <algorithm>

#include "base/fs.h"
#include "base/str.h"
#include "core/state.h"
#include "flashair/card_list.h"
#include "flashair/card_session.h"

namespace card {

namespace {

// A folder's file names in code-unit order, so the list does not depend on
// the order in which the file system happens to list them.
std::vector<std::wstring> StoredNames(const std::wstring& folder) {
    std::vector<std::wstring> names = fs::ListFileNames(folder);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

std::vector<std::wstring> NoTransferNames(std::vector<std::wstring> stored, const std::wstring& doNotLoad,
                                          bool onlyAdded, const std::vector<std::wstring>& initial,
                                          bool* full) {
    std::vector<std::wstring> names = std::move(stored);
    if (!doNotLoad.empty()) names.push_back(doNotLoad);
    if (onlyAdded) {
        names.insert(names.end(), initial.begin(), initial.end());
        std::stable_sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
    }
    if (full) *full = names.size() > kNoTransferCapacity;
    if (names.size() > kNoTransferCapacity) names.resize(kNoTransferCapacity);
    return names;
}

bool OnNoTransferList(const std::vector<std::wstring>& names, std::wstring_view name) {
    return std::any_of(names.begin(), names.end(), [&](const std::wstring& n) { return str::EqualsI(n, name); });
}

}  // namespace card

int32_t TFA_NoTransferList() {
    card::CardSession& c = g_card;
    if (c.PathChanged) {
        c.InitialSnapshotTaken = false;
        c.PathChanged = false;
    }
    std::vector<std::wstring> stored = card::StoredNames(c.Config.SourcePath + L"\\HiRes\\");
    std::vector<std::wstring> lores = card::StoredNames(c.Config.SourcePath + L"\\LoRes\\");
    stored.insert(stored.end(), lores.begin(), lores.end());
    if (c.Config.TransferOnlyAddedFiles && !c.InitialSnapshotTaken) {
        c.InitialCandidates.clear();
        for (const card::CardFileRecord& r : c.Lists.TransferCandidates) c.InitialCandidates.push_back(r.Name);
        c.InitialSnapshotTaken = true;
    }
    bool full = false;
    c.NoTransferNames = card::NoTransferNames(std::move(stored), c.Config.DoNotLoad,
                                              c.Config.TransferOnlyAddedFiles, c.InitialCandidates, &full);
    if (full) card::JournalOnce(card::CapacityText(L"names on the no-transfer list", card::kNoTransferCapacity));
    return static_cast<int32_t>(c.NoTransferNames.size());
}
