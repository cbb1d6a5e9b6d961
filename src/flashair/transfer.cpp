// Card transfers on the card thread: the background download, waited for
// there, and the copies into HiRes, LoRes and the storage folder.
#include "flashair/transfer.h"

#include <windows.h>

#include "base/fs.h"
#include "base/str.h"
#include "core/state.h"
#include "flashair/card_session.h"
#include "flashair/card_text.h"
#include "flashair/card_thread.h"
#include "flashair/card_views.h"
#include "flashair/download.h"
#include "ui/info_panel.h"
#include "viewer/handover.h"

namespace {

// Seconds without a byte after which a download counts as failed; the same
// bound as for the card's other requests.
constexpr int kStallSeconds = 10;
// How often the card thread looks at a cancel request while a download runs.
constexpr DWORD kCancelPollMs = 100;

const Settings& Config() { return g_card.Config; }

std::wstring TmpFile(const std::wstring& name) { return Config().TmpPath + L"\\" + name; }

// What the bar shows or does, handed to the interface thread.
void Journal(const std::wstring& text) {
    cardthread::OnUi([text] { ShowInfo(text); });
}
void Lamp(int image, const wchar_t* colour, const wchar_t* position) {
    cardthread::OnUi([image, colour, position] { SetState(image, colour, position); });
}
void Show(const std::wstring& path) {
    cardthread::OnUi([path] { Viewer_ShowFile(path); });
}

// The request for a card file. A CGI part ("/thumbnail.cgi?") is kept as it
// is; the folder and file names are percent-encoded.
std::wstring CardUrl(const std::wstring& cardDir, const std::wstring& name, const std::string& rawName) {
    std::wstring dir = cardDir;
    if (!str::StartsWith(dir, L"/")) dir = L"/" + dir;
    if (!str::EndsWith(dir, L"/")) dir += L"/";
    size_t query = dir.find(L'?');
    std::wstring cgi = query == std::wstring::npos ? L"" : dir.substr(0, query + 1);
    std::wstring folder = query == std::wstring::npos ? dir : dir.substr(query + 1);
    std::wstring file = rawName.empty() ? card::UrlPath(name) : card::UrlPathFromBytes(rawName);
    return L"http://" + g_card.CardHost + cgi + card::UrlPath(folder) + file;
}

void DeleteTmp(const std::wstring& name) { (void)fs::DeleteFileAt(TmpFile(name)); }

// The file's item in the card tree shows the "stored" icon.
void MarkInTree(const std::wstring& directory, const std::wstring& name) {
    cardthread::OnUi([directory, name] { MarkFileStored(directory, name); });
}

// Waits for the download to end, or for the cancel click or the end of the
// program; true when it was stopped that way.
bool WaitForDownload(BackgroundDownload& download) {
    card::CardWorker& worker = cardthread::Worker();
    while (download.Poll() == BackgroundDownload::State::Running) {
        WaitForSingleObject(download.EndedEvent(), kCancelPollMs);
        if (download.Poll() != BackgroundDownload::State::Running) break;
        if (worker.Downloads().Cancelled() || worker.StopRequested()) {
            download.Abort();
            return download.Poll() == BackgroundDownload::State::Aborted;
        }
    }
    return false;
}

// Downloads one candidate into SourcePath + "\" + kind + "\" + name unless it
// is there already; true when it was stored now. A picture found stored
// already (the no-transfer list is as old as the last listing) is not shown
// again.
bool FetchInto(const card::CardFileRecord& c, const wchar_t* kind) {
    std::wstring target = Config().SourcePath + L"\\" + kind + L"\\" + c.Name;
    if (fs::FileSize(target)) return false;
    if (TFA_TransFile(c.Name, Config().Path, static_cast<uint64_t>(c.Size > 0 ? c.Size : 0), c.RawName) &&
        PlaceComplete(TmpFile(c.Name), target))
        Journal(L"Transfer: " + target);
    DeleteTmp(c.Name);
    return fs::IsNonEmptyFile(target);
}

bool IsOnNoTransferList(const std::wstring& name) { return g_card.NoTransfer.Contains(name); }

uint8_t TransferSingle(const std::wstring& name, const std::wstring& cardDir, const std::wstring& targetFolder,
                       uint8_t markTreeItem, bool show) {
    if (!card::IsSafeLocalName(name)) {
        Journal(L"Not transferred, the name cannot be stored safely: " + card::Printable(name));
        return 0;
    }
    const Settings& s = Config();
    std::wstring target = (targetFolder.empty() ? s.StoragePath : targetFolder) + L"\\" + name;
    auto finish = [&](bool ok) -> uint8_t {
        if (!ok) return 0;
        if (markTreeItem) MarkInTree(cardDir, name);
        if (show) Show(target);
        return 1;
    };
    if (fs::IsNonEmptyFile(target)) {
        Lamp(6, L"y", L"t");
        Journal(L"Transfer File exists: " + target);
        if (show) Show(target);
        return 1;
    }
    for (const wchar_t* kind : {L"\\LoRes\\", L"\\HiRes\\"}) {
        std::wstring local = s.SourcePath + kind + name;
        if (!fs::IsNonEmptyFile(local)) continue;
        bool ok = fs::CopyFileTo(local, TmpFile(name)) && PlaceComplete(TmpFile(name), target);
        DeleteTmp(name);
        return finish(ok && fs::IsNonEmptyFile(target));
    }
    if (TFA_CheckUpdate() == 0) return 0;
    if (TFA_TransFile(name, cardDir) && PlaceComplete(TmpFile(name), target)) Journal(L"Transfer: " + target);
    DeleteTmp(name);
    return finish(fs::IsNonEmptyFile(target));
}

}  // namespace

