#include "model/card/card_session.h"

#include <gtest/gtest.h>

#include "base/str.h"
#include "card_fakes.h"
#include "test_util.h"

namespace {

using testutil::FakeCardPort;

std::string Utf8(const std::wstring& s) { return str::ToUtf8(s); }

const std::string kTwoPictures =
    "WLANSD_FILELIST\r\n"
    "/DCIM/101_PANA,P1010001.JPG,4123456,32,19310,30257\r\n"
    "/DCIM/101_PANA,P1010001.RW2,20123456,32,19310,30257\r\n";

std::wstring Host(int n) { return L"127.0.0." + std::to_wstring(n); }

std::vector<std::wstring> Hosts(int from, int to) {
    std::vector<std::wstring> out;
    for (int n = from; n <= to; n++) out.push_back(Host(n));
    return out;
}

}  // namespace

TEST(CardSession, AskSsidTakesOnlyANetworkName) {
    FakeCardPort port;
    model::Session& session = port.session;
    port.config.Url = L"127.0.0.5";
    port.Begin();
    // Only what can be a card's network name is one: a longer answer is
    // some other server's, not a card's name cut short.
    port.Answer(L"http://127.0.0.5/command.cgi?op=104", "flashair_e8e0b756a7fb_and_more_than_32_bytes");
    EXPECT_FALSE(session.AskSsid());
    EXPECT_EQ(session.CardSsid(), L"");
    port.Answer(L"http://127.0.0.5/command.cgi?op=104", "flashair_e8e0b756a7fb");
    EXPECT_TRUE(session.AskSsid());
    EXPECT_EQ(session.CardSsid(), L"flashair_e8e0b756a7fb");
}

TEST(CardSession, CameraFolderListing) {
    const std::wstring url = L"http://127.0.0.5/command.cgi?op=100&DIR=/DCIM/101_PANA";
    enum class Answer { None, Error, ServerError, Broken, Empty, Pictures };
    struct Case {
        const char* what;
        Answer answer;
        int32_t result;
        bool connected;
        std::vector<std::wstring> candidates;
    } cases[] = {
        {"two pictures", Answer::Pictures, 2, true, {L"P1010001.JPG", L"P1010001.RW2"}},
        {"cannot be opened: nothing changes", Answer::None, 0, false, {L"old"}},
        {"empty answer: nothing changes", Answer::Empty, 0, false, {L"old"}},
        // A failed first listing never becomes the snapshot of the pictures
        // from before, or every old picture would count as new.
        {"server error: nothing changes", Answer::ServerError, 0, false, {L"old"}},
        {"answer broken off: nothing changes", Answer::Broken, 0, false, {L"old"}},
        // A card without the folder (yet) lists nothing, so the camera's
        // first pictures in it count as added.
        {"no such folder", Answer::Error, 0, true, {}},
    };
    for (auto& c : cases) {
        FakeCardPort port;
        model::Session& session = port.session;
        port.config.Url = L"127.0.0.5";
        port.config.Path = L"DCIM/101_PANA";
        port.config.TransferHiRes = L".rw2";
        port.config.TransferLoRes = L".jpg";
        port.config.TransferOnlyAddedFiles = true;
        port.Begin();
        port.requests.clear();
        model::SessionTestAccess::Lists(session).TransferCandidates.resize(1);
        model::SessionTestAccess::Lists(session).TransferCandidates[0].Name = L"old";
        if (c.answer == Answer::Error) port.Error(url);
        if (c.answer == Answer::ServerError) port.Error(url, 500);
        if (c.answer == Answer::Broken) {
            port.Answer(url, kTwoPictures);
            port.answers[url].broken = true;
        }
        if (c.answer == Answer::Empty) port.Answer(url, "");
        session.ListAgain();
        if (c.answer == Answer::Pictures) port.Answer(url, kTwoPictures);
        EXPECT_EQ(session.ListCameraFolder(), c.result) << c.what;
        EXPECT_EQ(port.requests, std::vector<std::wstring>{url}) << c.what;
        EXPECT_EQ(session.CardConnected(), c.connected) << c.what;
        std::vector<std::wstring> names;
        for (auto& r : session.Lists().TransferCandidates) names.push_back(r.Name);
        EXPECT_EQ(names, c.candidates) << c.what;
        EXPECT_EQ(session.Ledger().HasSnapshot(), c.connected) << c.what;
        EXPECT_EQ(session.ChangeNotListed(), !c.connected) << c.what;  // a failed listing is tried again
        if (c.connected) {
            EXPECT_EQ(session.TransferCandidateCount(), c.result) << c.what;
        }
    }
}

