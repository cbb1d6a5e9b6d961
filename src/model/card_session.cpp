// Card requests, update poll, discovery and listings.
#include "model/card_session.h"

#include "base/str.h"
#include "model/settings.h"
#include "model/address_range.h"
#include "model/card_text.h"
#include "model/no_transfer.h"

card::CardSession g_card;

namespace card {

namespace {

// Before card access starts (or with TFA off) nothing answers.
class NoPort final : public CardPort {
public:
    CardAnswer Get(const std::wstring&, size_t) override { return {}; }
    bool Ping(const std::wstring&, int) override { return false; }
    void Journal(const std::wstring&) override {}
    void Lamp(int, const std::wstring&, const std::wstring&) override {}
    bool JournalVisible() override { return false; }
    void CardFound(const std::wstring&) override {}
    void CameraFolderFollowed(const std::wstring&) override {}
};

NoPort g_noPort;
CardPort* g_port = &g_noPort;

constexpr int kCardButton = 6;  // the FlashAir button carries the card's lamps

const std::wstring kListingPath = L"/command.cgi?op=100&DIR=";
const std::wstring kUpdatePath = L"/command.cgi?op=102";
const std::wstring kSsidPath = L"/command.cgi?op=104";

std::wstring CardUrl(const std::wstring& host, const std::wstring& path) { return L"http://" + host + path; }

// op=104 of a host; its answer becomes CardSsid. True when it answered with
// something that can be a card's network name: a router's page or a
// redirect is no card.
bool RequestSsid(const std::wstring& host) {
    CardAnswer a = Port().Get(CardUrl(host, kSsidPath), kSsidReadBytes);
    if (!a.success || !SsidFromAnswer(a.body)) return false;
    TFA_Split(L"SSID", a.body);
    return true;
}

bool AnswersAsCard(const std::wstring& host) { return TFA_CheckUrlPing(host) && RequestSsid(host); }

uint8_t Accept(const std::wstring& host) {
    g_card.CardHost = host;
    g_card.UpdateUrl = CardUrl(host, kUpdatePath);
    g_card.UrlLastConnect = host;
    Port().CardFound(host);
    Port().Journal(L"TFA Success: " + host);
    return 1;
}

void ShowSearching() { Port().Lamp(kCardButton, L"b", L"t"); }

// [TFA] Url as the settings file holds it now; the loaded value when the
// file cannot be read.
std::wstring ConfiguredUrl() {
    std::wstring url = WLX_LoadPreferences(L"TFA", L"Url");
    return str::StartsWith(url, L"%ERR%") ? g_card.Config.Url : url;
}

uint8_t Sweep(const AddressSweep& sweep) {
    for (int n = sweep.lower; n <= sweep.upper; n++) {
        g_card.CardHost = sweep.Host(n);
        Port().Journal(L"TFA Checking: " + g_card.CardHost);
        if (!TFA_CheckUrlPing(g_card.CardHost)) continue;  // silent hosts get no line of their own
        if (RequestSsid(g_card.CardHost)) return Accept(g_card.CardHost);
        Port().Journal(L"TFA Fail: " + g_card.CardHost);
    }
    return 0;
}

// An answer cut at the bound is reported once per run.
void NoteCut(const CardAnswer& a) {
    if (a.cut) JournalOnce(AnswerCutText());
}

std::optional<std::string> FetchListing(const std::string& path) {
    CardAnswer a = Port().Get(CardUrl(g_card.CardHost, kListingPath + UrlPathFromBytes(path)), kListingReadBytes);
    NoteCut(a);
    // A listing that broke off is no listing: its missing entries would
    // look like files gone from the card.
    if (!a.opened || (a.success && !a.Whole())) return std::nullopt;
    return std::move(a.body);
}

// The listed sizes of the camera folder's pictures, beside the previous
// listing's: a picture listed with the same size twice is no longer being
// written.
void RememberSizes(const std::vector<CardFileRecord>& candidates) {
    g_card.ListedBefore = std::move(g_card.ListedNow);
    g_card.ListedNow.clear();
    for (const CardFileRecord& c : candidates) g_card.ListedNow[str::ToLower(c.Name)] = c.Size;
}

// The camera's next folder beside the camera folder, if the card lists one.
std::optional<std::wstring> NextFolderOnCard() {
    const std::wstring& path = g_card.Config.Path;
    size_t slash = path.find_last_of(L'/');
    std::wstring parent = L"/" + (slash == std::wstring::npos ? L"" : path.substr(0, slash));
    CardAnswer a = Port().Get(CardUrl(g_card.CardHost, kListingPath + UrlPath(parent)), kListingReadBytes);
    NoteCut(a);
    if (!a.Whole()) return std::nullopt;
    return NextCameraFolder(path, ListingEntries(a.body, JournalOnce));
}

// The camera started a new folder: it becomes the camera folder, and every
// picture in it is new (no snapshot of pictures from before this run).
void FollowCamera(const std::wstring& next) {
    CardSession& c = g_card;
    if (c.FollowedTo.empty()) c.FollowedFrom = c.Config.Path;
    c.FollowedTo = next;
    c.Config.Path = next;
    c.PathChanged = false;
    c.NoTransfer.ForgetSnapshot();
    c.NoTransfer.TakeSnapshotOnce({});
    Port().CameraFolderFollowed(next);
    Port().Journal(L"Set: TFA Path: " + next);
}

}  // namespace

void SetPort(CardPort* port) { g_port = port ? port : &g_noPort; }
CardPort& Port() { return *g_port; }

void JournalOnce(const std::wstring& text) {
    if (g_card.SaidOnce.insert(text).second) Port().Journal(text);
}

void BeginSession(const Settings& settings) {
    g_card.Config = settings;
    g_card.CardHost = settings.Url;
    g_card.UrlLastConnect = settings.UrlLastConnect;
}

void AdoptSettings(const Settings& settings) {
    CardSession& c = g_card;
    c.Config = settings;
    if (c.FollowedTo.empty()) return;
    if (c.Config.Path == c.FollowedFrom)
        c.Config.Path = c.FollowedTo;
    else
        c.FollowedFrom.clear(), c.FollowedTo.clear();  // caught up, or the user chose a folder
}

bool PollCard() {
    CardSession& c = g_card;
    if (!c.CardConnected) {
        c.UpdateFlag = static_cast<int8_t>(TFA_SearchUrl());
        if (c.UpdateFlag) c.TransferCandidateCount = TFA_GetData(L"DIR", L"");
    }
    if (c.CardConnected) c.UpdateFlag = TFA_CheckUpdate();
    if (c.UpdateFlag == '0' && c.ChangeNotListed) c.UpdateFlag = '1';
    bool relist = c.UpdateFlag == '1' || (c.UpdateFlag == '0' && !c.Config.UseUpdateFlag);
    if (!relist) return false;
    c.TransferCandidateCount = TFA_GetData(L"DIR", L"");
    if (c.Config.FollowNewFolders && c.Listed) {
        if (std::optional<std::wstring> next = NextFolderOnCard()) {
            FollowCamera(*next);
            c.TransferCandidateCount = TFA_GetData(L"DIR", L"");
        }
    }
    return c.TransferCandidateCount > 0;
}

}  // namespace card

