// The card thread's queue, the mailbox to the interface and the cancel gate,
// driven from several threads at once (this file also runs under
// ThreadSanitizer in the native build).
#include "model/card/card_worker.h"
#include "model/common/writer_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Polls until the condition holds (or a generous deadline passes).
template <typename F>
bool Eventually(F cond) {
    for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(1ms))
        if (cond()) return true;
    return cond();
}

}  // namespace

TEST(CardWorker, JobsRunInOrderOffTheCallerAndTicksNeverStack) {
    model::CardWorker worker;
    worker.Start();
    std::mutex m;
    std::vector<int> order;
    std::atomic<bool> release{false}, offCaller{true};
    const auto caller = std::this_thread::get_id();
    std::atomic<bool> started{false};
    ASSERT_TRUE(worker.Post([&] {
        started = true;
        offCaller = std::this_thread::get_id() != caller && worker.OnWorkerThread();
        while (!release) std::this_thread::sleep_for(1ms);
        std::lock_guard<std::mutex> lock(m);
        order.push_back(1);
    }));
    ASSERT_TRUE(Eventually([&] { return started.load(); }));
    // While a job runs, ticks are skipped; actions still queue behind it.
    EXPECT_FALSE(worker.PostTick([&] { order.push_back(99); }));
    for (int i = 2; i <= 4; i++)
        ASSERT_TRUE(worker.Post([&, i] {
            std::lock_guard<std::mutex> lock(m);
            order.push_back(i);
        }));
    EXPECT_FALSE(worker.PostTick([&] { order.push_back(99); }));
    EXPECT_FALSE(worker.OnWorkerThread());
    release = true;
    ASSERT_TRUE(Eventually([&] { return worker.Idle(); }));
    EXPECT_TRUE(worker.PostTick([&] {
        std::lock_guard<std::mutex> lock(m);
        order.push_back(5);
    }));
    ASSERT_TRUE(Eventually([&] { return worker.Idle(); }));
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(offCaller);
}

TEST(CardWorker, StopDropsWaitingJobsAndLeavesAStuckOneBehind) {
    std::atomic<int> ran{0};
    std::atomic<bool> release{false}, started{false};
    {
        model::CardWorker worker;
        worker.Start();
        worker.Post([&] {
            started = true;
            while (!worker.StopRequested()) std::this_thread::sleep_for(1ms);
            ran++;
        });
        worker.Post([&] { ran += 100; });
        ASSERT_TRUE(Eventually([&] { return started.load(); }));
        EXPECT_TRUE(worker.Stop(5s));  // the running job sees the request and ends
        EXPECT_EQ(ran, 1);
        EXPECT_FALSE(worker.Post([&] { ran += 100; }));
    }
    // A job that ignores the request: Stop gives up after its wait and the
    // thread is left to the end of the process.
    auto* stuck = new model::CardWorker;
    stuck->Start();
    started = false;
    stuck->Post([&] {
        started = true;
        while (!release) std::this_thread::sleep_for(1ms);
    });
    ASSERT_TRUE(Eventually([&] { return started.load(); }));
    EXPECT_FALSE(stuck->Stop(20ms));
    release = true;
    EXPECT_TRUE(stuck->Stop(5s));
    delete stuck;
}

TEST(CardWorker, MailboxRunsActionsInOrderAndWakesOncePerDrain) {
    std::atomic<int> wakes{0};
    model::UiMailbox mailbox([&] { wakes++; });
    model::CardWorker worker;
    worker.Start();
    std::vector<int> seen;  // touched only by the draining thread
    constexpr int kActions = 2000;
    for (int i = 0; i < kActions; i++) worker.Post([&, i] { mailbox.Post([&, i] { seen.push_back(i); }); });
    // Drained in slices of at most three actions, as the interface does when
    // input waits: nothing is lost or reordered, and a drain tells what is left.
    while (seen.size() < kActions) {
        int slice = 0;
        bool left = mailbox.Drain([&] { return ++slice == 3; });
        EXPECT_LE(slice, 3);
        if (!left) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    std::vector<int> expected(kActions);
    for (int i = 0; i < kActions; i++) expected[static_cast<size_t>(i)] = i;
    EXPECT_EQ(seen, expected);
    EXPECT_GE(wakes.load(), 1);
    EXPECT_LE(wakes.load(), kActions);
    mailbox.Post([] {});
    EXPECT_EQ(mailbox.Discard(), 1u);
}

TEST(CardWorker, ACancelReachesOnlyTheDownloadRunningWhenAskedFor) {
    model::DownloadGate gate;
    EXPECT_FALSE(gate.CancelRunning());  // nothing runs: the click is no cancel
    gate.Begin();
    EXPECT_TRUE(gate.Running());
    EXPECT_FALSE(gate.Cancelled());
    EXPECT_TRUE(gate.CancelRunning());
    EXPECT_TRUE(gate.Cancelled());
    gate.End();
    gate.Begin();
    EXPECT_FALSE(gate.Cancelled());  // the next download starts clean
    gate.End();

    // Cancels from the interface while the card thread runs one download after
    // the other: each cancel lands on a download that was running.
    model::CardWorker worker;
    worker.Start();
    std::atomic<int> cancelledSeen{0};
    std::atomic<bool> done{false};
    worker.Post([&] {
        for (int i = 0; i < 2000; i++) {
            worker.Downloads().Begin();
            std::this_thread::yield();
            if (worker.Downloads().Cancelled()) cancelledSeen++;
            worker.Downloads().End();
        }
        done = true;
    });
    int accepted = 0;
    while (!done)
        if (worker.Downloads().CancelRunning()) accepted++;
    EXPECT_LE(cancelledSeen.load(), accepted);
}

// State shared between threads has one writer: before it binds itself any
// thread may write, afterwards only that one.
TEST(WriterThread, OnlyTheBoundThreadMayWrite) {
    model::WriterThread writer;
    EXPECT_TRUE(writer.MayWrite());
    std::thread([&] { writer.Bind(); }).join();
    EXPECT_FALSE(writer.MayWrite());
    writer.Bind();
    EXPECT_TRUE(writer.MayWrite());
    bool elsewhere = true;
    std::thread([&] { elsewhere = writer.MayWrite(); }).join();
    EXPECT_FALSE(elsewhere);
}
