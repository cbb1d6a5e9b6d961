// The card session: the card's address and lists, and the card operations
// (requests, update poll, discovery, listing) over a narrow port to the
// outside world. The Win32 shell plugs in WinInet, the ICMP echo and the bar;
// tests plug in fakes. No platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/fs.h"
#include "model/common/info_logic.h"
#include "model/common/writer_thread.h"
#include "model/pictures/card_list.h"
#include "model/pictures/card_text.h"
#include "model/pictures/picture_ledger.h"
#include "model/pictures/source_port.h"
#include "model/settings/folders.h"
#include "model/settings/settings.h"

namespace model {

// Read capacities of the requests: anything beyond is not read.
inline constexpr size_t kListingReadBytes = kAnswerBound;
inline constexpr size_t kSsidReadBytes = kSsidAnswerBytes;  // one more than an SSID can have
inline constexpr size_t kUpdateReadBytes = 8;
inline constexpr size_t kCidReadBytes = 64;  // a CID is 32 hex digits
// A card silent this long while a range is configured is looked for again
// over the range (it may have come back at another address).
inline constexpr int64_t kSilentBeforeSearchNs = int64_t{30} * 1000000000;
// A CID request (op=120) that got no answer is asked again after this long.
inline constexpr int64_t kCidRetryNs = int64_t{30} * 1000000000;
// A card that answered all along is still asked who it is this often:
// another card put in while no request was on its way leaves no silence.
inline constexpr int64_t kAskWhoEveryNs = int64_t{15} * 1000000000;
// Files fetched without a listed size (thumbnails) are small; a card that
// sends more is not believed.
inline constexpr uint64_t kUnlistedFetchLimit = uint64_t{16} << 20;
// An update poll answered this late went through a silence: the card was
// asleep, or out while another was put in.
inline constexpr int64_t kLateAnswerNs = int64_t{1} * 1000000000;
// Remarks written once per run: a card that sends ever new odd names makes
// no more than this many, each at most kRemarkChars long.
inline constexpr size_t kMaxRemarks = 500;
inline constexpr size_t kRemarkChars = 300;

// What one short request brought back.
struct CardAnswer {
    bool opened = false;  // the card accepted the request and answered with a status
    bool success = false; // ... and that status was a success (2xx)
    int status = 0;       // the HTTP status, 0 when none came
    std::string body;     // at most the capacity asked for; empty unless success
    bool cut = false;     // the body went on beyond the capacity and was cut there
    bool broken = false;  // the body ended early: shorter than announced, or the connection failed
    // A success whose whole body arrived.
    bool Whole() const { return success && !cut && !broken; }
};

// How the card spells a file and what it listed for it: the listing's bytes
// of its folder and name (the request must use the card's own spelling,
// whatever the program made of it) and its size (0: not listed).
struct CardSpelling {
    std::string directory, name;
    uint64_t size = 0;
};

// How a fetch of a card file into a local file ended.
struct Fetched {
    bool arrived = false;    // whole: as long as the card listed it
    bool cancelled = false;  // stopped by the user or the program's end
    std::string why;         // the reason of a failure, for the journal
};

// Everything the card operations need from outside.
class CardPort : public LedgerPort {
public:
    // GET of an URL, reading at most `capacity` bytes of the body.
    virtual CardAnswer Get(const std::wstring& url, size_t capacity) = 0;
    // One echo request with the time-out; true when the host answered.
    virtual bool Ping(const std::wstring& host, int timeoutMs) = 0;
    // Another card of the program was accepted at host: it is not looked
    // at as this one (ranges may overlap, a card may come back at an address
    // of another's range).
    virtual bool HeldByAnother(const std::wstring& host) { (void)host; return false; }
    // A card was accepted at host with its network name: the interface's
    // UrlLastConnect follows.
    virtual void CardFound(const std::wstring& host, const std::wstring& ssid) = 0;
    // The card thread moved on to the camera's next folder: the interface's
    // Path follows.
    virtual void CameraFolderFollowed(const std::wstring& path) = 0;
    // A walk of the card has listed `listed` of the `known` folders so far.
    virtual void WalkListed(size_t listed, size_t known) { (void)listed, (void)known; }
    // Fetches `url` into the file at `path`: `size` bytes when the card
    // listed a size (another length fails), at most `limit` bytes anyway.
    // `name` is what progress shows. Waits for the end, a cancel or the
    // program's end.
    virtual Fetched Fetch(const std::wstring& url, const std::wstring& path, uint64_t size, uint64_t limit,
                          const std::wstring& name) = 0;
};

struct AddressSweep;

// What the last poll of the card said: nothing (no answer, or reset after a
// tick), the card just found, the card's own update flag ("0" is Unchanged,
// "1" Changed), or an answer that is neither.
enum class CardChange : uint8_t { None, Found, Other, Unchanged, Changed };

// The card session: one card, its address, identity, listings, ledger and
// record, with the card operations (requests, update poll, discovery,
// listings). It belongs to the card thread and reads the settings from
// Config(), the interface's settings as they were when the running card
// work was handed over, never the interface's own. Its state changes only
// through its methods; a second card is a second Session on a port of its own.
class Session final : public SourcePort {
public:
    explicit Session(CardPort& port);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The calling thread writes the session from now on: the card thread
    // when it starts, the interface thread again once it has ended.
    void BindWriter() { writer_.Bind(); }

