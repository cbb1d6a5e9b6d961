// Card requests, update poll, discovery and listings.
#include "model/card_session.h"

#include <algorithm>

#include "base/str.h"
#include "model/address_range.h"
#include "model/card_text.h"
#include "model/ids.h"
#include "model/settings.h"

namespace model {

namespace {


const std::wstring kListingPath = L"/command.cgi?op=100&DIR=";
const std::wstring kUpdatePath = L"/command.cgi?op=102";
const std::wstring kSsidPath = L"/command.cgi?op=104";
const std::wstring kCidPath = L"/command.cgi?op=120";

std::wstring CardUrl(const std::wstring& host, const std::wstring& path) { return L"http://" + host + path; }

}  // namespace

Session::Session(CardPort& port) : Pictures(port), port_(&port) {}

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
    CardSsid = *ssid;
    return true;
}

bool Session::AnswersAsCard(const std::wstring& host) { return CheckUrlPing(host) && RequestSsid(host); }

bool Session::Accept(const std::wstring& host) {
    CardHost = host;
    UpdateUrl = CardUrl(host, kUpdatePath);
    UrlLastConnect = host;
    LastAnswer = port_->Now();
    port_->CardFound(host);
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
    CardAnswer a = port_->Get(CardUrl(CardHost, kCidPath), kCidReadBytes);
    askedWho_ = port_->Now();
    std::wstring cid = str::ToLower(str::Trim(str::FromUtf8(a.body)));
    bool hex = a.Whole() && cid.size() == 32;
    for (wchar_t c : cid) hex = hex && ((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'));
    const bool answered = a.Whole() || (a.opened && a.status >= 400 && a.status < 500);
    const bool sameCard = !cidHost_.empty() && cidHost_ == CardHost;
    // Known by its network name until the CID came, at the same address:
    // the same card, now by its better name.
    const bool named = hex && sameCard && cidId_.empty() && cidAsked_;
    cidAsked_ = !answered;
    nextCidTry_ = port_->Now() + kCidRetryNs;
    if (hex) {
        cidId_ = L"cid-" + cid;
        cidHost_ = CardHost;
        CardIs(cidId_, cid, named);
        return true;
    }
    if (!answered && sameCard && !cidId_.empty()) return false;
    cidId_.clear();
    cidHost_ = CardHost;
    // A card without a CID (or not at the address where one was known) is
    // known by its network name.
    if (!CardSsid.empty()) CardIs(L"ssid-" + CardSsid, CardSsid, false);
    return !CardSsid.empty();
}

// The card in is `id`: its record is opened, and another card than the one
// before starts afresh (the first-sight rule for what it holds, its own
// folders), with the journal saying which card it is.
void Session::CardIs(const std::wstring& id, const std::wstring& name, bool sameCard) {
    if (Pictures.CardIdentified(id, sameCard)) {
        Lists.TransferCandidates.clear();
        TransferCandidateCount = 0;
        Leftovers.clear();
        PreviousPaths.clear();
        UnfollowedFolder.clear();
        nextFolderLooked_ = false;
        ChangeNotListed = true;
    }
    if (id == cardSaid_ || sameCard) {
        cardSaid_ = id;
        return;
    }
    cardSaid_ = id;
    port_->Journal(L"Card: " + name + L" (" + CardHost + L")");
}

// After a silence another card may answer at this address (the photographer
// put in the next one): it says who it is before its listing is trusted.
// False while it does not say.
bool Session::AskWhoAfterSilence() {
    if (!silenced_) return true;
    if (!RequestSsid(CardHost) || !IdentifyCard()) return false;
    silenced_ = false;
    return true;
}

void Session::IdentifyAgainLater() {
    if (cidAsked_ && CardConnected && port_->Now() >= nextCidTry_) IdentifyCard();
}

void Session::ShowSearching() { port_->Lamp(ids::kCardButton, model::Lamp::Blue, model::LampAt::Top); }

// [TFA] Url as the settings file holds it now; the loaded value when the
// file cannot be read.
std::wstring Session::ConfiguredUrl() {
    return ReadPreference(SettingsFile, KeyId::CardUrl).value_or(Config.Url);
}

bool Session::Sweep(const AddressSweep& sweep) {
    for (int n = sweep.lower; n <= sweep.upper; n++) {
        CardHost = sweep.Host(n);
        port_->Journal(L"TFA Checking: " + CardHost);
        if (!CheckUrlPing(CardHost)) continue;  // silent hosts get no line of their own
        if (RequestSsid(CardHost)) return Accept(CardHost);
        port_->Journal(L"TFA Fail: " + CardHost);
    }
    return false;
}

// An answer cut at the bound is reported once per run.
void Session::NoteCut(const CardAnswer& a) {
    if (a.cut) JournalOnce(AnswerCutText());
}

std::optional<std::string> Session::FetchListing(const std::string& path) {
    CardAnswer a = port_->Get(CardUrl(CardHost, kListingPath + UrlPathFromBytes(path)), kListingReadBytes);
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
    if (now - LastAnswer < kSilentBeforeSearchNs || now < nextSilentSearch_) return false;
    std::optional<AddressSweep> sweep = SweepOf(ConfiguredUrl());
    if (!sweep) return false;
    constexpr int kRecheckEvery = 16;
    constexpr int64_t kLongestPause = int64_t{600} * 1000000000;
    const std::wstring lastGood = CardHost;
    int probed = 0;
    for (int n = sweep->lower; n <= sweep->upper; n++) {
        std::wstring host = sweep->Host(n);
        if (host == lastGood) continue;
        if (++probed % kRecheckEvery == 0 && AnswersAsCard(lastGood)) return Accept(lastGood);
        if (CheckUrlPing(host) && RequestSsid(host)) {
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
    const std::wstring& path = Config.Path;
    size_t slash = path.find_last_of(L'/');
    std::wstring parent = L"/" + (slash == std::wstring::npos ? L"" : path.substr(0, slash));
    CardAnswer a = port_->Get(CardUrl(CardHost, kListingPath + UrlPath(parent)), kListingReadBytes);
    NoteCut(a);
    if (!a.Whole()) return std::nullopt;
    return NextCameraFolder(path, ListingEntries(a.body, [this](const std::wstring& t) { JournalOnce(t); }));
}

// The camera started a new folder: it becomes the camera folder, and every
// picture in it is new. The snapshot of the pictures from before this run
// stays (they keep their names), and the folder left behind is still looked
// at until everything new in it is fetched.
void Session::FollowCamera(const std::wstring& next) {
    if (FollowedTo.empty()) FollowedFrom = Config.Path;
    PreviousPaths.push_back(Config.Path);
    FollowedTo = next;
    Config.Path = next;
    PathChanged = false;
    port_->CameraFolderFollowed(next);
    port_->Journal(L"Set: TFA Path: " + next);
}

// True while the automatic transfer still has to fetch the picture into a
// folder it wants it in (a picture still listed with 0 bytes included).
bool Session::AutoTransferWants(const CardFileRecord& c) const {
    std::wstring mode = str::ToLower(Config.TransferModeAuto);
    auto wants = [&](const std::wstring& ext, Store folder) {
        return IsOfKind(c.Name, ext) && (c.Size <= 0 || Pictures.NeedsFetch(c, folder));
    };
    return ((mode == L"lores" || mode == L"both") && wants(Config.TransferLoRes, Store::LoRes)) ||
           ((mode == L"hires" || mode == L"both") && wants(Config.TransferHiRes, Store::HiRes));
}

// The pictures still to fetch from the folders the camera left; a folder
// with none left is let go.
void Session::ListPreviousFolders() {
    Leftovers.clear();
    for (auto folder = PreviousPaths.begin(); folder != PreviousPaths.end();) {
        CardAnswer a = port_->Get(CardUrl(CardHost, kListingPath + L"/" + UrlPath(*folder)), kListingReadBytes);
        NoteCut(a);
        if (!a.Whole()) {  // looked at again on the next tick
            ++folder;
            continue;
        }
        size_t before = Leftovers.size();
        std::vector<CardFileRecord> listed = ListingCandidates(a.body, Config.TransferHiRes, Config.TransferLoRes,
                                                               [this](const std::wstring& t) { JournalOnce(t); });
        for (CardFileRecord& c : listed) c.Directory = *folder;
        Pictures.Listed(*folder, listed, port_->Now(), false);
        for (CardFileRecord& c : listed)
            if (AutoTransferWants(c)) Leftovers.push_back(std::move(c));
        folder = Leftovers.size() == before ? PreviousPaths.erase(folder) : folder + 1;
    }
}

void Session::JournalOnce(const std::wstring& text) {
    std::wstring remark = text.size() > kRemarkChars ? text.substr(0, kRemarkChars) + L"..." : text;
    if (SaidOnce.count(remark)) return;
    if (SaidOnce.size() < kMaxRemarks) {
        port_->Journal(remark);
        SaidOnce.insert(std::move(remark));
    } else if (!remarksCut_) {
        remarksCut_ = true;
        port_->Journal(L"Card: more than " + std::to_wstring(kMaxRemarks) + L" remarks in this run; the rest go unsaid");
    }
}

void Session::Begin(const Settings& settings, const std::wstring& settingsFile, const std::wstring& recordFolder,
                    int64_t runStart) {
    Config = settings;
    SettingsFile = settingsFile;
    CardHost = settings.Url;
    UrlLastConnect = settings.UrlLastConnect;
    Pictures.Begin(recordFolder, runStart, IdentitiesSince(recordFolder, runStart));
}

void Session::AdoptSettings(const Settings& settings) {
    Writer.CheckWrite();
    // Changed in the settings window while the program runs: a new address
    // is where the card is looked for from now on (not where it was last),
    // and a camera folder the user names is a folder chosen, as in the tree.
    if (settings.Url != Config.Url) {
        CardConnected = false;
        CardHost = settings.Url;
        UrlLastConnect.clear();
    }
    const bool pathNamed = FollowedTo.empty() ? settings.Path != Config.Path
                                              : settings.Path != FollowedFrom && settings.Path != FollowedTo;
    if (pathNamed) PathChanged = true;
    Config = settings;
    if (FollowedTo.empty()) return;
    if (Config.Path == FollowedFrom)
        Config.Path = FollowedTo;
    else
        FollowedFrom.clear(), FollowedTo.clear();  // caught up, or the user chose a folder
}

bool Session::Poll(bool changeRead) {
    Writer.CheckWrite();
    if (!CardConnected) {
        UpdateFlag = SearchUrl() ? CardChange::Found : CardChange::None;
        if (UpdateFlag == CardChange::Found) TransferCandidateCount = ListCameraFolder();
    }
    if (CardConnected) {
        IdentifyAgainLater();
        UpdateFlag = changeRead ? CardChange::Changed : CheckUpdate();
        if (UpdateFlag != CardChange::None && !AskWhoAfterSilence()) {
            UpdateFlag = CardChange::None;
            return false;
        }
        // Asked now and then too; an unanswered question here holds nothing back.
        if (UpdateFlag != CardChange::None && port_->Now() - askedWho_ >= kAskWhoEveryNs && RequestSsid(CardHost))
            (void)IdentifyCard();
    }
    // Back at another address: what was taken meanwhile is listed at once.
    if (CardConnected && UpdateFlag == CardChange::None && SearchAgainWhileSilent()) UpdateFlag = CardChange::Changed;
    if (UpdateFlag == CardChange::Unchanged && ChangeNotListed) UpdateFlag = CardChange::Changed;
    bool relist = UpdateFlag == CardChange::Changed || (UpdateFlag == CardChange::Unchanged && !Config.UseUpdateFlag);
    if (!relist) return false;
    TransferCandidateCount = ListCameraFolder();
    // A new folder comes with a change the card reports; the first listing
    // after the card was found catches a camera that moved on meanwhile.
    if (Listed && (UpdateFlag == CardChange::Changed || !nextFolderLooked_))
        LookForNextFolder();
    ListPreviousFolders();
    return TransferCandidateCount > 0 || !Leftovers.empty();
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
    if (Config.FollowNewFolders) {
        UnfollowedFolder.clear();
        FollowCamera(*next);
        TransferCandidateCount = ListCameraFolder();
        return;
    }
    if (UnfollowedFolder != *next)
        port_->Journal(L"Not transferred: the camera writes to " + *next + L" now (FollowNewFolders = No)");
    UnfollowedFolder = *next;
    port_->Lamp(ids::kCardButton, model::Lamp::Red, model::LampAt::Bottom);
}

int32_t Session::ListCameraFolder() {
    Writer.CheckWrite();
    std::wstring path = kListingPath + L"/" + UrlPath(Config.Path);
    CardAnswer a = port_->Get(CardUrl(CardHost, path), kListingReadBytes);
    NoteCut(a);
    // A card that has no such folder (yet) lists nothing: it is connected
    // and the first pictures in a new camera folder count as added.
    bool noSuchFolder = a.status == 404;
    if (!a.opened) silenced_ = true;
    // Anything else that is not a whole answer (no answer, a server error,
    // an empty or broken one) is no listing: the candidates stay, no
    // snapshot is taken from it, and a change the card reported is still to
    // be listed.
    Listed = noSuchFolder || (a.Whole() && !a.body.empty());
    if (!Listed) return 0;
    ChangeNotListed = false;  // this listing shows every change reported so far
    return TakeCameraListing(noSuchFolder ? std::string() : a.body);
}

int32_t Session::TakeCameraListing(const std::string& answer) {
    Writer.CheckWrite();
    CardConnected = true;
    LastAnswer = port_->Now();
    Lists.TransferCandidates = ListingCandidates(answer, Config.TransferHiRes, Config.TransferLoRes,
                                                 [this](const std::wstring& t) { JournalOnce(t); });
    for (CardFileRecord& c : Lists.TransferCandidates)
        if (c.Directory.empty()) c.Directory = Config.Path;  // a listing line without its folder
    TransferCandidateCount = static_cast<int32_t>(Lists.TransferCandidates.size());
    NoTransferList();
    return TransferCandidateCount;
}

int32_t Session::WalkCard(const std::wstring& root) {
    Writer.CheckWrite();
    return ExamineTree(
        str::ToUtf8(root), [this](const std::string& path) { return FetchListing(path); }, Lists,
        [this](const std::wstring& t) { JournalOnce(t); },
        [this](size_t listed, size_t known) { port_->WalkListed(listed, known); });
}

bool Session::AskSsid() {
    Writer.CheckWrite();
    return RequestSsid(CardHost);
}

bool Session::QuickPoll() {
    Writer.CheckWrite(); return CardConnected && CheckUpdate() == CardChange::Changed; }

CardChange Session::CheckUpdate() {
    Writer.CheckWrite();
    CardAnswer a;
    const int64_t asked = port_->Now();
    if (!UpdateUrl.empty()) a = port_->Get(UpdateUrl, kUpdateReadBytes);
    if (!UpdateUrl.empty() && port_->Now() - asked >= kLateAnswerNs) silenced_ = true;
    if (a.body.empty()) {
        port_->Lamp(ids::kCardButton, model::Lamp::Red, model::LampAt::Bottom);
        if (!UpdateUrl.empty()) silenced_ = true;
        return CardChange::None;
    }
    LastAnswer = port_->Now();
    silentSearchPause_ = kSilentBeforeSearchNs;
    nextSilentSearch_ = 0;
    // The lamp stays red while pictures cannot be stored or stay on the card.
    bool trouble = Pictures.StoreFailing() || !UnfollowedFolder.empty();
    port_->Lamp(ids::kCardButton, trouble ? model::Lamp::Red : model::Lamp::Green, model::LampAt::Bottom);
    if (a.body[0] == '1') ChangeNotListed = true;
    return a.body[0] == '1' ? CardChange::Changed : a.body[0] == '0' ? CardChange::Unchanged : CardChange::Other;
}

bool Session::CheckUrlPing(const std::wstring& host) { return !host.empty() && port_->Ping(host, Config.PingTimeoutMs); }

bool Session::SearchUrl() {
    Writer.CheckWrite();
    const std::wstring lastGood = UrlLastConnect;
    if (!lastGood.empty()) {
        ShowSearching();
        if (AnswersAsCard(lastGood)) return Accept(lastGood);
    }
    const std::wstring host = CardHost;
    if (lastGood != host && !host.empty() && !IsAddressRange(host)) {
        ShowSearching();
        if (AnswersAsCard(host)) return Accept(host);
    }
    CardHost = ConfiguredUrl();
    std::optional<AddressSweep> sweep = SweepOf(CardHost);
    if (sweep && JournalShown && Sweep(*sweep)) return true;
    port_->Journal(L"TFA Fail: " + CardHost);
    return false;
}

int32_t Session::NoTransferList() {
    Writer.CheckWrite();
    if (PathChanged) {
        Pictures.ForgetSnapshot();
        PathChanged = false;
        UnfollowedFolder.clear();
        nextFolderToNote_ = true;
    }
    Pictures.Configure(Config);
    Pictures.Listed(Config.Path, Lists.TransferCandidates, port_->Now(), true);
    int32_t leftAlone = 0;
    for (const CardFileRecord& c : Lists.TransferCandidates) {
        bool fetch = false;
        for (auto [ext, folder] : {std::pair{&Config.TransferLoRes, Store::LoRes}, {&Config.TransferHiRes, Store::HiRes}})
            fetch = fetch || (IsOfKind(c.Name, *ext) && Pictures.NeedsFetch(c, folder));
        leftAlone += fetch ? 0 : 1;
    }
    return leftAlone;
}

std::vector<TransferStep> Session::TransferSteps(bool automatic) {
    Writer.CheckWrite();
    const std::wstring mode = str::ToLower(automatic ? Config.TransferModeAuto : Config.TransferModeMan);
    const bool loRes = mode == L"lores" || mode == L"both", hiRes = mode == L"hires" || mode == L"both";
    std::vector<const CardFileRecord*> pictures;
    for (const CardFileRecord& c : Lists.TransferCandidates) pictures.push_back(&c);
    for (const CardFileRecord& c : Leftovers) pictures.push_back(&c);
    // LoResFirst: after a burst of shots every JPEG reaches the viewer before
    // the first raw file takes the card for half a minute.
    if (mode == L"both" && Config.LoResFirst && !Config.TransferLoRes.empty())
        std::stable_partition(pictures.begin(), pictures.end(), [&](const CardFileRecord* c) {
            return IsOfKind(c->Name, Config.TransferLoRes);
        });
    std::vector<TransferStep> steps;
    for (const CardFileRecord* c : pictures) {
        if (c->Name.empty() || !IsSafeLocalName(c->Name)) continue;
        // Listed with 0 bytes: the camera is still writing it, and the next
        // tick lists again whatever the update flag says.
        if (c->Size <= 0) {
            ChangeNotListed = true;
            continue;
        }
        // An empty extension means that kind is not transferred.
        if (loRes && IsOfKind(c->Name, Config.TransferLoRes) && Pictures.NeedsFetch(*c, Store::LoRes))
            steps.push_back({*c, Store::LoRes, true});
        if (hiRes && IsOfKind(c->Name, Config.TransferHiRes) && Pictures.NeedsFetch(*c, Store::HiRes))
            steps.push_back({*c, Store::HiRes, mode == L"hires"});
    }
    return steps;
}

}  // namespace model
