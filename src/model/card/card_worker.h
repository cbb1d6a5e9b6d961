// The card's own thread and the two ways across: jobs handed to it in order,
// and actions it hands back to the user-interface thread. Card requests wait
// for a card that may answer slowly or not at all; none of that waiting may
// hold back a click on the bar. No platform headers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace model {

// Actions for the user-interface thread, run there in the order posted.
// `wake` is called (on the posting thread) when the first action after a
// drain arrives, so the interface knows to drain again.
class UiMailbox {
public:
    using Action = std::function<void()>;
    explicit UiMailbox(std::function<void()> wake) : wake_(std::move(wake)) {}

    void Post(Action action);
    // Runs the waiting actions in order on the interface thread, asking
    // `yield` after each whether to stop (so clicks need not wait for a
    // flood of journal lines). True when actions are left.
    bool Drain(const std::function<bool()>& yield = {});
    // Drops what is waiting (at shutdown); the number dropped.
    size_t Discard();

private:
    std::function<void()> wake_;
    std::mutex mutex_;
    std::deque<Action> actions_;
    bool wakeSent_ = false;
};

// The one download that may run on the card thread, and a request to cancel
// it from the interface. A cancel reaches only the download running when it
// is asked for, never a later one.
class DownloadGate {
public:
    void Begin();
    void End();
    // True when a download ran and is now marked cancelled.
    bool CancelRunning();
    bool Running() const;
    bool Cancelled() const;

private:
    mutable std::mutex mutex_;
    bool running_ = false, cancelled_ = false;
};

// Runs card jobs one after the other on a thread of its own.
class CardWorker {
public:
    using Job = std::function<void()>;

    CardWorker() = default;
    ~CardWorker();
    CardWorker(const CardWorker&) = delete;
    CardWorker& operator=(const CardWorker&) = delete;

    void Start();
    // Queues a job behind the running and waiting ones; false once stopping.
    bool Post(Job job);
    // Queues a periodic job only when nothing runs or waits: a timer tick
    // that comes while the last one still works is skipped, never stacked.
    bool PostTick(Job job);
    // Nothing runs and nothing waits.
    bool Idle() const;
    // Drops the waiting jobs and asks the running one to end (it polls
    // StopRequested); waits up to `wait` for the thread. True when it ended;
    // otherwise the process must end without destroying the worker.
    bool Stop(std::chrono::milliseconds wait);
    bool StopRequested() const;
    // True on the worker's own thread.
    bool OnWorkerThread() const;

    DownloadGate& Downloads() { return downloads_; }

private:
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool running_ = false;  // a job is being carried out
    bool stop_ = false;
    bool ended_ = false;  // the thread has left its loop
    std::thread thread_;
    std::thread::id threadId_;
    DownloadGate downloads_;
};

}  // namespace model
