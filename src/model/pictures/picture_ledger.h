// The transfer's rules: which card pictures are new, which file of the store
// is a picture, where a new one goes, when a picture still being written is
// fetched again, and what happens when the store cannot take a picture.
// The card thread asks it; the shell only downloads and shows. No platform
// headers: the store is reached through base/fs.h, journal lines and lamps
// through the card port.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "model/common/info_logic.h"
#include "model/pictures/card_list.h"
#include "model/pictures/card_record.h"
#include "model/pictures/picture.h"
#include "model/pictures/store_index.h"
#include "model/settings/folders.h"
#include "model/settings/settings.h"

namespace model {

// What the ledger tells and asks outside: journal lines, lamps, the clock.
class LedgerPort {
public:
    virtual ~LedgerPort() = default;
    virtual void Journal(const std::wstring& text) = 0;
    virtual void Lamp(int image, Lamp colour, LampAt at) = 0;
    // The file system's clock (tests set their own).
    virtual int64_t Now() { return fs::Now(); }
};

// What to do with one picture for one store folder (HiRes or LoRes).
struct StorePlan {
    enum class Action {
        Skip,   // the folder holds the picture already
        Fetch,  // download it and place it under `fileName`
        Later,  // the store, or this picture's name, cannot be taken now; it stays new
        Writing,  // a JPEG found cut short whose size has not held yet: listed again, not fetched now
    };
    Action action = Action::Skip;
    std::wstring fileName;
    // Files there that look like a copy of the picture cut short because the
    // camera was still writing it: the whole picture replaces the one its
    // download begins with, byte for byte; when none, it is another picture
    // of the name, and the download goes beside them.
    std::vector<std::wstring> cutCopies;
    // Files there of the picture's size that nothing else tells from it
    // (see Undecided): the same bytes are the picture, stored already.
    std::vector<std::wstring> sameCandidates;
};

// A downloaded picture placed into the store, or why not.
struct Placed {
    bool ok = false;
    std::wstring path;  // the stored file (or the one that could not be made)
    std::wstring why;   // the system's reason, when not ok
    bool already = false;  // the store held these very bytes: nothing was placed
};

class PictureLedger {
public:
    // How long a store that failed is left alone before it is tried again.
    static constexpr int64_t kStoreRetryNs = int64_t{15} * 1000000000;
    // A picture the store cannot take while it takes others (no free name
    // beside it, a name the file system refuses) is left alone this long,
    // twice as long after each try up to kPictureRetryMaxNs; the pictures
    // after it go on at once. At most kMaxPicturesLeft are kept so.
    static constexpr int64_t kPictureRetryNs = kStoreRetryNs;
    static constexpr int64_t kPictureRetryMaxNs = int64_t{600} * 1000000000;
    static constexpr size_t kMaxPicturesLeft = 1000;
    // A picture is taken to have arrived between two listings of its folder
    // this close together; later readings of the clock would be too loose.
    static constexpr int64_t kArrivalWindowNs = int64_t{60} * 1000000000;
    // How far a picture's card time may move while the camera writes it.
    static constexpr int64_t kWritingTimeNs = int64_t{120} * 1000000000;

    explicit PictureLedger(LedgerPort& port) : port_(&port) {}

    // Start of a run: where the card records live, when the run started and
    // since when stored files carry the card's time (file-system times).
    void Begin(std::wstring recordFolder, int64_t runStart, int64_t since);
    // The name of the card's download file in TmpPath, which the first look
    // of the run clears: each card its own, so one card's clearing never
    // meets another's download.
    void OwnDownload(std::wstring name) { download_ = std::move(name); }
    // The card answered as `cardId` (its CID, else its network name): its
    // record is opened; the record of the card before is written first.
    // `sameCard`: the card before was this one under another name (its
    // network name until its CID came), so what the run knows of it stays.
    // True when it is another card than the one before: what the run knew of
    // that one's pictures goes, and this card's first listing decides anew.
    bool CardIdentified(const std::wstring& cardId, bool sameCard = false);
    // The settings that the rules read, as they are now.
    void Configure(const Settings& s);

    // A listing of a camera folder, or of one the camera moved on from: the
    // first one of the run (with TransferOnlyAddedFiles) decides which
    // pictures were there before; pictures seen arriving tell the camera's
    // clock; new pictures not stored yet are recorded as waiting.
    // `cameraFolder`: the folder the camera writes to now.
    void Listed(const std::wstring& folder, const std::vector<CardFileRecord>& candidates, int64_t now,
                bool cameraFolder);
    // One look at a source of many folders (an inbox and the folders below
    // it), each folder with its pictures: the first look of the run decides
    // over all of them at once which pictures were there before.
    void ListedFolders(const std::vector<std::pair<std::wstring, std::vector<CardFileRecord>>>& folders, int64_t now);
    // The camera folder changed: its next listing decides anew.
    void ForgetSnapshot();
    bool HasSnapshot() const { return snapshotTaken_; }
    // True when the transfer leaves the picture alone: [TFA] DoNotLoad, or
    // on the card before this run (TransferOnlyAddedFiles).
    bool Barred(const CardFileRecord& c) const;
    // True when the folder holds the picture: the card's record says where.
    // A file the record does not name for this picture is never taken for it
    // on its facts alone (another card's picture may have the same folder,
    // name, size and time): it is compared by its bytes once fetched.
    bool IsStored(const CardFileRecord& c, Store folder) const;
    // True when the picture is still to be fetched into the folder: not
    // barred, not stored (a copy cut short counts as not stored).
    bool NeedsFetch(const CardFileRecord& c, Store folder) const;

