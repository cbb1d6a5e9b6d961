// The card thread, its job queue, the mailbox back to the interface and the
// download's cancel gate.
#include "model/card/card_worker.h"

namespace model {

void UiMailbox::Post(Action action) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        actions_.push_back(std::move(action));
        wake = !wakeSent_;
        wakeSent_ = true;
    }
    if (wake && wake_) wake_();
}

bool UiMailbox::Drain(const std::function<bool()>& yield) {
    for (;;) {
        Action action;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (actions_.empty()) {
                wakeSent_ = false;
                return false;
            }
            action = std::move(actions_.front());
            actions_.pop_front();
        }
        // Outside the lock: an action may post again, or open a window that
        // pumps messages and drains on its own.
        action();
        if (yield && yield()) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!actions_.empty()) return true;
            wakeSent_ = false;
            return false;
        }
    }
}

size_t UiMailbox::Discard() {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t n = actions_.size();
    actions_.clear();
    return n;
}

void DownloadGate::Begin() {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = true;
    cancelled_ = false;
}

void DownloadGate::End() {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
    cancelled_ = false;
}

bool DownloadGate::CancelRunning() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) return false;
    cancelled_ = true;
    return true;
}

bool DownloadGate::Running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

bool DownloadGate::Cancelled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
}

// The thread works on this object: it is waited for. (A program that cannot
// wait for a thread stuck in a request ends its process instead of
// destroying the worker.)
CardWorker::~CardWorker() { Stop(std::chrono::hours(24 * 365)); }

void CardWorker::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (thread_.joinable() || stop_) return;
    thread_ = std::thread(&CardWorker::Run, this);
    threadId_ = thread_.get_id();
}

bool CardWorker::Post(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return false;
        jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
    return true;
}

bool CardWorker::PostTick(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_ || running_ || !jobs_.empty()) return false;
        jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
    return true;
}

bool CardWorker::Idle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !running_ && jobs_.empty();
}

bool CardWorker::Stop(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    stop_ = true;
    jobs_.clear();
    changed_.notify_all();
    if (!thread_.joinable()) return true;
    if (!changed_.wait_for(lock, wait, [this] { return ended_; })) return false;
    lock.unlock();
    thread_.join();
    return true;
}

bool CardWorker::StopRequested() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stop_;
}

bool CardWorker::OnWorkerThread() const { return std::this_thread::get_id() == threadId_; }

void CardWorker::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (stop_) break;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        job();
        job = nullptr;  // whatever the job holds goes with it, outside the lock
        lock.lock();
        running_ = false;
    }
    ended_ = true;
    changed_.notify_all();
}

}  // namespace model
