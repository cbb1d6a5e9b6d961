// Card transfers on the card thread: the background download, waited for
// there, and the copies into HiRes, LoRes and the storage folder.
#include "app/transfer.h"

#include <windows.h>

#include <algorithm>

#include "app/app.h"
#include "model/ids.h"
#include "app/operations.h"
#include "base/fs.h"
#include "base/str.h"
#include "model/card_text.h"
#include "model/folders.h"
#include "model/thumb_layout.h"
#include "win/download.h"

namespace {

// Seconds without a byte after which a download counts as failed; the same
// bound as for the card's other requests.
constexpr int kStallSeconds = 10;
// How often the card thread looks at a cancel request while a download runs:
// the click takes effect at once to the eye, and a download at a card's pace
// costs next to nothing.
constexpr DWORD kCancelPollMs = 250;

card::Session& Card() { return app::TheApp().card; }
const Settings& Config() { return Card().Config; }

std::wstring TmpFile(const std::wstring& name) { return StoreFile(Config(), Store::Tmp, name); }

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
    std::wstring folder = card::UrlPath(query == std::wstring::npos ? dir : dir.substr(query + 1));
    if (!as.directory.empty()) {
        // The thumbnail request has its own "/" before the folder's.
        std::string bytes = cgi.empty() ? "" : "/";
        if (as.directory[0] != '/') bytes += '/';
        bytes += as.directory;
        bytes += '/';
        folder = card::UrlPathFromBytes(bytes);
    }
    std::wstring file = as.name.empty() ? card::UrlPath(name) : card::UrlPathFromBytes(as.name);
    return L"http://" + Card().CardHost + cgi + folder + file;
}

void DeleteTmp(const std::wstring& name) { (void)fs::DeleteFileAt(TmpFile(name)); }

// The file's item in the card tree shows the "stored" icon.
void MarkInTree(const std::wstring& directory, const std::wstring& name) {
    cardthread::OnUi([directory, name] { app::TheApp().bar.Tree().MarkFileStored(directory, name); });
}

// Waits for the download to end, or for the cancel click or the end of the
// program; true when it was stopped that way.
bool WaitForDownload(BackgroundDownload& download, const std::wstring& name, int64_t size) {
    card::CardWorker& worker = cardthread::Worker();
    // A thumbnail has no listed size and is small: no bar for it.
    std::optional<cardthread::ProgressReport> progress;
    if (size > 0) progress.emplace(model::WorkProgress::Kind::Download, card::Printable(name));
    while (download.Poll() == BackgroundDownload::State::Running) {
        WaitForSingleObject(download.EndedEvent(), kCancelPollMs);
        if (download.Poll() != BackgroundDownload::State::Running) break;
        if (worker.Downloads().Cancelled() || worker.StopRequested()) {
            download.Abort();
            return download.Poll() == BackgroundDownload::State::Aborted;
        }
        if (progress) progress->Update(static_cast<int64_t>(download.Received()), size);
    }
    return false;
}

std::wstring Key(const std::wstring& name) { return str::ToLower(name); }

// A JPEG ends with its end-of-image marker. One without it whose listed size
// changed since the listing before is still being written (the camera is
// visibly at work on it); one without it at a steady size has data after
// the marker, as some cameras write.
bool StillBeingWritten(const card::CardFileRecord& c, const std::wstring& file) {
    if (!thumbs::HasCardThumbnail(c.Name)) return false;
    if (fs::ReadTail(file, 2).value_or("") == "\xFF\xD9") return false;
    auto before = Card().ListedBefore.find(Key(c.Name));
    return before != Card().ListedBefore.end() && before->second != c.Size;
}

// The size at which this run stored the picture, if it did.
std::optional<int64_t> StoredThisRun(const card::CardFileRecord& c) {
    auto stored = Card().StoredSize.find(Key(c.Name));
    if (stored == Card().StoredSize.end()) return std::nullopt;
    return stored->second;
}

