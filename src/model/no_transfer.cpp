// The no-transfer list.
#include "model/no_transfer.h"

#include <algorithm>

#include "base/str.h"

namespace card {

void NoTransferList::Configure(std::wstring_view doNotLoad, bool onlyAdded) {
    if (doNotLoad == doNotLoad_ && onlyAdded == onlyAdded_) return;
    doNotLoad_ = doNotLoad;
    onlyAdded_ = onlyAdded;
    count_ = -1;
}

void NoTransferList::TakeSnapshotOnce(const std::vector<CardFileRecord>& candidates) {
    if (!onlyAdded_ || snapshotTaken_) return;
    for (const CardFileRecord& c : candidates) snapshot_.Insert(c.Name);
    snapshotTaken_ = true;
    count_ = -1;
}

void NoTransferList::ForgetSnapshot() {
    snapshot_.Clear();
    snapshotTaken_ = false;
    count_ = -1;
}

bool NoTransferList::Contains(std::wstring_view name) const {
    if (name.empty()) return false;
    if (!doNotLoad_.empty() && str::EqualsI(name, doNotLoad_)) return true;
    if (onlyAdded_ && snapshot_.Contains(name)) return true;
    return store_.Contains(name);
}

int32_t NoTransferList::Count() const {
    if (count_ >= 0 && countGeneration_ == store_.Generation()) return count_;
    size_t n = store_.Size();
    if (onlyAdded_)
        for (const std::wstring& name : snapshot_)
            if (!store_.Contains(name)) n++;
    if (!doNotLoad_.empty() && !store_.Contains(doNotLoad_) && !(onlyAdded_ && snapshot_.Contains(doNotLoad_))) n++;
    count_ = static_cast<int32_t>(std::min<size_t>(n, INT32_MAX));
    countGeneration_ = store_.Generation();
    return count_;
}

}  // namespace card
