// Change notices of a folder and everything below it: a name added, removed
// or renamed, a size or a write time changed. They wake a thread at once;
// they get lost (a full buffer, a network share, a folder removed and made
// again), so whoever waits also looks again every few seconds.
#pragma once

#include <string>

#include "win/handle.h"

namespace win {

class FolderWatch {
public:
    FolderWatch();
    ~FolderWatch() { Close(); }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Starts the notices of `folder`; false when the folder cannot be watched
    // (missing, unreachable, a share that gives none).
    [[nodiscard]] bool Watch(const std::wstring& folder);
    void Close();
    bool Watching() const { return notice_ != INVALID_HANDLE_VALUE; }

    enum class Woken { Notice, Wake, Timeout };
    // Waits up to `ms` for a notice (the next one is asked for at once) or
    // for Wake.
    Woken Wait(unsigned ms);
    // Waits up to `ms` for Wake alone; true when woken.
    bool Pause(unsigned ms);
    // Any thread: ends the waits from now on.
    void Wake();

private:
    HANDLE notice_ = INVALID_HANDLE_VALUE;  // FindFirstChangeNotification's, closed its own way
    KernelHandle wake_;                     // a manual-reset event
};

}  // namespace win