// True when the candidate is to be fetched into target: nothing (or an empty
// file) is there, or this run stored it and it has grown on the card since
// while the stored copy is as it was stored (the camera was still writing
// it; a copy the user changed is left alone).
bool NeedsFetch(const card::CardFileRecord& c, const std::wstring& target) {
    if (!fs::IsNonEmptyFile(target)) return true;
    std::optional<int64_t> stored = StoredThisRun(c);
    return stored && c.Size > *stored && fs::FileSize(target) == std::optional<uint64_t>(static_cast<uint64_t>(*stored));
}

// Downloads one candidate into target; true when it was stored now.
bool FetchInto(const card::CardFileRecord& c, const std::wstring& target) {
    CardSpelling as{{}, c.RawName, static_cast<uint64_t>(c.Size)};
    // Pictures left in a folder the camera has moved on from name their own.
    bool fetched = TFA_TransFile(c.Name, c.Directory.empty() ? Config().Path : c.Directory, as);
    bool unfinished = fetched && StillBeingWritten(c, TmpFile(c.Name));
    bool stored = fetched && !unfinished && PlaceComplete(TmpFile(c.Name), target);
    DeleteTmp(c.Name);
    // The card reports a change once: the next tick lists again for a
    // picture still being written.
    if (unfinished) Card().ChangeNotListed = true;
    if (!stored) return false;
    Journal(L"Transfer: " + target);
    Card().StoredSize[Key(c.Name)] = c.Size;
    Card().NoTransfer.NoteStored(c.Name);
    return true;
}

uint8_t TransferSingle(const std::wstring& name, const std::wstring& cardDir, const std::wstring& targetFolder,
                       uint8_t markTreeItem, bool show, const CardSpelling& as) {
    if (!card::IsSafeLocalName(name)) {
        Journal(L"Not transferred, the name cannot be stored safely: " + card::Printable(name));
        return 0;
    }
    const Settings& s = Config();
    std::wstring target = targetFolder.empty() ? StoreFile(s, Store::Storage, name) : targetFolder + L"\\" + name;
    auto finish = [&](bool ok) -> uint8_t {
        if (!ok) return 0;
        if (markTreeItem) MarkInTree(cardDir, name);
        if (show) Show(target);
        return 1;
    };
    if (fs::IsNonEmptyFile(target)) {
        Lamp(ids::kCardButton, model::Lamp::Yellow, model::LampAt::Top);
        Journal(L"Transfer File exists: " + target);
        if (show) Show(target);
        return 1;
    }
    for (Store kind : {Store::LoRes, Store::HiRes}) {
        std::wstring local = StoreFile(s, kind, name);
        if (!fs::IsNonEmptyFile(local)) continue;
        bool ok = fs::CopyFileTo(local, TmpFile(name)) && PlaceComplete(TmpFile(name), target);
        DeleteTmp(name);
        return finish(ok && fs::IsNonEmptyFile(target));
    }
    if (TFA_CheckUpdate() == 0) return 0;
    if (TFA_TransFile(name, cardDir, as) && PlaceComplete(TmpFile(name), target)) Journal(L"Transfer: " + target);
    DeleteTmp(name);
    return finish(fs::IsNonEmptyFile(target));
}

}  // namespace

bool PlaceComplete(const std::wstring& from, const std::wstring& to) {
    // Moved, not copied: a raw file or a video of gigabytes is not written
    // twice when the temporary folder is on the store's volume.
    std::wstring part = to + L".part";
    if (!fs::MoveFileReplacing(from, part) || !fs::MoveFileReplacing(part, to)) {
        (void)fs::DeleteFileAt(part);
        return false;
    }
    return true;
}

