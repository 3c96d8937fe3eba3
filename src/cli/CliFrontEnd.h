#pragma once

#include "batch/RunState.h"
#include "cli/Terminal.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace tolvren {

/// Prints `line` (UTF-8) and a line feed in the terminal's encoding, except the path it begins
/// with (`path` as EscapeControls shows it), which goes out as the bytes the file system holds.
void PrintLine(std::FILE* stream, const Terminal& terminal, std::string_view line,
               std::string_view path);

/// Shows a run on a terminal: progress redrawn in place on stderr when it is a terminal, one line
/// per problem on stderr, the final status text as the last line of stdout. Texts reach the
/// terminal in its locale's encoding; paths are printed as the bytes the file system holds.
class CliFrontEnd : public RunFrontEnd {
public:
    struct Options {
        bool quiet = false;        ///< failures only
        bool warnings = true;      ///< print warnings (unless quiet)
        bool progressLine = false; ///< redraw a progress line (stderr is a terminal)
        std::string_view program;  ///< what begins a line about the whole run
    };

    CliFrontEnd(Options options, const Terminal& terminal, std::FILE* out, std::FILE* err);

    void ShowScan(int folders, int files) override;
    void ShowProgress(const RunProgress& progress) override;
    void ReportProblem(const RunProblem& problem) override;
    void ShowFinished(const RunSummary& summary) override;

    /// Shows `folder` in the file browser once the run has ended; says why not and returns false
    /// when it cannot.
    bool OpenFolder(const std::string& folder);

private:
    void DrawProgressLine(const std::string& text);
    void ClearProgressLine();

    Options m_options;
    const Terminal& m_terminal;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_bLineShown = false;
    std::chrono::steady_clock::time_point m_lastDraw;
};

} // namespace tolvren
