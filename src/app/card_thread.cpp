// The card thread: its worker, the mailbox to the bar and button 6's busy face.
#include "app/card_thread.h"

#include <windows.h>

#include <chrono>

#include "app/app.h"
#include "model/ids.h"

namespace app {

namespace {

// Long enough for a cancelled download to remove its file and for a move into
// the store to finish; a request stuck in the network is not waited for.
constexpr auto kStopWait = std::chrono::milliseconds(1500);
// The longest the interface spends on the card thread's actions at a time.
constexpr ULONGLONG kDeliverSliceMs = 25;

HWND BarWindow() { return TheApp().bar.Window(); }

}  // namespace

CardThread::CardThread() : mailbox_([] { PostMessageW(BarWindow(), model::ids::kCardMail, 0, 0); }) {}

// Everything the card thread needs of the interface's state, copied when the
// work is handed over.
std::function<void()> CardThread::WithSettings(std::function<void()> job) {
    App& app = TheApp();
    return [&app, settings = app.settings, journal = app.bar.VisibleView() == ui::InfoView::Journal,
            job = std::move(job)] {
        app.card.AdoptSettings(settings);
        app.card.JournalShown = journal;
        job();
    };
}

void CardThread::Start() {
    worker_.Start();
    started_ = true;
}

bool CardThread::Stop() {
    worker_.Downloads().CancelRunning();
    bool ended = worker_.Stop(kStopWait);
    mailbox_.Discard();
    return ended;
}

bool CardThread::Run(std::function<void()> job) { return started_ && worker_.Post(WithSettings(std::move(job))); }
bool CardThread::Tick(std::function<void()> job) { return started_ && worker_.PostTick(WithSettings(std::move(job))); }

void CardThread::Deliver() {
    // A slice at a time, and none while input waits: input comes after posted
    // messages, so the rest is picked up by a timer, which comes after it.
    const ULONGLONG end = GetTickCount64() + kDeliverSliceMs;
    bool more = mailbox_.Drain([end] { return HIWORD(GetQueueStatus(QS_INPUT)) != 0 || GetTickCount64() >= end; });
    if (more) SetTimer(BarWindow(), model::ids::kCardMailTimer, 1, nullptr);
}

void CardThread::OnDeliverTimer() {
    KillTimer(BarWindow(), model::ids::kCardMailTimer);
    Deliver();
}

void CardThread::HoldBusyFace() {
    if (busyHolds_++ == 0) TheApp().bar.ShowBusyFace(model::ids::kCardButton, true);
}

void CardThread::ReleaseBusyFace(int afterMs) {
    if (afterMs > 0 && BarWindow()) {
        delayedReleases_++;
        SetTimer(BarWindow(), model::ids::kBusyFaceTimer, static_cast<UINT>(afterMs), nullptr);
        return;
    }
    if (busyHolds_ > 0 && --busyHolds_ == 0) TheApp().bar.ShowBusyFace(model::ids::kCardButton, false);
}

void CardThread::OnBusyFaceTimer() {
    KillTimer(BarWindow(), model::ids::kBusyFaceTimer);
    for (; delayedReleases_ > 0; delayedReleases_--) ReleaseBusyFace();
}

}  // namespace app

namespace cardthread {

bool Run(std::function<void()> job) { return app::TheApp().cards.Run(std::move(job)); }
void OnUi(std::function<void()> action) { app::TheApp().cards.OnUi(std::move(action)); }
model::CardWorker& Worker() { return app::TheApp().cards.Worker(); }
void HoldBusyFace() { app::TheApp().cards.HoldBusyFace(); }
void ReleaseBusyFace(int afterMs) { app::TheApp().cards.ReleaseBusyFace(afterMs); }

ProgressReport::ProgressReport(model::WorkProgress::Kind kind, std::wstring name) : start_(GetTickCount64()) {
    work_.kind = kind;
    work_.name = std::move(name);
}

ProgressReport::~ProgressReport() {
    if (shown_) OnUi([] { app::TheApp().ShowProgress(std::nullopt); });
}

void ProgressReport::Update(int64_t done, int64_t total) {
    work_.done = done;
    work_.total = total;
    work_.elapsedMs = static_cast<double>(GetTickCount64() - start_);
    if (work_.elapsedMs < model::kProgressAfterMs) return;
    // Once a second is enough for the eye, and keeps a long download cheap.
    if (shown_ && work_.elapsedMs < lastShownMs_ + kStepMs && done < total) return;
    shown_ = true;
    lastShownMs_ = work_.elapsedMs;
    OnUi([work = work_] { app::TheApp().ShowProgress(work); });
}

}  // namespace cardthread
