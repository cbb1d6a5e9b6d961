// The running program: one App that owns the settings, the facts start-up
// finds out, the bar, the card session and the card thread, and answers
// everything the bar and the card session report. The operations of the
// program (ShowInfo, TFA_Transfer, WLX_btn_05, ...) reach it through TheApp().
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "app/card_thread.h"
#include "model/card_session.h"
#include "model/settings.h"
#include "model/work_progress.h"
#include "ui/bar.h"
#include "ui/events.h"
#include "win/card_net.h"
#include "win/handle.h"
#include "win/window_search.h"

namespace app {

// Facts start-up finds out, and what the session of the interface holds.
struct RunState {
    std::wstring SettingsFolder;  // appdata folder + "\Wemlox\"
    std::wstring SettingsFile;    // SettingsFolder + "Wemlox.ini"
    std::wstring GraphicsPath;    // always ends in "\"
    std::wstring ViewerPath;      // empty when no viewer was found
    std::wstring FoundViewerId;   // id of the auto-search hit, else empty
    bool TfaActive = false;
    int32_t QuitRequested = 0;
    uint16_t ClickModifiers = 0;  // MK_* flags of the last left press in the bar
    int32_t CurrentThumb = 0, PreviousThumb = 0;
    size_t BuiltInDataPosition = 0;  // where own_ReadData goes on
    bool ButtonBusy = false;         // an action runs; further clicks are dropped
    bool ManualTransferWaiting = false;  // button 6's transfer is queued behind other card work
    bool TreeRequested = false;      // a card walk for the tree is queued or running
    std::optional<model::WorkProgress> Work;  // long card work running now (download, walk, thumbnails)
    int64_t StartedAt = 0;         // file-system time of the start
    int64_t IdentitiesSince = 0;   // stored files older than this carry the download's time
    uint32_t RefusedLamps = 0;       // bit n: button n's lower lamp shows a click the viewer did not get
    DWORD RightsReportedFor = 0;     // the viewer process whose higher rights the journal named
};

// Which thread owns what: the interface thread owns everything but `card`,
// which belongs to the card thread while it runs (the interface reads it
// only after the card thread has ended); `net` is used by the card thread.
class App final : public ui::BarEvents, public model::CardPort {
public:
    App();

    model::Settings settings;
    RunState run;
    win::WindowSearchState search;  // the viewer search's state
    ui::Bar bar;
    model::Session card;
    win::CardNet net;
    CardThread cards;

    // Start-up to shutdown; the process exit code.
    int Run(int argc, wchar_t** argv);

    // ui::BarEvents
    void OnButton(int button) override;
    void OnMenu(int id) override;
    void OnTreeDoubleClick() override;
    void OnTile(const model::TileRef& tile) override;
    void OnTimer(unsigned id) override;
    void OnMoved() override;
    void OnClose() override;
    void OnCardMail() override;
    void OnModalLoopEnded() override;
    void OnTreeWanted() override;
    void OnGridWanted() override;
    std::wstring TipFor(int button) override;

    // Long card work's progress (none when it ended): button 6's bar and tooltip.
    void ShowProgress(std::optional<model::WorkProgress> work);

    // model::CardPort, on the card thread: the network through `net`, the
    // rest handed to the interface thread.
    model::CardAnswer Get(const std::wstring& url, size_t capacity) override;
    bool Ping(const std::wstring& host, int timeoutMs) override;
    void Journal(const std::wstring& text) override;
    void Lamp(int image, model::Lamp colour, model::LampAt at) override;
    bool JournalVisible() override;
    void CardFound(const std::wstring& host) override;
    void CameraFolderFollowed(const std::wstring& path) override;
    void WalkListed(size_t listed, size_t known) override;
    cardthread::ProgressReport* walkProgress = nullptr;  // card thread: the walk running now

private:
    bool PrepareSettings(int argc, wchar_t** argv);
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
    bool IsBarWindow(HWND h) const;

    bool tickWaiting_ = false;  // a card tick came during a modal loop
    win::KernelHandle instanceMutex_;
};

App& TheApp();

}  // namespace app
