// Card requests, update poll, discovery and listings.
#include "model/card_session.h"

#include "base/str.h"
#include "model/address_range.h"
#include "model/card_text.h"
#include "model/ids.h"
#include "model/no_transfer.h"
#include "model/settings.h"

namespace card {

namespace {


const std::wstring kListingPath = L"/command.cgi?op=100&DIR=";
const std::wstring kUpdatePath = L"/command.cgi?op=102";
const std::wstring kSsidPath = L"/command.cgi?op=104";

std::wstring CardUrl(const std::wstring& host, const std::wstring& path) { return L"http://" + host + path; }

}  // namespace

Session::Session(CardPort& port) : port_(&port) {}

// op=104 of a host; its answer becomes CardSsid. True when it answered with
// something that can be a card's network name: a router's page or a
// redirect is no card.
bool Session::RequestSsid(const std::wstring& host) {
    CardAnswer a = port_->Get(CardUrl(host, kSsidPath), kSsidReadBytes);
    if (!a.success || !SsidFromAnswer(a.body)) return false;
    Split(L"SSID", a.body);
    return true;
}

bool Session::AnswersAsCard(const std::wstring& host) { return CheckUrlPing(host) && RequestSsid(host); }

uint8_t Session::Accept(const std::wstring& host) {
    CardHost = host;
    UpdateUrl = CardUrl(host, kUpdatePath);
    UrlLastConnect = host;
    port_->CardFound(host);
    port_->Journal(L"TFA Success: " + host);
    return 1;
}

void Session::ShowSearching() { port_->Lamp(ids::kCardButton, model::Lamp::Blue, model::LampAt::Top); }

// [TFA] Url as the settings file holds it now; the loaded value when the
// file cannot be read.
std::wstring Session::ConfiguredUrl() {
    std::wstring url = ReadPreference(SettingsFile, L"TFA", L"Url");
    return str::StartsWith(url, L"%ERR%") ? Config.Url : url;
}

uint8_t Session::Sweep(const AddressSweep& sweep) {
    for (int n = sweep.lower; n <= sweep.upper; n++) {
        CardHost = sweep.Host(n);
        port_->Journal(L"TFA Checking: " + CardHost);
        if (!CheckUrlPing(CardHost)) continue;  // silent hosts get no line of their own
        if (RequestSsid(CardHost)) return Accept(CardHost);
        port_->Journal(L"TFA Fail: " + CardHost);
    }
    return 0;
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
void Session::RememberSizes() {
    ListedBefore = std::move(ListedNow);
    ListedNow.clear();
    for (const CardFileRecord& c : Lists.TransferCandidates) ListedNow[str::ToLower(c.Name)] = c.Size;
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
    NoTransfer.TakeSnapshotOnce(Lists.TransferCandidates);  // a no-op once there is one
    port_->CameraFolderFollowed(next);
    port_->Journal(L"Set: TFA Path: " + next);
}

bool Session::WantedByAutoTransfer(const std::wstring& name) const {
    std::wstring mode = str::ToLower(Config.TransferModeAuto);
    auto has = [&](const std::wstring& ext) { return !ext.empty() && str::ContainsI(name, ext); };
    return ((mode == L"lores" || mode == L"both") && has(Config.TransferLoRes)) ||
           ((mode == L"hires" || mode == L"both") && has(Config.TransferHiRes));
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
        for (CardFileRecord& c : ListingCandidates(a.body, Config.TransferHiRes, Config.TransferLoRes,
                                                   [this](const std::wstring& t) { JournalOnce(t); })) {
            auto stored = StoredSize.find(str::ToLower(c.Name));
            bool grown = stored != StoredSize.end() && c.Size > stored->second;  // was still being written
            if (!WantedByAutoTransfer(c.Name) || (c.Size > 0 && NoTransfer.Contains(c.Name) && !grown)) continue;
            c.Directory = *folder;
            Leftovers.push_back(std::move(c));
        }
        folder = Leftovers.size() == before ? PreviousPaths.erase(folder) : folder + 1;
    }
}

void Session::JournalOnce(const std::wstring& text) {
    if (SaidOnce.insert(text).second) port_->Journal(text);
}

void Session::Begin(const Settings& settings, const std::wstring& settingsFile) {
    Config = settings;
    SettingsFile = settingsFile;
    CardHost = settings.Url;
    UrlLastConnect = settings.UrlLastConnect;
}

void Session::AdoptSettings(const Settings& settings) {
    Config = settings;
    if (FollowedTo.empty()) return;
    if (Config.Path == FollowedFrom)
        Config.Path = FollowedTo;
    else
        FollowedFrom.clear(), FollowedTo.clear();  // caught up, or the user chose a folder
}

bool Session::Poll(bool changeRead) {
    if (!CardConnected) {
        UpdateFlag = SearchUrl() ? CardChange::Found : CardChange::None;
        if (UpdateFlag == CardChange::Found) TransferCandidateCount = GetData(L"DIR", L"");
    }
    if (CardConnected) UpdateFlag = changeRead ? CardChange::Changed : static_cast<CardChange>(CheckUpdate());
    if (UpdateFlag == CardChange::Unchanged && ChangeNotListed) UpdateFlag = CardChange::Changed;
    bool relist = UpdateFlag == CardChange::Changed || (UpdateFlag == CardChange::Unchanged && !Config.UseUpdateFlag);
    if (!relist) return false;
    TransferCandidateCount = GetData(L"DIR", L"");
    if (Config.FollowNewFolders && Listed) {
        if (std::optional<std::wstring> next = NextFolderOnCard()) {
            FollowCamera(*next);
            TransferCandidateCount = GetData(L"DIR", L"");
        }
    }
    ListPreviousFolders();
    return TransferCandidateCount > 0 || !Leftovers.empty();
}

int32_t Session::GetData(const std::wstring& kind, const std::wstring& argument) {
    if (kind == L"DIR") {
        std::wstring path = kListingPath + L"/" + UrlPath(Config.Path);
        CardAnswer a = port_->Get(CardUrl(CardHost, path), kListingReadBytes);
        NoteCut(a);
        // A card that has no such folder (yet) lists nothing: it is connected
        // and the first pictures in a new camera folder count as added.
        bool noSuchFolder = a.status == 404;
        // Anything else that is not a whole answer (no answer, a server
        // error, an empty or broken one) is no listing: the candidates stay,
        // no snapshot is taken from it, and a change the card reported is
        // still to be listed.
        Listed = noSuchFolder || (a.Whole() && !a.body.empty());
        if (!Listed) return 0;
        ChangeNotListed = false;  // this listing shows every change reported so far
        return Split(kind, noSuchFolder ? std::string() : a.body);
    }
    if (kind == L"ExamineTREE")
        return ExamineTree(
            str::ToUtf8(argument), [this](const std::string& path) { return FetchListing(path); }, Lists,
            [this](const std::wstring& t) { JournalOnce(t); },
            [this](size_t listed, size_t known) { port_->WalkListed(listed, known); });
    if (kind == L"SSID") return RequestSsid(CardHost) ? 1 : 0;
    return 0;
}

int32_t Session::Split(const std::wstring& kind, const std::string& answer) {
    if (kind == L"DIR") {
        CardConnected = true;
        Lists.TransferCandidates = ListingCandidates(answer, Config.TransferHiRes, Config.TransferLoRes,
                                                     [this](const std::wstring& t) { JournalOnce(t); });
        TransferCandidateCount = static_cast<int32_t>(Lists.TransferCandidates.size());
        RememberSizes();
        NoTransferList();
        return TransferCandidateCount;
    }
    if (kind == L"ExamineTREE") return static_cast<int32_t>(SplitLines(answer).size());
    if (kind == L"SSID") {
        std::optional<std::wstring> ssid = SsidFromAnswer(answer);
        if (!ssid) return 0;
        CardSsid = *ssid;
        return 1;
    }
    return 0;
}

bool Session::QuickPoll() {
    return CardConnected && static_cast<CardChange>(CheckUpdate()) == CardChange::Changed;
}

int8_t Session::CheckUpdate() {
    CardAnswer a;
    if (!UpdateUrl.empty()) a = port_->Get(UpdateUrl, kUpdateReadBytes);
    if (a.body.empty()) {
        port_->Lamp(ids::kCardButton, model::Lamp::Red, model::LampAt::Bottom);
        return 0;
    }
    port_->Lamp(ids::kCardButton, model::Lamp::Green, model::LampAt::Bottom);
    if (a.body[0] == '1') ChangeNotListed = true;
    return static_cast<int8_t>(a.body[0]);
}

uint8_t Session::CheckUrlPing(const std::wstring& host) {
    return !host.empty() && port_->Ping(host, Config.PingTimeoutMs) ? 1 : 0;
}

uint8_t Session::SearchUrl() {
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
    if (sweep && port_->JournalVisible() && Sweep(*sweep)) return 1;
    port_->Journal(L"TFA Fail: " + CardHost);
    return 0;
}

int32_t Session::NoTransferList() {
    if (PathChanged) {
        NoTransfer.ForgetSnapshot();
        PathChanged = false;
    }
    NoTransfer.Configure(Config.DoNotLoad, Config.TransferOnlyAddedFiles);
    NoTransfer.RefreshStore(Config.SourcePath);
    NoTransfer.TakeSnapshotOnce(Lists.TransferCandidates);
    return NoTransfer.Count();
}

}  // namespace card