TEST(CardSession, PathsGoIntoUrlsPercentEncoded) {
    FakeCardPort port;
    model::Session& session = port.session;
    port.config.Url = L"127.0.0.5";
    port.config.Path = L"DCIM/\xC4 & 1";
    port.Begin();
    session.ListCameraFolder();
    EXPECT_EQ(port.requests.back(), L"http://127.0.0.5/command.cgi?op=100&DIR=/DCIM/%C3%84%20%26%201");

    // The walk asks for each folder by the card's own bytes, valid UTF-8 or not.
    port.Answer(L"http://127.0.0.5/command.cgi?op=100&DIR=/",
                "WLANSD_FILELIST\r\n,\xC3\x84 b,0,16,0,0\r\n,\xC4#,0,16,0,0\r\n");
    port.Error(L"http://127.0.0.5/command.cgi?op=100&DIR=/%C3%84%20b");  // the walk goes on
    EXPECT_EQ(session.WalkCard(L"/"), 2);
    EXPECT_EQ(std::vector<std::wstring>(port.requests.end() - 3, port.requests.end()),
              (std::vector<std::wstring>{L"http://127.0.0.5/command.cgi?op=100&DIR=/",
                                         L"http://127.0.0.5/command.cgi?op=100&DIR=/%C3%84%20b",
                                         L"http://127.0.0.5/command.cgi?op=100&DIR=/%C4%23"}));
    EXPECT_EQ(session.Lists().CardDirectories, (std::vector<std::wstring>{L"/\xC4 b", L"/\xC4#"}));
}

TEST(CardSession, CheckUpdate) {
    struct Case {
        const char* what;
        bool accepted;  // a card was accepted, so UpdateUrl is set
        std::optional<std::string> answer;
        model::CardChange result;
        const wchar_t* lamp;
    } cases[] = {
        {"changed", true, "1", model::CardChange::Changed, L"6gb"},
        {"unchanged", true, "0", model::CardChange::Unchanged, L"6gb"},
        {"only 8 bytes are read", true, "1234567890", model::CardChange::Changed, L"6gb"},
        {"another answer", true, "x", model::CardChange::Other, L"6gb"},
        {"empty body", true, "", model::CardChange::None, L"6rb"},
        {"cannot be opened", true, std::nullopt, model::CardChange::None, L"6rb"},
        {"no card accepted yet", false, "1", model::CardChange::None, L"6rb"},
    };
    for (auto& c : cases) {
        FakeCardPort port;
        model::Session& session = port.session;
        if (c.accepted) port.Found(L"127.0.0.5");
        if (c.answer) port.Answer(L"http://127.0.0.5/command.cgi?op=102", *c.answer);
        EXPECT_EQ(session.CheckUpdate(), c.result) << c.what;
        EXPECT_EQ(port.lamps, std::vector<std::wstring>{c.lamp}) << c.what;
        EXPECT_EQ(port.requests.size(), c.accepted ? 1u : 0u) << c.what;
    }
}

