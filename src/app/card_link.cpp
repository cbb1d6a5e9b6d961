// The card session's download: libcurl in the background, waited for on the
// card thread, which looks for a cancel while it runs.
#include "app/card_link.h"

#include <windows.h>

#include <optional>

#include "base/str.h"
#include "model/pictures/card_text.h"
#include "win/download.h"

namespace app {

namespace {

// Seconds without a byte after which a download counts as failed; the same
// bound as for the card's other requests.
constexpr int kStallSeconds = 10;
// How often the card thread looks at a cancel request while a download runs:
// the click takes effect at once to the eye, and a download at a card's pace
// costs next to nothing.
constexpr DWORD kCancelPollMs = 250;

// Waits for the download to end, or for the cancel click or the end of the
// program; true when it was stopped that way.
bool WaitForDownload(CardThread& thread, win::BackgroundDownload& download, const std::wstring& name, int64_t size) {
    model::CardWorker& worker = thread.Worker();
    // A thumbnail has no listed size and is small: no bar for it.
    std::optional<ProgressReport> progress;
    if (size > 0) progress.emplace(thread.Events(), model::WorkProgress::Kind::Download, model::Printable(name));
    while (download.Poll() == win::BackgroundDownload::State::Running) {
        WaitForSingleObject(download.EndedEvent(), kCancelPollMs);
        if (download.Poll() != win::BackgroundDownload::State::Running) break;
        if (worker.Downloads().Cancelled() || worker.StopRequested()) {
            download.Abort();
            return download.Poll() == win::BackgroundDownload::State::Aborted;
        }
        if (progress) progress->Update(static_cast<int64_t>(download.Received()), size);
    }
    return false;
}

}  // namespace

void CardHosts::Set(size_t entry, const std::wstring& host) {
    std::lock_guard lock(mutex_);
    if (hosts_.size() <= entry) hosts_.resize(entry + 1);
    hosts_[entry] = host;
}

bool CardHosts::HeldByAnother(size_t entry, const std::wstring& host) const {
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < hosts_.size(); i++)
        if (i != entry && hosts_[i] == host) return true;
    return false;
}

model::Fetched CardLink::Fetch(const std::wstring& url, const std::wstring& path, uint64_t size, uint64_t limit,
                               const std::wstring& name) {
    BusyFaceScope busy(thread_.Events());
    model::DownloadGate& gate = thread_.Worker().Downloads();
    win::BackgroundDownload download;
    model::Fetched f;
    gate.Begin();
    if (download.Start(str::ToUtf8(url), path, size, limit, kStallSeconds)) {
        f.cancelled = WaitForDownload(thread_, download, name, static_cast<int64_t>(size));
        f.arrived = download.Poll() == win::BackgroundDownload::State::Finished;
    }
    gate.End();
    if (!f.arrived && !f.cancelled) f.why = download.Error();
    return f;
}

}  // namespace app
