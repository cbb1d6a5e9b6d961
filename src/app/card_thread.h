// The card thread. Every card request, probe, walk, thumbnail fetch and
// download runs on it; what the bar must show or do comes back as typed
// events (card_events.h) through its mailbox. The interface hands work over
// with the settings as they are at that moment; the card thread owns the card
// session and never reads the interface's settings.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "app/card_events.h"
#include "model/bar/work_progress.h"
#include "model/card/card_session.h"
#include "model/card/card_worker.h"
#include "model/settings/settings.h"
#include "ui/bar.h"

namespace app {

// Button 6's busy face while card work that asked for it runs, on any
// card. Hold and release come in pairs; a release may be delayed by the
// face's after-action pause. Interface thread.
class BusyFace {
public:
    explicit BusyFace(ui::Bar& bar) : bar_(bar) {}
    void Hold();
    void Release(int afterMs = 0);
    void OnTimer();

private:
    ui::Bar& bar_;
    int holds_ = 0;
    int delayedReleases_ = 0;  // releases waiting for the face's pause
};

class CardThread {
public:
    // `settings`: the interface's, copied for each job as the card of Url
    // entry `entry` sees them; `session`: the card thread's own; `bar`: wakes
    // the interface for the mail; `target`: where the card thread's events
    // are carried out, on the interface thread.
    CardThread(ui::Bar& bar, model::Session& session, const model::Settings& settings, CardEvents& target,
               BusyFace& face, size_t entry);

    // Starts the thread; the bar window must exist (it is woken for the mail).
    void Start();
    // Ends the card work: a running download is cancelled (its partial file
    // removed) and the thread is given a moment to finish. True when it
    // ended (the session is the interface's again); false when it is stuck in
    // a request, and the process must end without it.
    [[nodiscard]] bool Stop();

    // Interface thread: card work, carried out after what runs and waits;
    // false when there is no card access.
    bool Run(std::function<void()> job);
    // The same with button 6's busy face from now until the work has ended.
    bool RunWithBusyFace(std::function<void()> job, int pauseAfterMs = 0);
    // Interface thread: a card timer tick; false when skipped because the
    // last card work has not ended yet.
    bool Tick(std::function<void()> job);
    // Interface thread: the camera folder of a card of a later Url entry.
    // [TFA] Path is the first card's (it follows that card's camera); the
    // others start from it and follow their own cameras on their own.
    void ChooseCameraFolder(std::wstring path) { cameraFolder_ = std::move(path); }
    // Interface thread: cancels the running download; false when none runs.
    bool CancelDownload() { return worker_.Downloads().CancelRunning(); }
    bool Downloading() { return worker_.Downloads().Running(); }

    // Card thread: the events for the interface, and the worker's state.
    CardEvents& Events() { return posted_; }
    model::CardWorker& Worker() { return worker_; }

    // Interface thread: carries out what the card thread handed over (see
    // DeliverMail).
    void Deliver();

private:
    std::function<void()> WithSettings(std::function<void()> job);

    ui::Bar& bar_;
    model::Session& session_;
    const model::Settings& settings_;
    BusyFace& face_;
    size_t entry_;
    std::wstring cameraFolder_;  // interface thread; used for entries after the first
    model::CardWorker worker_;
    model::UiMailbox mailbox_;
    PostedCardEvents posted_;
    bool started_ = false;   // no card work without card access
};

// Interface thread: carries out what a mailbox holds, in slices that leave
// room for the user's input; the card mail timer picks up the rest.
void DeliverMail(model::UiMailbox& mailbox, ui::Bar& bar);

// Card thread: long work's progress for button 6's bar and tooltip, shown
// once the work has run model::kProgressAfterMs and taken away when the
// object ends.
class ProgressReport {
public:
    ProgressReport(CardEvents& events, model::WorkProgress::Kind kind, std::wstring name = L"");
    ~ProgressReport();
    ProgressReport(const ProgressReport&) = delete;
    ProgressReport& operator=(const ProgressReport&) = delete;
    void Update(int64_t done, int64_t total);

private:
    static constexpr double kStepMs = 1000;
    CardEvents& events_;
    model::WorkProgress work_;
    unsigned long long start_;
    double lastShownMs_ = 0;
    bool shown_ = false;
};

// Card thread: button 6's busy face for as long as the object lives.
class BusyFaceScope {
public:
    explicit BusyFaceScope(CardEvents& events) : events_(events) { events_.BusyFace(true, 0); }
    ~BusyFaceScope() { events_.BusyFace(false, 0); }
    BusyFaceScope(const BusyFaceScope&) = delete;
    BusyFaceScope& operator=(const BusyFaceScope&) = delete;

private:
    CardEvents& events_;
};

}  // namespace app