TEST(CardSession, ErrorPagesAreNoAnswers) {
    FakeCardPort port;
    model::Session& session = port.session;
    port.config.Url = Host(5);
    port.config.UrlLastConnect = L"";
    port.Begin();
    port.pingable.insert(Host(5));  // a web server, but no card
    port.Error(L"http://127.0.0.5/command.cgi?op=104");
    EXPECT_FALSE(session.AskSsid());
    EXPECT_FALSE(session.SearchUrl());
    EXPECT_EQ(port.journal.back(), L"TFA Fail: 127.0.0.5");
    port.Card(Host(5));  // now a card, whose flag is an error page
    ASSERT_TRUE(session.SearchUrl());
    port.Error(session.UpdateUrl());
    EXPECT_EQ(session.CheckUpdate(), model::CardChange::None);
    EXPECT_EQ(port.lamps.back(), L"6rb");
}

TEST(CardSession, SweepFindsTheCardAndRemembersIt) {
    FakeCardPort port;
    model::Session& session = port.session;
    port.config.Url = L"127.0.0.*";
    port.config.UrlLastConnect = L"";
    port.Begin();
    port.Card(Host(57));
    EXPECT_EQ(session.SearchUrl(), 1);
    std::vector<std::wstring> want;
    for (int n = 1; n <= 57; n++) want.push_back(L"TFA Checking: " + Host(n));
    want.push_back(L"TFA Success: 127.0.0.57");
    want.push_back(L"Card: flashair_e8e0b756a7fb (127.0.0.57)");  // the card says who it is
    EXPECT_EQ(port.journal, want);
    EXPECT_EQ(session.UrlLastConnect(), Host(57));
    EXPECT_EQ(port.found, std::vector<std::wstring>{Host(57)});  // the interface learns it
    EXPECT_EQ(session.CardHost(), Host(57));
    EXPECT_EQ(session.UpdateUrl(), L"http://127.0.0.57/command.cgi?op=102");
    EXPECT_EQ(session.CardSsid(), L"flashair_e8e0b756a7fb");

    // The next search tries the remembered address first.
    port.pings.clear();
    EXPECT_EQ(session.SearchUrl(), 1);
    EXPECT_EQ(port.pings, std::vector<std::wstring>{Host(57)});

    // The camera restarted and its card came back at .60: once it has been
    // silent for a while, the range is swept again, quietly, and the
    // journal says where the card is now.
    session.TakeCameraListing("");  // listed: connected
    port.pingable.erase(Host(57));
    port.Card(Host(60));
    port.now = session.LastAnswer() + 1;
    session.Poll();
    EXPECT_EQ(session.CardHost(), Host(57));  // not yet: a card sleeps often
    port.journal.clear();
    port.now += model::kSilentBeforeSearchNs;
    session.Poll();
    EXPECT_EQ(session.CardHost(), Host(60));
    EXPECT_EQ(session.UrlLastConnect(), Host(60));
    EXPECT_EQ(port.journal.front(), L"TFA Success: 127.0.0.60");
    EXPECT_EQ(std::count(port.journal.begin(), port.journal.end(), L"TFA Checking: 127.0.0.58"), 0);
}

