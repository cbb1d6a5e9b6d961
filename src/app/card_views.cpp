// The card's views: the walk and the thumbnails on the card thread, the tree
// and the grid on the interface thread.
#include "app/card_views.h"

#include <algorithm>
#include <utility>

#include "app/cards.h"
#include "base/fs.h"
#include "model/bar/thumb_layout.h"
#include "model/bar/tree_order.h"
#include "model/pictures/picture.h"
#include "model/settings/folders.h"

namespace app {

namespace {

// A cached thumbnail belongs to its picture: it carries the picture's card
// time (a picture without one has only its name).
bool ThumbCached(const std::wstring& cacheFile, std::optional<int64_t> taken) {
    std::optional<fs::FileEntry> f = fs::FileFacts(cacheFile);
    if (!f || f->size == 0) return false;
    return !taken || (f->modified - *taken <= model::kTimeSlackNs && *taken - f->modified <= model::kTimeSlackNs);
}

}  // namespace

void CardViews::RequestTree() {
    if (treeRequested_) {
        treeAgain_ = true;
        return;
    }
    treeRequested_ = thread_.Run([this] { WalkCard(); });
}

bool CardViews::WalkCard() {
    CardEvents& events = thread_.Events();
    if (card_.CheckUpdate() == model::CardChange::None) {
        events.WalkEnded(nullptr);
        return false;
    }
    // Folders need a root above them; without an answer it keeps the card's
    // name: the bar's for the first card, its Url entry for the others.
    events.WalkStarted(card_.AskSsid()  ? card_.CardSsid() + L" (" + card_.UrlLastConnect() + L")"
                       : entry_ == 0 ? card_.Config().OccurenceName
                                     : card_.Config().Url);
    {
        BusyFaceScope busy(events);
        ProgressReport progress(events, model::WorkProgress::Kind::Walk);
        link_.FollowWalk(&progress);
        card_.WalkCard(L"/");
        link_.FollowWalk(nullptr);
    }
    const model::CardLists& lists = card_.Lists();
    auto walk = std::make_shared<ui::Walk>();
    walk->lists.CardRecords = lists.CardRecords;
    walk->lists.CardDirectories = lists.CardDirectories;
    walk->lists.CardFiles = lists.CardFiles;
    model::SortForTree(walk->lists.CardDirectories, walk->lists.CardFiles);
    walk->cameraPath = card_.Config().Path;
    walk->stored.reserve(walk->lists.CardFiles.size());
    for (const model::CardFileEntry& f : walk->lists.CardFiles)
        walk->stored.push_back(fs::IsNonEmptyFile(model::StoreFile(card_.Config(), model::Store::Storage, f.Name)));
    events.WalkEnded(std::move(walk));
    return true;
}

bool CardViews::WalkEnded(const std::shared_ptr<ui::Walk>& walk) {
    treeRequested_ = false;
    // A walk that failed (the card was gone) and was asked for again
    // meanwhile (the card is back) runs once more; a tree that came stands.
    if (std::exchange(treeAgain_, false) && !walk) RequestTree();
    if (!walk) return false;
    // The first card's tiles follow [TFA] Path as it is when the grid is
    // built; another card's, the folder its own camera writes to.
    if (entry_ > 0) bar_.Tree().Shown(entry_).CameraPath = walk->cameraPath;
    bar_.Tree().Install(entry_, *walk);
    return true;
}

bool CardViews::FetchThumbnail(const ui::ThumbRequest& w) {
    if (!model::HasCardThumbnail(w.id.name)) return false;
    const model::Settings& s = card_.Config();
    const std::wstring cacheFile = model::StoreFile(s, model::Store::ThumbnailCache, w.id.name);
    const std::optional<int64_t> taken = model::CardTime(w.id);
    if (!ThumbCached(cacheFile, taken)) {
        // No size is listed for a thumbnail: the download's own bound keeps it small.
        std::wstring tmp = card_.PartFile(), why;
        // The cache's folder waits for its drive if that was not there at the start.
        if (model::EnsureFolder(s.ThumbnailPath) &&
            card_.Download(w.id.name, L"/thumbnail.cgi?/" + w.id.folder, {w.rawDirectory, w.rawName, 0}, tmp) &&
            model::PlaceFile(tmp, cacheFile, taken, true, why))
            thread_.Events().Journal(L"Transfer: " + cacheFile);
        (void)fs::DeleteFileAt(tmp);
    }
    return ThumbCached(cacheFile, taken);
}

void CardViews::FetchThumbnails(uint32_t generation, const std::vector<ui::ThumbRequest>& wanted) {
    CardEvents& events = thread_.Events();
    ProgressReport progress(events, model::WorkProgress::Kind::Thumbnails);
    for (size_t i = 0; i < wanted.size(); i++) {
        const ui::ThumbRequest& w = wanted[i];
        if (i > 0) progress.Update(static_cast<int64_t>(i), static_cast<int64_t>(wanted.size()));
        if (thread_.Worker().StopRequested()) return;
        if (!FetchThumbnail(w)) continue;
        auto f = std::make_shared<FetchedThumbnail>();
        f->generation = generation;
        f->index = w.index;
        f->key = w.id.Key();
        f->picture = win::LoadJpeg(model::StoreFile(card_.Config(), model::Store::ThumbnailCache, w.id.name));
        if (f->picture) events.ThumbnailFetched(std::move(f));  // else the default picture stays
    }
}

void CardViews::FetchThumbnailsLater(std::vector<ui::ThumbRequest> wanted) {
    if (wanted.empty()) return;
    thread_.Run([this, generation = bar_.Tree().Shown(entry_).Generation, wanted = std::move(wanted)] {
        FetchThumbnails(generation, wanted);
    });
}

int32_t BuildGrid(ui::Bar& bar, const CardList& cards) {
    std::vector<ui::ThumbRequest> wanted;
    int32_t rows = bar.Grid().Build(wanted);
    std::vector<std::vector<ui::ThumbRequest>> byCard(cards.size());
    for (ui::ThumbRequest& w : wanted)
        if (w.card < cards.size()) byCard[w.card].push_back(std::move(w));
    for (size_t c = 0; c < cards.size(); c++) cards[c]->views.FetchThumbnailsLater(std::move(byCard[c]));
    return rows;
}

}  // namespace app
