// A card's views in the info panel: the walk for its root of the tree and
// the thumbnails of its tiles run on its card thread, the tree's items and
// the grid's tiles are made on the interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/card_events.h"
#include "app/card_link.h"
#include "app/card_thread.h"
#include "model/card/card_session.h"
#include "ui/bar.h"

namespace app {

class CardViews {
public:
    // `entry`: the card's place in [TFA] Url, and its root in the tree.
    CardViews(model::Session& card, CardThread& thread, CardLink& link, ui::Bar& bar, size_t entry = 0)
        : card_(card), thread_(thread), link_(link), bar_(bar), entry_(entry) {}

    // Interface thread: has the card walked and the tree rebuilt (once while
    // a request is under way).
    void RequestTree();
    // Card thread: walks the card for the tree; false when the card did not
    // answer (the old tree stays).
    bool WalkCard();
    // Interface thread: the walk ended; its lists become the card's shown
    // ones and its root gets their items. False when the card did not answer
    // (nothing changed); the grid is then built anew by the caller.
    bool WalkEnded(const std::shared_ptr<ui::Walk>& walk);
    // Interface thread: the card's pictures the grid has none for are
    // fetched on the card thread.
    void FetchThumbnailsLater(std::vector<ui::ThumbRequest> wanted);
    // Card thread: the picture's thumbnail into the cache unless it is there;
    // true when the cache holds it.
    bool FetchThumbnail(const ui::ThumbRequest& wanted);

private:
    void FetchThumbnails(uint32_t generation, const std::vector<ui::ThumbRequest>& wanted);

    model::Session& card_;
    CardThread& thread_;
    CardLink& link_;
    ui::Bar& bar_;
    size_t entry_;
    bool treeRequested_ = false;  // interface thread: a walk is queued or running
    bool treeAgain_ = false;      // interface thread: asked for again while it ran
};

}  // namespace app
