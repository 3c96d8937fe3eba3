// The ordered pipeline on its own: files converted out of order on several threads come back in
// order, never too far ahead, and an abandoned pipeline lets go at once.

#include "batch/Pipeline.h"

#include <chrono>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace tolvren {
namespace {

PreparedDocument Tagged(std::size_t index) {
    PreparedDocument document;
    document.result.io.error = static_cast<int>(index); // which file it came from
    return document;
}

TEST(Pipeline, HandsEveryFileOverInOrderNeverTooFarAhead) {
    constexpr std::size_t kFiles = 300;
    constexpr unsigned kThreads = 4;
    std::atomic<std::size_t> taken{0};
    std::atomic<bool> tooFarAhead{false};
    Pipeline pipeline(
        kFiles,
        [&](std::size_t index, const std::atomic<bool>&) {
            // `taken` counts what the test has got back; the pipeline may already count one more.
            if (index > taken + kThreads * Pipeline::kFilesAheadPerThread) {
                tooFarAhead = true;
            }
            thread_local std::minstd_rand random(static_cast<unsigned>(index));
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
            return Tagged(index);
        },
        kThreads);
    for (std::size_t i = 0; i < kFiles; ++i) {
        ASSERT_EQ(pipeline.Take(i).result.io.error, static_cast<int>(i));
        taken = i + 1;
    }
    EXPECT_FALSE(tooFarAhead);
}

TEST(Pipeline, AnAbandonedPipelineCancelsWhatIsBegunAndBeginsNothingMore) {
    std::atomic<std::size_t> begun{0};
    std::atomic<std::size_t> cancelled{0};
    {
        Pipeline pipeline(
            1000,
            [&](std::size_t index, const std::atomic<bool>& cancel) {
                ++begun;
                // Every file after the first stays busy until the pipeline is abandoned.
                while (index > 0 && !cancel) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                cancelled += cancel ? 1 : 0;
                return Tagged(index);
            },
            3);
        EXPECT_EQ(pipeline.Take(0).result.io.error, 0);
        pipeline.Abandon();
        const std::size_t atAbandon = begun;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(begun.load(), atAbandon);
        EXPECT_LE(atAbandon, 1 + 3 * Pipeline::kFilesAheadPerThread);
    }
    EXPECT_EQ(cancelled.load(), begun - 1);
}

} // namespace
} // namespace tolvren
