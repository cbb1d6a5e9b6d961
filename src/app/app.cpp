// Start-up in its fixed order, the event loop that dispatches every click,
// menu choice and timer tick, and shutdown with the settings write-back.
#include "app/app.h"

#include <shellapi.h>
#include <winsock2.h>

#include "base/fs.h"
#include "win/handle.h"
#include "base/str.h"
#include "model/folders.h"
#include "model/journal.h"
#include "app/log_button.h"
#include "model/settings.h"
#include "app/state.h"
#include "win/card_http.h"
#include "model/card_session.h"
#include "app/card_thread.h"
#include "ui/card_views.h"
#include "win/download.h"
#include "ui/thumbs.h"
#include "app/transfer.h"
#include "ui/bar.h"
#include "model/ids.h"
#include "ui/info_panel.h"
#include "ui/tree_menu.h"
#include "model/catalogue.h"
#include "app/commands.h"
#include "app/desktop.h"
#include "win/window_search.h"

namespace app {

namespace {

bool g_buttonBusy = false;     // an action runs; further clicks are dropped
bool g_tickWaiting = false;    // a card tick came during a modal loop
bool g_manualWaiting = false;  // button 6's transfer is queued behind other card work
win::KernelHandle g_instanceMutex;

bool SettingsFileUsable() { return fs::IsNonEmptyFile(g_run.SettingsFile); }

// Waits without handling input, but lets what was drawn reach the screen
// (a plain Sleep can hold back the busy face on compositing systems).
void PauseShowingPaint(DWORD ms) {
    ULONGLONG end = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64())
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), 0, 0);
}

// A click on a tile: its picture shows or fetches the file, its toggle
// selects, its caption reports.
void OnThumbCommand(const thumbs::TileRef& tile) {
    int32_t k = tile.recordIndex;
    const card::CardFileRecord* r = Shown().Lists.Record(k);
    bool inUse = r && r->Index == k;
    if (tile.part == thumbs::TilePart::Picture) {
        if (inUse) WLX_TREE_POP(L"TransferFile", k);
    } else if (tile.part == thumbs::TilePart::Toggle) {
        g_run.PreviousThumb = g_run.CurrentThumb;
        g_run.CurrentThumb = k;
        switch (g_run.ClickModifiers) {
        case MK_LBUTTON: WLX_THUMB_State(L"normal", k); break;
        case MK_LBUTTON | MK_SHIFT: WLX_THUMB_State(L"shift", k); break;
        case MK_LBUTTON | MK_CONTROL: WLX_THUMB_State(L"ctrl", k); break;
        default: thumbs::RefreshToggleFace(k); break;
        }
    } else if (inUse) {
        WLX_TREE_POP(L"ShowFileInfo", k);
    }
}

