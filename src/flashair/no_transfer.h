// The no-transfer list: names the transfer must not fetch (pictures already
// stored, the one barred name, and with TransferOnlyAddedFiles the pictures
// that were on the card when the camera folder was first listed).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace card {

inline constexpr size_t kNoTransferCapacity = 8192;

// The list from its parts: stored names, then doNotLoad when not empty. With
// onlyAdded the initial candidates are added and the whole list is sorted by
// code unit and freed of repeated names (both case-sensitive). Never longer
// than kNoTransferCapacity; `full` tells whether names were left out.
std::vector<std::wstring> NoTransferNames(std::vector<std::wstring> stored, const std::wstring& doNotLoad,
                                          bool onlyAdded, const std::vector<std::wstring>& initial,
                                          bool* full = nullptr);

// True when the name is on the list, ignoring case.
bool OnNoTransferList(const std::vector<std::wstring>& names, std::wstring_view name);

}  // namespace card

// Rebuilds the card session's NoTransferNames from the store folders
// SourcePath\HiRes\ and \LoRes\, [TFA] DoNotLoad and, with
// TransferOnlyAddedFiles, the first candidates of the run; NoTransferCount.
int32_t TFA_NoTransferList();