using card::Port;

int32_t TFA_GetData(const std::wstring& kind, const std::wstring& argument) {
    if (kind == L"DIR") {
        std::wstring path = card::kListingPath + L"/" + card::UrlPath(g_card.Config.Path);
        card::CardAnswer a = Port().Get(card::CardUrl(g_card.CardHost, path), card::kListingReadBytes);
        card::NoteCut(a);
        // A card that has no such folder (yet) lists nothing: it is connected
        // and the first pictures in a new camera folder count as added.
        bool noSuchFolder = a.status == 404;
        // Anything else that is not a whole answer (no answer, a server
        // error, an empty or broken one) is no listing: the candidates stay,
        // no snapshot is taken from it, and a change the card reported is
        // still to be listed.
        g_card.Listed = noSuchFolder || (a.Whole() && !a.body.empty());
        if (!g_card.Listed) return 0;
        g_card.ChangeNotListed = false;  // this listing shows every change reported so far
        return TFA_Split(kind, noSuchFolder ? std::string() : a.body);
    }
    if (kind == L"ExamineTREE")
        return card::ExamineTree(str::ToUtf8(argument), card::FetchListing, g_card.Lists, card::JournalOnce);
    if (kind == L"SSID") return card::RequestSsid(g_card.CardHost) ? 1 : 0;
    return 0;
}

int32_t TFA_Split(const std::wstring& kind, const std::string& answer) {
    if (kind == L"DIR") {
        card::CardSession& c = g_card;
        c.CardConnected = true;
        c.Lists.TransferCandidates =
            card::ListingCandidates(answer, c.Config.TransferHiRes, c.Config.TransferLoRes, card::JournalOnce);
        c.TransferCandidateCount = static_cast<int32_t>(c.Lists.TransferCandidates.size());
        card::RememberSizes(c.Lists.TransferCandidates);
        TFA_NoTransferList();
        return c.TransferCandidateCount;
    }
    if (kind == L"ExamineTREE") return static_cast<int32_t>(card::SplitLines(answer).size());
    if (kind == L"SSID") {
        std::optional<std::wstring> ssid = card::SsidFromAnswer(answer);
        if (!ssid) return 0;
        g_card.CardSsid = *ssid;
        return 1;
    }
    return 0;
}

int8_t TFA_CheckUpdate() {
    card::CardAnswer a;
    if (!g_card.UpdateUrl.empty()) a = Port().Get(g_card.UpdateUrl, card::kUpdateReadBytes);
    if (a.body.empty()) {
        Port().Lamp(card::kCardButton, L"r", L"b");
        return 0;
    }
    Port().Lamp(card::kCardButton, L"g", L"b");
    if (a.body[0] == '1') g_card.ChangeNotListed = true;
    return static_cast<int8_t>(a.body[0]);
}

uint8_t TFA_CheckUrlPing(const std::wstring& host) {
    return !host.empty() && Port().Ping(host, g_card.Config.PingTimeoutMs) ? 1 : 0;
}

uint8_t TFA_SearchUrl() {
    const std::wstring lastGood = g_card.UrlLastConnect;
    if (!lastGood.empty()) {
        card::ShowSearching();
        if (card::AnswersAsCard(lastGood)) return card::Accept(lastGood);
    }
    const std::wstring host = g_card.CardHost;
    if (lastGood != host && !host.empty() && !card::IsAddressRange(host)) {
        card::ShowSearching();
        if (card::AnswersAsCard(host)) return card::Accept(host);
    }
    g_card.CardHost = card::ConfiguredUrl();
    std::optional<card::AddressSweep> sweep = card::SweepOf(g_card.CardHost);
    if (sweep && Port().JournalVisible() && card::Sweep(*sweep)) return 1;
    Port().Journal(L"TFA Fail: " + g_card.CardHost);
    return 0;
}