// The menu acts on the item under the mouse, as in any Windows tree.
void OnTreeRightClick(HWND tree) {
    SetState(6, L"b", L"t");
    POINT screen;
    GetCursorPos(&screen);
    TVHITTESTINFO hit{};
    hit.pt = screen;
    ScreenToClient(tree, &hit.pt);
    if (HTREEITEM item = TreeView_HitTest(tree, &hit)) TreeView_SelectItem(tree, item);
    WLX_TREE_POP_EnaDis();
    SetForegroundWindow(bar::Window());  // so the menu closes when the user clicks elsewhere
    TrackPopupMenu(bar::TreeMenu(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                   bar::Window(), nullptr);
    PostMessageW(bar::Window(), WM_NULL, 0, 0);
}

void RunButtonAction(int n) {
    switch (n) {
    case 1: WLX_btn_01(); break;
    case 2: WLX_btn_02(); break;
    case 3: WLX_btn_03(); break;
    case 4: WLX_btn_04(); break;
    case 5: WLX_btn_05(); break;
    case 7: WLX_btn_07(); break;
    case 8: WLX_btn_8(); break;
    case 9: WLX_btn_09(); break;
    case 10: WLX_btn_10(); break;
    case 11: WLX_btn_11(); break;
    }
}

// Button 6: a click while a download runs cancels it; otherwise the button
// transfer is queued on the card thread (once, however often it is
// clicked while it waits), and the busy face stays until it has ended.
void OnCardButton() {
    if (cardthread::CancelDownload() || g_buttonBusy || g_manualWaiting) return;
    cardthread::HoldBusyFace();
    g_manualWaiting = cardthread::Run([] {
        cardthread::OnUi([] { g_manualWaiting = false; });
        TFA_Transfer(0);
        cardthread::OnUi([] { cardthread::ReleaseBusyFace(g_settings.Graphics.DelayChg); });
    });
    if (!g_manualWaiting) cardthread::ReleaseBusyFace(g_settings.Graphics.DelayChg);  // no card access
}

void OnButton(int n) {
    if (n == 6) return OnCardButton();
    // While a download runs the info panel keeps its view (a view may need
    // card work of its own); the viewer buttons always act at once.
    if (g_buttonBusy || (n == 8 && cardthread::Downloading())) return;
    g_buttonBusy = true;
    bar::ShowButtonImage(n, ids::kBusyImageOffset + n);
    RunButtonAction(n);
    PauseShowingPaint(static_cast<DWORD>(g_settings.Graphics.DelayChg));
    bar::ShowButtonImage(n, n);
    g_buttonBusy = false;
}

bool IsBarWindow(HWND h) {
    HWND barWindow = bar::Window();
    return h && barWindow && (h == barWindow || IsChild(barWindow, h));
}

// The picture given on the command line goes to the viewer before the
// single-instance test, so a second start still shows it.
void HandOverCommandLineFile(int argc, wchar_t** argv) {
    if (argc < 2 || !fs::IsNonEmptyFile(argv[1])) return;
    std::wstring rawMode = WLX_LoadPreferences(L"Main", L"Mode");
    if (DerivesToTransferOnly(rawMode)) return;
    std::wstring file = L"\"" + std::wstring(argv[1]) + L"\"";
    // Without a viewer the shell opens the picture with its associated program.
    LaunchCommandLine(g_run.ViewerPath.empty() ? file : L"\"" + g_run.ViewerPath + L"\" " + file);
}

// True when another instance already runs (its bar was brought to the front).
bool GiveWayToRunningInstance() {
    HWND other = SearchTopLevelWindow(kProgramName, false);
    g_instanceMutex.reset(CreateMutexW(nullptr, TRUE, L"Wemlox.exe"));
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (other) {
        if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
        SetForegroundWindow(other);
        BringWindowToTop(other);
    }
    return true;
}

bool PrepareSettings(int argc, wchar_t** argv) {
    g_run.SettingsFolder = own_GetEnv(L"appdata") + L"\\Wemlox\\";
    if (!WLX_CheckCreateDir(g_run.SettingsFolder)) return false;
    g_run.SettingsFile = g_run.SettingsFolder + L"Wemlox.ini";
    if (!SettingsFileUsable()) {
        std::wstring text = own_ReadData();
        if (text.empty() || !own_SaveTextFile(g_run.SettingsFile, text, 0)) return false;
    }
    if (!SettingsFileUsable()) return false;

    g_run.GraphicsPath = ResolveGraphicsPath(str::Trim(WLX_LoadPreferences(L"Graphics", L"Location")),
                                             own_GetProgramFolder());
    g_run.FoundViewerId.clear();
    std::wstring location = str::Trim(WLX_LoadPreferences(L"Viewer", L"Location"));
    if (str::StartsWith(location, L"%ERR%")) return false;
    if (str::EqualsI(location, L"autosearch")) location = WLX_AutoSearch_Viewer();
    if (fs::IsNonEmptyFile(location)) g_run.ViewerPath = location;

    HandOverCommandLineFile(argc, argv);
    if (GiveWayToRunningInstance()) return false;

    g_run.TfaActive = str::ToLower(str::Trim(WLX_LoadPreferences(L"TFA", L"Active"))) == L"yes";
    if (str::StartsWith(WLX_LoadPreferences(L"", L""), L"%ERR%")) return false;
    return WLX_CheckCreateDir(L"") != 0;
}

void WriteStartJournal() {
    ShowInfo(L"Graphics: " + g_run.GraphicsPath);
    ShowInfo(L"Viewer: " + g_run.ViewerPath + L" (" + g_settings.Mode + L")");
    ShowInfo(L"Settings: " + g_run.SettingsFile + L"\r");
    if (bar::Geometry().unknownMode)
        ShowInfo(L"Position: '" + g_settings.Position + L"' is no known position, the bar is placed Right");
    SetState(11, L"y", L"b");
}

void StartCardAccess() {
    if (!g_run.TfaActive) return;
    if (!OpenInternetHandle()) {
        g_run.TfaActive = false;
        SetState(6, L"r", L"t");
        ShowInfo(L"TFA Deactivated");
        return;
    }
    ShowInfo(L"TFA Search in " + str::FromInt(g_settings.CheckNewFilesSec) + L" sec");
    SetState(6, L"y", L"b");
    cardthread::Start();
    TFA_StartPolling(1);
}

// The card thread ends first: a running download is cancelled and its file
// removed. The address it found last goes into the write-back. False when it
// is stuck in a request and the process has to end without it.
bool StopCardAccess() {
    if (!g_run.TfaActive) return true;
    bool ended = cardthread::Stop();
    if (ended) g_settings.UrlLastConnect = g_card.UrlLastConnect;
    CloseInternetHandle(ended);
    return ended;
}

void EventLoop() {
    g_run.QuitRequested = 0;
    while (g_run.QuitRequested == 0) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // Nothing runs on this thread until a message comes (card work
            // reports by message), so an idle bar does not wake; new input
            // ends the wait at once.
            MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (msg.message == WM_QUIT) break;
        // The raw press reaches the loop before the control reports its click.
        if (msg.message == WM_LBUTTONDOWN && IsBarWindow(msg.hwnd))
            g_run.ClickModifiers = static_cast<uint16_t>(LOWORD(msg.wParam));
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void WriteBackSettings() {
    if (!g_settings.SaveChangesOnExit || !g_run.TfaActive) return;
    const Settings& s = g_settings;
    (void)WLX_SavePreference(L"TFA", L"UrlLastConnect", s.UrlLastConnect);
    (void)WLX_SavePreference(L"TFA", L"DoNotLoad", s.DoNotLoad);
    (void)WLX_SavePreference(L"TFA", L"Path", s.Path);
    (void)WLX_SavePreference(L"TFA", L"OccurenceName", s.OccurenceName);
    (void)WLX_SavePreference(L"TFA", L"TransferHiRes", s.TransferHiResToSave);
    (void)WLX_SavePreference(L"TFA", L"TransferLoRes", s.TransferLoResToSave);
    (void)WLX_SavePreference(L"Menu", L"PositionX", str::FromInt(s.PositionX));
    (void)WLX_SavePreference(L"Menu", L"PositionY", str::FromInt(s.PositionY));
}

void Shutdown() {
    bool cardEnded = StopCardAccess();
    WriteBackSettings();
    own_ShowHideTaskBar(SW_SHOW);
    if (bar::Window()) DestroyWindow(bar::Window());
    // A card thread stuck in a request holds nothing that needs saving; the
    // process ends without unwinding under it.
    if (!cardEnded) ExitProcess(0);
    ShutdownDownloads();
    WSACleanup();
}

// A card tick runs on the card thread; it is skipped while the tree is
// shown (not rebuilt under the user's hands) and waits for a modal loop.
void CardTick() {
    if (GetInfoState() == 2) return;
    if (bar::InModalLoop()) {
        g_tickWaiting = true;
        return;
    }
    g_tickWaiting = false;
    cardthread::Tick(TFA_CardTimerStep);
}

}  // namespace

int Run(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    InitDownloads();

    if (!PrepareSettings(argc, argv)) {
        ShutdownDownloads();
        WSACleanup();
        return 0;
    }
    if (g_settings.HideTaskBar) own_ShowHideTaskBar(SW_HIDE);
    OpenMainWindow();
    if (!bar::Window()) {
        Shutdown();
        return 1;
    }
    if (g_settings.HideTaskBar) EnableWindow(bar::Control(11), FALSE);
    WriteStartJournal();
    ShowWindow(bar::Window(), SW_SHOWNOACTIVATE);
    UpdateWindow(bar::Window());
    StartCardAccess();
    ShowInfo(L"\r**********");
    ShowInfo(L"Programmversion: " + std::wstring(kProgramVersion));
    ShowInfo(L"\r**********");
    SetTimer(bar::Window(), ids::kHousekeepingTimer, 1000, nullptr);
    EventLoop();
    Shutdown();
    return 0;
}

void OnCommand(int id, int code, HWND control) {
    if (id >= ids::kFirstButton && id <= ids::kButtonCount && control) {
        // Owner-drawn buttons report a quick second click as a double click.
        if (code == BN_CLICKED || code == BN_DOUBLECLICKED) OnButton(id);
        return;
    }
    if (!control && id >= ids::kMenuTransfer && id <= ids::kMenuHiRes) {
        WLX_TREE_POP(id);
        return;
    }
    if (!control) return;
    thumbs::TileRef tile = thumbs::TileOfControl(id);
    if (tile.part != thumbs::TilePart::None) OnThumbCommand(tile);
}

LRESULT OnNotify(const NMHDR& hdr) {
    if (hdr.idFrom != static_cast<UINT_PTR>(ids::kTree)) return 0;
    if (hdr.code == NM_RCLICK) {
        OnTreeRightClick(hdr.hwndFrom);
        return 1;
    }
    if (hdr.code == NM_DBLCLK) {
        SetState(6, L"b", L"t");
        WLX_TREE_POP(ids::kMenuTransfer);
        return 1;
    }
    return 0;
}

void OnTimer(unsigned id) {
    if (id == ids::kCardTimer) {
        CardTick();
    } else if (id == ids::kBusyFaceTimer) {
        cardthread::OnBusyFaceTimer();
    } else if (id == ids::kCardMailTimer) {
        cardthread::OnDeliverTimer();
    } else if (id == ids::kHousekeepingTimer) {
        SetState(1, L"c", L"t");
        SetState(6, L"c", L"t");
        SetWindowPos(bar::Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    }
}

void OnMoved() {
    if (bar::PlacingWindow()) return;  // the panel opening or closing, not the user
    if (IsIconic(bar::Window())) return;  // minimised: the system's place, not the user's
    RECT rc;
    if (!GetWindowRect(bar::Window(), &rc)) return;
    g_settings.PositionX = rc.left;
    g_settings.PositionY = rc.top;
}

void OnClose() { g_run.QuitRequested = 1; }

void OnCardMail() { cardthread::Deliver(); }

void OnModalLoopEnded() {
    if (g_tickWaiting) CardTick();
}

}  // namespace app
