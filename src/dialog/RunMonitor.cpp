#include "dialog/RunMonitor.h"

#include "batch/Messages.h"

#include <system_error>

namespace tolvren {

RunMonitor::RunMonitor(RunFunction run, std::function<void()> onReturned)
    : m_run(std::move(run)), m_onReturned(std::move(onReturned)) {}

RunMonitor::~RunMonitor() {
    {
        std::lock_guard lock(m_mutex);
        m_bTearingDown = true;
    }
    // The worker finishes the file it is converting, finds the request and returns; it never
    // waits for the window, so the join ends.
    m_control.RequestExit();
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

bool RunMonitor::Start(RunRequest request) {
    if (IsActive()) {
        return false;
    }
    m_request = std::move(request);
    m_control.Reset();
    {
        std::lock_guard lock(m_mutex);
        m_snapshot = {};
        m_bChanged = false;
    }
    try {
        m_worker = std::thread([this] {
            m_summary = m_run(m_request, m_control, *this);
            std::lock_guard lock(m_mutex);
            if (!m_bTearingDown) {
                m_onReturned();
            }
        });
    } catch (const std::system_error&) {
        return false; // without a thread nobody would ever give the buttons back
    }
    return true;
}

std::optional<RunMonitor::Snapshot> RunMonitor::TakeSnapshot() {
    std::lock_guard lock(m_mutex);
    if (!m_bChanged) {
        return std::nullopt;
    }
    Snapshot snapshot = m_snapshot;
    m_snapshot.positionChanged = false;
    m_bChanged = false;
    return snapshot;
}

RunSummary RunMonitor::Finish() {
    // Joining makes everything the worker wrote ours.
    if (m_worker.joinable()) {
        m_worker.join();
    }
    return std::move(m_summary);
}

void RunMonitor::ShowScan(int folders, int files) {
    std::lock_guard lock(m_mutex);
    m_snapshot.text = ScanStatusText(folders, files);
    m_bChanged = true;
}

void RunMonitor::ShowProgress(const RunProgress& progress) {
    std::lock_guard lock(m_mutex);
    m_snapshot.position = progress.percentage;
    m_snapshot.positionChanged = true;
    m_snapshot.text = progress.text;
    m_snapshot.elapsed = progress.elapsed;
    m_bChanged = true;
}

void RunMonitor::ReportProblem(const RunProblem& /*problem*/) {
    // A window reads the run's problems from its summary once the worker has returned.
}

void RunMonitor::ShowFinished(const RunSummary& summary) {
    std::lock_guard lock(m_mutex);
    m_snapshot.text = summary.finalText;
    m_bChanged = true;
}

} // namespace tolvren
