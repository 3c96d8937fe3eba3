// The hand-over between a worker's thread and a window's: the window sees the newest state when
// it looks, hears once that the worker has returned, and a monitor going away takes its worker
// with it and calls nobody.

#include "dialog/RunMonitor.h"

#include <chrono>
#include <gtest/gtest.h>
#include <semaphore>
#include <thread>

namespace tolvren {
namespace {

RunProgress Step(int done) {
    return {done, 1000, done / 10, std::to_string(done), std::to_string(done) + "毫秒"};
}

TEST(RunMonitor, TheWindowSeesTheNewestStateAndHearsOnceThatTheRunEnded) {
    std::binary_semaphore returned{0};
    std::atomic<int> calls{0};
    RunMonitor monitor(
        [](const RunRequest& request, const RunControl&, RunFrontEnd& window) {
            for (int done = 1; done <= 1000; ++done) {
                window.ShowProgress(Step(done)); // never waits for the window
            }
            RunSummary summary;
            summary.target = request.targetDir;
            summary.finalText = "done";
            window.ShowFinished(summary);
            return summary;
        },
        [&] {
            ++calls;
            returned.release();
        });
    EXPECT_FALSE(monitor.TakeSnapshot()); // nothing to show before a run
    RunRequest request;
    request.targetDir = "/out";
    ASSERT_TRUE(monitor.Start(request));
    EXPECT_TRUE(monitor.IsActive());
    int last = 0;
    std::optional<RunMonitor::Snapshot> newest;
    const auto look = [&] {
        if (auto snapshot = monitor.TakeSnapshot()) {
            if (snapshot->positionChanged) {
                EXPECT_GE(snapshot->position, last); // states come in order, some skipped
                last = snapshot->position;
            }
            newest = std::move(snapshot);
        }
    };
    while (!returned.try_acquire_for(std::chrono::microseconds(50))) {
        look();
    }
    const RunSummary summary = monitor.Finish();
    look();
    EXPECT_FALSE(monitor.IsActive());
    EXPECT_EQ(summary.target, "/out");
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->text, "done");
    EXPECT_EQ(newest->elapsed, "1000毫秒");
    EXPECT_FALSE(monitor.TakeSnapshot()); // each state is taken once
    EXPECT_EQ(calls.load(), 1);
}

TEST(RunMonitor, StopAndExitReachTheWorkerAndATornDownMonitorCallsNobody) {
    for (const bool exit : {false, true}) {
        std::atomic<bool> called{false};
        std::atomic<bool> running{false};
        std::atomic<bool> sawExit{false};
        {
            RunMonitor monitor(
                [&](const RunRequest&, const RunControl& control, RunFrontEnd&) {
                    running = true;
                    while (!control.StopRequested()) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    }
                    sawExit = control.ExitRequested();
                    return RunSummary();
                },
                [&] { called = true; });
            ASSERT_TRUE(monitor.Start({}));
            while (!running) {
                std::this_thread::yield();
            }
            if (exit) {
                monitor.RequestExit();
                EXPECT_TRUE(monitor.ExitRequested());
                while (!called) {
                    std::this_thread::yield();
                }
                monitor.Finish();
            }
            // Without a request, the monitor going away ends the run itself.
        }
        EXPECT_EQ(called.load(), exit);
        EXPECT_TRUE(sawExit);
    }
}

} // namespace
} // namespace tolvren
