// What the transfer of new pictures needs of a source (a card, an inbox
// folder): look for what is new, what it listed, a fetch into a helper
// file, and the ledger that decides. One source, one ledger; several
// sources may each run their own transfer at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/pictures/card_list.h"
#include "model/settings/folders.h"
#include "model/settings/settings.h"

namespace model {

class PictureLedger;

// One picture for one store folder, in the order the transfer takes them.
struct TransferStep {
    CardFileRecord picture;  // its Directory is the source's folder
    Store folder = Store::LoRes;
    bool show = false;  // handed to the viewer once stored
};

class SourcePort {
public:
    virtual ~SourcePort() = default;
    // Who the source is, for its record (a card's CID, else its network name).
    virtual std::wstring WhoIs() const = 0;
    // Lists what may be new; true when the transfer should run now.
    // `changeRead`: a quick look has just seen a change.
    virtual bool Look(bool changeRead) = 0;
    // The quick look between two looks; true when it saw a change.
    virtual bool QuickLook() = 0;
    // The settings handed over with the running work: the kinds to
    // transfer, the store.
    virtual const Settings& Config() const = 0;
    // What the last look listed, in the order to take it; valid until the
    // next look.
    virtual std::vector<const CardFileRecord*> Listed() const = 0;
    // True while the source still answers (asked before each fetch).
    virtual bool StillThere() = 0;
    // Fetches the picture into `path`; true when it arrived whole.
    virtual bool FetchInto(const CardFileRecord& picture, const std::wstring& path) = 0;
    // The helper file a fetch goes into, named by nothing the source sends.
    virtual std::wstring PartFile() const = 0;
    // The rules of what is new and where it goes, with the source's record.
    virtual PictureLedger& Ledger() = 0;
    // Something listed could not be taken yet: the next look lists again
    // whatever the source says of changes.
    virtual void ListAgain() = 0;
    // The transfer has ended its step: a change the source reported is spent.
    virtual void StepEnded() = 0;
};

}  // namespace model
