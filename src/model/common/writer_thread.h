// The one thread that writes a piece of state shared between threads. The
// owner says so in one place (a WriterThread member beside the state) and
// binds it; debug builds stop the program at a write from another thread.
#pragma once

#include <atomic>
#include <cassert>
#include <thread>

namespace model {

class WriterThread {
public:
    // The calling thread writes from now on.
    void Bind() { owner_.store(std::this_thread::get_id()); }
    // True on the bound thread, and on any thread before Bind.
    bool MayWrite() const {
        const std::thread::id owner = owner_.load();
        return owner == std::thread::id() || owner == std::this_thread::get_id();
    }
    // Debug builds: a write from another thread stops the program here.
    void CheckWrite() const { assert(MayWrite() && "written from a thread that does not own it"); }

private:
    std::atomic<std::thread::id> owner_{};
};

}  // namespace model
