// Card requests, update poll, discovery and listings.
#include "flashair/card_session.h"

#include "base/str.h"
#include "core/settings.h"
#include "core/state.h"
#include "flashair/address_range.h"
#include "flashair/card_text.h"
#include "flashair/no_transfer.h"

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
};

NoPort g_noPort;
CardPort* g_port = &g_noPort;

constexpr int kCardButton = 6;  // the FlashAir button carries the card's lamps

const std::wstring kListingPath = L"/command.cgi?op=100&DIR=";
const std::wstring kUpdatePath = L"/command.cgi?op=102";
const std::wstring kSsidPath = L"/command.cgi?op=104";

std::wstring CardUrl(const std::wstring& host, const std::wstring& path) { return L"http://" + host + path; }

// op=104 of a host; its answer becomes CardSsid. True when it answered.
bool RequestSsid(const std::wstring& host) {
    CardAnswer a = Port().Get(CardUrl(host, kSsidPath), kSsidReadBytes);
    if (a.body.empty()) return false;
    TFA_Split(L"SSID", a.body);
    return true;
}

bool AnswersAsCard(const std::wstring& host) { return TFA_CheckUrlPing(host) && RequestSsid(host); }

uint8_t Accept(const std::wstring& host) {
    g_card.CardHost = host;
    g_card.UpdateUrl = CardUrl(host, kUpdatePath);
    g_settings.UrlLastConnect = host;
    Port().Journal(L"TFA Success: " + host);
    return 1;
}

void ShowSearching() { Port().Lamp(kCardButton, L"b", L"t"); }

// [TFA] Url as the settings file holds it now; the loaded value when the
// file cannot be read.
std::wstring ConfiguredUrl() {
    std::wstring url = WLX_LoadPreferences(L"TFA", L"Url");
    return str::StartsWith(url, L"%ERR%") ? g_settings.Url : url;
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

std::optional<std::string> FetchListing(const std::string& path) {
    CardAnswer a = Port().Get(CardUrl(g_card.CardHost, kListingPath + UrlPathFromBytes(path)), kListingReadBytes);
    if (!a.opened) return std::nullopt;
    return std::move(a.body);
}

}  // namespace

void SetPort(CardPort* port) { g_port = port ? port : &g_noPort; }
CardPort& Port() { return *g_port; }

void JournalOnce(const std::wstring& text) {
    if (g_card.SaidOnce.insert(text).second) Port().Journal(text);
}

void BeginSession() { g_card.CardHost = g_settings.Url; }

bool PollCard() {
    if (!g_run.CardConnected) {
        g_run.UpdateFlag = static_cast<int8_t>(TFA_SearchUrl());
        if (g_run.UpdateFlag) g_run.TransferCandidateCount = TFA_GetData(L"DIR", L"");
    }
    if (g_run.CardConnected) g_run.UpdateFlag = TFA_CheckUpdate();
    if (g_run.UpdateFlag == '0' && g_card.ChangeNotListed) g_run.UpdateFlag = '1';
    bool relist = g_run.UpdateFlag == '1' || (g_run.UpdateFlag == '0' && !g_settings.UseUpdateFlag);
    if (!relist) return false;
    g_run.TransferCandidateCount = TFA_GetData(L"DIR", L"");
    return g_run.TransferCandidateCount > 0;
}

}  // namespace card

using card::Port;

int32_t TFA_GetData(const std::wstring& kind, const std::wstring& argument) {
    if (kind == L"DIR") {
        g_card.ChangeNotListed = false;  // this listing shows every change reported so far
        std::wstring path = card::kListingPath + L"/" + card::UrlPath(g_settings.Path);
        card::CardAnswer a = Port().Get(card::CardUrl(g_card.CardHost, path), card::kListingReadBytes);
        if (!a.opened) return 0;
        // A card that has no such folder (yet) lists nothing: it is connected
        // and the first pictures in a new camera folder count as added.
        if (!a.success) return TFA_Split(kind, "");
        return a.body.empty() ? 0 : TFA_Split(kind, a.body);
    }
    if (kind == L"ExamineTREE")
        return card::ExamineTree(str::ToUtf8(argument), card::FetchListing, g_card.Lists, card::JournalOnce);
    if (kind == L"SSID") return card::RequestSsid(g_card.CardHost) ? 1 : 0;
    return 0;
}

int32_t TFA_Split(const std::wstring& kind, const std::string& answer) {
    if (kind == L"DIR") {
        g_run.CardConnected = true;
        g_card.Lists.TransferCandidates =
            card::ListingCandidates(answer, g_settings.TransferHiRes, g_settings.TransferLoRes, card::JournalOnce);
        g_run.TransferCandidateCount = static_cast<int32_t>(g_card.Lists.TransferCandidates.size());
        TFA_NoTransferList();
        return g_run.TransferCandidateCount;
    }
    if (kind == L"ExamineTREE") return static_cast<int32_t>(card::SplitLines(answer).size());
    if (kind == L"SSID") {
        g_card.CardSsid = str::FromUtf8(answer);
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
    return !host.empty() && Port().Ping(host, g_settings.PingTimeoutMs) ? 1 : 0;
}

uint8_t TFA_SearchUrl() {
    const std::wstring lastGood = g_settings.UrlLastConnect;
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
