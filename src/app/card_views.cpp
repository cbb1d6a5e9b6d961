// The card's views in the info panel: the walk for the tree and the
// thumbnails for the grid run on the card thread, the tree's items and the
// grid's tiles are made on the interface thread.
#include <memory>

#include "app/app.h"
#include "app/operations.h"
#include "base/fs.h"
#include "model/folders.h"
#include "model/thumb_layout.h"
#include "model/tree_order.h"

namespace {

ui::Bar& Bar() { return app::TheApp().bar; }
model::Session& Card() { return app::TheApp().card; }

// Card thread.
std::wstring RootCaption() {
    if (TFA_GetData(L"SSID", L"")) return Card().CardSsid + L" (" + Card().UrlLastConnect + L")";
    // Folders need a root above them; without an answer it keeps the bar's name.
    return Card().Config.OccurenceName;
}

// Card thread: the walk, sorted, with the storage marks.
std::shared_ptr<ui::Walk> WalkCard() {
    {
        cardthread::BusyFace busy;
        cardthread::ProgressReport progress(model::WorkProgress::Kind::Walk);
        app::TheApp().walkProgress = &progress;
        TFA_GetData(L"ExamineTREE", L"/");
        app::TheApp().walkProgress = nullptr;
    }
    model::CardLists& lists = Card().Lists;
    model::SortForTree(lists.CardDirectories, lists.CardFiles);
    auto walk = std::make_shared<ui::Walk>();
    walk->lists.CardRecords = lists.CardRecords;
    walk->lists.CardDirectories = lists.CardDirectories;
    walk->lists.CardFiles = lists.CardFiles;
    walk->stored.reserve(lists.CardFiles.size());
    for (const model::CardFileEntry& f : lists.CardFiles)
        walk->stored.push_back(fs::IsNonEmptyFile(model::StoreFile(Card().Config, model::Store::Storage, f.Name)));
    return walk;
}

// Interface thread: the walk's lists become the shown ones and the tree gets
// their items; the thumbnail grid, whose tiles named the old records, is
// built anew.
void InstallWalk(ui::Walk& walk) {
    Bar().Tree().Install(walk);
    Bar().Grid().Clear();
    if (Bar().VisibleView() == ui::InfoView::Thumbnails) Bar().Grid().SizeArea(TFA_CreateThumbs());
}

// A cached thumbnail belongs to its picture: it carries the picture's card
// time (a picture without one has only its name).
bool ThumbCached(const std::wstring& cacheFile, std::optional<int64_t> taken) {
    std::optional<fs::FileEntry> f = fs::FileFacts(cacheFile);
    if (!f || f->size == 0) return false;
    return !taken || (f->modified - *taken <= model::kTimeSlackNs && *taken - f->modified <= model::kTimeSlackNs);
}

// Card thread: the picture's thumbnail into the cache unless it is there;
// true when the cache holds it. No size is listed for a thumbnail: the
// download's own bound keeps it small.
bool FetchThumb(const ui::ThumbRequest& w) {
    if (!model::HasCardThumbnail(w.id.name)) return false;
    const model::Settings& s = Card().Config;
    const std::wstring cacheFile = model::StoreFile(s, model::Store::ThumbnailCache, w.id.name);
    const std::optional<int64_t> taken = model::CardTime(w.id);
    if (!ThumbCached(cacheFile, taken)) {
        std::wstring tmp = model::StoreFile(s, model::Store::Tmp, w.id.name), why;
        if (TFA_TransFile(w.id.name, L"/thumbnail.cgi?/" + w.id.folder, {w.rawDirectory, w.rawName, 0}) &&
            model::PlaceFile(tmp, cacheFile, taken, true, why))
            cardthread::OnUi([cacheFile] { ShowInfo(L"Transfer: " + cacheFile); });
        (void)fs::DeleteFileAt(tmp);
    }
    return ThumbCached(cacheFile, taken);
}

// A thumbnail fetched and decoded on the card thread, for a record's tile.
struct Fetched {
    int32_t index = 0;
    std::wstring key;  // the picture's identity
    win::Picture picture;
};

// Card thread: fetches and decodes the thumbnails in tile order.
void FetchThumbs(uint32_t generation, const std::vector<ui::ThumbRequest>& wanted) {
    cardthread::ProgressReport progress(model::WorkProgress::Kind::Thumbnails);
    for (size_t i = 0; i < wanted.size(); i++) {
        const ui::ThumbRequest& w = wanted[i];
        if (i > 0) progress.Update(static_cast<int64_t>(i), static_cast<int64_t>(wanted.size()));
        if (cardthread::Worker().StopRequested()) return;
        if (!FetchThumb(w)) continue;
        auto f = std::make_shared<Fetched>();
        f->index = w.index;
        f->key = w.id.Key();
        f->picture = win::LoadJpeg(model::StoreFile(Card().Config, model::Store::ThumbnailCache, w.id.name));
        if (!f->picture) continue;  // the default picture stays
        cardthread::OnUi([generation, f] {
            Bar().Grid().PictureArrived(generation, f->index, f->key, std::move(f->picture));
        });
    }
}

}  // namespace

uint8_t TFA_CreateTree() {
    if (TFA_CheckUpdate() == 0) {
        cardthread::OnUi([] { app::TheApp().run.TreeRequested = false; });
        return 0;
    }
    std::wstring caption = RootCaption();
    cardthread::OnUi([caption] { Bar().Tree().Start(caption); });
    std::shared_ptr<ui::Walk> walk = WalkCard();
    cardthread::OnUi([walk] {
        app::TheApp().run.TreeRequested = false;
        InstallWalk(*walk);
    });
    return static_cast<uint8_t>(std::min<size_t>(Card().Lists.CardRecords.size(), 255));
}

void RequestTree() {
    bool& requested = app::TheApp().run.TreeRequested;
    if (requested) return;
    requested = cardthread::Run([] { TFA_CreateTree(); });
}

int32_t TFA_TransferThumb(const std::wstring& name, const std::wstring& directory) {
    ui::ThumbRequest w;
    w.id.name = name;
    w.id.folder = directory;
    return FetchThumb(w) ? 1 : 0;
}

int32_t TFA_CreateThumbs() {
    std::vector<ui::ThumbRequest> wanted;
    int32_t rows = Bar().Grid().Build(wanted);
    if (!wanted.empty())
        cardthread::Run([generation = Bar().Tree().Shown().Generation, wanted = std::move(wanted)] {
            FetchThumbs(generation, wanted);
        });
    return rows;
}