    // What to do now with the picture for the folder; a store that failed,
    // or a picture it could not take, is tried again when its pause is over.
    StorePlan Plan(const CardFileRecord& c, Store folder, int64_t now);
    // Places a complete download into the store as the plan says, with the
    // card's time as its modification time; never over another picture.
    // When it cannot, a store that still takes files has the picture paused
    // (a name found taken meanwhile only makes the next try go beside it);
    // otherwise the store is.
    Placed Place(const CardFileRecord& c, Store folder, const StorePlan& plan, const std::wstring& downloaded,
                 int64_t now);
    // True when the downloaded JPEG is no whole picture yet: it lacks its
    // end marker and the card has not listed it at this size for
    // kSteadyWriteNs (some cameras write data after the marker; their size
    // holds). A copy taken too early all the same is completed once the card
    // lists it whole (see StorePlan::cutCopies).
    // Such a JPEG is planned as Writing, without a download, until its size
    // has held. A download with the bytes of a file the plan compares it
    // with is that file, whole.
    bool StillBeingWritten(const CardFileRecord& c, const std::wstring& downloaded, int64_t now,
                           const StorePlan& plan = {}, Store folder = Store::LoRes);
    // A camera writes a picture within a second or so; a JPEG whose size
    // holds this long is as whole as it gets. The quick poll lists far more
    // often than that.
    static constexpr int64_t kSteadyWriteNs = int64_t{2} * 1000000000;

    // True while a store folder failed and waits for its next try.
    bool StoreFailing() const { return health_[0].failing || health_[1].failing; }
    // Writes the card's record if it changed; false when it cannot.
    [[nodiscard]] bool SaveRecord();
    const CardRecord& Record() const { return record_; }
    const StoreIndex& Index() const { return index_; }
    int64_t IdentitiesSince() const { return since_; }
    // Pictures on the snapshot, for the count of barred names.
    size_t SnapshotSize() const { return snapshot_.size(); }

private:
    struct Health {
        bool failing = false;
        int64_t nextTry = 0;
    };
    struct Pause {
        int64_t nextTry = 0, length = 0;
    };
    FileLookup LookupIn(Store folder) const;
    bool HasKind(const CardFileRecord& c, Store folder) const;
    std::wstring FolderOf(Store folder) const;
    bool IsNew(const PictureId& id) const;
    void LearnClock(const std::wstring& folderKey, const std::vector<CardFileRecord>& candidates, int64_t now);
    std::vector<std::wstring> CutCopies(const CardFileRecord& c, Store folder) const;
    std::vector<std::wstring> SameCandidates(const CardFileRecord& c, Store folder) const;
    bool StoreReady(Store folder, int64_t size, int64_t now);
    // Marks the folder failing until its pause is over, with button 6's
    // lamp red; the journal hears of it when `say` or when it begins.
    void StoreFailed(Store folder, const std::wstring& what, const std::wstring& why, int64_t now, bool say);
    // True when a file can be made in the folder now; else why not.
    bool TakesFiles(const std::wstring& dir, std::wstring& why) const;
    // Pauses one picture for the folder, with button 6's lamp red; the
    // journal hears of it once.
    void CannotPlace(const CardFileRecord& c, Store folder, const std::wstring& what, const std::wstring& why,
                     int64_t now);
    std::wstring PauseKey(const CardFileRecord& c, Store folder) const;

    LedgerPort* port_;
    std::wstring recordFolder_;
    int64_t runStart_ = 0, since_ = 0;
    std::wstring hiResFolder_, loResFolder_, hiRes_, loRes_, doNotLoad_;
    bool onlyAdded_ = false;
    bool snapshotTaken_ = false;
    // The snapshot counts what the camera took after the run started as new
    // (not after the user chose another camera folder).
    bool clockDecides_ = true;
    std::unordered_set<std::wstring> snapshot_;  // PictureId::Key of the pictures from before
    CardRecord record_;
    bool recordUnwritable_ = false;  // said once
    bool tmpSwept_ = false;          // the download a cut run left, once a run
    std::wstring download_ = DownloadName(0);  // the card's download file (a name in TmpPath)
    std::wstring partsSwept_;        // the store whose helper folders were swept
    StoreIndex index_;
    Health health_[2];  // HiRes, LoRes
    std::unordered_map<std::wstring, Pause> paused_;  // by PauseKey
    // Per folder of the card: when it was listed last, and each picture's
    // size in its last two listings (by PictureId::PlaceKey) with the time
    // of the first listing that showed that size.
    struct SizeSeen {
        int64_t size = 0, since = 0;
        bool cutShort = false;  // a download at this size lacked the JPEG's end marker
    };
    struct Listing {
        int64_t when = 0;
        std::unordered_map<std::wstring, SizeSeen> before, now;
    };
    std::unordered_map<std::wstring, Listing> listings_;
    // The picture's entry in its folder's last listing when it was listed at
    // its size; nullptr otherwise.
    SizeSeen* SeenAtThisSize(const CardFileRecord& c);
};

}  // namespace model
