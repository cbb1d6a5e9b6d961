// Card transfers on the card thread: the background download, waited for
// there, and the copies into HiRes, LoRes and the storage folder.
#include "app/transfers.h"

#include <windows.h>

#include "base/fs.h"
#include "base/str.h"
#include "model/card_text.h"
#include "model/folders.h"
#include "model/ids.h"
#include "model/picture.h"

namespace app {

namespace {

// Seconds without a byte after which a download counts as failed; the same
// bound as for the card's other requests.
constexpr int kStallSeconds = 10;
// How often the card thread looks at a cancel request while a download runs:
// the click takes effect at once to the eye, and a download at a card's pace
// costs next to nothing.
constexpr DWORD kCancelPollMs = 250;
// Files fetched without a listed size (thumbnails) are small; a card that
// sends more is not believed.
constexpr uint64_t kUnlistedLimit = 16u << 20;

}  // namespace

std::wstring Transfers::TmpFile() const { return model::DownloadFile(card_.Config); }

// The request for a card file. A CGI part ("/thumbnail.cgi?") is kept as it
// is; the folder and file names are percent-encoded, in the card's own
// spelling when it is known.
std::wstring Transfers::CardUrl(const std::wstring& cardDir, const std::wstring& name, const CardSpelling& as) const {
    std::wstring dir = cardDir;
    if (!str::StartsWith(dir, L"/")) dir = L"/" + dir;
    if (!str::EndsWith(dir, L"/")) dir += L"/";
    size_t query = dir.find(L'?');
    std::wstring cgi = query == std::wstring::npos ? L"" : dir.substr(0, query + 1);
    std::wstring folder = model::UrlPath(query == std::wstring::npos ? dir : dir.substr(query + 1));
    if (!as.directory.empty()) {
        // The thumbnail request has its own "/" before the folder's.
        std::string bytes = cgi.empty() ? "" : "/";
        if (as.directory[0] != '/') bytes += '/';
        bytes += as.directory;
        bytes += '/';
        folder = model::UrlPathFromBytes(bytes);
    }
    std::wstring file = as.name.empty() ? model::UrlPath(name) : model::UrlPathFromBytes(as.name);
    return L"http://" + card_.CardHost + cgi + folder + file;
}

void Transfers::CardStep(bool changeRead) {
    if (card_.Poll(changeRead)) {
        BusyFaceScope busy(thread_.Events());
        TransferNew(true);
    }
    card_.UpdateFlag = model::CardChange::None;
}

void Transfers::TimerStep() { CardStep(false); }

void Transfers::QuickPollStep() {
    if (card_.QuickPoll()) CardStep(true);
}

// Waits for the download to end, or for the cancel click or the end of the
// program; true when it was stopped that way.
bool Transfers::WaitForDownload(win::BackgroundDownload& download, const std::wstring& name, int64_t size) {
    model::CardWorker& worker = thread_.Worker();
    // A thumbnail has no listed size and is small: no bar for it.
    std::optional<ProgressReport> progress;
    if (size > 0) progress.emplace(thread_.Events(), model::WorkProgress::Kind::Download, model::Printable(name));
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

bool Transfers::Download(const std::wstring& name, const std::wstring& cardDir, const CardSpelling& as) {
    CardEvents& events = thread_.Events();
    BusyFaceScope busy(events);
    events.Lamp(model::ids::kCopyButton, model::Lamp::Yellow, model::LampAt::Bottom);
    events.Lamp(model::ids::kCopyButton, model::Lamp::Blue, model::LampAt::Top);
    const std::string url = str::ToUtf8(CardUrl(cardDir, name, as));
    model::DownloadGate& gate = thread_.Worker().Downloads();
    win::BackgroundDownload download;
    bool arrived = false, cancelled = false;
    gate.Begin();
    if (download.Start(url, TmpFile(), as.size, as.size ? as.size : kUnlistedLimit, kStallSeconds)) {
        cancelled = WaitForDownload(download, name, static_cast<int64_t>(as.size));
        arrived = download.Poll() == win::BackgroundDownload::State::Finished;
    }
    gate.End();
    if (arrived) {
        events.Lamp(model::ids::kCopyButton, model::Lamp::Yellow, model::LampAt::Top);
        events.Lamp(model::ids::kCopyButton, model::Lamp::Green, model::LampAt::Bottom);
        return true;
    }
    card_.UpdateFlag = model::CardChange::None;
    // A failed download is tried again on the next tick, as after a change.
    if (!cancelled) card_.ChangeNotListed = true;
    events.Lamp(model::ids::kCopyButton, model::Lamp::Blue, model::LampAt::Top);
    events.Lamp(model::ids::kCopyButton, model::Lamp::Red, model::LampAt::Bottom);
    std::string why = cancelled ? "cancelled" : download.Error();
    events.Journal(L"Transfer failed: " + model::Printable(name) + L" (" + str::FromUtf8(why) + L")");
    return false;
}

// Downloads one picture for a store folder and has it placed there as the
// plan says; the stored file, or nothing.
std::optional<std::wstring> Transfers::FetchInto(const model::CardFileRecord& c, model::Store folder,
                                                 const model::StorePlan& plan) {
    model::PictureLedger& pictures = card_.Pictures;
    const CardSpelling as{c.RawDirectory, c.RawName, static_cast<uint64_t>(c.Size)};
    // Pictures left in a folder the camera has moved on from name their own.
    bool fetched = Download(c.Name, c.Directory.empty() ? card_.Config.Path : c.Directory, as);
    bool unfinished = fetched && pictures.StillBeingWritten(c, TmpFile(), fs::Now(), plan, folder);
    std::optional<std::wstring> stored;
    bool already = false;
    if (fetched && !unfinished) {
        model::Placed placed = pictures.Place(c, folder, plan, TmpFile(), fs::Now());
        if (placed.ok) stored = placed.path;
        already = placed.already;
    }
    (void)fs::DeleteFileAt(TmpFile());
    // The card reports a change once: the next tick lists again for a
    // picture still being written.
    if (unfinished) card_.ChangeNotListed = true;
    if (stored && already) {
        // The store held these bytes already: nothing new to show.
        thread_.Events().Journal(L"Transfer File exists: " + *stored);
        return std::nullopt;
    }
    if (stored) thread_.Events().Journal(L"Transfer: " + *stored);
    return stored;
}

void Transfers::TransferNew(bool automatic) {
    CardEvents& events = thread_.Events();
    events.Lamp(model::ids::kCardButton, model::Lamp::Yellow, model::LampAt::Top);
    const model::CardWorker& worker = thread_.Worker();
    for (const model::TransferStep& step : card_.TransferSteps(automatic)) {
        if (worker.StopRequested()) break;  // the program ends
        // A store that cannot take the picture now is tried again later; the
        // picture stays new.
        model::StorePlan plan = card_.Pictures.Plan(step.picture, step.folder, fs::Now());
        // The card reports a change once: the next tick lists again for a
        // picture still being written.
        if (plan.action == model::StorePlan::Action::Writing) card_.ChangeNotListed = true;
        if (plan.action != model::StorePlan::Action::Fetch) continue;
        if (card_.CheckUpdate() == model::CardChange::None) break;  // the card is gone
        std::optional<std::wstring> stored = FetchInto(step.picture, step.folder, plan);
        if (stored && step.show) events.PictureStored(*stored);
        if (stored) backup_.Stored(*stored);
    }
    (void)card_.Pictures.SaveRecord();
    card_.UpdateFlag = model::CardChange::None;
}

bool Transfers::FetchToFolder(const CardFile& f, const std::wstring& folder, bool show) {
    CardEvents& events = thread_.Events();
    if (!model::IsSafeLocalName(f.name)) {
        events.Journal(L"Not transferred, the name cannot be stored safely: " + model::Printable(f.name));
        return false;
    }
    // A folder whose drive was not there at the start is made once it is.
    if (!model::EnsureFolder(folder)) {
        events.Journal(L"Not transferred, the folder is not there: " + folder);
        return false;
    }
    const model::PictureId id{f.directory, f.name, static_cast<int64_t>(f.size), f.date, f.time};
    const int64_t since = card_.Pictures.IdentitiesSince();
    if (std::optional<std::wstring> same = model::StoredName(model::FolderOnDisk(folder), id, since)) {
        std::wstring existing = folder + L"\\" + *same;
        events.Lamp(model::ids::kCardButton, model::Lamp::Yellow, model::LampAt::Top);
        events.Journal(L"Transfer File exists: " + existing);
        if (show) events.PictureStored(existing);
        return true;
    }
    std::optional<std::wstring> free = model::FreeName(model::FolderOnDisk(folder), f.name);
    if (!free) {
        events.Journal(L"Not transferred: every name beside " + folder + L"\\" + f.name + L" is taken");
        return false;
    }
    const std::wstring target = folder + L"\\" + *free;
    std::wstring why;
    auto finish = [&](bool ok) {
        if (!ok) {
            events.Journal(L"Not stored: " + target + L" (" + why + L")");
            return false;
        }
        if (*free != f.name) events.Journal(model::BesideText(f.name, *free));
        if (show) events.PictureStored(target);
        backup_.Stored(target);
        return true;
    };
    // A copy in HiRes or LoRes serves only if it is this picture (a copy
    // keeps the card's time).
    for (model::Store kind : {model::Store::LoRes, model::Store::HiRes}) {
        const std::wstring localFolder = model::StoreFolder(card_.Config, kind);
        std::optional<std::wstring> local = model::StoredName(model::FolderOnDisk(localFolder), id, since);
        if (!local) continue;
        bool copied = fs::CopyFileTo(localFolder + L"\\" + *local, TmpFile());
        if (!copied) why = fs::LastErrorText();
        bool ok = copied && model::PlaceFile(TmpFile(), target, std::nullopt, false, why);
        (void)fs::DeleteFileAt(TmpFile());
        return finish(ok);
    }
    if (card_.CheckUpdate() == model::CardChange::None) return false;
    if (!Download(f.name, f.directory, {f.rawDirectory, f.rawName, f.size})) return false;  // the journal said why
    // A file there whose facts could not tell is the picture when its bytes are.
    if (std::optional<std::wstring> same = model::SameBytes(
            TmpFile(), folder, model::UndecidedNames(model::FolderOnDisk(folder), id, since))) {
        (void)fs::DeleteFileAt(TmpFile());
        const std::wstring existing = folder + L"\\" + *same;
        events.Journal(L"Transfer File exists: " + existing);
        if (show) events.PictureStored(existing);
        return true;
    }
    bool ok = model::PlaceFile(TmpFile(), target, model::CardTime(id), false, why);
    (void)fs::DeleteFileAt(TmpFile());
    if (ok) events.Journal(L"Transfer: " + target);
    return finish(ok);
}

}  // namespace app
