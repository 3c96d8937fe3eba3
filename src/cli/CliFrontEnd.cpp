#include "cli/CliFrontEnd.h"

#include <chrono>
#include <fmt/format.h>

namespace tolvren {

CliFrontEnd::CliFrontEnd(Options options, std::FILE* out, std::FILE* err)
    : m_options(options), m_out(out), m_err(err) {}

void CliFrontEnd::SetProgressText(const std::string& text) {
    m_strText = text;
}

void CliFrontEnd::UpdateElapsed(const std::string& elapsed) {
    if (!m_options.progressLine) {
        return;
    }
    // A terminal cannot show thousands of lines a second anyway; twenty redraws do.
    const auto now = std::chrono::steady_clock::now();
    if (m_bLineShown && now - m_lastDraw < std::chrono::milliseconds(50)) {
        return;
    }
    m_lastDraw = now;
    // Carriage return, the line, then erase whatever a longer earlier line left behind.
    fmt::print(m_err, "\r{}  {}\x1b[K", m_strText, elapsed);
    std::fflush(m_err);
    m_bLineShown = true;
}

void CliFrontEnd::ClearProgressLine() {
    if (m_bLineShown) {
        fmt::print(m_err, "\r\x1b[K");
        m_bLineShown = false;
    }
}

void CliFrontEnd::ReportProblem(const RunProblem& problem) {
    if (problem.kind == RunProblem::Kind::Failed) {
        ClearProgressLine();
        fmt::print(m_err, "{}: {}\n", problem.path, problem.reason);
    } else if (!m_options.quiet) {
        ClearProgressLine();
        fmt::print(m_err, "note: {} overwrote {}, converted earlier from {}\n", problem.path,
                   problem.targetPath, problem.otherPath);
    }
    std::fflush(m_err);
}

void CliFrontEnd::OpenFolder(const std::string& folder) {
    if (!OpenInFileBrowser(folder)) {
        fmt::print(m_err, "tolvren-cli: cannot start xdg-open to show {}\n", folder);
    }
}

void CliFrontEnd::Finish(const RunState& run) {
    ClearProgressLine();
    std::fflush(m_err);
    if (!m_options.quiet) {
        fmt::print(m_out, "{}\n", run.m_strFinalText);
    }
    std::fflush(m_out);
}

} // namespace tolvren