bool PlaceComplete(const std::wstring& from, const std::wstring& to) {
    std::wstring part = to + L".part";
    if (!fs::CopyFileTo(from, part)) {
        (void)fs::DeleteFileAt(part);
        return false;
    }
    if (!MoveFileExW(part.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        (void)fs::DeleteFileAt(part);
        return false;
    }
    return true;
}

uint8_t TFA_TransFile(const std::wstring& name, const std::wstring& cardDir, uint64_t expectedSize,
                      const std::string& rawName) {
    cardthread::BusyFace busy;
    Lamp(1, L"y", L"b");
    Lamp(1, L"b", L"t");
    std::string url = str::ToUtf8(CardUrl(cardDir, name, rawName));
    card::DownloadGate& gate = cardthread::Worker().Downloads();
    BackgroundDownload download;
    uint8_t result = 0;
    bool cancelled = false;
    gate.Begin();
    if (download.Start(url, TmpFile(name), expectedSize, kStallSeconds)) {
        cancelled = WaitForDownload(download);
        result = download.Poll() == BackgroundDownload::State::Finished ? 1 : 0;
    }
    gate.End();
    if (result) {
        Lamp(1, L"y", L"t");
        Lamp(1, L"g", L"b");
    } else {
        g_card.UpdateFlag = 0;
        Lamp(1, L"b", L"t");
        Lamp(1, L"r", L"b");
        std::string why = cancelled ? "cancelled" : download.Error();
        Journal(L"Transfer failed: " + card::Printable(name) + L" (" + str::FromUtf8(why) + L")");
    }
    return result;
}

uint8_t TFA_Transfer(uint8_t automatic) {
    const Settings& s = Config();
    std::wstring mode = str::ToLower(automatic ? s.TransferModeAuto : s.TransferModeMan);
    bool lores = mode == L"lores" || mode == L"both", hires = mode == L"hires" || mode == L"both";
    Lamp(6, L"y", L"t");
    const card::CardWorker& worker = cardthread::Worker();
    for (const card::CardFileRecord& c : g_card.Lists.TransferCandidates) {
        if (worker.StopRequested()) break;  // the program ends
        if (c.Name.empty() || IsOnNoTransferList(c.Name) || !card::IsSafeLocalName(c.Name)) continue;
        if (lores && str::ContainsI(c.Name, s.TransferLoRes)) {
            if (TFA_CheckUpdate() == 0) break;
            if (FetchInto(c, L"LoRes")) Show(s.SourcePath + L"\\LoRes\\" + c.Name);
        }
        if (hires && str::ContainsI(c.Name, s.TransferHiRes)) {
            if (TFA_CheckUpdate() == 0) break;
            if (FetchInto(c, L"HiRes") && mode == L"hires") Show(s.SourcePath + L"\\HiRes\\" + c.Name);
        }
    }
    g_card.UpdateFlag = 0;
    return 0;
}

uint8_t TFA_TransferFile(const std::wstring& name, const std::wstring& cardDir, const std::wstring& targetFolder,
                         uint8_t markTreeItem) {
    return TransferSingle(name, cardDir, targetFolder, markTreeItem, true);
}

uint8_t TFA_TransferFileSpecial(const std::wstring& name, const std::wstring& cardDir,
                                const std::wstring& targetFolder, uint8_t markTreeItem) {
    return TransferSingle(name, cardDir, targetFolder, markTreeItem, false);
}
