// The one road from the card thread to the bar: what card work reports, as
// typed events. App carries them out on the interface thread; the card
// thread reaches them only through PostedCardEvents, which hands each call
// to the mailbox the interface thread drains.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "model/bar/work_progress.h"
#include "model/card/card_worker.h"
#include "model/common/info_logic.h"
#include "ui/card_tree.h"
#include "win/images.h"

namespace app {

// A card file as card work needs it, copied from its record (the records
// may be replaced by a new walk before the work runs): its place in the
// shown lists and the walk it came from, its name and folder as program
// text and as the card's own bytes (a request must use the card's spelling),
// and what the listing said of it (0: not listed).
struct CardFile {
    int32_t index = 0;
    uint32_t generation = 0;
    std::wstring name, directory;
    std::string rawDirectory, rawName;
    uint64_t size = 0;
    int32_t date = 0, time = 0;
};

// How a single card file was asked for.
enum class SingleTransfer : uint8_t {
    FromTree,    // the tree's menu or a tile's picture: its tree item is marked
    Picked,      // button 1 with picked tiles: the pick goes once the file came
};

// A thumbnail fetched and decoded on the card thread, for a record's tile.
struct FetchedThumbnail {
    uint32_t generation = 0;  // the walk the tile's record belongs to
    int32_t index = 0;
    std::wstring key;         // the card picture's identity
    win::Picture picture;
};

class CardEvents {
public:
    virtual ~CardEvents() = default;
    virtual void Journal(std::wstring text) = 0;
    virtual void Lamp(int button, model::Lamp colour, model::LampAt at) = 0;
    // The card answers at host, by its network name: [TFA] UrlLastConnect
    // follows.
    virtual void CardFound(std::wstring host, std::wstring ssid) = 0;
    // The card thread moved on to the camera's next folder: [TFA] Path follows.
    virtual void CameraFolderFollowed(std::wstring path) = 0;
    // The card's network name, asked for by the tree's menu (nothing when it
    // gave none): [TFA] OccurenceName follows.
    virtual void CardNamed(std::optional<std::wstring> ssid) = 0;
    // A picture that has just been stored, for the viewer.
    virtual void PictureStored(std::wstring path) = 0;
    // A single file asked for by the user has arrived, or not.
    virtual void SingleTransferEnded(CardFile file, SingleTransfer how, bool arrived) = 0;
    // A walk of the card for the tree began (its root's caption) or ended
    // (nothing when the card did not answer: the old tree stays).
    virtual void WalkStarted(std::wstring rootCaption) = 0;
    virtual void WalkEnded(std::shared_ptr<ui::Walk> walk) = 0;
    virtual void ThumbnailFetched(std::shared_ptr<FetchedThumbnail> thumbnail) = 0;
    // Long card work's progress; nothing once it has ended.
    virtual void Progress(std::optional<model::WorkProgress> work) = 0;
    // Button 6's busy face while card work runs; a release may wait for the
    // face's after-action pause.
    virtual void BusyFace(bool on, int pauseMs) = 0;
    // Button 6's transfer, queued behind other card work, has begun.
    virtual void ButtonTransferBegun() = 0;
};

// The card thread's side: each call goes through the mailbox to `target`,
// carried out on the interface thread in the order posted.
class PostedCardEvents final : public CardEvents {
public:
    PostedCardEvents(model::UiMailbox& mailbox, CardEvents& target) : mailbox_(mailbox), target_(target) {}

    void Journal(std::wstring text) override {
        Post([text = std::move(text)](CardEvents& e) mutable { e.Journal(std::move(text)); });
    }
    void Lamp(int button, model::Lamp colour, model::LampAt at) override {
        Post([=](CardEvents& e) { e.Lamp(button, colour, at); });
    }
    void CardFound(std::wstring host, std::wstring ssid) override {
        Post([host = std::move(host), ssid = std::move(ssid)](CardEvents& e) mutable {
            e.CardFound(std::move(host), std::move(ssid));
        });
    }
    void CameraFolderFollowed(std::wstring path) override {
        Post([path = std::move(path)](CardEvents& e) mutable { e.CameraFolderFollowed(std::move(path)); });
    }
    void CardNamed(std::optional<std::wstring> ssid) override {
        Post([ssid = std::move(ssid)](CardEvents& e) mutable { e.CardNamed(std::move(ssid)); });
    }
    void PictureStored(std::wstring path) override {
        Post([path = std::move(path)](CardEvents& e) mutable { e.PictureStored(std::move(path)); });
    }
    void SingleTransferEnded(CardFile file, SingleTransfer how, bool arrived) override {
        Post([file = std::move(file), how, arrived](CardEvents& e) mutable {
            e.SingleTransferEnded(std::move(file), how, arrived);
        });
    }
    void WalkStarted(std::wstring rootCaption) override {
        Post([caption = std::move(rootCaption)](CardEvents& e) mutable { e.WalkStarted(std::move(caption)); });
    }
    void WalkEnded(std::shared_ptr<ui::Walk> walk) override {
        Post([walk = std::move(walk)](CardEvents& e) mutable { e.WalkEnded(std::move(walk)); });
    }
    void ThumbnailFetched(std::shared_ptr<FetchedThumbnail> thumbnail) override {
        Post([thumbnail = std::move(thumbnail)](CardEvents& e) mutable { e.ThumbnailFetched(std::move(thumbnail)); });
    }
    void Progress(std::optional<model::WorkProgress> work) override {
        Post([work = std::move(work)](CardEvents& e) mutable { e.Progress(std::move(work)); });
    }
    void BusyFace(bool on, int pauseMs) override { Post([=](CardEvents& e) { e.BusyFace(on, pauseMs); }); }
    void ButtonTransferBegun() override {
        Post([](CardEvents& e) { e.ButtonTransferBegun(); });
    }

private:
    template <typename Call>
    void Post(Call call) {
        mailbox_.Post([&target = target_, call = std::move(call)]() mutable { call(target); });
    }

    model::UiMailbox& mailbox_;
    CardEvents& target_;
};

}  // namespace app