TEST(CardSession, SearchOrderAndJournal) {
    struct Case {
        const char* what;
        std::wstring url, lastGood;
        std::vector<int> cards, echoOnly;  // hosts with a card, hosts that answer only the echo
        bool journalVisible;
        uint8_t result;
        std::vector<std::wstring> pings;
        std::vector<std::wstring> journal;  // in order, possibly with other lines between
    } cases[] = {
        {"a range downwards is probed upwards", L"127.0.0.209-201", L"", {}, {}, true, 0, Hosts(201, 209),
         {L"TFA Checking: 127.0.0.201", L"TFA Checking: 127.0.0.209", L"TFA Fail: 127.0.0.209"}},
        {"one address, also the last good one, no card: probed once", Host(1), Host(1), {}, {1}, true, 0,
         {Host(1)}, {L"TFA Fail: 127.0.0.1"}},
        {"a range while the journal is hidden: swept quietly", L"127.0.0.1-5", L"", {5}, {}, false, 1, Hosts(1, 5),
         {L"TFA Success: 127.0.0.5"}},
        {"the last good address goes first", Host(5), Host(9), {5, 9}, {}, true, 1, {Host(9)},
         {L"TFA Success: 127.0.0.9"}},
        {"then the configured address", Host(5), Host(9), {5}, {}, true, 1, {Host(9), Host(5)},
         {L"TFA Success: 127.0.0.5"}},
        {"a host that answers the echo but is no card", L"127.0.0.3-6", L"", {6}, {4}, true, 1, Hosts(3, 6),
         {L"TFA Checking: 127.0.0.4", L"TFA Fail: 127.0.0.4", L"TFA Checking: 127.0.0.5", L"TFA Success: 127.0.0.6"}},
        {"a host name has no range", L"card.local", L"", {}, {}, true, 0, {L"card.local"},
         {L"TFA Fail: card.local"}},
    };
    for (auto& c : cases) {
        FakeCardPort port;
        model::Session& session = port.session;
        port.config.Url = c.url;
        port.config.UrlLastConnect = c.lastGood;
        port.Begin();
        for (int n : c.cards) port.Card(Host(n));
        for (int n : c.echoOnly) port.pingable.insert(Host(n));
        port.Configure(c.journalVisible);
        EXPECT_EQ(session.SearchUrl(), c.result) << c.what;
        EXPECT_EQ(port.pings, c.pings) << c.what;
        auto at = port.journal.begin();
        for (auto& line : c.journal) {
            at = std::find(at, port.journal.end(), line);
            EXPECT_NE(at, port.journal.end()) << c.what << ": " << Utf8(line);
        }
        if (str::StartsWith(port.journal.back(), L"Card: ")) port.journal.pop_back();
        ASSERT_FALSE(port.journal.empty());
        EXPECT_EQ(port.journal.back(), c.journal.back()) << c.what;
    }

    // Another card of the program was accepted at .4 (once this card's last
    // address): it is neither asked nor taken.
    FakeCardPort port;
    port.config.Url = L"127.0.0.3-6";
    port.config.UrlLastConnect = Host(4);
    port.Begin();
    port.Card(Host(4));
    port.Card(Host(6));
    port.held.insert(Host(4));
    port.Configure(true);
    EXPECT_EQ(port.session.SearchUrl(), 1);
    EXPECT_EQ(port.pings, (std::vector<std::wstring>{Host(3), Host(5), Host(6)}));
}

TEST(CardSession, SweepTakesTheUrlFromTheSettingsFileAsItIsNow) {
    testutil::TempDir dir;
    FakeCardPort port;
    model::Session& session = port.session;
    port.settingsFile = dir.Write(L"Wemlox.ini", "[TFA]\r\nUrl = 127.0.0.7-8\r\n");
    port.config.Url = L"127.0.0.1-2";
    port.config.UrlLastConnect = L"";
    port.Begin();
    port.Card(Host(8));
    EXPECT_EQ(session.SearchUrl(), 1);
    EXPECT_EQ(port.pings, Hosts(7, 8));
}

TEST(CardSession, PollListsTheCameraFolderWhenTheFlagSaysSo) {
    struct Case {
        bool useUpdateFlag;
        std::optional<std::string> flag;  // op=102 answer; nothing: the card is gone
        int listings;                     // listings of the camera folder in the tick
        bool transfer;
    } cases[] = {
        {false, "0", 2, true}, {false, "1", 2, true}, {true, "1", 2, true},
        {true, "0", 1, false}, {false, std::nullopt, 1, false}, {false, "x", 1, false},
    };
    for (auto& c : cases) {
        FakeCardPort port;
        model::Session& session = port.session;
        port.ConfigureCamera(L".rw2");
        port.config.UseUpdateFlag = c.useUpdateFlag;
        port.Begin();
        port.Card(Host(5));
        port.Answer(L"http://127.0.0.5/command.cgi?op=100&DIR=/DCIM/101_PANA", kTwoPictures);
        if (c.flag) port.Answer(L"http://127.0.0.5/command.cgi?op=102", *c.flag);
        std::string label = std::to_string(c.useUpdateFlag) + " " + c.flag.value_or("gone");
        EXPECT_EQ(session.Poll(), c.transfer) << label;
        EXPECT_TRUE(session.CardConnected()) << label;
        EXPECT_EQ(std::count_if(port.requests.begin(), port.requests.end(),
                                [](const std::wstring& u) { return u.find(L"op=100&DIR=/DCIM/101_PANA") != std::wstring::npos; }),
                  c.listings) << label;
        EXPECT_EQ(session.TransferCandidateCount(), 2) << label;
        // A connected card is not searched for again.
        port.pings.clear();
        session.Poll();
        EXPECT_TRUE(port.pings.empty()) << label;
    }
}

