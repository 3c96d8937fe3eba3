#include "batch/Pipeline.h"

#include <algorithm>

namespace tolvren {

namespace {

constexpr unsigned kMaxThreads = 16;

} // namespace

unsigned Pipeline::DefaultThreads() {
    return std::min(std::max(1u, std::thread::hardware_concurrency()), kMaxThreads);
}

Pipeline::Pipeline(std::size_t count, Convert convert, unsigned threads)
    : m_nCount(count), m_convert(std::move(convert)) {
    threads = std::max(1u, threads);
    m_nWindow = std::max<std::size_t>(2, threads * kFilesAheadPerThread);
    m_slots.resize(m_nWindow);
    for (std::size_t t = 1; t < std::min<std::size_t>(threads, count); ++t) {
        m_threads.emplace_back([this] { Work(); });
    }
}

PreparedDocument Pipeline::Take(std::size_t index) {
    std::unique_lock lock(m_mutex);
    Slot& slot = m_slots[index % m_nWindow];
    while (slot.index != index || !slot.document.has_value()) {
        if (!ConvertNext(lock)) {
            m_ready.wait(lock);
        }
    }
    PreparedDocument document = std::move(*slot.document);
    slot.document.reset();
    m_nTaken = index + 1;
    lock.unlock();
    m_space.notify_all();
    return document;
}

void Pipeline::Abandon() {
    {
        std::lock_guard lock(m_mutex);
        m_bAbandoned = true;
    }
    m_bCancel = true;
    m_space.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
    m_threads.clear();
    for (Slot& slot : m_slots) {
        slot.document.reset();
    }
}

// Converts the next file that may be begun, if there is one; `lock` is held on entry and on
// return, but not while the file is converted.
bool Pipeline::ConvertNext(std::unique_lock<std::mutex>& lock) {
    if (m_bAbandoned || m_nNext >= m_nCount || m_nNext >= m_nTaken + m_nWindow) {
        return false;
    }
    const std::size_t index = m_nNext++;
    lock.unlock();
    PreparedDocument document = m_convert(index, m_bCancel);
    lock.lock();
    Slot& slot = m_slots[index % m_nWindow];
    slot.index = index;
    slot.document = std::move(document);
    m_ready.notify_all();
    return true;
}

void Pipeline::Work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_space.wait(lock, [&] {
            return m_bAbandoned || m_nNext >= m_nCount || m_nNext < m_nTaken + m_nWindow;
        });
        if (m_bAbandoned || m_nNext >= m_nCount) {
            return;
        }
        ConvertNext(lock);
    }
}

} // namespace tolvren
