// A card port for unit tests: answers and files from a table, hosts that
// answer the echo request, and a record of every request, journal line and
// lamp, with a card session of its own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/card/card_session.h"
#include "test_util.h"

namespace model {

struct SessionTestAccess {
    static CardLists& Lists(Session& s) { return s.lists_; }
};

}  // namespace model

namespace testutil {

class FakeCardPort final : public model::CardPort {
public:
    std::map<std::wstring, model::CardAnswer> answers;  // by URL; others cannot be opened
    std::map<std::wstring, std::string> files;          // what a fetch of the URL brings
    std::set<std::wstring> pingable;
    std::set<std::wstring> held;  // addresses where another card of the program was accepted

    std::vector<std::wstring> requests, pings, journal, lamps, found, followed, fetches;

    // A scratch picture store and a folder for the cards' records.
    TempDir store, records;
    // The clock the session reads; 0 reads the file system's.
    int64_t now = 0;
    int64_t answerNs = 0;  // how long each request takes while `now` is set

    // The settings the session is handed by Begin and Configure.
    model::Settings config;
    std::wstring settingsFile;

    // The card session under test, with this port.
    model::Session session{*this};

    FakeCardPort() {
        config.PingTimeoutMs = 100;
        config.SourcePath = store.path();
        Configure();
    }

    // Hands the session `config` as card work hands it the settings.
    void Configure(bool journalShown = true) { session.AdoptSettings(config, journalShown); }

    // The camera: the card at 127.0.0.5 (no address from before), the camera
    // folder DCIM/101_PANA with JPEGs and raw files of this extension.
    void ConfigureCamera(const std::wstring& raw) {
        config.Url = L"127.0.0.5";
        config.UrlLastConnect = L"";
        config.Path = L"DCIM/101_PANA";
        config.TransferHiRes = raw;
        config.TransferLoRes = L".jpg";
    }

    // Starts the session's run with `config`, the records in the scratch
    // folder.
    void Begin(int64_t runStart = 0) {
        session.Begin(config, settingsFile, records.path(), runStart ? runStart : Now());
        Configure();
    }

    // Starts the run with the card at `host` found, and forgets what that
    // asked and said.
    void Found(const std::wstring& host) {
        Card(host);
        config.Url = host;
        config.UrlLastConnect = L"";
        Begin();
        EXPECT_TRUE(session.SearchUrl());
        requests.clear(), pings.clear(), journal.clear(), lamps.clear(), found.clear();
    }

    // Stores `bytes` as the picture in a store folder, as a finished
    // download is stored; the path it got, empty when it was not stored.
    std::wstring StorePicture(const model::CardFileRecord& c, model::Store folder, std::string_view bytes) {
        model::StorePlan plan = session.Ledger().Plan(c, folder, Now());
        if (plan.action != model::StorePlan::Action::Fetch) return L"";
        std::wstring downloaded = records / L"download.tmp";
        EXPECT_TRUE(fs::WriteFile(downloaded, bytes));
        model::Placed placed = session.Ledger().Place(c, folder, plan, downloaded, Now());
        return placed.ok ? placed.path : L"";
    }

    void Answer(const std::wstring& url, std::string body) {
        model::CardAnswer a;
        a.opened = a.success = true;
        a.status = 200;
        a.body = std::move(body);
        answers[url] = a;
    }
    // An error page (404 by default): opened, but no answer to read.
    void Error(const std::wstring& url, int status = 404) {
        model::CardAnswer a;
        a.opened = true;
        a.status = status;
        answers[url] = a;
    }
    // A card at host: echo, SSID and, when given, its update flag.
    void Card(const std::wstring& host, const std::string& ssid = "flashair_e8e0b756a7fb") {
        pingable.insert(host);
        Answer(L"http://" + host + L"/command.cgi?op=104", ssid);
    }

    model::CardAnswer Get(const std::wstring& url, size_t capacity) override {
        requests.push_back(url);
        if (now) now += answerNs;
        auto it = answers.find(url);
        if (it == answers.end()) return {};
        model::CardAnswer a = it->second;
        a.cut = a.body.size() > capacity;
        a.body.resize(std::min(a.body.size(), capacity));
        return a;
    }
    bool HeldByAnother(const std::wstring& host) override { return held.count(host) > 0; }
    bool Ping(const std::wstring& host, int timeoutMs) override {
        EXPECT_EQ(timeoutMs, session.Config().PingTimeoutMs);
        pings.push_back(host);
        return pingable.count(host) > 0;
    }
    void Journal(const std::wstring& text) override { journal.push_back(text); }
    // Recorded as "6rb": image, colour letter, t(op) or b(ottom).
    void Lamp(int image, model::Lamp colour, model::LampAt at) override {
        static const wchar_t kLetters[] = L"rgbycx";
        lamps.push_back(std::to_wstring(image) + kLetters[static_cast<int>(colour)] +
                        (at == model::LampAt::Top ? L"t" : L"b"));
    }
    void CardFound(const std::wstring& host, const std::wstring&) override { found.push_back(host); }
    void CameraFolderFollowed(const std::wstring& path) override { followed.push_back(path); }
    // The file of `files` when it is as long as the card listed it.
    model::Fetched Fetch(const std::wstring& url, const std::wstring& path, uint64_t size, uint64_t limit,
                         const std::wstring&) override {
        fetches.push_back(url);
        auto it = files.find(url);
        if (it == files.end()) return {false, false, "HTTP 404"};
        if ((size && it->second.size() != size) || it->second.size() > limit) return {false, false, "cut short"};
        return {fs::WriteFile(path, it->second), false, ""};
    }
    int64_t Now() override { return now ? now : fs::Now(); }

};

}  // namespace testutil
