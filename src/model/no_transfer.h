// The no-transfer list: names the transfer must not fetch (pictures already
// stored, the one barred name, and with TransferOnlyAddedFiles the pictures
// that were on the card when the camera folder was first listed).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/card_list.h"
#include "model/store_index.h"

namespace card {

// Every stored name however large the store, matched ignoring case in one
// look-up per part. Nothing is merged or sorted: a tick in which nothing
// changed reads two folder times and nothing else.
class NoTransferList {
public:
    // [TFA] DoNotLoad and TransferOnlyAddedFiles as they are now.
    void Configure(std::wstring_view doNotLoad, bool onlyAdded);

    // The store below SourcePath: see StoreIndex::Refresh and NoteStored.
    bool RefreshStore(const std::wstring& sourcePath) { return store_.Refresh(sourcePath); }
    bool RefreshStore(const std::wstring& sourcePath, int64_t now) { return store_.Refresh(sourcePath, now); }
    void NoteStored(std::wstring_view name) { store_.NoteStored(name); }
    const StoreIndex& Store() const { return store_; }

    // With TransferOnlyAddedFiles: the names of the camera folder's listing
    // as the pictures that were there before this run, taken at the first
    // call and kept until ForgetSnapshot. Give it only a listing the card
    // really sent: a failed one would make every old picture count as new.
    // Without TransferOnlyAddedFiles it does nothing.
    void TakeSnapshotOnce(const std::vector<CardFileRecord>& candidates);
    // The camera folder changed: the next listing takes a new snapshot.
    void ForgetSnapshot();
    bool HasSnapshot() const { return snapshotTaken_; }

    // True when the transfer must not fetch this name (ignoring case).
    bool Contains(std::wstring_view name) const;
    // Distinct names on the list (ignoring case).
    int32_t Count() const;

private:
    std::wstring doNotLoad_;
    bool onlyAdded_ = false;
    bool snapshotTaken_ = false;
    NameSet snapshot_;
    StoreIndex store_;
    // Count() is kept until one of its parts changes.
    mutable int32_t count_ = -1;
    mutable uint64_t countGeneration_ = 0;
};

}  // namespace card
