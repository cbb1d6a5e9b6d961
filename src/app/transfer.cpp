// Card transfers on the card thread: the background download, waited for
// there, and the copies into HiRes, LoRes and the storage folder.
#include "app/transfer.h"

#include <windows.h>

#include <optional>

#include "app/app.h"
#include "model/ids.h"
#include "app/operations.h"
#include "base/fs.h"
#include "base/str.h"
#include "model/card_text.h"
#include "model/folders.h"
#include "model/picture.h"
#include "win/download.h"

namespace {

// Seconds without a byte after which a download counts as failed; the same
// bound as for the card's other requests.
constexpr int kStallSeconds = 10;
// How often the card thread looks at a cancel request while a download runs:
// the click takes effect at once to the eye, and a download at a card's pace
// costs next to nothing.
constexpr DWORD kCancelPollMs = 250;

model::Session& Card() { return app::TheApp().card; }
const model::Settings& Config() { return Card().Config; }

std::wstring TmpFile(const std::wstring& name) { return model::StoreFile(Config(), model::Store::Tmp, name); }

// What the bar shows or does, handed to the interface thread.
void Journal(const std::wstring& text) {
    cardthread::OnUi([text] { ShowInfo(text); });
}
void Lamp(int image, model::Lamp colour, model::LampAt at) {
    cardthread::OnUi([image, colour, at] { SetLamp(image, colour, at); });
}
void Show(const std::wstring& path) {
    cardthread::OnUi([path] { Viewer_ShowFile(path); });
}

// Files fetched without a listed size (thumbnails) are small; a card that
// sends more is not believed.
constexpr uint64_t kUnlistedLimit = 16u << 20;

// The request for a card file. A CGI part ("/thumbnail.cgi?") is kept as it
// is; the folder and file names are percent-encoded, in the card's own
// spelling when it is known.
std::wstring CardUrl(const std::wstring& cardDir, const std::wstring& name, const CardSpelling& as) {
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
    return L"http://" + Card().CardHost + cgi + folder + file;
}

void DeleteTmp(const std::wstring& name) { (void)fs::DeleteFileAt(TmpFile(name)); }

// The file's item in the card tree shows the "stored" icon.
void MarkInTree(const std::wstring& directory, const std::wstring& name) {
    cardthread::OnUi([directory, name] { app::TheApp().bar.Tree().MarkFileStored(directory, name); });
}

// Waits for the download to end, or for the cancel click or the end of the
// program; true when it was stopped that way.
bool WaitForDownload(win::BackgroundDownload& download, const std::wstring& name, int64_t size) {
    model::CardWorker& worker = cardthread::Worker();
    // A thumbnail has no listed size and is small: no bar for it.
    std::optional<cardthread::ProgressReport> progress;
    if (size > 0) progress.emplace(model::WorkProgress::Kind::Download, model::Printable(name));
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

// Downloads one picture for a store folder and has it placed there as the
// plan says; the stored file, or nothing.
std::optional<std::wstring> FetchInto(const model::CardFileRecord& c, model::Store folder, const model::StorePlan& plan) {
    model::PictureLedger& pictures = Card().Pictures;
    CardSpelling as{c.RawDirectory, c.RawName, static_cast<uint64_t>(c.Size), c.RawDate, c.RawTime};
    // Pictures left in a folder the camera has moved on from name their own.
    bool fetched = TFA_TransFile(c.Name, c.Directory.empty() ? Config().Path : c.Directory, as);
    bool unfinished = fetched && pictures.StillBeingWritten(c, TmpFile(c.Name), fs::Now());
    std::optional<std::wstring> stored;
    if (fetched && !unfinished) {
        model::Placed placed = pictures.Place(c, folder, plan, TmpFile(c.Name), fs::Now());
        if (placed.ok) stored = placed.path;
    }
    DeleteTmp(c.Name);
    // The card reports a change once: the next tick lists again for a
    // picture still being written.
    if (unfinished) Card().ChangeNotListed = true;
    if (stored) Journal(L"Transfer: " + *stored);
    return stored;
}

// A card file for a folder of its own (storage): the file of the folder that
// is the picture is shown; otherwise a local copy of the picture, or the
// card's, is stored beside whatever else has its name.
uint8_t TransferSingle(const std::wstring& name, const std::wstring& cardDir, const std::wstring& targetFolder,
                       uint8_t markTreeItem, bool show, const CardSpelling& as) {
    if (!model::IsSafeLocalName(name)) {
        Journal(L"Not transferred, the name cannot be stored safely: " + model::Printable(name));
        return 0;
    }
    const model::Settings& s = Config();
    const std::wstring folder = targetFolder.empty() ? model::StoreFolder(s, model::Store::Storage) : targetFolder;
    const model::PictureId id{cardDir, name, static_cast<int64_t>(as.size), as.date, as.time};
    const int64_t since = Card().Pictures.IdentitiesSince();
    if (std::optional<std::wstring> same = model::StoredName(model::FolderOnDisk(folder), id, since)) {
        std::wstring existing = folder + L"\\" + *same;
        Lamp(model::ids::kCardButton, model::Lamp::Yellow, model::LampAt::Top);
        Journal(L"Transfer File exists: " + existing);
        if (show) Show(existing);
        return 1;
    }
    std::optional<std::wstring> free = model::FreeName(model::FolderOnDisk(folder), name);
    if (!free) {
        Journal(L"Not transferred: every name beside " + folder + L"\\" + name + L" is taken");
        return 0;
    }
    const std::wstring target = folder + L"\\" + *free;
    std::wstring why;
    auto finish = [&](bool ok) -> uint8_t {
        if (!ok) {
            Journal(L"Not stored: " + target + L" (" + why + L")");
            return 0;
        }
        if (*free != name) Journal(model::BesideText(name, *free));
        if (markTreeItem) MarkInTree(cardDir, name);
        if (show) Show(target);
        return 1;
    };
    // A copy in HiRes or LoRes serves only if it is this picture (a copy
    // keeps the card's time).
    for (model::Store kind : {model::Store::LoRes, model::Store::HiRes}) {
        const std::wstring localFolder = model::StoreFolder(s, kind);
        std::optional<std::wstring> local = model::StoredName(model::FolderOnDisk(localFolder), id, since);
        if (!local) continue;
        bool copied = fs::CopyFileTo(localFolder + L"\\" + *local, TmpFile(name));
        if (!copied) why = fs::LastErrorText();
        bool ok = copied && model::PlaceFile(TmpFile(name), target, std::nullopt, false, why);
        DeleteTmp(name);
        return finish(ok);
    }
    if (TFA_CheckUpdate() == 0) return 0;
    if (!TFA_TransFile(name, cardDir, as)) return 0;  // the journal has said why
    bool ok = model::PlaceFile(TmpFile(name), target, model::CardTime(id), false, why);
    DeleteTmp(name);
    if (ok) Journal(L"Transfer: " + target);
    return finish(ok);
}

}  // namespace

uint8_t TFA_TransFile(const std::wstring& name, const std::wstring& cardDir, const CardSpelling& as) {
    cardthread::BusyFace busy;
    Lamp(model::ids::kCopyButton, model::Lamp::Yellow, model::LampAt::Bottom);
    Lamp(model::ids::kCopyButton, model::Lamp::Blue, model::LampAt::Top);
    std::string url = str::ToUtf8(CardUrl(cardDir, name, as));
    model::DownloadGate& gate = cardthread::Worker().Downloads();
    win::BackgroundDownload download;
    uint8_t result = 0;
    bool cancelled = false;
    gate.Begin();
    if (download.Start(url, TmpFile(name), as.size, as.size ? as.size : kUnlistedLimit, kStallSeconds)) {
        cancelled = WaitForDownload(download, name, as.size);
        result = download.Poll() == win::BackgroundDownload::State::Finished ? 1 : 0;
    }
    gate.End();
    if (result) {
        Lamp(model::ids::kCopyButton, model::Lamp::Yellow, model::LampAt::Top);
        Lamp(model::ids::kCopyButton, model::Lamp::Green, model::LampAt::Bottom);
    } else {
        Card().UpdateFlag = model::CardChange::None;
        // A failed download is tried again on the next tick, as after a change.
        if (!cancelled) Card().ChangeNotListed = true;
        Lamp(model::ids::kCopyButton, model::Lamp::Blue, model::LampAt::Top);
        Lamp(model::ids::kCopyButton, model::Lamp::Red, model::LampAt::Bottom);
        std::string why = cancelled ? "cancelled" : download.Error();
        Journal(L"Transfer failed: " + model::Printable(name) + L" (" + str::FromUtf8(why) + L")");
    }
    return result;
}

uint8_t TFA_Transfer(uint8_t automatic) {
    model::Session& card = Card();
    Lamp(model::ids::kCardButton, model::Lamp::Yellow, model::LampAt::Top);
    const model::CardWorker& worker = cardthread::Worker();
    for (const model::TransferStep& step : card.TransferSteps(automatic != 0)) {
        if (worker.StopRequested()) break;  // the program ends
        // A store that cannot take the picture now is tried again later; the
        // picture stays new.
        model::StorePlan plan = card.Pictures.Plan(step.picture, step.folder, fs::Now());
        if (plan.action != model::StorePlan::Action::Fetch) continue;
        if (TFA_CheckUpdate() == 0) break;  // the card is gone
        std::optional<std::wstring> stored = FetchInto(step.picture, step.folder, plan);
        if (stored && step.show) Show(*stored);
    }
    (void)card.Pictures.SaveRecord();
    card.UpdateFlag = model::CardChange::None;
    return 0;
}

uint8_t TFA_TransferFile(const std::wstring& name, const std::wstring& cardDir, const std::wstring& targetFolder,
                         uint8_t markTreeItem, const CardSpelling& as) {
    return TransferSingle(name, cardDir, targetFolder, markTreeItem, true, as);
}

uint8_t TFA_TransferFileSpecial(const std::wstring& name, const std::wstring& cardDir,
                                const std::wstring& targetFolder, uint8_t markTreeItem, const CardSpelling& as) {
    return TransferSingle(name, cardDir, targetFolder, markTreeItem, false, as);
}
