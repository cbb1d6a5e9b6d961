// Start-up in its fixed order, the event loop, shutdown with the settings
// write-back, and what the bar and the card session report.
#include "app/app.h"

#include <shellapi.h>
#include <winsock2.h>

#include "app/operations.h"
#include "base/fs.h"
#include "base/str.h"
#include "model/catalogue.h"
#include "model/folders.h"
#include "model/ids.h"
#include "model/journal.h"
#include "win/desktop.h"
#include "win/download.h"

namespace app {

App& TheApp() {
    static App app;
    return app;
}

App::App() : bar(settings, *this), card(*this) {}

bool App::IsBarWindow(HWND h) const {
    HWND barWindow = bar.Window();
    return h && barWindow && (h == barWindow || IsChild(barWindow, h));
}

// The picture given on the command line goes to the viewer before the
// single-instance test, so a second start still shows it.
void App::HandOverCommandLineFile(int argc, wchar_t** argv) {
    if (argc < 2 || !fs::IsNonEmptyFile(argv[1])) return;
    std::wstring rawMode = WLX_LoadPreferences(L"Main", L"Mode");
    if (model::DerivesToTransferOnly(rawMode)) return;
    std::wstring file = L"\"" + std::wstring(argv[1]) + L"\"";
    // Without a viewer the shell opens the picture with its associated program.
    win::LaunchCommandLine(run.ViewerPath.empty() ? file : L"\"" + run.ViewerPath + L"\" " + file);
}

// True when another instance already runs (its bar was brought to the front).
bool App::GiveWayToRunningInstance() {
    HWND other = win::SearchTopLevelWindow(search, model::kProgramName, false);
    instanceMutex_.reset(CreateMutexW(nullptr, TRUE, L"Wemlox.exe"));
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (other) {
        if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
        SetForegroundWindow(other);
        BringWindowToTop(other);
    }
    return true;
}

bool App::PrepareSettings(int argc, wchar_t** argv) {
    run.SettingsFolder = model::own_GetEnv(L"appdata") + L"\\Wemlox\\";
    if (!WLX_CheckCreateDir(run.SettingsFolder)) return false;
    run.SettingsFile = run.SettingsFolder + L"Wemlox.ini";
    if (!fs::IsNonEmptyFile(run.SettingsFile)) {
        std::wstring text = own_ReadData();
        if (text.empty() || !model::own_SaveTextFile(run.SettingsFile, text, 0)) return false;
    }
    if (!fs::IsNonEmptyFile(run.SettingsFile)) return false;

    run.GraphicsPath =
        model::ResolveGraphicsPath(str::Trim(WLX_LoadPreferences(L"Graphics", L"Location")), model::own_GetProgramFolder());
    run.FoundViewerId.clear();
    std::wstring location = str::Trim(WLX_LoadPreferences(L"Viewer", L"Location"));
    if (str::StartsWith(location, L"%ERR%")) return false;
    if (str::EqualsI(location, L"autosearch")) location = WLX_AutoSearch_Viewer();
    if (fs::IsNonEmptyFile(location)) run.ViewerPath = location;

    HandOverCommandLineFile(argc, argv);
    if (GiveWayToRunningInstance()) return false;

    run.TfaActive = str::ToLower(str::Trim(WLX_LoadPreferences(L"TFA", L"Active"))) == L"yes";
    if (str::StartsWith(WLX_LoadPreferences(L"", L""), L"%ERR%")) return false;
    return WLX_CheckCreateDir(L"") != 0;
}

void App::WriteStartJournal() {
    ShowInfo(L"Graphics: " + run.GraphicsPath);
    ShowInfo(L"Viewer: " + run.ViewerPath + L" (" + settings.Mode + L")");
    ShowInfo(L"Settings: " + run.SettingsFile + L"\r");
    if (bar.Geometry().unknownMode)
        ShowInfo(L"Position: '" + settings.Position + L"' is no known position, the bar is placed Right");
    SetLamp(model::ids::kMinimiseButton, model::Lamp::Yellow, model::LampAt::Bottom);
}

void App::StartCardAccess() {
    if (!run.TfaActive) return;
    if (!OpenInternetHandle()) {
        run.TfaActive = false;
        SetLamp(model::ids::kCardButton, model::Lamp::Red, model::LampAt::Top);
        ShowInfo(L"TFA Deactivated");
        return;
    }
    ShowInfo(L"TFA Search in " + str::FromInt(settings.CheckNewFilesSec) + L" sec");
    SetLamp(model::ids::kCardButton, model::Lamp::Yellow, model::LampAt::Bottom);
    cards.Start();
    TFA_StartPolling(1);
}

// The card thread ends first: a running download is cancelled and its file
// removed. The address it found last goes into the write-back. False when it
// is stuck in a request and the process has to end without it.
bool App::StopCardAccess() {
    if (!run.TfaActive) return true;
    bool ended = cards.Stop();
    if (!ended) return false;  // the thread keeps the session until the process ends
    (void)card.Pictures.SaveRecord();
    settings.UrlLastConnect = card.UrlLastConnect;
    net.Close();
    return true;
}

void App::EventLoop() {
    run.QuitRequested = 0;
    while (run.QuitRequested == 0) {
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
            run.ClickModifiers = static_cast<uint16_t>(LOWORD(msg.wParam));
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void App::WriteBackSettings() {
    if (!settings.SaveChangesOnExit || !run.TfaActive) return;
    const model::Settings& s = settings;
    (void)WLX_SavePreference(L"TFA", L"UrlLastConnect", s.UrlLastConnect);
    (void)WLX_SavePreference(L"TFA", L"DoNotLoad", s.DoNotLoad);
    (void)WLX_SavePreference(L"TFA", L"Path", s.Path);
    (void)WLX_SavePreference(L"TFA", L"OccurenceName", s.OccurenceName);
    (void)WLX_SavePreference(L"TFA", L"TransferHiRes", s.TransferHiResToSave);
    (void)WLX_SavePreference(L"TFA", L"TransferLoRes", s.TransferLoResToSave);
    (void)WLX_SavePreference(L"Menu", L"PositionX", str::FromInt(s.PositionX));
    (void)WLX_SavePreference(L"Menu", L"PositionY", str::FromInt(s.PositionY));
}

void App::Shutdown() {
    bool cardEnded = StopCardAccess();
    WriteBackSettings();
    win::own_ShowHideTaskBar(SW_SHOW);
    bar.Destroy();
    // A card thread stuck in a request holds nothing that needs saving; the
    // process ends without unwinding under it.
    if (!cardEnded) ExitProcess(0);
    win::ShutdownDownloads();
    WSACleanup();
}

// A card tick runs on the card thread; it is skipped while the tree is
// shown (not rebuilt under the user's hands) and waits for a modal loop.
void App::CardTick() {
    if (bar.VisibleView() == ui::InfoView::Tree) return;
    if (bar.InModalLoop()) {
        tickWaiting_ = true;
        return;
    }
    tickWaiting_ = false;
    cards.Tick(TFA_CardTimerStep);
}

// A quick poll is skipped whenever a tick would wait: the next one comes soon.
void App::QuickTick() {
    if (bar.VisibleView() == ui::InfoView::Tree || bar.InModalLoop()) return;
    cards.Tick(QuickPollStep);
}

int App::Run(int argc, wchar_t** argv) {
    run.StartedAt = fs::Now();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    win::InitDownloads();

    if (!PrepareSettings(argc, argv)) {
        win::ShutdownDownloads();
        WSACleanup();
        return 0;
    }
    if (settings.HideTaskBar) win::own_ShowHideTaskBar(SW_HIDE);
    OpenMainWindow();
    if (!bar.Window()) {
        Shutdown();
        return 1;
    }
    if (settings.HideTaskBar) EnableWindow(bar.Control(model::ids::kMinimiseButton), FALSE);
    WriteStartJournal();
    ShowWindow(bar.Window(), SW_SHOWNOACTIVATE);
    UpdateWindow(bar.Window());
    StartCardAccess();
    ShowInfo(L"\r**********");
    ShowInfo(L"Programmversion: " + std::wstring(model::kProgramVersion));
    ShowInfo(L"\r**********");
    SetTimer(bar.Window(), model::ids::kHousekeepingTimer, 1000, nullptr);
    EventLoop();
    Shutdown();
    return 0;
}

// --- What the bar reports --------------------------------------------------

void App::OnMenu(int id) { WLX_TREE_POP(id); }

void App::OnTreeDoubleClick() { WLX_TREE_POP(model::ids::kMenuTransfer); }

void App::OnTimer(unsigned id) {
    if (id == model::ids::kCardTimer) {
        CardTick();
    } else if (id == model::ids::kQuickPollTimer) {
        QuickTick();
    } else if (id == model::ids::kBusyFaceTimer) {
        cards.OnBusyFaceTimer();
    } else if (id == model::ids::kCardMailTimer) {
        cards.OnDeliverTimer();
    } else if (id == model::ids::kHousekeepingTimer) {
        SetLamp(model::ids::kCopyButton, model::Lamp::Clear, model::LampAt::Top);
        SetLamp(model::ids::kCardButton, model::Lamp::Clear, model::LampAt::Top);
        SetWindowPos(bar.Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    }
}

void App::OnMoved() {
    RECT rc;
    if (!GetWindowRect(bar.Window(), &rc)) return;
    settings.PositionX = rc.left;
    settings.PositionY = rc.top;
}

void App::OnClose() { run.QuitRequested = 1; }

void App::OnCardMail() { cards.Deliver(); }

void App::OnModalLoopEnded() {
    if (tickWaiting_) CardTick();
}

void App::OnTreeWanted() { RequestTree(); }

void App::OnGridWanted() { TFA_CreateThumbs(); }

std::wstring App::TipFor(int button) {
    model::TipFacts f;
    f.view = bar.VisibleView();
    f.showText = settings.ShowInfoText;
    f.showTree = settings.ShowInfoTree;
    f.showThumbs = settings.ShowInfoThumbs;
    f.taskbarVisible = win::TaskBarVisible();
    f.cardAccess = run.TfaActive;
    if (f.view == ui::InfoView::Thumbnails)
        for (const model::Cell& c : bar.Grid().Cells()) f.picked += c.on ? 1 : 0;
    f.downloading = cards.Downloading();
    f.work = run.Work;
    return model::ButtonTip(button, f);
}

void App::ShowProgress(std::optional<model::WorkProgress> work) {
    run.Work = std::move(work);
    std::optional<double> share;
    if (run.Work && run.Work->elapsedMs >= model::kProgressAfterMs) share = model::ProgressFraction(*run.Work);
    bar.SetProgress(share);
}

}  // namespace app

// --- The bar's operations ---------------------------------------------------

int OpenMainWindow() {
    (void)app::TheApp().bar.Open();
    return 0;
}

uint8_t ShowInfo(const std::wstring& text) { return app::TheApp().bar.ShowInfo(text); }

int SetState(int image, const std::wstring& colour, const std::wstring& position) {
    return SetLamp(image, model::LampNamed(colour), model::LampAtNamed(position));
}

int SetLamp(int image, model::Lamp colour, model::LampAt at) { return app::TheApp().bar.SetLamp(image, colour, at); }

int GetInfoState() { return static_cast<int>(app::TheApp().bar.VisibleView()); }
