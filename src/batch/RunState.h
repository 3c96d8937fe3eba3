#pragma once

#include "batch/FileScanner.h"

#include <atomic>
#include <string>
#include <vector>

namespace tolvren {

/// Something the run wants its user to know about one file.
struct RunProblem {
    enum class Kind {
        Failed,     ///< the file was not converted; `reason` says why
        Overwritten ///< `path` overwrote the output that `otherPath` had written in this run
    };
    Kind kind = Kind::Failed;
    std::string path;      ///< the source file
    std::string otherPath; ///< Overwritten: the earlier source of the same output
    std::string targetPath;
    std::string reason;
};

/// What the worker asks of the window (or terminal) that shows a run, and what it hands to it.
/// The worker calls these on its own thread, in the order of a run; each call must be finished
/// (carried out on the front end's own thread if it has one) before it returns.
class RunFrontEnd {
public:
    virtual ~RunFrontEnd() = default;

    virtual bool IsKmcChecked() = 0;        ///< read once, at the start of a run
    virtual bool IsOpenTargetChecked() = 0; ///< read once, at the end of a run

    virtual void SetProgressRange(int lower, int upper) = 0;
    virtual void SetProgressPos(int pos) = 0;
    virtual void SetProgressText(const std::string& text) = 0;
    /// The elapsed time after a file ("1234毫秒"); the front end then refreshes its controls from
    /// its fields, as one update.
    virtual void UpdateElapsed(const std::string& elapsed) = 0;
    virtual void SetStartEnabled(bool enabled) = 0;
    virtual void SetStopEnabled(bool enabled) = 0;

    /// A failed file or an output overwritten within the run; the run goes on.
    virtual void ReportProblem(const RunProblem& problem) = 0;
    /// Shows `folder` in the desktop's file browser without waiting for it.
    virtual void OpenFolder(const std::string& folder);
    /// The user asked to exit during the run and the run has ended: close the window now.
    virtual void CloseAfterRun() {}
};

/// Runs the desktop file browser on `folder` (as one argument, no shell) and does not wait.
/// Returns false when it could not be started.
bool OpenInFileBrowser(const std::string& folder);

/// The state a front end and the worker share during a run.
struct RunState {
    // A snapshot of the user's choices, taken when the run starts; the worker reads only these.
    std::string m_strSourceDir; ///< a folder to search, or one file (a run of one)
    std::string m_strTargetDir;
    std::string m_strAuthor;
    bool m_bKeepTree = false; ///< outputs go into the source's relative subfolders

    FileScanner m_scanner; ///< only the worker touches it

    std::atomic<int> m_bRunning{0};       ///< cleared to ask the worker to stop between files
    std::atomic<int> m_bExitRequested{0}; ///< set when the user asked to close the window

    RunFrontEnd* m_pFrontEnd = nullptr;

    // Filled by the worker; read by the front end once the worker has returned.
    std::vector<RunProblem> m_problems;
    int m_nFailed = 0;
    int m_nCount = 0;
    int m_nDone = 0;
    bool m_bStopped = false;
    std::string m_strFinalText;

    /// What a front end does on Start once its fields are read: refuses (false) when a folder is
    /// empty, else marks the run as running. The caller then starts ConvertWorker.
    bool PrepareStart();
};

/// Carries out one run on the calling thread. Returns 0.
int ConvertWorker(RunState& run);

} // namespace tolvren