    // Start of a run with card access: the first search starts from [TFA]
    // Url and tries [TFA] UrlLastConnect first; a sweep reads [TFA] Url from
    // `settingsFile` again. The cards' records live in `recordFolder`;
    // `runStart` is when the program started.
    // `entry`: which of [TFA] Url's entries this card is (its settings are
    // model::CardSettings of that entry).
    void Begin(const Settings& settings, const std::wstring& settingsFile, const std::wstring& recordFolder,
               int64_t runStart, size_t entry = 0);
    // The settings handed over with card work become Config, except that a
    // camera folder the card thread followed stays followed until the
    // interface's settings have caught up (or name yet another folder). A new
    // [TFA] Url has the card looked for there; a new camera folder counts as
    // one the user chose. `journalShown`: the journal was visible then (a
    // range is swept only while it is).
    void AdoptSettings(const Settings& settings, bool journalShown = true);
    // The user chose the camera folder (the tree's menu): its next listing
    // decides anew what was there before.
    void CameraFolderChosen();
    // Writes a journal line the first time the text comes up in this run, so
    // a polled listing does not repeat its remarks on every tick; past
    // kMaxRemarks one line says that the rest go unsaid.
    void JournalOnce(const std::wstring& text);

    // Part of the card timer step before the automatic transfer: finds and
    // lists the card while it is not connected, polls its update flag, and
    // lists the camera folder again when the flag asks for it. With
    // FollowNewFolders it also looks for the camera's next folder and moves
    // on to it. True when the automatic transfer should run now.
    // `changeRead`: the quick poll has just read a change; it is not asked again.
    bool Poll(bool changeRead = false);
    // Between ticks ([TFA] QuickPollMs): op=102 alone, while the card is
    // connected. True when it reports a change; the step started for it
    // passes changeRead, since the card clears its flag when read.
    bool QuickPoll();

    // Lists the camera folder (op=100): the transfer candidates, their count
    // (0 also when the card gave no listing, which changes nothing).
    int32_t ListCameraFolder();
    // Takes a camera-folder listing the card sent: the candidates, their count.
    int32_t TakeCameraListing(const std::string& answer);
    // Walks the card from `root` for the tree (see ExamineTree): the number
    // of records, 0 when the first listing could not be had.
    int32_t WalkCard(const std::wstring& root);
    // Asks the card for its network name (op=104) into CardSsid; false when
    // it gave none.
    bool AskSsid();
    // The op=102 answer: Changed or Unchanged (or Other for any other
    // answer), None when the card did not answer; paints button 6's lower
    // lamp green or red.
    CardChange CheckUpdate();
    // True when the host answered one echo request within [TFA] PingTimeoutMs.
    bool CheckUrlPing(const std::wstring& host);
    // Finds the card: last good address, configured host, then the range
    // sweep (with the journal hidden: quietly, less often the longer the card
    // stays away). True when a card was accepted.
    bool SearchUrl();
    // Brings the transfer's rules up to date with the camera folder's
    // listing: a changed camera folder drops the snapshot of the pictures
    // from before, the store is refreshed, [TFA] DoNotLoad and
    // TransferOnlyAddedFiles are applied. Returns how many of the listed
    // pictures the transfer leaves alone (barred, or stored already).
    int32_t NoTransferList();
    // Fetches a card file of `cardDir` (a CGI part such as
    // "/thumbnail.cgi?" kept as it is) into `path`, with button 1's lamps;
    // true when it arrived complete: as long as the card listed it, and
    // never longer than that (a file fetched without a listed size has a
    // generous bound instead). A failure is journalled, and listed again on
    // the next tick unless it was cancelled.
    bool Download(const std::wstring& name, const std::wstring& cardDir, const CardSpelling& as,
                  const std::wstring& path);

    // What the card thread knows of the card, read by the card thread (and
    // by the interface thread before Start and after Stop).
    const Settings& Config() const override { return config_; }
    bool JournalShown() const { return journalShown_; }
    const std::wstring& UrlLastConnect() const { return urlLastConnect_; }
    const std::wstring& CardHost() const { return cardHost_; }
    const std::wstring& UpdateUrl() const { return updateUrl_; }
    const std::wstring& CardSsid() const { return cardSsid_; }
    bool CardConnected() const { return connected_; }
    int64_t LastAnswer() const { return lastAnswer_; }
    CardChange UpdateFlag() const { return updateFlag_; }
    bool ChangeNotListed() const { return changeNotListed_; }
    bool PathChanged() const { return pathChanged_; }
    int32_t TransferCandidateCount() const { return candidateCount_; }
    const CardLists& Lists() const { return lists_; }
    const std::vector<std::wstring>& PreviousPaths() const { return previousPaths_; }
    const std::vector<CardFileRecord>& Leftovers() const { return leftovers_; }
    size_t RemarksSaid() const { return saidOnce_.size(); }
    const PictureLedger& Ledger() const { return pictures_; }

