// Moving pictures from the card into the local store: the automatic and the
// button transfer, single-file transfers, and the one download primitive
// they all use. Everything here runs on the card thread.
#pragma once

#include <cstdint>
#include <string>

// How the card spells a file and what it listed for it: the listing's bytes
// of its folder and name (the request must use the card's own spelling,
// whatever the program made of it), its size (0: not listed) and its date
// and time fields (which tell it from another picture of its name).
struct CardSpelling {
    std::string directory, name;
    uint64_t size = 0;
    int32_t date = 0, time = 0;
};

// Fetches a card file into TmpPath + "\" + name; 1 when it arrived complete:
// as long as the card listed it, and never longer than that (a file fetched
// without a listed size has a generous bound instead).
uint8_t TFA_TransFile(const std::wstring& name, const std::wstring& cardDir, const CardSpelling& as = {});
// Transfers every new candidate; automatic selects TransferModeAuto, else
// TransferModeMan. Returns 0.
uint8_t TFA_Transfer(uint8_t automatic);
// One file into targetFolder (StoragePath when empty); 1 when it is there.
// A file of its name there that is another picture stays: this one goes
// beside it.
uint8_t TFA_TransferFile(const std::wstring& name, const std::wstring& cardDir, const std::wstring& targetFolder,
                         uint8_t markTreeItem, const CardSpelling& as = {});
// The same without handing the file to the viewer.
uint8_t TFA_TransferFileSpecial(const std::wstring& name, const std::wstring& cardDir,
                                const std::wstring& targetFolder, uint8_t markTreeItem, const CardSpelling& as = {});

