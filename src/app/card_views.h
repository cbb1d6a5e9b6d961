// The card's views in the info panel: the walk for the tree and the
// thumbnails for the grid run on the card thread, the tree's items and the
// grid's tiles are made on the interface thread.
#pragma once

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
    CardViews(model::Session& card, CardThread& thread, CardLink& link, ui::Bar& bar)
        : card_(card), thread_(thread), link_(link), bar_(bar) {}

    // Interface thread: has the card walked and the tree rebuilt (once while
    // a request is under way).
    void RequestTree();
    // Card thread: walks the card for the tree; false when the card did not
    // answer (the old tree stays).
    bool WalkCard();
    // Interface thread: the walk ended; its lists become the shown ones, the
    // tree gets their items, and the thumbnail grid is built anew.
    void WalkEnded(const std::shared_ptr<ui::Walk>& walk);
    // Interface thread: rebuilds the thumbnail grid at once; the missing
    // pictures are fetched on the card thread. The number of rows + 1.
    int32_t BuildGrid();
    // Card thread: the picture's thumbnail into the cache unless it is there;
    // true when the cache holds it.
    bool FetchThumbnail(const ui::ThumbRequest& wanted);

private:
    void FetchThumbnails(uint32_t generation, const std::vector<ui::ThumbRequest>& wanted);

    model::Session& card_;
    CardThread& thread_;
    CardLink& link_;
    ui::Bar& bar_;
    bool treeRequested_ = false;  // interface thread: a walk is queued or running
    bool treeAgain_ = false;      // interface thread: asked for again while it ran
};

}  // namespace app
