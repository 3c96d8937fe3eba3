#pragma once

#include "conversion/LyricConverter.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tolvren {

/// Converts the files of a run on every core, each into a document that nobody sees yet, and
/// hands them over strictly in the order of the list, so that the run puts them in place and
/// reports them in that order. The thread that takes them converts too while the next one is not
/// ready, instead of sleeping: one thread per core in all, and hardly a wake-up per file. A few
/// files per thread are converted ahead of the one taken next, no more, so that a run of huge
/// scripts stays within memory.
class Pipeline {
public:
    /// Converts file `index`; `cancel` turns true once the pipeline is abandoned.
    using Convert =
        std::function<PreparedDocument(std::size_t index, const std::atomic<bool>& cancel)>;

    /// Files 0 to `count` - 1, by `threads` threads in all (the one that takes included).
    Pipeline(std::size_t count, Convert convert, unsigned threads = DefaultThreads());
    ~Pipeline() { Abandon(); }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    /// File `index`, converted; call with 0, 1, 2, ... in turn.
    PreparedDocument Take(std::size_t index);
    /// Stops converting: files begun are given up (their unnamed documents vanish).
    void Abandon();

    /// One per core, at most 16.
    static unsigned DefaultThreads();
    /// Files converted ahead per thread.
    static constexpr std::size_t kFilesAheadPerThread = 4;

private:
    struct Slot {
        std::size_t index = 0;
        std::optional<PreparedDocument> document;
    };

    bool ConvertNext(std::unique_lock<std::mutex>& lock);
    void Work();

    const std::size_t m_nCount;
    const Convert m_convert;
    std::size_t m_nWindow = 2;

    std::mutex m_mutex;
    std::condition_variable m_ready; ///< a slot was filled
    std::condition_variable m_space; ///< a file was taken, or the pipeline was abandoned
    std::vector<Slot> m_slots;
    std::size_t m_nNext = 0;  ///< the next file a thread begins
    std::size_t m_nTaken = 0; ///< files handed over so far
    bool m_bAbandoned = false;
    std::atomic<bool> m_bCancel{false};
    std::vector<std::thread> m_threads;
};

} // namespace tolvren
