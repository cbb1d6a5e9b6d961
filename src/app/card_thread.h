// The card thread of the running program. Every card request, probe, walk,
// thumbnail fetch and download runs on it; what the bar must show or do comes
// back as actions run on the user-interface thread. The interface hands work
// over with the settings as they are at that moment; the card thread owns
// the card session and never reads the interface's settings.
#pragma once

#include <functional>

#include "model/card_worker.h"
#include "model/work_progress.h"

namespace app {

class CardThread {
public:
    CardThread();

    // Starts the thread; the bar window must exist (it receives the actions).
    void Start();
    // Ends the card work: a running download is cancelled (its partial file
    // removed) and the thread is given a moment to finish. True when it
    // ended; false when it is stuck in a request, and the process must end
    // without it.
    [[nodiscard]] bool Stop();

    // Interface thread: card work, carried out after what runs and waits;
    // false when there is no card access.
    bool Run(std::function<void()> job);
    // Interface thread: a card timer tick; false when skipped because the
    // last card work has not ended yet.
    bool Tick(std::function<void()> job);
    // Interface thread: cancels the running download; false when none runs.
    bool CancelDownload() { return worker_.Downloads().CancelRunning(); }
    bool Downloading() { return worker_.Downloads().Running(); }

    // Card thread: an action for the interface thread.
    void OnUi(std::function<void()> action) { mailbox_.Post(std::move(action)); }
    // Interface thread: carries out what the card thread handed over, in
    // slices that leave room for the user's input.
    void Deliver();
    void OnDeliverTimer();

    model::CardWorker& Worker() { return worker_; }

    // Interface thread: button 6 shows its busy face while card work that
    // asked for it runs. Hold and release come in pairs; a release may be
    // delayed by the face's after-action pause.
    void HoldBusyFace();
    void ReleaseBusyFace(int afterMs = 0);
    void OnBusyFaceTimer();

private:
    std::function<void()> WithSettings(std::function<void()> job);

    model::CardWorker worker_;
    model::UiMailbox mailbox_;
    bool started_ = false;   // no card work without card access
    int busyHolds_ = 0;
    int delayedReleases_ = 0;  // releases waiting for the face's pause
};

}  // namespace app

// Shorthands of the card thread for the operations of the program.
namespace cardthread {

bool Run(std::function<void()> job);
void OnUi(std::function<void()> action);
model::CardWorker& Worker();
void HoldBusyFace();
void ReleaseBusyFace(int afterMs = 0);

// Card thread: long work's progress for button 6's bar and tooltip, shown
// once the work has run model::kProgressAfterMs and taken away when the
// object ends.
class ProgressReport {
public:
    explicit ProgressReport(model::WorkProgress::Kind kind, std::wstring name = L"");
    ~ProgressReport();
    ProgressReport(const ProgressReport&) = delete;
    ProgressReport& operator=(const ProgressReport&) = delete;
    void Update(int64_t done, int64_t total);

private:
    static constexpr double kStepMs = 1000;
    model::WorkProgress work_;
    unsigned long long start_;
    double lastShownMs_ = 0;
    bool shown_ = false;
};

// Card thread: the busy face for as long as the object lives.
class BusyFace {
public:
    BusyFace() { OnUi([] { HoldBusyFace(); }); }
    ~BusyFace() { OnUi([] { ReleaseBusyFace(); }); }
    BusyFace(const BusyFace&) = delete;
    BusyFace& operator=(const BusyFace&) = delete;
};

}  // namespace cardthread
