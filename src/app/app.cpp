// Start-up in its fixed order, the event loop, shutdown with the settings
// write-back, and what the bar and the card thread report.
#include "app/app.h"

#include <shellapi.h>
#include <winsock2.h>

#include "base/fs.h"
#include "base/str.h"
#include "model/common/ids.h"
#include "model/common/info_logic.h"
#include "model/common/journal.h"
#include "model/settings/catalogue.h"
#include "model/settings/folders.h"
#include "model/settings/settings_form.h"
#include "win/desktop.h"
#include "win/download.h"
#include "win/user_shell.h"
#include "win/window_search.h"

namespace app {

namespace {

CardList FirstCard(ui::Bar& bar, const model::Settings& settings, CardReports& app, BusyFace& face, Backup& backup,
                   CardHosts& hosts) {
    CardList cards;
    cards.push_back(std::make_unique<Card>(0, bar, settings, app, face, backup, hosts));
    return cards;
}

}  // namespace

App::App()
    : bar_(settings_, *this),
      face_(bar_),
      backup_(plain_),
      cards_(FirstCard(bar_, settings_, *this, face_, backup_, hosts_)),
      card_(*cards_.front()),
      inboxes_(plain_, backup_),
      viewer_(bar_, settings_, facts_.viewerPath),
      tree_(bar_, settings_, cards_, viewer_, facts_.identitiesSince),
      buttons_(bar_, settings_, cards_, tree_, viewer_, [this] { quit_ = true; }) {}

// The picture given on the command line goes to the viewer before the
// single-instance test, so a second start still shows it.
void App::HandOverCommandLineFile(int argc, wchar_t** argv) {
    if (argc < 2 || !fs::IsNonEmptyFile(argv[1])) return;
    auto setting = [this](model::KeyId key) {
        return str::Trim(model::ReadPreference(facts_.settingsFile, key).value_or(L""));
    };
    if (model::DerivesToTransferOnly(setting(model::KeyId::Mode))) return;
    const std::wstring file = argv[1];
    // "userdefined": the viewer when there is one, else the association.
    const model::ShowFilePlan plan = model::PlanShowFile(file, L"userdefined", facts_.viewerPath,
                                                         model::WithLeadingDot(setting(model::KeyId::HiResExtension)),
                                                         model::WithLeadingDot(setting(model::KeyId::LoResExtension)));
    facts_.journalLater.push_back(plan.journal);
    if (!OpenAsPlanned(plan, file, facts_.viewerPath)) facts_.journalLater.push_back(plan.notOpened);
}

// True when another instance already runs: its bar comes to the front, on
// a monitor that is there.
bool App::GiveWayToRunningInstance() {
    HWND other = win::FindTopLevelWindow(model::kProgramName, false);
    instanceMutex_.reset(CreateMutexW(nullptr, TRUE, L"Wemlox.exe"));
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (other) win::BringBarForward(other);
    return true;
}

// A start that cannot go on says why in one message box (there is no bar
// yet to journal it) and ends.
bool App::StartRefused(const model::SettingsProblem& problem) const {
    win::ShowStartupProblem(model::ProblemMessage(problem, facts_.settingsFile));
    return false;
}

bool App::PrepareSettings(int argc, wchar_t** argv) {
    facts_.settingsFolder = model::own_GetEnv(L"appdata") + L"\\Wemlox\\";
    facts_.settingsFile = facts_.settingsFolder + L"Wemlox.ini";
    if (auto problem = model::PrepareSettingsFile(facts_.settingsFolder, facts_.settingsFile))
        return StartRefused(*problem);

    // Every group is there now: a missing key reads as its fallback.
    auto setting = [this](model::KeyId key) {
        return str::Trim(model::ReadPreference(facts_.settingsFile, key).value_or(L""));
    };
    facts_.graphicsPath = model::ResolveGraphicsPath(setting(model::KeyId::GraphicsLocation),
                                                     model::own_GetProgramFolder());
    model::ViewerFacts viewer = model::ViewerFromLocation(setting(model::KeyId::ViewerLocation));
    facts_.viewerPath = viewer.path;
    facts_.foundViewerId = viewer.foundId;

    HandOverCommandLineFile(argc, argv);
    if (GiveWayToRunningInstance()) return false;

    facts_.cardAccess = str::EqualsI(setting(model::KeyId::CardActive), L"yes");
    if (auto problem = model::LoadSettingsFile(facts_.settingsFile, facts_.graphicsPath, facts_.foundViewerId,
                                               facts_.viewerPath, settings_))
        return StartRefused(*problem);
    if (auto problem = model::MakeWorkingTree(settings_, facts_.cardAccess, facts_.foldersLater))
        return StartRefused(*problem);
    return true;
}

void App::WriteStartJournal() {
    bar_.ShowInfo(L"Graphics: " + facts_.graphicsPath);
    bar_.ShowInfo(L"Viewer: " + facts_.viewerPath + L" (" + settings_.Mode + L")");
    bar_.ShowInfo(L"Settings: " + facts_.settingsFile + L"\r");
    if (bar_.Geometry().unknownMode)
        bar_.ShowInfo(L"Position: '" + settings_.Position + L"' is no known position, the bar is placed Right");
    for (const std::wstring& line : facts_.journalLater) bar_.ShowInfo(line);
    if (std::optional<std::wstring> note = model::TakeWriteBackNote(facts_.settingsFolder)) bar_.ShowInfo(*note);
    // A folder that waits for its drive: the info button's lamp points to
    // the journal until it is clicked.
    for (const std::wstring& line : facts_.foldersLater) bar_.ShowInfo(line);
    if (!facts_.foldersLater.empty()) bar_.SetLamp(model::ids::kInfoButton, model::Lamp::Red, model::LampAt::Bottom);
    bar_.SetLamp(model::ids::kMinimiseButton, model::Lamp::Yellow, model::LampAt::Bottom);
}

// One card for each [TFA] Url entry (an empty Url is one card that is
// never found, as it always was).
void App::StartCardAccess() {
    if (!facts_.cardAccess) return;
    const std::vector<std::wstring> entries = model::CardEntries(settings_.Url);
    for (size_t i = 1; i < entries.size(); i++)
        cards_.push_back(std::make_unique<Card>(i, bar_, settings_, *this, face_, backup_, hosts_));
    const std::wstring agent = std::wstring(model::kProgramName) + L"/" + model::kProgramVersion;
    bool opened = true;
    for (const auto& card : cards_) opened = opened && card->net.Open(agent);
    if (!opened) {
        for (const auto& card : cards_) card->net.Close();
        cards_.resize(1);
        facts_.cardAccess = false;
        bar_.SetLamp(model::ids::kCardButton, model::Lamp::Red, model::LampAt::Top);
        bar_.ShowInfo(L"TFA Deactivated");
        return;
    }
    // Every card begins before any thread starts: each clears what a cut
    // run left of its own download while nothing is fetched.
    for (const auto& card : cards_) {
        card->session.Begin(model::CardSettings(settings_, card->entry), facts_.settingsFile,
                            facts_.settingsFolder + L"Cards", facts_.startedAt, card->entry);
        model::CardState state;
        state.entry = entries.empty() ? L"" : entries[card->entry];
        cardStates_.push_back(std::move(state));
    }
    // The bar has the first card's root; each other card's follows it.
    for (size_t i = 1; i < cardStates_.size(); i++) bar_.Tree().AddStartRoot(model::CardName(cardStates_[i]));
    facts_.identitiesSince = card_.session.Ledger().IdentitiesSince();
    bar_.ShowInfo(L"TFA Search in " + str::FromInt(settings_.CheckNewFilesSec) + L" sec");
    bar_.SetLamp(model::ids::kCardButton, model::Lamp::Yellow, model::LampAt::Bottom);
    for (const auto& card : cards_) card->thread.Start();
    bar_.StartTimer(model::ids::kCardTimer, static_cast<unsigned>(settings_.CheckNewFilesSec) * 1000u);
    if (settings_.QuickPollMs > 0)
        bar_.StartTimer(model::ids::kQuickPollTimer, static_cast<unsigned>(settings_.QuickPollMs));
}

// The card thread ends first: a running download is cancelled and its file
// removed. The address it found last goes into the write-back. False when it
// is stuck in a request and the process has to end without it.
bool App::StopCardAccess() {
    if (!facts_.cardAccess) return true;
    // Each thread is asked to end before any is waited for.
    for (const auto& card : cards_) card->thread.CancelDownload();
    bool ended = true;
    for (const auto& card : cards_) {
        if (!card->thread.Stop()) {
            ended = false;  // the thread keeps the session until the process ends
            continue;
        }
        (void)card->session.Ledger().SaveRecord();
        settings_.UrlLastConnect =
            model::WithLastConnect(settings_.UrlLastConnect, card->entry, card->session.UrlLastConnect());
        card->net.Close();
    }
    return ended;
}

void App::EventLoop() {
    while (!quit_) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // Nothing runs on this thread until a message comes (card work
            // reports by message), so an idle bar does not wake; new input
            // ends the wait at once.
            MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (msg.message == WM_QUIT) break;
        if (settingsWindow_.PreTranslate(msg)) continue;
        // The raw press reaches the loop before the control reports its click.
        if (msg.message == WM_LBUTTONDOWN && bar_.Owns(msg.hwnd)) {
            clickModifiers_ = static_cast<uint16_t>(LOWORD(msg.wParam));
            backup_.GiveWay();
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void App::WriteBackSettings() {
    if (!settings_.SaveChangesOnExit || !facts_.cardAccess) return;
    const model::SaveResult result = model::SavePreferences(facts_.settingsFile, model::WriteBackChanges(settings_));
    if (result == model::SaveResult::Saved) return;
    const std::wstring line =
        L"Settings not written back: " + model::SaveProblemText(result, facts_.settingsFile, fs::LastErrorText());
    bar_.ShowInfo(line);
    (void)model::LeaveWriteBackNote(facts_.settingsFolder, line);
}

void App::Shutdown() {
    settingsWindow_.Close();
    bool cardEnded = StopCardAccess();
    inboxes_.Stop();  // before the backup, which takes what they store
    backup_.Stop();
    WriteBackSettings();
    win::own_ShowHideTaskBar(true);
    bar_.Destroy();
    // A card thread stuck in a request holds nothing that needs saving; the
    // process ends without unwinding under it.
    if (!cardEnded) ExitProcess(0);
    win::ShutdownDownloads();
    WSACleanup();
}

// A card tick runs on the card thread; it is skipped while the tree is
// shown (not rebuilt under the user's hands) and waits for a modal loop.
void App::CardTick() {
    if (bar_.VisibleView() == ui::InfoView::Tree) return;
    if (bar_.InModalLoop()) {
        tickWaiting_ = true;
        return;
    }
    tickWaiting_ = false;
    // Each card on its own thread: one that is still busy skips this tick
    // alone.
    for (const auto& card : cards_) card->thread.Tick([&card = *card] { card.transfers.TimerStep(); });
}

// A quick poll is skipped whenever a tick would wait: the next one comes soon.
void App::QuickTick() {
    if (bar_.VisibleView() == ui::InfoView::Tree || bar_.InModalLoop()) return;
    for (const auto& card : cards_) card->thread.Tick([&card = *card] { card.transfers.QuickPollStep(); });
}

int App::Run(int argc, wchar_t** argv) {
    ui_.Bind();
    facts_.startedAt = fs::Now();
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
    if (settings_.HideTaskBar) win::own_ShowHideTaskBar(false);
    if (!bar_.Open()) {
        Shutdown();
        return 1;
    }
    if (settings_.HideTaskBar) bar_.EnableButton(model::ids::kMinimiseButton, false);
    WriteStartJournal();
    bar_.Show();
    // Before the card thread, which hands it what it stores.
    backup_.Start(settings_, facts_.settingsFolder + L"Backup.txt");
    StartCardAccess();
    inboxes_.Start(settings_, facts_.settingsFolder + L"Cards", facts_.startedAt);
    bar_.ShowInfo(L"\r**********");
    bar_.ShowInfo(L"Programmversion: " + std::wstring(model::kProgramVersion));
    bar_.ShowInfo(L"\r**********");
    bar_.StartTimer(model::ids::kHousekeepingTimer, 1000);
    EventLoop();
    Shutdown();
    return 0;
}

// --- What the bar reports --------------------------------------------------

void App::OnButton(int button) {
    backup_.GiveWay();
    buttons_.OnClick(button);
}

void App::OnMenu(int id) { tree_.OnMenu(id); }

void App::OnTreeDoubleClick() { tree_.OnMenu(model::ids::kMenuTransfer); }

void App::OnTile(const model::TileRef& tile) { tree_.OnTile(tile, clickModifiers_); }

void App::OnTimer(unsigned id) {
    if (id == model::ids::kCardTimer) {
        CardTick();
    } else if (id == model::ids::kQuickPollTimer) {
        QuickTick();
    } else if (id == model::ids::kBusyFaceTimer) {
        face_.OnTimer();
    } else if (id == model::ids::kCardMailTimer) {
        bar_.StopTimer(model::ids::kCardMailTimer);
        OnCardMail();
    } else if (id == model::ids::kHousekeepingTimer) {
        bar_.SetLamp(model::ids::kCopyButton, model::Lamp::Clear, model::LampAt::Top);
        bar_.SetLamp(model::ids::kCardButton, model::Lamp::Clear, model::LampAt::Top);
        bar_.StayOnTop();
    }
}

void App::OnMoved(int x, int y) {
    settings_.PositionX = x;
    settings_.PositionY = y;
}

void App::OnClose() { quit_ = true; }

void App::OnCardMail() {
    DeliverMail(mail_, bar_);
    for (const auto& card : cards_) card->thread.Deliver();
}

void App::OnModalLoopEnded() {
    if (tickWaiting_) CardTick();
}

// The tree view opened with a card's root still empty: the cards that have
// shown nothing yet are walked (a walked card waits for button 7 or Refresh).
void App::OnTreeWanted() {
    for (const auto& card : cards_)
        if (bar_.Tree().WantsWalk(card->entry)) card->views.RequestTree();
}

void App::OnGridWanted() { BuildGrid(bar_, cards_); }

std::wstring App::TipFor(int button) {
    model::TipFacts f;
    f.view = bar_.VisibleView();
    f.showText = settings_.ShowInfoText;
    f.showTree = settings_.ShowInfoTree;
    f.showThumbs = settings_.ShowInfoThumbs;
    f.taskbarVisible = win::TaskBarVisible();
    f.cardAccess = facts_.cardAccess;
    if (f.view == ui::InfoView::Thumbnails)
        for (const model::Cell& c : bar_.Grid().Cells()) f.picked += c.on ? 1 : 0;
    f.downloading = AnyDownloading(cards_);
    f.work = work_;
    std::wstring tip = model::ButtonTip(button, f);
    if (button == model::ids::kCardButton && facts_.cardAccess) tip += model::CardsTip(cardStates_);
    return tip;
}

void App::OnBarMenu(model::BarMenuItem item) {
    switch (item) {
    case model::BarMenuItem::Settings: OpenSettingsWindow(); break;
    case model::BarMenuItem::OpenPictureFolder:
        if (!win::OpenFolder(settings_.SourcePath)) bar_.ShowInfo(L"Cannot open the picture folder: " + settings_.SourcePath);
        break;
    case model::BarMenuItem::StartWithWindows: {
        const std::wstring exe = fs::ProgramFile();
        const bool on = !win::StartsWithWindows(exe);
        if (!win::SetStartWithWindows(on, exe))
            bar_.ShowInfo(on ? L"Windows did not take the entry that starts Wemlox with it"
                             : L"Windows did not remove the entry that starts Wemlox with it");
        break;
    }
    case model::BarMenuItem::About: bar_.ShowAbout(facts_.settingsFile, settings_.SourcePath); break;
    case model::BarMenuItem::End: buttons_.OnClick(model::ids::kEndButton); break;
    }
}

bool App::StartsWithWindows() { return win::StartsWithWindows(fs::ProgramFile()); }

// --- What the settings window reports ----------------------------------------

// The window starts from the file as it is now, with what the program
// holds and writes back at exit (the bar's place, the camera folder).
void App::OpenSettingsWindow() {
    std::optional<std::string> bytes = fs::ReadFile(facts_.settingsFile);
    if (!bytes) {
        bar_.ShowInfo(model::SaveProblemText(model::SaveResult::CannotRead, facts_.settingsFile, L""));
        return;
    }
    model::IniDocument file(*bytes);
    if (!settingsWindow_.Open(bar_.Window(), model::BuildSettingsForm(file, model::HeldValues(settings_)), bar_.Dpi()))
        bar_.ShowInfo(L"The settings window could not be opened");
}

std::optional<std::wstring> App::OnSettingsOk(const std::vector<model::SettingChange>& changes) {
    const model::SaveResult result = model::SavePreferences(facts_.settingsFile, changes);
    if (result != model::SaveResult::Saved)
        return model::SaveProblemText(result, facts_.settingsFile, fs::LastErrorText());
    model::IniDocument saved(fs::ReadFile(facts_.settingsFile).value_or(""));
    model::ViewerFacts viewer{facts_.viewerPath, facts_.foundViewerId};
    model::ChangeEffects effects =
        model::ApplySavedChanges(saved, changes, facts_.graphicsPath, viewer, settings_);
    facts_.viewerPath = viewer.path;
    facts_.foundViewerId = viewer.foundId;
    if (effects.barLayout) bar_.ApplyLayout();
    bar_.ShowInfo(L"Settings saved: " + facts_.settingsFile);
    // The cards found in the list go on being served; a card added to or
    // removed from it is started or ended with the program.
    if (facts_.cardAccess && model::CardEntries(settings_.Url).size() != cards_.size())
        effects.nextStart.push_back(L"the list of card addresses");
    if (!effects.nextStart.empty()) bar_.ShowInfo(model::NextStartNote(effects.nextStart));
    return std::nullopt;
}

void App::OnModalLoop(bool entered) {
    if (entered)
        bar_.EnterModalLoop();
    else
        bar_.LeaveModalLoop();
}

// --- What the card thread reports, carried out here ------------------------

void App::Journal(std::wstring text) {
    ui_.CheckWrite();
    bar_.ShowInfo(text);
}

void App::Lamp(int button, model::Lamp colour, model::LampAt at) {
    ui_.CheckWrite();
    // Button 6's lower lamp speaks for every card and inbox: one answering
    // does not make another that is away come back.
    if (button == model::ids::kCardButton && at == model::LampAt::Bottom)
        colour = model::JoinedLamp(cardStates_, inboxes_.AnyInTrouble(), colour);
    bar_.SetLamp(button, colour, at);
}

void App::CardJournal(size_t entry, std::wstring text) {
    ui_.CheckWrite();
    if (!model::CardSays(cardStates_, entry, text)) return;
    bar_.ShowInfo(model::CardLine(cardStates_, entry, text));
    // A card's success paints the upper lamp green only while every card answers.
    if (cardStates_.size() > 1 && model::JournalLamp(text) == model::Lamp::Green)
        bar_.SetLamp(model::ids::kCardButton, model::JoinedLamp(cardStates_, inboxes_.AnyInTrouble(), model::Lamp::Green),
                     model::LampAt::Top);
}

void App::CardLamp(size_t entry, int button, model::Lamp colour, model::LampAt at) {
    ui_.CheckWrite();
    if (button == model::ids::kCardButton && at == model::LampAt::Bottom && entry < cardStates_.size() &&
        (colour == model::Lamp::Green || colour == model::Lamp::Red))
        cardStates_[entry].answer = colour;
    Lamp(button, colour, at);
}

void App::CardFoundAt(size_t entry, std::wstring host, std::wstring ssid) {
    ui_.CheckWrite();
    if (entry < cardStates_.size()) {
        cardStates_[entry].host = host;
        cardStates_[entry].ssid = std::move(ssid);
        cardStates_[entry].answer = model::Lamp::Green;
    }
    settings_.UrlLastConnect = model::WithLastConnect(settings_.UrlLastConnect, entry, host);
}

// [TFA] Path is the first card's camera folder; another card follows its
// camera into the next folder on its own for the rest of the run, and its
// tiles go with it.
void App::CameraFolderFollowedBy(size_t entry, std::wstring path) {
    ui_.CheckWrite();
    if (entry == 0)
        settings_.Path = std::move(path);
    else
        bar_.Tree().Shown(entry).CameraPath = std::move(path);
}

void App::CardNamed(std::optional<std::wstring> ssid) {
    ui_.CheckWrite();
    if (ssid) settings_.OccurenceName = *ssid;
    bar_.ShowInfo(L"Set: TFA occurence Name: " + settings_.OccurenceName);
}

void App::PictureStored(std::wstring path) {
    ui_.CheckWrite();
    backup_.GiveWay();  // the viewer reads the picture first
    viewer_.ShowFile(path);
}

void App::CardSingleTransferEnded(size_t entry, CardFile file, SingleTransfer how, bool arrived) {
    ui_.CheckWrite();
    tree_.SingleTransferEnded(entry, file, how, arrived);
}

void App::CardWalkStarted(size_t entry, std::wstring rootCaption) {
    ui_.CheckWrite();
    bar_.Tree().Start(entry, rootCaption);
}

// A card's new lists rebuild the whole grid: its tiles stand among the others'.
void App::CardWalkEnded(size_t entry, std::shared_ptr<ui::Walk> walk) {
    ui_.CheckWrite();
    if (entry >= cards_.size() || !cards_[entry]->views.WalkEnded(walk)) return;
    bar_.Grid().Clear();
    if (bar_.VisibleView() == ui::InfoView::Thumbnails) bar_.Grid().SizeArea(BuildGrid(bar_, cards_));
}

void App::CardThumbnailFetched(size_t entry, std::shared_ptr<FetchedThumbnail> t) {
    ui_.CheckWrite();
    bar_.Grid().PictureArrived(entry, t->generation, t->index, t->key, std::move(t->picture));
}

// Each card's long work is its own; the bar and the tip show the first
// card's that runs, so one card's end does not hide another's.
void App::CardProgress(size_t entry, std::optional<model::WorkProgress> work) {
    ui_.CheckWrite();
    if (entry >= cardStates_.size()) cardStates_.resize(entry + 1);
    cardStates_[entry].work = std::move(work);
    work_.reset();
    for (const model::CardState& card : cardStates_)
        if (!work_ && card.work) work_ = card.work;
    std::optional<double> share;
    if (work_ && work_->elapsedMs >= model::kProgressAfterMs) share = model::ProgressFraction(*work_);
    bar_.SetProgress(share);
}

void App::BusyFace(bool on, int pauseMs) {
    ui_.CheckWrite();
    if (on)
        face_.Hold();
    else
        face_.Release(pauseMs);
}

void App::ButtonTransferBegun() {
    ui_.CheckWrite();
    buttons_.ButtonTransferBegun();
}

}  // namespace app
