// Card requests, update poll, discovery and listings.
#include "model/card/card_session.h"

#include <algorithm>

#include "base/str.h"
#include "model/card/address_range.h"
#include "model/common/ids.h"
#include "model/pictures/card_text.h"
#include "model/settings/settings.h"

namespace model {

namespace {


const std::wstring kListingPath = L"/command.cgi?op=100&DIR=";
const std::wstring kUpdatePath = L"/command.cgi?op=102";
const std::wstring kSsidPath = L"/command.cgi?op=104";
const std::wstring kCidPath = L"/command.cgi?op=120";

std::wstring CardUrl(const std::wstring& host, const std::wstring& path) { return L"http://" + host + path; }

}  // namespace

Session::Session(CardPort& port) : port_(&port), pictures_(port) {}

// op=104 of a host; its answer becomes CardSsid. True when it answered with
// something that can be a card's network name: a router's page or a
// redirect is no card.
bool Session::RequestSsid(const std::wstring& host) {
    CardAnswer a = port_->Get(CardUrl(host, kSsidPath), kSsidReadBytes);
    return a.success && TakeSsid(a.body);
}

bool Session::TakeSsid(const std::string& answer) {
    std::optional<std::wstring> ssid = SsidFromAnswer(answer);
    if (!ssid) return false;
    cardSsid_ = *ssid;
    return true;
}

bool Session::AnswersAsCard(const std::wstring& host) {
    return !port_->HeldByAnother(host) && CheckUrlPing(host) && RequestSsid(host);
}

bool Session::Accept(const std::wstring& host) {
    cardHost_ = host;
    updateUrl_ = CardUrl(host, kUpdatePath);
    urlLastConnect_ = host;
    lastAnswer_ = port_->Now();
    port_->CardFound(host, cardSsid_);
    port_->Journal(L"TFA Success: " + host);
    silenced_ = false;
    (void)IdentifyCard();
    return true;
}

// The card is known by its CID (op=120), the same whatever its address or
// network name; a card without op=120 by its network name. A request that
// got no answer says neither: a card known by its CID at this address
// keeps it, and is asked again later. False when it is not known who it is.
bool Session::IdentifyCard() {
    CardAnswer a = port_->Get(CardUrl(cardHost_, kCidPath), kCidReadBytes);
    askedWho_ = port_->Now();
    std::wstring cid = str::ToLower(str::Trim(str::FromUtf8(a.body)));
    bool hex = a.Whole() && cid.size() == 32;
    for (wchar_t c : cid) hex = hex && ((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'));
    const bool answered = a.Whole() || (a.opened && a.status >= 400 && a.status < 500);
    const bool sameCard = !cidHost_.empty() && cidHost_ == cardHost_;
    // Known by its network name until the CID came, at the same address:
    // the same card, now by its better name.
    const bool named = hex && sameCard && cidId_.empty() && cidAsked_;
    cidAsked_ = !answered;
    nextCidTry_ = port_->Now() + kCidRetryNs;
    if (hex) {
        cidId_ = L"cid-" + cid;
        cidHost_ = cardHost_;
        CardIs(cidId_, cid, named);
        return true;
    }
    if (!answered && sameCard && !cidId_.empty()) return false;
    cidId_.clear();
    cidHost_ = cardHost_;
    // A card without a CID (or not at the address where one was known) is
    // known by its network name.
    if (!cardSsid_.empty()) CardIs(L"ssid-" + cardSsid_, cardSsid_, false);
    return !cardSsid_.empty();
}

// The card in is `id`: its record is opened, and another card than the one
// before starts afresh (the first-sight rule for what it holds, its own
// folders), with the journal saying which card it is.
void Session::CardIs(const std::wstring& id, const std::wstring& name, bool sameCard) {
    if (pictures_.CardIdentified(id, sameCard)) {
        lists_.TransferCandidates.clear();
        candidateCount_ = 0;
        leftovers_.clear();
        previousPaths_.clear();
        unfollowedFolder_.clear();
        nextFolderLooked_ = false;
        changeNotListed_ = true;
    }
    if (id == cardSaid_ || sameCard) {
        cardSaid_ = id;
        return;
    }
    cardSaid_ = id;
    port_->Journal(L"Card: " + name + L" (" + cardHost_ + L")");
}

// After a silence another card may answer at this address (the photographer
// put in the next one): it says who it is before its listing is trusted.
// False while it does not say.
bool Session::AskWhoAfterSilence() {
    if (!silenced_) return true;
    if (!RequestSsid(cardHost_) || !IdentifyCard()) return false;
    silenced_ = false;
    return true;
}

void Session::IdentifyAgainLater() {
    if (cidAsked_ && connected_ && port_->Now() >= nextCidTry_) IdentifyCard();
}

void Session::ShowSearching() { port_->Lamp(ids::kCardButton, model::Lamp::Blue, model::LampAt::Top); }

// [TFA] Url as the settings file holds it now; the loaded value when the
// file cannot be read.
std::wstring Session::ConfiguredUrl() {
    std::optional<std::wstring> url = ReadPreference(settingsFile_, KeyId::CardUrl);
    if (!url) return config_.Url;
    std::vector<std::wstring> entries = CardEntries(*url);
    return entry_ < entries.size() ? entries[entry_] : config_.Url;
}

bool Session::Sweep(const AddressSweep& sweep) {
    for (int n = sweep.lower; n <= sweep.upper; n++) {
        cardHost_ = sweep.Host(n);
        port_->Journal(L"TFA Checking: " + cardHost_);
        // Silent hosts and another card's get no line of their own.
        if (port_->HeldByAnother(cardHost_) || !CheckUrlPing(cardHost_)) continue;
        if (RequestSsid(cardHost_)) return Accept(cardHost_);
        port_->Journal(L"TFA Fail: " + cardHost_);
    }
    return false;
}

// An answer cut at the bound is reported once per run.
void Session::NoteCut(const CardAnswer& a) {
    if (a.cut) JournalOnce(AnswerCutText());
}

std::optional<std::string> Session::FetchListing(const std::string& path) {
    CardAnswer a = port_->Get(CardUrl(cardHost_, kListingPath + UrlPathFromBytes(path)), kListingReadBytes);
    NoteCut(a);
    // A listing that broke off is no listing: its missing entries would
    // look like files gone from the card.
    if (!a.opened || (a.success && !a.Whole())) return std::nullopt;
    return std::move(a.body);
}

// The listed sizes of the camera folder's pictures, beside the previous
// listing's: a picture listed with the same size twice is no longer being
// written.


// A card that stopped answering may have come back at another address of
// the configured range (a camera restarted on a network that hands out
// addresses): after a while of silence the range is swept again, quietly,
// and less often the longer the silence lasts. Every few addresses the last
// good one is asked again, so a card that only slept is not kept waiting.
bool Session::SearchAgainWhileSilent() {
    const int64_t now = port_->Now();
    if (now - lastAnswer_ < kSilentBeforeSearchNs || now < nextSilentSearch_) return false;
    std::optional<AddressSweep> sweep = SweepOf(ConfiguredUrl());
    if (!sweep) return false;
    constexpr int kRecheckEvery = 16;
    constexpr int64_t kLongestPause = int64_t{600} * 1000000000;
    const std::wstring lastGood = cardHost_;
    int probed = 0;
    for (int n = sweep->lower; n <= sweep->upper; n++) {
        std::wstring host = sweep->Host(n);
        if (host == lastGood) continue;
        if (++probed % kRecheckEvery == 0 && AnswersAsCard(lastGood)) return Accept(lastGood);
        if (AnswersAsCard(host)) {
            silentSearchPause_ = kSilentBeforeSearchNs;
            return Accept(host);
        }
    }
    nextSilentSearch_ = port_->Now() + silentSearchPause_;
    silentSearchPause_ = std::min(silentSearchPause_ * 2, kLongestPause);
    return false;
}

// The camera's next folder beside the camera folder, if the card lists one.
std::optional<std::wstring> Session::NextFolderOnCard() {
    const std::wstring& path = config_.Path;
    size_t slash = path.find_last_of(L'/');
    std::wstring parent = L"/" + (slash == std::wstring::npos ? L"" : path.substr(0, slash));
    CardAnswer a = port_->Get(CardUrl(cardHost_, kListingPath + UrlPath(parent)), kListingReadBytes);
    NoteCut(a);
    if (!a.Whole()) return std::nullopt;
    return NextCameraFolder(path, ListingEntries(a.body, [this](const std::wstring& t) { JournalOnce(t); }));
}

// The camera started a new folder: it becomes the camera folder, and every
// picture in it is new. The snapshot of the pictures from before this run
// stays (they keep their names), and the folder left behind is still looked
// at until everything new in it is fetched.
void Session::FollowCamera(const std::wstring& next) {
    if (followedTo_.empty()) followedFrom_ = config_.Path;
    previousPaths_.push_back(config_.Path);
    followedTo_ = next;
    config_.Path = next;
    pathChanged_ = false;
    port_->CameraFolderFollowed(next);
    port_->Journal(L"Set: TFA Path: " + next);
}

// True while the automatic transfer still has to fetch the picture into a
// folder it wants it in (a picture still listed with 0 bytes included).
bool Session::AutoTransferWants(const CardFileRecord& c) const {
    std::wstring mode = str::ToLower(config_.TransferModeAuto);
    auto wants = [&](const std::wstring& ext, Store folder) {
        return IsOfKind(c.Name, ext) && (c.Size <= 0 || pictures_.NeedsFetch(c, folder));
    };
    return ((mode == L"lores" || mode == L"both") && wants(config_.TransferLoRes, Store::LoRes)) ||
           ((mode == L"hires" || mode == L"both") && wants(config_.TransferHiRes, Store::HiRes));
}

// The pictures still to fetch from the folders the camera left; a folder
// with none left is let go.
void Session::ListPreviousFolders() {
    leftovers_.clear();
    for (auto folder = previousPaths_.begin(); folder != previousPaths_.end();) {
        CardAnswer a = port_->Get(CardUrl(cardHost_, kListingPath + L"/" + UrlPath(*folder)), kListingReadBytes);
        NoteCut(a);
        if (!a.Whole()) {  // looked at again on the next tick
            ++folder;
            continue;
        }
        size_t before = leftovers_.size();
        std::vector<CardFileRecord> listed = ListingCandidates(a.body, config_.TransferHiRes, config_.TransferLoRes,
                                                               [this](const std::wstring& t) { JournalOnce(t); });
        for (CardFileRecord& c : listed) c.Directory = *folder;
        pictures_.Listed(*folder, listed, port_->Now(), false);
        for (CardFileRecord& c : listed)
            if (AutoTransferWants(c)) leftovers_.push_back(std::move(c));
        folder = leftovers_.size() == before ? previousPaths_.erase(folder) : folder + 1;
    }
}

void Session::JournalOnce(const std::wstring& text) {
    std::wstring remark = text.size() > kRemarkChars ? text.substr(0, kRemarkChars) + L"..." : text;
    if (saidOnce_.count(remark)) return;
    if (saidOnce_.size() < kMaxRemarks) {
        port_->Journal(remark);
        saidOnce_.insert(std::move(remark));
    } else if (!remarksCut_) {
        remarksCut_ = true;
        port_->Journal(L"Card: more than " + std::to_wstring(kMaxRemarks) + L" remarks in this run; the rest go unsaid");
    }
}

void Session::Begin(const Settings& settings, const std::wstring& settingsFile, const std::wstring& recordFolder,
                    int64_t runStart, size_t entry) {
    config_ = settings;
    settingsFile_ = settingsFile;
    entry_ = entry;
    pictures_.OwnDownload(DownloadName(entry));
    cardHost_ = settings.Url;
    urlLastConnect_ = settings.UrlLastConnect;
    pictures_.Begin(recordFolder, runStart, IdentitiesSince(recordFolder, runStart));
}

void Session::AdoptSettings(const Settings& settings, bool journalShown) {
    writer_.CheckWrite();
    journalShown_ = journalShown;
    // Changed in the settings window while the program runs: a new address
    // is where the card is looked for from now on (not where it was last,
    // unless the entry was kept in a new place of the list),
    // and a camera folder the user names is a folder chosen, as in the tree.
    if (settings.Url != config_.Url) {
        connected_ = false;
        cardHost_ = settings.Url;
        urlLastConnect_ = settings.UrlLastConnect;  // the window keeps it for an entry it kept
    }
    const bool pathNamed = followedTo_.empty() ? settings.Path != config_.Path
                                              : settings.Path != followedFrom_ && settings.Path != followedTo_;
    if (pathNamed) pathChanged_ = true;
    config_ = settings;
    if (followedTo_.empty()) return;
    if (config_.Path == followedFrom_)
        config_.Path = followedTo_;
    else
        followedFrom_.clear(), followedTo_.clear();  // caught up, or the user chose a folder
}

void Session::CameraFolderChosen() {
    writer_.CheckWrite();
    pathChanged_ = true;
}

bool Session::Poll(bool changeRead) {
    writer_.CheckWrite();
    if (!connected_) {
        updateFlag_ = SearchUrl() ? CardChange::Found : CardChange::None;
        if (updateFlag_ == CardChange::Found) candidateCount_ = ListCameraFolder();
    }
    if (connected_) {
        IdentifyAgainLater();
        updateFlag_ = changeRead ? CardChange::Changed : CheckUpdate();
        if (updateFlag_ != CardChange::None && !AskWhoAfterSilence()) {
            updateFlag_ = CardChange::None;
            return false;
        }
        // Asked now and then too; an unanswered question here holds nothing back.
        if (updateFlag_ != CardChange::None && port_->Now() - askedWho_ >= kAskWhoEveryNs && RequestSsid(cardHost_))
            (void)IdentifyCard();
    }
    // Back at another address: what was taken meanwhile is listed at once.
    if (connected_ && updateFlag_ == CardChange::None && SearchAgainWhileSilent()) updateFlag_ = CardChange::Changed;
    if (updateFlag_ == CardChange::Unchanged && changeNotListed_) updateFlag_ = CardChange::Changed;
    bool relist = updateFlag_ == CardChange::Changed || (updateFlag_ == CardChange::Unchanged && !config_.UseUpdateFlag);
    if (!relist) return false;
    candidateCount_ = ListCameraFolder();
    // A new folder comes with a change the card reports; the first listing
    // after the card was found catches a camera that moved on meanwhile.
    if (listed_ && (updateFlag_ == CardChange::Changed || !nextFolderLooked_))
        LookForNextFolder();
    ListPreviousFolders();
    return candidateCount_ > 0 || !leftovers_.empty();
}

// The camera starts its next folder after 999 pictures: with
// FollowNewFolders it becomes the camera folder; without, the journal says
// once per folder that its pictures stay on the card.
void Session::LookForNextFolder() {
    nextFolderLooked_ = true;
    std::optional<std::wstring> next = NextFolderOnCard();
    if (nextFolderToNote_) {
        folderAlreadyNext_ = next.value_or(L"");
        nextFolderToNote_ = false;
    }
    if (!next || *next == folderAlreadyNext_) return;
    if (config_.FollowNewFolders) {
        unfollowedFolder_.clear();
        FollowCamera(*next);
        candidateCount_ = ListCameraFolder();
        return;
    }
    if (unfollowedFolder_ != *next)
        port_->Journal(L"Not transferred: the camera writes to " + *next + L" now (FollowNewFolders = No)");
    unfollowedFolder_ = *next;
    port_->Lamp(ids::kCardButton, model::Lamp::Red, model::LampAt::Bottom);
}

int32_t Session::ListCameraFolder() {
    writer_.CheckWrite();
    std::wstring path = kListingPath + L"/" + UrlPath(config_.Path);
    CardAnswer a = port_->Get(CardUrl(cardHost_, path), kListingReadBytes);
    NoteCut(a);
    // A card that has no such folder (yet) lists nothing: it is connected
    // and the first pictures in a new camera folder count as added.
    bool noSuchFolder = a.status == 404;
    if (!a.opened) silenced_ = true;
    // Anything else that is not a whole answer (no answer, a server error,
    // an empty or broken one) is no listing: the candidates stay, no
    // snapshot is taken from it, and a change the card reported is still to
    // be listed.
    listed_ = noSuchFolder || (a.Whole() && !a.body.empty());
    if (!listed_) return candidateCount_ = 0;
    changeNotListed_ = false;  // this listing shows every change reported so far
    return TakeCameraListing(noSuchFolder ? std::string() : a.body);
}

int32_t Session::TakeCameraListing(const std::string& answer) {
    writer_.CheckWrite();
    connected_ = true;
    lastAnswer_ = port_->Now();
    lists_.TransferCandidates = ListingCandidates(answer, config_.TransferHiRes, config_.TransferLoRes,
                                                 [this](const std::wstring& t) { JournalOnce(t); });
    for (CardFileRecord& c : lists_.TransferCandidates)
        if (c.Directory.empty()) c.Directory = config_.Path;  // a listing line without its folder
    candidateCount_ = static_cast<int32_t>(lists_.TransferCandidates.size());
    NoTransferList();
    return candidateCount_;
}

int32_t Session::WalkCard(const std::wstring& root) {
    writer_.CheckWrite();
    return ExamineTree(
        str::ToUtf8(root), [this](const std::string& path) { return FetchListing(path); }, lists_,
        [this](const std::wstring& t) { JournalOnce(t); },
        [this](size_t listed, size_t known) { port_->WalkListed(listed, known); });
}

bool Session::AskSsid() {
    writer_.CheckWrite();
    return RequestSsid(cardHost_);
}

bool Session::QuickPoll() {
    writer_.CheckWrite(); return connected_ && CheckUpdate() == CardChange::Changed; }

CardChange Session::CheckUpdate() {
    writer_.CheckWrite();
    CardAnswer a;
    const int64_t asked = port_->Now();
    if (!updateUrl_.empty()) a = port_->Get(updateUrl_, kUpdateReadBytes);
    if (!updateUrl_.empty() && port_->Now() - asked >= kLateAnswerNs) silenced_ = true;
    if (a.body.empty()) {
        port_->Lamp(ids::kCardButton, model::Lamp::Red, model::LampAt::Bottom);
        if (!updateUrl_.empty()) silenced_ = true;
        return CardChange::None;
    }
    lastAnswer_ = port_->Now();
    silentSearchPause_ = kSilentBeforeSearchNs;
    nextSilentSearch_ = 0;
    // The lamp stays red while pictures cannot be stored or stay on the card.
    bool trouble = pictures_.StoreFailing() || !unfollowedFolder_.empty();
    port_->Lamp(ids::kCardButton, trouble ? model::Lamp::Red : model::Lamp::Green, model::LampAt::Bottom);
    if (a.body[0] == '1') changeNotListed_ = true;
    return a.body[0] == '1' ? CardChange::Changed : a.body[0] == '0' ? CardChange::Unchanged : CardChange::Other;
}

bool Session::CheckUrlPing(const std::wstring& host) { return !host.empty() && port_->Ping(host, config_.PingTimeoutMs); }

bool Session::SearchUrl() {
    writer_.CheckWrite();
    const std::wstring lastGood = urlLastConnect_;
    if (!lastGood.empty()) {
        ShowSearching();
        if (AnswersAsCard(lastGood)) return Accept(lastGood);
    }
    const std::wstring host = cardHost_;
    if (lastGood != host && !host.empty() && !IsAddressRange(host)) {
        ShowSearching();
        if (AnswersAsCard(host)) return Accept(host);
    }
    cardHost_ = ConfiguredUrl();
    std::optional<AddressSweep> sweep = SweepOf(cardHost_);
    if (sweep && journalShown_ && Sweep(*sweep)) return true;
    // With the journal hidden the range is swept quietly, and less often
    // the longer the card stays away: a card that came back at another
    // address while the program was ended is found all the same. The last
    // good address is asked again between the others.
    if (sweep && !journalShown_) {
        const std::wstring range = cardHost_;
        if (!lastGood.empty()) cardHost_ = lastGood;
        if (SearchAgainWhileSilent()) return true;
        cardHost_ = range;
    }
    port_->Journal(L"TFA Fail: " + cardHost_);
    return false;
}

int32_t Session::NoTransferList() {
    writer_.CheckWrite();
    if (pathChanged_) {
        pictures_.ForgetSnapshot();
        pathChanged_ = false;
        unfollowedFolder_.clear();
        nextFolderToNote_ = true;
    }
    pictures_.Configure(config_);
    pictures_.Listed(config_.Path, lists_.TransferCandidates, port_->Now(), true);
    int32_t leftAlone = 0;
    for (const CardFileRecord& c : lists_.TransferCandidates) {
        bool fetch = false;
        for (auto [ext, folder] : {std::pair{&config_.TransferLoRes, Store::LoRes}, {&config_.TransferHiRes, Store::HiRes}})
            fetch = fetch || (IsOfKind(c.Name, *ext) && pictures_.NeedsFetch(c, folder));
        leftAlone += fetch ? 0 : 1;
    }
    return leftAlone;
}

std::vector<const CardFileRecord*> Session::Listed() const {
    std::vector<const CardFileRecord*> pictures;
    for (const CardFileRecord& c : lists_.TransferCandidates) pictures.push_back(&c);
    for (const CardFileRecord& c : leftovers_) pictures.push_back(&c);
    return pictures;
}

bool Session::Download(const std::wstring& name, const std::wstring& cardDir, const CardSpelling& as,
                       const std::wstring& path) {
    writer_.CheckWrite();
    port_->Lamp(ids::kCopyButton, Lamp::Yellow, LampAt::Bottom);
    port_->Lamp(ids::kCopyButton, Lamp::Blue, LampAt::Top);
    const Fetched f = port_->Fetch(CardFileUrl(cardHost_, cardDir, name, as.directory, as.name), path, as.size,
                                   as.size ? as.size : kUnlistedFetchLimit, name);
    if (f.arrived) {
        port_->Lamp(ids::kCopyButton, Lamp::Yellow, LampAt::Top);
        port_->Lamp(ids::kCopyButton, Lamp::Green, LampAt::Bottom);
        return true;
    }
    updateFlag_ = CardChange::None;
    // A failed download is tried again on the next tick, as after a change;
    // the card may have been put out meanwhile, so it says who it is first.
    if (!f.cancelled) changeNotListed_ = silenced_ = true;
    port_->Lamp(ids::kCopyButton, Lamp::Blue, LampAt::Top);
    port_->Lamp(ids::kCopyButton, Lamp::Red, LampAt::Bottom);
    const std::string why = f.cancelled ? "cancelled" : f.why;
    port_->Journal(L"Transfer failed: " + Printable(name) + L" (" + str::FromUtf8(why) + L")");
    return false;
}

// Pictures left in a folder the camera has moved on from name their own.
bool Session::FetchInto(const CardFileRecord& c, const std::wstring& path) {
    return Download(c.Name, c.Directory.empty() ? config_.Path : c.Directory,
                    {c.RawDirectory, c.RawName, static_cast<uint64_t>(c.Size)}, path);
}

PictureLedger& Session::Ledger() {
    writer_.CheckWrite();
    return pictures_;
}

void Session::ListAgain() {
    writer_.CheckWrite();
    changeNotListed_ = true;
}

void Session::StepEnded() {
    writer_.CheckWrite();
    updateFlag_ = CardChange::None;
}

}  // namespace model
