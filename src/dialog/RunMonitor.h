#pragma once

#include "batch/RunState.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tolvren {

/// Hands a run from the worker's thread to a window's thread without either waiting for the
/// other. The worker publishes what it shows into a snapshot under a lock and goes on; the
/// window takes the newest snapshot on its own timer (a QTimer, a WM_TIMER), so a person sees at
/// most one state per frame and no state costs the worker anything. When the run function has
/// returned, the window hears it once, through a callback that must only post a message to the
/// window's thread; there the window calls Finish, which joins the worker and hands over what the
/// run did. Toolkit-free: every dialog of every platform shows its runs through one.
class RunMonitor : private RunFrontEnd {
public:
    /// What carries out one run: ConvertWorker in the programs; tests may pass their own.
    using RunFunction =
        std::function<RunSummary(const RunRequest&, const RunControl&, RunFrontEnd&)>;

    /// What the worker has shown since the window last looked.
    struct Snapshot {
        bool positionChanged = false;
        int position = 0;    ///< the bar's position, when it changed
        std::string text;    ///< the bar's text
        std::string elapsed; ///< "1234毫秒", once the first file is done; empty before
    };

    /// `onReturned` is called on the worker's thread once the run function has returned, and
    /// never once the monitor is being destroyed.
    RunMonitor(RunFunction run, std::function<void()> onReturned);
    /// Asks a running worker to end after its current file and waits for it; no callback comes.
    ~RunMonitor() override;
    RunMonitor(const RunMonitor&) = delete;
    RunMonitor& operator=(const RunMonitor&) = delete;

    /// Starts a run of `request` on a thread of its own; false, and nothing started, when no
    /// thread could be made.
    bool Start(RunRequest request);
    /// From Start until Finish.
    bool IsActive() const { return m_worker.joinable(); }

    void RequestStop() noexcept { m_control.RequestStop(); }
    void RequestExit() noexcept { m_control.RequestExit(); }
    bool ExitRequested() const noexcept { return m_control.ExitRequested(); }

    /// The newest state not taken yet; empty when nothing changed since.
    std::optional<Snapshot> TakeSnapshot();
    /// Once the callback has come: joins the worker and hands over the run's summary.
    RunSummary Finish();

private:
    void ShowScan(int folders, int files) override;
    void ShowProgress(const RunProgress& progress) override;
    void ReportProblem(const RunProblem& problem) override;
    void ShowFinished(const RunSummary& summary) override;

    RunFunction m_run;
    std::function<void()> m_onReturned;
    RunRequest m_request;
    RunControl m_control;
    RunSummary m_summary; ///< written by the worker's thread, read after it is joined
    std::thread m_worker;

    std::mutex m_mutex;
    Snapshot m_snapshot;         ///< under m_mutex
    bool m_bChanged = false;     ///< under m_mutex: m_snapshot holds something new
    bool m_bTearingDown = false; ///< under m_mutex: no callback to a window going away
};

} // namespace tolvren
