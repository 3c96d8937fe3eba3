#pragma once

#include "batch/RunState.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace tolvren {

/// Shows a run on a terminal: progress redrawn in place on stderr when it is a terminal, one line
/// per problem on stderr, the final status text as the last line of stdout.
class CliFrontEnd : public RunFrontEnd {
public:
    struct Options {
        bool kmc = true;
        bool openTarget = false;
        bool quiet = false;
        bool progressLine = false; ///< redraw a progress line (stderr is a terminal)
    };

    CliFrontEnd(Options options, std::FILE* out, std::FILE* err);

    bool IsKmcChecked() override { return m_options.kmc; }
    bool IsOpenTargetChecked() override { return m_options.openTarget; }
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
    void SetProgressText(const std::string& text) override;
    void UpdateElapsed(const std::string& elapsed) override;
    void SetStartEnabled(bool) override {}
    void SetStopEnabled(bool) override {}
    void ReportProblem(const RunProblem& problem) override;
    void OpenFolder(const std::string& folder) override;

    /// Ends the progress line and prints the final status; call once the worker has returned.
    void Finish(const RunState& run);

private:
    void ClearProgressLine();

    Options m_options;
    std::FILE* m_out;
    std::FILE* m_err;
    std::string m_strText;
    bool m_bLineShown = false;
    std::chrono::steady_clock::time_point m_lastDraw;
};

} // namespace tolvren
