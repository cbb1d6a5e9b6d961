// The second copy of every stored picture, made on a thread of its own
// behind the viewer: a picture is handed over after it was shown, so neither
// a transfer nor a click waits for the backup drive. What waits is kept in a
// queue file; the rules are model/backup.h.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/card_events.h"
#include "model/pictures/backup.h"
#include "model/settings/settings.h"

namespace app {

class Backup {
public:
    // `events`: posted to the interface thread (any thread may call them).
    explicit Backup(CardEvents& events) : events_(events) {}
    ~Backup() { Stop(); }
    Backup(const Backup&) = delete;
    Backup& operator=(const Backup&) = delete;

    // Starts the backup thread when [Copy] BackupPath is set; the queue is
    // kept in `queueFile`.
    void Start(const model::Settings& s, std::wstring queueFile);
    // Any thread: a file has just entered the store. Costs a lock, nothing more.
    void Stored(const std::wstring& file);
    // Interface thread: the user acts on the bar; the backup pauses between
    // pieces for a moment, so the click and the viewer's answer have the
    // computer to themselves.
    void GiveWay();
    // Ends the thread: a copy under way stops and leaves no part behind.
    void Stop();

private:
    void Run();
    bool Wait(int64_t untilNs);
    void TakeHandedOver();
    bool FolderThere();
    void LookThroughStore();
    void CopyFront();
    void Fail(const std::wstring& file, const std::wstring& why);
    void SaveQueue(bool now);
    void SetLamp(model::Lamp lamp);
    bool GoOn();

    CardEvents& events_;
    model::Settings settings_;  // written before the thread starts, read only after
    std::wstring queueFile_;
    std::thread thread_;

    std::mutex mutex_;  // guards the three below
    std::condition_variable wake_;
    std::vector<std::wstring> handedOver_;  // written by any thread, taken by the backup thread
    bool accepting_ = false, stop_ = false;  // written by the interface thread
    std::atomic<bool> stopping_{false};     // the same, for a copy under way
    std::atomic<int64_t> quietUntil_{0};    // fs::Now() time; written by the interface thread

    // The backup thread's own.
    model::BackupQueue queue_;
    model::BackupReport report_;
    bool folderSeen_ = false, looked_ = false, queueUnwritable_ = false;
    int64_t savedAt_ = 0;
    model::Lamp lamp_ = model::Lamp::Clear;
};

}  // namespace app
