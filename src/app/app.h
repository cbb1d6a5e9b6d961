// The running program: one App that owns the settings, the facts start-up
// finds out, the bar and the cards (one app::Card with its session and
// thread for each [TFA] Url entry), builds the small objects that do the work
// (transfers, card views, viewer actions, tree actions, buttons) and hands
// each what it uses. It answers what the bar reports (ui::BarEvents), what
// the settings window reports (ui::SettingsEvents) and carries out what the
// card threads report (CardReports), on the interface thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/backup.h"
#include "app/buttons.h"
#include "app/card_events.h"
#include "app/card_link.h"
#include "app/card_thread.h"
#include "app/card_views.h"
#include "app/cards.h"
#include "app/inboxes.h"
#include "app/transfers.h"
#include "app/tree_actions.h"
#include "app/viewer_actions.h"
#include "model/bar/card_states.h"
#include "model/bar/work_progress.h"
#include "model/card/card_session.h"
#include "model/common/writer_thread.h"
#include "model/settings/settings.h"
#include "ui/bar.h"
#include "ui/events.h"
#include "ui/settings_window.h"
#include "win/card_net.h"
#include "win/handle.h"

namespace app {

// What start-up finds out; fixed for the run but the viewer, which the
// settings window may change.
struct StartFacts {
    std::wstring settingsFolder;  // appdata folder + "\Wemlox\"
    std::wstring settingsFile;    // settingsFolder + "Wemlox.ini"
    std::wstring graphicsPath;    // always ends in "\"
    std::wstring viewerPath;      // empty when no viewer was found
    std::wstring foundViewerId;   // id of the auto-search hit, else empty
    bool cardAccess = false;      // [TFA] Active, and the network could be opened
    int64_t startedAt = 0;        // file-system time of the start
    int64_t identitiesSince = 0;  // stored files older than this carry the download's time
    std::vector<std::wstring> journalLater;  // what the start found before the bar could say it
    std::vector<std::wstring> foldersLater;  // the same of [Copy] folders whose drive is not there yet
};

class App final : public ui::BarEvents, public ui::SettingsEvents, public CardReports {
public:
    App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // Start-up to shutdown; the process exit code.
    int Run(int argc, wchar_t** argv);

    // ui::BarEvents
    void OnButton(int button) override;
    void OnMenu(int id) override;
    void OnTreeDoubleClick() override;
    void OnTile(const model::TileRef& tile) override;
    void OnTimer(unsigned id) override;
    void OnMoved(int x, int y) override;
    void OnClose() override;
    void OnCardMail() override;
    void OnModalLoopEnded() override;
    void OnTreeWanted() override;
    void OnGridWanted() override;
    std::wstring TipFor(int button) override;
    void OnBarMenu(model::BarMenuItem item) override;
    bool StartsWithWindows() override;

    // ui::SettingsEvents
    std::optional<std::wstring> OnSettingsOk(const std::vector<model::SettingChange>& changes) override;
    void OnModalLoop(bool entered) override;

    // CardEvents, carried out on the interface thread: of the backup and
    // the inboxes, and of every card through its CardChannel.
    void Journal(std::wstring text) override;
    void Lamp(int button, model::Lamp colour, model::LampAt at) override;
    void CardFound(std::wstring host, std::wstring ssid) override { CardFoundAt(0, std::move(host), std::move(ssid)); }
    void CameraFolderFollowed(std::wstring path) override { CameraFolderFollowedBy(0, std::move(path)); }
    void CardNamed(std::optional<std::wstring> ssid) override;
    void PictureStored(std::wstring path) override;
    void SingleTransferEnded(CardFile file, SingleTransfer how, bool arrived) override {
        CardSingleTransferEnded(0, std::move(file), how, arrived);
    }
    void WalkStarted(std::wstring rootCaption) override { CardWalkStarted(0, std::move(rootCaption)); }
    void WalkEnded(std::shared_ptr<ui::Walk> walk) override { CardWalkEnded(0, std::move(walk)); }
    void ThumbnailFetched(std::shared_ptr<FetchedThumbnail> thumbnail) override {
        CardThumbnailFetched(0, std::move(thumbnail));
    }
    void Progress(std::optional<model::WorkProgress> work) override { CardProgress(0, std::move(work)); }
    void BusyFace(bool on, int pauseMs) override;
    void ButtonTransferBegun() override;
    // CardReports: what depends on which card reported it.
    void CardJournal(size_t entry, std::wstring text) override;
    void CardLamp(size_t entry, int button, model::Lamp colour, model::LampAt at) override;
    void CardFoundAt(size_t entry, std::wstring host, std::wstring ssid) override;
    void CameraFolderFollowedBy(size_t entry, std::wstring path) override;
    void CardSingleTransferEnded(size_t entry, CardFile file, SingleTransfer how, bool arrived) override;
    void CardWalkStarted(size_t entry, std::wstring rootCaption) override;
    void CardWalkEnded(size_t entry, std::shared_ptr<ui::Walk> walk) override;
    void CardThumbnailFetched(size_t entry, std::shared_ptr<FetchedThumbnail> thumbnail) override;
    void CardProgress(size_t entry, std::optional<model::WorkProgress> work) override;

private:
    bool PrepareSettings(int argc, wchar_t** argv);
    bool StartRefused(const model::SettingsProblem& problem) const;
    void OpenSettingsWindow();
    void HandOverCommandLineFile(int argc, wchar_t** argv);
    bool GiveWayToRunningInstance();
    void WriteStartJournal();
    void StartCardAccess();
    bool StopCardAccess();
    void EventLoop();
    void WriteBackSettings();
    void Shutdown();
    void CardTick();
    void QuickTick();

    // The interface thread writes everything here but the card session,
    // which the card thread writes while it runs (card_.Writer says so and
    // checks it); `ui_` checks that the events are carried out where they
    // belong.
    model::WriterThread ui_;
    model::Settings settings_;
    StartFacts facts_;
    bool quit_ = false;
    uint16_t clickModifiers_ = 0;  // MK_* flags of the last left press in the bar
    bool tickWaiting_ = false;     // a card tick came during a modal loop
    std::optional<model::WorkProgress> work_;  // long card work running now
    win::KernelHandle instanceMutex_;

    ui::Bar bar_;
    ui::SettingsWindow settingsWindow_{*this};
    app::BusyFace face_;
    // The backup's and the inboxes' road to the bar.
    model::UiMailbox mail_{[this] { bar_.PostCardMail(); }};
    PostedCardEvents plain_{mail_, *this};
    Backup backup_;
    // One card for each [TFA] Url entry, each a root of the tree and tiles
    // of the grid; the first is there from the start, the others come with
    // card access.
    CardHosts hosts_;
    CardList cards_;
    Card& card_;  // the first
    std::vector<model::CardState> cardStates_;  // interface thread: what the bar shows of each card
    Inboxes inboxes_;
    ViewerActions viewer_;
    TreeActions tree_;
    Buttons buttons_;
};

}  // namespace app