    // SourcePort: the card as a source of the transfer of new pictures.
    std::wstring WhoIs() const override { return pictures_.Record().CardId(); }
    bool Look(bool changeRead) override { return Poll(changeRead); }
    bool QuickLook() override { return QuickPoll(); }
    // The camera folder's pictures, then those left in a folder the camera
    // moved on from.
    std::vector<const CardFileRecord*> Listed() const override;
    bool StillThere() override { return CheckUpdate() != CardChange::None; }
    bool FetchInto(const CardFileRecord& picture, const std::wstring& path) override;
    std::wstring PartFile() const override { return DownloadFile(config_, entry_); }
    PictureLedger& Ledger() override;
    void ListAgain() override;
    void StepEnded() override;

private:
    // Tests seed a listing that no answer of a card leads to.
    friend struct SessionTestAccess;

    bool RequestSsid(const std::wstring& host);
    bool TakeSsid(const std::string& answer);
    bool AnswersAsCard(const std::wstring& host);
    bool Accept(const std::wstring& host);
    void ShowSearching();
    std::wstring ConfiguredUrl();
    bool Sweep(const AddressSweep& sweep);
    void NoteCut(const CardAnswer& a);
    std::optional<std::string> FetchListing(const std::string& path);
    std::optional<std::wstring> NextFolderOnCard();
    void FollowCamera(const std::wstring& next);
    void ListPreviousFolders();
    bool AutoTransferWants(const CardFileRecord& c) const;
    bool IdentifyCard();
    void CardIs(const std::wstring& id, const std::wstring& name, bool sameCard);
    bool AskWhoAfterSilence();
    void IdentifyAgainLater();
    bool SearchAgainWhileSilent();
    void LookForNextFolder();

    CardPort* port_;
    // Who writes everything below: the card thread while it runs (it binds
    // itself), the interface thread before and after. Debug builds stop at a
    // write from another thread.
    WriterThread writer_;

    // Set by Begin on the interface thread before the card thread starts.
    std::wstring settingsFile_;  // [TFA] Url is read from it again before a sweep
    size_t entry_ = 0;           // the card's entry in [TFA] Url

    // Handed over with each piece of card work (card thread, AdoptSettings).
    Settings config_;
    bool journalShown_ = false;  // the journal was visible when the work was handed over
    bool pathChanged_ = false;   // the user chose a new [TFA] Path
    // A camera folder followed by the card thread (FollowNewFolders): the
    // interface's settings name the old one until its copy of Path follows.
    std::wstring followedFrom_, followedTo_;

    // The card's address and identity (card thread).
    std::wstring urlLastConnect_;  // last good address; the interface's copy follows it
    std::wstring cardHost_;   // address probed, after success the card's address
    std::wstring updateUrl_;  // "http://" + cardHost_ + "/command.cgi?op=102" once accepted
    std::wstring cardSsid_;   // last op=104 answer
    bool connected_ = false;  // a camera-folder listing succeeded in this run
    int64_t lastAnswer_ = 0;  // when the card last answered (file-system time)
    int64_t nextSilentSearch_ = 0;  // when a silent card is looked for again
    int64_t silentSearchPause_ = kSilentBeforeSearchNs;
    // The card's CID and the address it answered it at; while a CID request
    // there fails, the card keeps it. A card that gave no answer to it yet
    // is asked again from nextCidTry_ on.
    std::wstring cidId_, cidHost_;
    bool cidAsked_ = false;
    int64_t nextCidTry_ = 0;
    int64_t askedWho_ = 0;  // when the card was last asked who it is
    // The card gave no answer since it last said who it is.
    bool silenced_ = false;
    std::wstring cardSaid_;  // the card the journal last named

    // The update flag, the listings and what is new (card thread).
    CardChange updateFlag_ = CardChange::None;  // what the last poll said
    // The card reports a change only once. A "1" read by a transfer or a tree
    // build is kept here until the camera folder is listed again, so a shot
    // made meanwhile is not missed on the next tick.
    bool changeNotListed_ = false;
    bool listed_ = false;  // the last camera-folder request gave a listing
    int32_t candidateCount_ = 0;
    CardLists lists_;
    // The camera folders left behind while they still held pictures to
    // fetch (the last shots, a failed download), and those pictures, with
    // their folder in Directory: they are fetched after the camera folder's.
    std::vector<std::wstring> previousPaths_;
    std::vector<CardFileRecord> leftovers_;
    // The camera's next folder, when FollowNewFolders is No: its pictures
    // are not transferred, and button 6's lamp says so.
    std::wstring unfollowedFolder_;
    // A camera folder the user chose may well have later folders beside it
    // already: those are not the camera moving on.
    bool nextFolderToNote_ = false;
    bool nextFolderLooked_ = false;  // once per run at least
    std::wstring folderAlreadyNext_;
    std::set<std::wstring> saidOnce_;  // journal texts already written this run, at most kMaxRemarks
    bool remarksCut_ = false;  // said that further remarks go unsaid
    PictureLedger pictures_;   // the transfer's rules and the card's record
};

}  // namespace model
