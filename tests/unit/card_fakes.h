// A card port for unit tests: answers from a table, hosts that answer the
// echo request, and a record of every request, journal line and lamp, with a
// card session of its own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/card_session.h"

namespace testutil {

class FakeCardPort final : public card::CardPort {
public:
    std::map<std::wstring, card::CardAnswer> answers;  // by URL; others cannot be opened
    std::set<std::wstring> pingable;
    bool journalVisible = true;

    std::vector<std::wstring> requests, pings, journal, lamps, found, followed;

    FakeCardPort() { session.Config.PingTimeoutMs = 100; }

    // The card session under test, with this port.
    card::Session session{*this};

    void Answer(const std::wstring& url, std::string body) {
        card::CardAnswer a;
        a.opened = a.success = true;
        a.status = 200;
        a.body = std::move(body);
        answers[url] = a;
    }
    // An error page (404 by default): opened, but no answer to read.
    void Error(const std::wstring& url, int status = 404) {
        card::CardAnswer a;
        a.opened = true;
        a.status = status;
        answers[url] = a;
    }
    // A card at host: echo, SSID and, when given, its update flag.
    void Card(const std::wstring& host, const std::string& ssid = "flashair_e8e0b756a7fb") {
        pingable.insert(host);
        Answer(L"http://" + host + L"/command.cgi?op=104", ssid);
    }

    card::CardAnswer Get(const std::wstring& url, size_t capacity) override {
        requests.push_back(url);
        auto it = answers.find(url);
        if (it == answers.end()) return {};
        card::CardAnswer a = it->second;
        a.cut = a.body.size() > capacity;
        a.body.resize(std::min(a.body.size(), capacity));
        return a;
    }
    bool Ping(const std::wstring& host, int timeoutMs) override {
        EXPECT_EQ(timeoutMs, session.Config.PingTimeoutMs);
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
    bool JournalVisible() override { return journalVisible; }
    void CardFound(const std::wstring& host) override { found.push_back(host); }
    void CameraFolderFollowed(const std::wstring& path) override { followed.push_back(path); }

};

}  // namespace testutil
