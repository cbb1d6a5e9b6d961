// Card transfers: the background download polled from the user-interface
// thread, and the copies into HiRes, LoRes and the storage folder.
#include "flashair/transfer.h"

#include <windows.h>
#include <commctrl.h>

#include "base/fs.h"
#include "base/str.h"
#include "core/state.h"
#include "flashair/card_session.h"
#include "flashair/card_views.h"
#include "flashair/card_text.h"
#include "flashair/download.h"
#include "ui/bar.h"
#include "ui/ids.h"
#include "ui/info_panel.h"
#include "viewer/handover.h"

namespace {

// Seconds without a byte after which a download counts as failed; the same
// bound as for the card's other requests.
constexpr int kStallSeconds = 10;
constexpr int kTransferButton = 6;

std::wstring TmpFile(const std::wstring& name) { return g_settings.TmpPath + L"\\" + name; }

bool IsCancelClick(const MSG& msg) {
    return (msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK) &&
           msg.hwnd == bar::Control(kTransferButton);
}

// Input that arrives during a download is dropped; everything else (timers,
// close requests) stays queued for the loop.
void DiscardPendingInput() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {}
    while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {}
}

// One pass of the polling loop: repaints what needs it, takes the next input
// event and reports whether it was the cancel click.
bool NextEventCancels() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
    while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE))
        if (IsCancelClick(msg)) return true;
    while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {}
    return false;
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

// The tree item selected by the user shows the "stored" icon.
void MarkSelectedTreeItem() { MarkTreeItemStored(TreeView_GetSelection(bar::Control(ids::kTree))); }

// Downloads one candidate into SourcePath + "\" + kind + "\" + name unless it
// is there already; true when the file is there afterwards.
bool FetchInto(const card::CardFileRecord& c, const wchar_t* kind) {
    std::wstring target = g_settings.SourcePath + L"\\" + kind + L"\\" + c.Name;
    if (!fs::FileSize(target)) {
        if (TFA_TransFile(c.Name, g_settings.Path, static_cast<uint64_t>(c.Size > 0 ? c.Size : 0), c.RawName) &&
            PlaceComplete(TmpFile(c.Name), target))
            ShowInfo(L"Transfer: " + target);
        DeleteTmp(c.Name);
    }
    return fs::IsNonEmptyFile(target);
}

bool IsOnNoTransferList(const std::wstring& name) { return g_card.NoTransfer.Contains(name); }

uint8_t TransferSingle(const std::wstring& name, const std::wstring& cardDir, const std::wstring& targetFolder,
                       uint8_t markTreeItem, bool show) {
    if (!card::IsSafeLocalName(name)) {
        ShowInfo(L"Not transferred, the name cannot be stored safely: " + card::Printable(name));
        return 0;
    }
    std::wstring target = (targetFolder.empty() ? g_settings.StoragePath : targetFolder) + L"\\" + name;
    auto finish = [&](bool ok) -> uint8_t {
        if (!ok) return 0;
        if (markTreeItem) MarkSelectedTreeItem();
        if (show) Viewer_ShowFile(target);
        return 1;
    };
    if (fs::IsNonEmptyFile(target)) {
        SetState(6, L"y", L"t");
        ShowInfo(L"Transfer File exists: " + target);
        if (show) Viewer_ShowFile(target);
        return 1;
    }
    for (const wchar_t* kind : {L"\\LoRes\\", L"\\HiRes\\"}) {
        std::wstring local = g_settings.SourcePath + kind + name;
        if (!fs::IsNonEmptyFile(local)) continue;
        bool ok = fs::CopyFileTo(local, TmpFile(name)) && PlaceComplete(TmpFile(name), target);
        DeleteTmp(name);
        return finish(ok && fs::IsNonEmptyFile(target));
    }
    if (TFA_CheckUpdate() == 0) return 0;
    if (TFA_TransFile(name, cardDir) && PlaceComplete(TmpFile(name), target)) ShowInfo(L"Transfer: " + target);
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
    bar::ShowButtonImage(kTransferButton, ids::kBusyImageOffset + kTransferButton);
    SetState(1, L"y", L"b");
    SetState(1, L"b", L"t");
    std::string url = str::ToUtf8(CardUrl(cardDir, name, rawName));
    BackgroundDownload download;
    uint8_t result = 0;
    bool cancelled = false;
    if (download.Start(url, TmpFile(name), expectedSize, kStallSeconds)) {
        DWORD pause = static_cast<DWORD>(g_settings.Delay > 0 ? g_settings.Delay : 8);
        for (;;) {
            bool cancel = NextEventCancels();
            BackgroundDownload::State state = download.Poll();
            if (state == BackgroundDownload::State::Finished) {
                result = 1;
                break;
            }
            if (state != BackgroundDownload::State::Running || cancel) {
                cancelled = cancel && state == BackgroundDownload::State::Running;
                download.Abort();
                g_run.UpdateFlag = 0;
                DiscardPendingInput();
                break;
            }
            // The pause ends early when input arrives or the download ends.
            HANDLE ended = download.EndedEvent();
            MsgWaitForMultipleObjectsEx(ended ? 1 : 0, ended ? &ended : nullptr, pause, QS_ALLINPUT,
                                        MWMO_INPUTAVAILABLE);
        }
    }
    if (result) {
        SetState(1, L"y", L"t");
        SetState(1, L"g", L"b");
    } else {
        SetState(1, L"b", L"t");
        SetState(1, L"r", L"b");
        std::string why = cancelled ? "cancelled" : download.Error();
        ShowInfo(L"Transfer failed: " + card::Printable(name) + L" (" + str::FromUtf8(why) + L")");
    }
    bar::ShowButtonImage(kTransferButton, kTransferButton);
    return result;
}

uint8_t TFA_Transfer(uint8_t automatic) {
    std::wstring mode = str::ToLower(automatic ? g_settings.TransferModeAuto : g_settings.TransferModeMan);
    bool lores = mode == L"lores" || mode == L"both", hires = mode == L"hires" || mode == L"both";
    SetState(6, L"y", L"t");
    for (const card::CardFileRecord& c : g_card.Lists.TransferCandidates) {
        if (c.Name.empty() || IsOnNoTransferList(c.Name) || !card::IsSafeLocalName(c.Name)) continue;
        if (lores && str::ContainsI(c.Name, g_settings.TransferLoRes)) {
            if (TFA_CheckUpdate() == 0) break;
            if (FetchInto(c, L"LoRes")) Viewer_ShowFile(g_settings.SourcePath + L"\\LoRes\\" + c.Name);
        }
        if (hires && str::ContainsI(c.Name, g_settings.TransferHiRes)) {
            if (TFA_CheckUpdate() == 0) break;
            if (FetchInto(c, L"HiRes") && mode == L"hires")
                Viewer_ShowFile(g_settings.SourcePath + L"\\HiRes\\" + c.Name);
        }
    }
    g_run.UpdateFlag = 0;
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
