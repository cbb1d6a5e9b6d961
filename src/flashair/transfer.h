// Moving pictures from the card into the local store: the automatic and the
// button transfer, single-file transfers, and the one download primitive
// they all use. Everything here runs on the card thread.
#pragma once

#include <cstdint>
#include <string>

// Fetches a card file into TmpPath + "\" + name; 1 when it arrived complete.
// expectedSize (0 = unknown) is the size the card listed; rawName is the name
// as the card sent it (for the URL), empty to use name.
uint8_t TFA_TransFile(const std::wstring& name, const std::wstring& cardDir, uint64_t expectedSize = 0,
                      const std::string& rawName = {});
// Transfers every new candidate; automatic selects TransferModeAuto, else
// TransferModeMan. Returns 0.
uint8_t TFA_Transfer(uint8_t automatic);
// One file into targetFolder (StoragePath when empty); 1 when it is there.
uint8_t TFA_TransferFile(const std::wstring& name, const std::wstring& cardDir, const std::wstring& targetFolder,
                         uint8_t markTreeItem);
// The same without handing the file to the viewer.
uint8_t TFA_TransferFileSpecial(const std::wstring& name, const std::wstring& cardDir,
                                const std::wstring& targetFolder, uint8_t markTreeItem);

// Copies a finished temporary file into its destination under a temporary
// name and renames it, so a destination file is always complete.
[[nodiscard]] bool PlaceComplete(const std::wstring& from, const std::wstring& to);
