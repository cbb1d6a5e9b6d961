// Moving pictures from the card into the local store: the card timer's step,
// the automatic and the button transfer, single files for the user, and the
// one download they all use. Everything here runs on the card thread; what
// the bar must show goes as events.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/backup.h"
#include "app/card_events.h"
#include "app/card_thread.h"
#include "model/card_session.h"
#include "win/download.h"

namespace app {

// How the card spells a file and what it listed for it: the listing's bytes
// of its folder and name (the request must use the card's own spelling,
// whatever the program made of it) and its size (0: not listed).
struct CardSpelling {
    std::string directory, name;
    uint64_t size = 0;
};

class Transfers {
public:
    // `backup` takes every picture that enters the store, after the viewer.
    Transfers(model::Session& card, CardThread& thread, Backup& backup)
        : card_(card), thread_(thread), backup_(backup) {}

    // One tick of the card timer: finds and polls the card and transfers
    // what is new.
    void TimerStep();
    // Between ticks ([TFA] QuickPollMs): op=102, and the card step at once
    // on a change.
    void QuickPollStep();
    // Every new picture into HiRes and LoRes; `automatic` takes
    // TransferModeAuto, else TransferModeMan.
    void TransferNew(bool automatic);
    // Fetches a card file into the temporary folder; true when it arrived
    // complete: as long as the card listed it, and never longer than that (a
    // file fetched without a listed size has a generous bound instead).
    bool Download(const std::wstring& name, const std::wstring& cardDir, const CardSpelling& as);
    // One file for the user into a folder of its own (storage): the file of
    // that folder that is the picture serves; otherwise a local copy of the
    // picture or the card's is stored beside whatever else has its name.
    // True when it is there; shown in the viewer when `show`.
    bool FetchToFolder(const CardFile& file, const std::wstring& folder, bool show);

private:
    void CardStep(bool changeRead);
    std::optional<std::wstring> FetchInto(const model::CardFileRecord& c, model::Store folder,
                                          const model::StorePlan& plan);
    bool WaitForDownload(win::BackgroundDownload& download, const std::wstring& name, int64_t size);
    std::wstring TmpFile() const;
    std::wstring CardUrl(const std::wstring& cardDir, const std::wstring& name, const CardSpelling& as) const;

    model::Session& card_;
    CardThread& thread_;
    Backup& backup_;
};

}  // namespace app