uint8_t TFA_TransFile(const std::wstring& name, const std::wstring& cardDir, const CardSpelling& as) {
    cardthread::BusyFace busy;
    Lamp(ids::kCopyButton, model::Lamp::Yellow, model::LampAt::Bottom);
    Lamp(ids::kCopyButton, model::Lamp::Blue, model::LampAt::Top);
    std::string url = str::ToUtf8(CardUrl(cardDir, name, as));
    card::DownloadGate& gate = cardthread::Worker().Downloads();
    BackgroundDownload download;
    uint8_t result = 0;
    bool cancelled = false;
    gate.Begin();
    if (download.Start(url, TmpFile(name), as.size, as.size ? as.size : kUnlistedLimit, kStallSeconds)) {
        cancelled = WaitForDownload(download, name, as.size);
        result = download.Poll() == BackgroundDownload::State::Finished ? 1 : 0;
    }
    gate.End();
    if (result) {
        Lamp(ids::kCopyButton, model::Lamp::Yellow, model::LampAt::Top);
        Lamp(ids::kCopyButton, model::Lamp::Green, model::LampAt::Bottom);
    } else {
        Card().UpdateFlag = card::CardChange::None;
        // A failed download is tried again on the next tick, as after a change.
        if (!cancelled) Card().ChangeNotListed = true;
        Lamp(ids::kCopyButton, model::Lamp::Blue, model::LampAt::Top);
        Lamp(ids::kCopyButton, model::Lamp::Red, model::LampAt::Bottom);
        std::string why = cancelled ? "cancelled" : download.Error();
        Journal(L"Transfer failed: " + card::Printable(name) + L" (" + str::FromUtf8(why) + L")");
    }
    return result;
}

uint8_t TFA_Transfer(uint8_t automatic) {
    const Settings& s = Config();
    std::wstring mode = str::ToLower(automatic ? s.TransferModeAuto : s.TransferModeMan);
    struct Kind {
        bool wanted;
        const std::wstring& extension;
        Store folder;
        bool shown;
    } kinds[] = {{mode == L"lores" || mode == L"both", s.TransferLoRes, Store::LoRes, true},
                 {mode == L"hires" || mode == L"both", s.TransferHiRes, Store::HiRes, mode == L"hires"}};
    Lamp(ids::kCardButton, model::Lamp::Yellow, model::LampAt::Top);
    const card::CardWorker& worker = cardthread::Worker();
    // The camera folder's pictures, then those left in a folder it moved on from.
    std::vector<const card::CardFileRecord*> candidates;
    for (const card::CardFileRecord& c : Card().Lists.TransferCandidates) candidates.push_back(&c);
    for (const card::CardFileRecord& c : Card().Leftovers) candidates.push_back(&c);
    // LoResFirst: after a burst of shots every JPEG reaches the viewer before
    // the first raw file takes the card for half a minute.
    if (mode == L"both" && s.LoResFirst && !s.TransferLoRes.empty())
        std::stable_partition(candidates.begin(), candidates.end(), [&](const card::CardFileRecord* c) {
            return str::ContainsI(c->Name, s.TransferLoRes);
        });
    for (const card::CardFileRecord* candidate : candidates) {
        const card::CardFileRecord& c = *candidate;
        if (worker.StopRequested()) break;  // the program ends
        if (c.Name.empty() || !card::IsSafeLocalName(c.Name)) continue;
        // A picture listed with 0 bytes is still being written: it stays new,
        // and the next tick lists again whatever the update flag says.
        if (c.Size <= 0) {
            Card().ChangeNotListed = true;
            continue;
        }
        std::optional<int64_t> stored = StoredThisRun(c);
        if (Card().NoTransfer.Contains(c.Name) && !(stored && c.Size > *stored)) continue;
        bool cardGone = false;
        for (const Kind& k : kinds) {
            // An empty extension means that kind is not transferred.
            if (!k.wanted || k.extension.empty() || !str::ContainsI(c.Name, k.extension)) continue;
            std::wstring target = StoreFile(s, k.folder, c.Name);
            if (!NeedsFetch(c, target)) continue;
            if (TFA_CheckUpdate() == 0) {
                cardGone = true;
                break;
            }
            if (FetchInto(c, target) && k.shown) Show(target);
        }
        if (cardGone) break;
    }
    Card().UpdateFlag = card::CardChange::None;
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
