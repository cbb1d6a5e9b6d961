// A whole-file HTTP download that runs in the background (libcurl on a worker
// thread) while the user-interface thread polls it and keeps pumping events.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "win/handle.h"

namespace win {

class BackgroundDownload {
public:
    enum class State { Idle, Running, Finished, Failed, Aborted };

    BackgroundDownload() = default;
    BackgroundDownload(const BackgroundDownload&) = delete;
    BackgroundDownload& operator=(const BackgroundDownload&) = delete;
    ~BackgroundDownload();

    // Starts fetching url into file. expectedSize (0 = unknown) is the size
    // the card listed: a body of another length counts as failed. A body that
    // goes beyond limit (0 = none) fails as soon as it does, so a card cannot
    // fill the disk. A transfer that receives no byte for stallSeconds fails.
    // False when it cannot start.
    [[nodiscard]] bool Start(const std::string& url, const std::wstring& file, uint64_t expectedSize,
                             uint64_t limit, int stallSeconds);
    State Poll() const { return state_.load(); }
    // Bytes written to the file so far.
    uint64_t Received() const { return received_.load(std::memory_order_relaxed); }
    // Signalled when the transfer has ended, so a poller waiting between two
    // polls need not sleep past the end.
    HANDLE EndedEvent() const { return ended_.get(); }
    // Asks the transfer to stop and waits for the worker; the state becomes
    // Aborted unless it had already ended.
    void Abort();
    // HTTP status and curl's text of the last failure, for the journal.
    const std::string& Error() const { return error_; }

private:
    void Run(std::string url, std::wstring file, uint64_t expectedSize, uint64_t limit, int stallSeconds);
    void Join();

    std::thread worker_;
    win::KernelHandle ended_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<State> state_{State::Idle};
    std::atomic<bool> abort_{false};
    std::atomic<uint64_t> received_{0};
    std::string error_;  // written by the worker before it ends
};

// Once per process, before the first download.
void InitDownloads();
void ShutdownDownloads();

}  // namespace win
