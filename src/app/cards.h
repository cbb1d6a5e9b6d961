// Several cards at once: one Card for each entry of [TFA] Url, each with its
// own link, session, thread, transfers and views, so a card that sleeps, is
// slow or is downloading a raw never holds back another card's pictures.
// What a card's thread reports reaches the app as that card's.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "app/backup.h"
#include "app/card_events.h"
#include "app/card_link.h"
#include "app/card_thread.h"
#include "app/card_views.h"
#include "app/transfers.h"
#include "model/card/card_session.h"
#include "model/settings/settings.h"
#include "ui/bar.h"
#include "win/card_net.h"

namespace app {

// What the app carries out for one card: the events every card reports,
// and those that depend on which card it was (Url entry `entry`).
class CardReports : public CardEvents {
public:
    virtual void CardJournal(size_t entry, std::wstring text) = 0;
    virtual void CardLamp(size_t entry, int button, model::Lamp colour, model::LampAt at) = 0;
    virtual void CardFoundAt(size_t entry, std::wstring host, std::wstring ssid) = 0;
    virtual void CameraFolderFollowedBy(size_t entry, std::wstring path) = 0;
    virtual void CardSingleTransferEnded(size_t entry, CardFile file, SingleTransfer how, bool arrived) = 0;
    virtual void CardWalkStarted(size_t entry, std::wstring rootCaption) = 0;
    virtual void CardWalkEnded(size_t entry, std::shared_ptr<ui::Walk> walk) = 0;
    virtual void CardThumbnailFetched(size_t entry, std::shared_ptr<FetchedThumbnail> thumbnail) = 0;
    virtual void CardProgress(size_t entry, std::optional<model::WorkProgress> work) = 0;
};

// A card's events with the card they came from.
class CardChannel final : public CardEvents {
public:
    CardChannel(CardReports& app, size_t entry) : app_(app), entry_(entry) {}

    void Journal(std::wstring text) override { app_.CardJournal(entry_, std::move(text)); }
    void Lamp(int button, model::Lamp colour, model::LampAt at) override { app_.CardLamp(entry_, button, colour, at); }
    void CardFound(std::wstring host, std::wstring ssid) override {
        app_.CardFoundAt(entry_, std::move(host), std::move(ssid));
    }
    void CameraFolderFollowed(std::wstring path) override { app_.CameraFolderFollowedBy(entry_, std::move(path)); }
    void CardNamed(std::optional<std::wstring> ssid) override { app_.CardNamed(std::move(ssid)); }
    void PictureStored(std::wstring path) override { app_.PictureStored(std::move(path)); }
    void SingleTransferEnded(CardFile file, SingleTransfer how, bool arrived) override {
        app_.CardSingleTransferEnded(entry_, std::move(file), how, arrived);
    }
    void WalkStarted(std::wstring rootCaption) override { app_.CardWalkStarted(entry_, std::move(rootCaption)); }
    void WalkEnded(std::shared_ptr<ui::Walk> walk) override { app_.CardWalkEnded(entry_, std::move(walk)); }
    void ThumbnailFetched(std::shared_ptr<FetchedThumbnail> thumbnail) override {
        app_.CardThumbnailFetched(entry_, std::move(thumbnail));
    }
    void Progress(std::optional<model::WorkProgress> work) override { app_.CardProgress(entry_, std::move(work)); }
    void BusyFace(bool on, int pauseMs) override { app_.BusyFace(on, pauseMs); }
    void ButtonTransferBegun() override { app_.ButtonTransferBegun(); }

private:
    CardReports& app_;
    size_t entry_;
};

// One card: its place in [TFA] Url and everything that serves it.
struct Card {
    Card(size_t entry, ui::Bar& bar, const model::Settings& settings, CardReports& app, BusyFace& face,
         Backup& backup, CardHosts& hosts)
        : entry(entry),
          channel(app, entry),
          link(net, thread, hosts, entry),
          session(link),
          thread(bar, session, settings, channel, face, entry),
          transfers(session, thread, backup),
          views(session, thread, link, bar, entry) {}
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;

    size_t entry;
    CardChannel channel;
    win::CardNet net;
    CardLink link;
    model::Session session;
    CardThread thread;
    Transfers transfers;
    CardViews views;
};

using CardList = std::vector<std::unique_ptr<Card>>;

// Interface thread: true when a download runs on one of the cards.
inline bool AnyDownloading(const CardList& cards) {
    for (const auto& c : cards)
        if (c->thread.Downloading()) return true;
    return false;
}

// Interface thread: rebuilds the thumbnail grid of every card at once; each
// card's missing pictures are fetched on its own thread. The rows + 1.
int32_t BuildGrid(ui::Bar& bar, const CardList& cards);

}  // namespace app