// The card reports a change once: a "1" that the transfer's own check reads
// still leads to a listing on the next tick.
TEST(CardSession, ChangeReadBetweenTicksIsListedOnTheNextTick) {
    FakeCardPort port;
    model::Session& session = port.session;
    port.config.Url = Host(5);
    port.config.UrlLastConnect = L"";
    port.config.Path = L"DCIM/101_PANA";
    port.config.TransferLoRes = L".jpg";
    port.config.UseUpdateFlag = true;
    port.Begin();
    port.Card(Host(5));
    const std::wstring flag = L"http://127.0.0.5/command.cgi?op=102";
    port.Answer(L"http://127.0.0.5/command.cgi?op=100&DIR=/DCIM/101_PANA", kTwoPictures);
    port.Answer(flag, "0");
    session.Poll();
    auto listings = [&] {
        return std::count_if(port.requests.begin(), port.requests.end(),
                             [](const std::wstring& u) { return u.find(L"op=100&DIR=/DCIM/101_PANA") != std::wstring::npos; });
    };
    const auto first = listings();
    port.Answer(flag, "1");
    EXPECT_EQ(session.CheckUpdate(), model::CardChange::Changed);  // read during a transfer
    port.Answer(flag, "0");
    EXPECT_TRUE(session.Poll());
    EXPECT_EQ(listings(), first + 1);
    EXPECT_FALSE(session.Poll());
    EXPECT_EQ(listings(), first + 1);
}

TEST(CardSession, PollWithoutACardOnlySearches) {
    FakeCardPort port;
    model::Session& session = port.session;
    port.config.Url = Host(5);
    port.config.UrlLastConnect = L"";
    port.Begin();
    EXPECT_FALSE(session.Poll());
    EXPECT_FALSE(session.CardConnected());
    EXPECT_EQ(session.UpdateFlag(), model::CardChange::None);
    EXPECT_TRUE(port.requests.empty());  // the echo failed, so no request at all
}

TEST(CardSession, RemarksAreWrittenOncePerRun) {
    FakeCardPort port;
    model::Session& session = port.session;
    port.config.TransferLoRes = L".jpg";
    port.Configure();
    std::string answer = "WLANSD_FILELIST\r\n/D,CON.JPG,1,32,0,0\r\n/D,ok.jpg,1,32,0,0\r\n";
    EXPECT_EQ(session.TakeCameraListing(answer), 1);
    EXPECT_EQ(session.TakeCameraListing(answer), 1);
    EXPECT_EQ(port.journal.size(), 1u);
    EXPECT_EQ(model::SplitLines(answer).size(), 3u);
    // A card that sends ever new odd names does not fill the run with them.
    for (int i = 0; i < 2; i++) {
        std::string odd = "WLANSD_FILELIST\r\n";
        for (size_t n = 0; n < model::kMaxRemarks; n++) odd += "/D,a" + std::to_string(i) + "_" + std::to_string(n) + ":.jpg,1,32,0,0\r\n";
        session.TakeCameraListing(odd);
    }
    EXPECT_EQ(session.RemarksSaid(), model::kMaxRemarks);
    EXPECT_EQ(port.journal.size(), model::kMaxRemarks + 1);
}

