// The card thread: its worker, the mailbox to the bar and button 6's busy face.
#include "app/card_thread.h"

#include <windows.h>

#include <chrono>

#include "model/common/ids.h"
#include "model/settings/folders.h"

namespace app {

namespace {

// Long enough for a cancelled download to remove its file and for a move into
// the store to finish; a request stuck in the network is not waited for.
constexpr auto kStopWait = std::chrono::milliseconds(1500);
// The longest the interface spends on the card thread's actions at a time.
constexpr ULONGLONG kDeliverSliceMs = 25;

}  // namespace

CardThread::CardThread(ui::Bar& bar, model::Session& session, const model::Settings& settings, CardEvents& target,
                       BusyFace& face, size_t entry)
    : bar_(bar),
      session_(session),
      settings_(settings),
      face_(face),
      entry_(entry),
      mailbox_([&bar] { bar.PostCardMail(); }),
      posted_(mailbox_, target) {}

// Everything the card thread needs of the interface's state, copied when the
// work is handed over.
std::function<void()> CardThread::WithSettings(std::function<void()> job) {
    model::Settings card = model::CardSettings(settings_, entry_);
    if (entry_ > 0) card.Path = cameraFolder_;
    return [&session = session_, settings = std::move(card), journal = bar_.VisibleView() == ui::InfoView::Journal,
            job = std::move(job)] {
        session.AdoptSettings(settings, journal);
        job();
    };
}

void CardThread::Start() {
    cameraFolder_ = settings_.Path;
    worker_.Start();
    // From now on the card thread writes the session.
    worker_.Post([&session = session_] { session.BindWriter(); });
    started_ = true;
}

bool CardThread::Stop() {
    worker_.Downloads().CancelRunning();
    bool ended = worker_.Stop(kStopWait);
    mailbox_.Discard();
    if (ended) session_.BindWriter();
    return ended;
}

bool CardThread::Run(std::function<void()> job) { return started_ && worker_.Post(WithSettings(std::move(job))); }

bool CardThread::RunWithBusyFace(std::function<void()> job, int pauseAfterMs) {
    face_.Hold();
    bool queued = Run([this, job = std::move(job), pauseAfterMs] {
        job();
        Events().BusyFace(false, pauseAfterMs);
    });
    if (!queued) face_.Release(pauseAfterMs);
    return queued;
}

bool CardThread::Tick(std::function<void()> job) { return started_ && worker_.PostTick(WithSettings(std::move(job))); }

void DeliverMail(model::UiMailbox& mailbox, ui::Bar& bar) {
    // A slice at a time, and none while input waits: input comes after posted
    // messages, so the rest is picked up by a timer, which comes after it.
    const ULONGLONG end = GetTickCount64() + kDeliverSliceMs;
    bool more = mailbox.Drain([end] { return HIWORD(GetQueueStatus(QS_INPUT)) != 0 || GetTickCount64() >= end; });
    if (more) bar.StartTimer(model::ids::kCardMailTimer, 1);
}

void CardThread::Deliver() { DeliverMail(mailbox_, bar_); }

void BusyFace::Hold() {
    if (holds_++ == 0) bar_.ShowBusyFace(model::ids::kCardButton, true);
}

void BusyFace::Release(int afterMs) {
    if (afterMs > 0 && bar_.Window()) {
        delayedReleases_++;
        bar_.StartTimer(model::ids::kBusyFaceTimer, static_cast<unsigned>(afterMs));
        return;
    }
    if (holds_ > 0 && --holds_ == 0) bar_.ShowBusyFace(model::ids::kCardButton, false);
}

void BusyFace::OnTimer() {
    bar_.StopTimer(model::ids::kBusyFaceTimer);
    for (; delayedReleases_ > 0; delayedReleases_--) Release();
}

ProgressReport::ProgressReport(CardEvents& events, model::WorkProgress::Kind kind, std::wstring name)
    : events_(events), start_(GetTickCount64()) {
    work_.kind = kind;
    work_.name = std::move(name);
}

ProgressReport::~ProgressReport() {
    if (shown_) events_.Progress(std::nullopt);
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
    events_.Progress(work_);
}

}  // namespace app
