// The card thread: its worker, the mailbox to the bar and button 6's busy face.
#include "app/card_thread.h"

#include <windows.h>

#include <chrono>

#include "app/state.h"
#include "model/card_session.h"
#include "ui/bar.h"
#include "model/ids.h"
#include "ui/info_panel.h"

namespace cardthread {

namespace {

// Long enough for a cancelled download to remove its file and for a copy
// into the store to finish; a request stuck in the network is not waited for.
constexpr auto kStopWait = std::chrono::milliseconds(1500);

// The longest the interface spends on the card thread's actions at a time.
constexpr ULONGLONG kDeliverSliceMs = 25;

card::CardWorker g_worker;
bool g_started = false;  // no card work without card access
card::UiMailbox g_mailbox([] { PostMessageW(bar::Window(), ids::kCardMail, 0, 0); });

int g_busyHolds = 0;         // interface thread only
int g_delayedReleases = 0;  // releases waiting for the face's pause

void ShowBusyFace() {
    bar::ShowButtonImage(6, g_busyHolds > 0 ? ids::kBusyImageOffset + 6 : 6);
}

// Everything the card thread needs of the interface's state, copied when the
// work is handed over.
std::function<void()> WithSettings(std::function<void()> job) {
    return [settings = g_settings, journal = GetInfoState() == 1, job = std::move(job)] {
        card::AdoptSettings(settings);
        g_card.JournalShown = journal;
        job();
    };
}

}  // namespace

void Start() {
    g_worker.Start();
    g_started = true;
}

bool Stop() {
    g_worker.Downloads().CancelRunning();
    bool ended = g_worker.Stop(kStopWait);
    g_mailbox.Discard();
    return ended;
}

bool Run(std::function<void()> job) { return g_started && g_worker.Post(WithSettings(std::move(job))); }
bool Tick(std::function<void()> job) { return g_started && g_worker.PostTick(WithSettings(std::move(job))); }
bool CancelDownload() { return g_worker.Downloads().CancelRunning(); }
bool Downloading() { return g_worker.Downloads().Running(); }

void OnUi(std::function<void()> action) { g_mailbox.Post(std::move(action)); }
void Deliver() {
    // A slice at a time, and none while input waits: input comes after posted
    // messages, so the rest is picked up by a timer, which comes after it.
    const ULONGLONG end = GetTickCount64() + kDeliverSliceMs;
    bool more = g_mailbox.Drain([end] { return HIWORD(GetQueueStatus(QS_INPUT)) != 0 || GetTickCount64() >= end; });
    if (more) SetTimer(bar::Window(), ids::kCardMailTimer, 1, nullptr);
}

void OnDeliverTimer() {
    KillTimer(bar::Window(), ids::kCardMailTimer);
    Deliver();
}

card::CardWorker& Worker() { return g_worker; }

void HoldBusyFace() {
    if (g_busyHolds++ == 0) ShowBusyFace();
}

void ReleaseBusyFace(int afterMs) {
    if (afterMs > 0 && bar::Window()) {
        g_delayedReleases++;
        SetTimer(bar::Window(), ids::kBusyFaceTimer, static_cast<UINT>(afterMs), nullptr);
        return;
    }
    if (g_busyHolds > 0 && --g_busyHolds == 0) ShowBusyFace();
}

void OnBusyFaceTimer() {
    KillTimer(bar::Window(), ids::kBusyFaceTimer);
    for (; g_delayedReleases > 0; g_delayedReleases--) ReleaseBusyFace();
}

}  // namespace cardthread