// A card is known by its CID at its address. A CID request that goes
// unanswered keeps it (asked again later) and what the run knows of the
// card; one refused makes it a card known by its network name.
TEST(CardSession, AFailedCidRequestKeepsTheCardItIs) {
    FakeCardPort port;
    port.ConfigureCamera(L".rw2");
    port.config.TransferOnlyAddedFiles = true;
    port.Card(Host(5), "card");
    port.now = int64_t{1000} * 1000000000;
    port.Begin();
    model::Session& s = port.session;
    const std::wstring cidUrl = L"http://127.0.0.5/command.cgi?op=120", cid = L"cid-0123456789abcdef0123456789abcdef";
    auto found = [&] { return s.SearchUrl() ? s.Ledger().Record().CardId() : L"not found"; };
    EXPECT_EQ(found(), L"ssid-card");
    s.TakeCameraListing(kTwoPictures);
    port.Answer(cidUrl, "0123456789ABCDEF0123456789abcdef\r\n");
    s.Poll();
    EXPECT_EQ(s.Ledger().Record().CardId(), L"ssid-card");  // not yet
    port.now += model::kCidRetryNs;
    s.Poll();
    EXPECT_EQ(s.Ledger().Record().CardId(), cid);
    EXPECT_TRUE(s.Ledger().HasSnapshot());
    port.answers.erase(cidUrl);
    EXPECT_EQ(found(), cid);
    EXPECT_TRUE(s.Ledger().HasSnapshot());
    port.Error(cidUrl);
    EXPECT_EQ(found(), L"ssid-card");
    // Another card put in between two polls: a poll answered late went
    // through a silence; with none to notice, the card is asked who it is
    // within kAskWhoEveryNs all the same.
    port.Answer(L"http://127.0.0.5/command.cgi?op=102", "0");
    port.Answer(L"http://127.0.0.5/command.cgi?op=100&DIR=/DCIM/101_PANA", kTwoPictures);
    port.Answer(cidUrl, "fedcba9876543210fedcba9876543210");
    port.answerNs = model::kLateAnswerNs;
    s.Poll();
    EXPECT_EQ(port.journal.back(), L"Card: fedcba9876543210fedcba9876543210 (127.0.0.5)");
    port.answerNs = 0;
    port.Answer(cidUrl, "00000000000000000000000000000001");
    s.Poll();
    EXPECT_EQ(s.Ledger().Record().CardId(), L"cid-fedcba9876543210fedcba9876543210");
    port.now += model::kAskWhoEveryNs;
    s.Poll();
    EXPECT_EQ(port.journal.back(), L"Card: 00000000000000000000000000000001 (127.0.0.5)");
}

