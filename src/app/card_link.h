// The card session's port to the world: the network through WinInet, the
// ICMP echo and libcurl's background download, and what the session
// reports, as events for the bar. Card thread.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "app/card_events.h"
#include "app/card_thread.h"
#include "model/card/card_session.h"
#include "win/card_net.h"

namespace app {

// Where the program's cards were accepted, one address per Url entry; every
// card thread reads and writes it.
class CardHosts {
public:
    void Set(size_t entry, const std::wstring& host);
    bool HeldByAnother(size_t entry, const std::wstring& host) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::wstring> hosts_;
};

class CardLink final : public model::CardPort {
public:
    // What the session reports goes out as the card thread's posted events
    // (asked for at each report: the link is made before the thread). `hosts`:
    // all cards' addresses, this card's at `entry`.
    CardLink(win::CardNet& net, CardThread& thread, CardHosts& hosts, size_t entry)
        : net_(net), thread_(thread), hosts_(hosts), entry_(entry) {}

    model::CardAnswer Get(const std::wstring& url, size_t capacity) override { return net_.Get(url, capacity); }
    bool Ping(const std::wstring& host, int timeoutMs) override { return net_.Ping(host, timeoutMs); }
    void Journal(const std::wstring& text) override { thread_.Events().Journal(text); }
    void Lamp(int image, model::Lamp colour, model::LampAt at) override { thread_.Events().Lamp(image, colour, at); }
    bool HeldByAnother(const std::wstring& host) override { return hosts_.HeldByAnother(entry_, host); }
    void CardFound(const std::wstring& host, const std::wstring& ssid) override {
        hosts_.Set(entry_, host);
        thread_.Events().CardFound(host, ssid);
    }
    void CameraFolderFollowed(const std::wstring& path) override { thread_.Events().CameraFolderFollowed(path); }
    void WalkListed(size_t listed, size_t known) override {
        if (walk_) walk_->Update(static_cast<int64_t>(listed), static_cast<int64_t>(known));
    }
    // The background download, with button 6's busy face and, for a file of
    // a listed size, its progress; cancelled by button 6 or the program's end.
    model::Fetched Fetch(const std::wstring& url, const std::wstring& path, uint64_t size, uint64_t limit,
                         const std::wstring& name) override;

    // The walk running now reports its progress here (nullptr when none runs).
    void FollowWalk(ProgressReport* walk) { walk_ = walk; }

private:
    win::CardNet& net_;
    CardThread& thread_;
    CardHosts& hosts_;
    size_t entry_;
    ProgressReport* walk_ = nullptr;
};

}  // namespace app