// With FollowNewFolders the camera's next folder becomes the camera folder:
// the interface hears of it, every picture in it is new, and settings handed
// over before the interface caught up do not turn the card thread back.
TEST(CardSession, FollowsTheCameraIntoItsNextFolder) {
    for (bool follow : {false, true}) {
        FakeCardPort port;
        model::Session& session = port.session;
        port.ConfigureCamera(L".rw2");
        port.config.TransferOnlyAddedFiles = true;
        port.config.FollowNewFolders = follow;
        port.config.TransferModeAuto = L"lores";
        const model::Settings before = port.config;
        port.Begin();
        port.Card(Host(5));
        const std::wstring parent = L"http://127.0.0.5/command.cgi?op=100&DIR=/DCIM";
        const std::string folders =
            "WLANSD_FILELIST\r\n/DCIM,100_PANA,0,16,19310,30257\r\n/DCIM,101_PANA,0,16,19310,30257\r\n";
        port.Answer(L"http://127.0.0.5/command.cgi?op=102", "1");
        port.Answer(L"http://127.0.0.5/command.cgi?op=100&DIR=/DCIM/101_PANA", kTwoPictures);
        port.Answer(parent, folders);
        session.Poll();  // the pictures from before: the snapshot

        // The camera's last shot in 101_PANA, then its next folder.
        port.Answer(L"http://127.0.0.5/command.cgi?op=100&DIR=/DCIM/101_PANA",
                    kTwoPictures + "/DCIM/101_PANA,P1010002.JPG,4123456,32,19310,30257\r\n");
        port.Answer(parent, folders + "/DCIM,102_PANA,0,16,19310,30257\r\n");
        port.Answer(L"http://127.0.0.5/command.cgi?op=100&DIR=/DCIM/102_PANA",
                    "WLANSD_FILELIST\r\n/DCIM/102_PANA,P1020001.JPG,4123456,32,19310,30257\r\n");
        EXPECT_TRUE(session.Poll());
        if (!follow) {
            // It stays, and says once that the new folder's pictures stay on the card.
            EXPECT_EQ(session.Config().Path, L"DCIM/101_PANA");
            const std::wstring said = L"Not transferred: the camera writes to DCIM/102_PANA now (FollowNewFolders = No)";
            session.Poll();
            EXPECT_EQ(std::count(port.journal.begin(), port.journal.end(), said), 1);
            EXPECT_EQ(port.lamps.back(), L"6rb");
            continue;
        }
        EXPECT_EQ(session.Config().Path, L"DCIM/102_PANA");
        EXPECT_EQ(port.followed, std::vector<std::wstring>{L"DCIM/102_PANA"});
        EXPECT_EQ(port.journal.back(), L"Set: TFA Path: DCIM/102_PANA");
        ASSERT_EQ(session.Lists().TransferCandidates.size(), 1u);
        // On the card before, but new to this folder.
        EXPECT_FALSE(session.Ledger().Barred(session.Lists().TransferCandidates[0]));
        // The last shot left behind is still fetched from its folder, until it is stored.
        ASSERT_EQ(session.Leftovers().size(), 1u);
        EXPECT_EQ(session.Leftovers()[0].Name, L"P1010002.JPG");
        EXPECT_EQ(session.Leftovers()[0].Directory, L"DCIM/101_PANA");
        model::CardFileRecord shot = session.Leftovers()[0];
        shot.Size = 1000;  // stored while the camera still wrote it
        EXPECT_NE(port.StorePicture(shot, model::Store::LoRes, std::string(1000, 'j')), L"");
        session.Poll();
        EXPECT_EQ(session.Leftovers().size(), 1u);
        EXPECT_NE(port.StorePicture(session.Leftovers()[0], model::Store::LoRes, std::string(4123456, 'j')), L"");
        session.Poll();
        EXPECT_TRUE(session.Leftovers().empty());
        EXPECT_TRUE(session.PreviousPaths().empty());

        session.AdoptSettings(before);  // handed over before the interface heard of it
        EXPECT_EQ(session.Config().Path, L"DCIM/102_PANA");
        model::Settings caughtUp = before;
        caughtUp.Path = L"DCIM/102_PANA";
        session.AdoptSettings(caughtUp);
        session.AdoptSettings(before);  // now the user's own choice
        EXPECT_EQ(session.Config().Path, L"DCIM/101_PANA");
    }
}

TEST(CardSession, AddressAndCameraFolderChangedWhileRunningTakeEffectAtOnce) {
    FakeCardPort port;
    model::Session& session = port.session;
    port.ConfigureCamera(L".rw2");
    port.Found(Host(5));
    session.TakeCameraListing("");  // listed: connected
    model::Settings same = session.Config();
    session.AdoptSettings(same);
    EXPECT_TRUE(session.CardConnected());
    EXPECT_FALSE(session.PathChanged());

    model::Settings moved = same;
    moved.Url = Host(7);
    moved.Path = L"DCIM/100EOS5D";
    session.AdoptSettings(moved);
    EXPECT_FALSE(session.CardConnected());  // looked for at the new address
    EXPECT_EQ(session.CardHost(), Host(7));
    EXPECT_EQ(session.UrlLastConnect(), L"");
    EXPECT_TRUE(session.PathChanged());     // a folder the user chose
}
