#include "cli/CliFrontEnd.h"

#include "batch/Messages.h"

#include <fmt/format.h>

namespace tolvren {

CliFrontEnd::CliFrontEnd(Options options, const Terminal& terminal, std::FILE* out, std::FILE* err)
    : m_options(options), m_terminal(terminal), m_out(out), m_err(err) {}

void CliFrontEnd::DrawProgressLine(const std::string& text) {
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
    m_terminal.Write(m_err, fmt::format("\r{}\x1b[K", text));
    std::fflush(m_err);
    m_bLineShown = true;
}

void CliFrontEnd::ClearProgressLine() {
    if (m_bLineShown) {
        m_terminal.Write(m_err, "\r\x1b[K");
        m_bLineShown = false;
    }
}

void CliFrontEnd::ShowScan(int folders, int files) {
    DrawProgressLine(ScanStatusText(folders, files));
}

void CliFrontEnd::ShowProgress(const RunProgress& progress) {
    DrawProgressLine(progress.text + "  " + progress.elapsed);
}

void PrintLine(std::FILE* stream, const Terminal& terminal, std::string_view line,
               std::string_view path) {
    const std::string shown = EscapeControls(path);
    if (shown.empty() || !line.starts_with(shown)) {
        terminal.Write(stream, fmt::format("{}\n", line));
        return;
    }
    terminal.WritePath(stream, shown);
    terminal.Write(stream, fmt::format("{}\n", line.substr(shown.size())));
}

void CliFrontEnd::ReportProblem(const RunProblem& problem) {
    const bool failure = problem.kind == RunProblem::Kind::Failed ||
                         problem.kind == RunProblem::Kind::FolderUnreadable ||
                         problem.kind == RunProblem::Kind::TargetFolder;
    const bool warning = problem.kind == RunProblem::Kind::Warning ||
                         problem.kind == RunProblem::Kind::NotRegularFile;
    if (!failure && (m_options.quiet || (warning && !m_options.warnings))) {
        return;
    }
    ClearProgressLine();
    const std::string line = DescribeProblemLine(problem, Language::English);
    PrintLine(m_err, m_terminal,
              problem.path.empty() ? fmt::format("{}: {}", m_options.program, line) : line,
              problem.path);
    std::fflush(m_err);
}

void CliFrontEnd::ShowFinished(const RunSummary& summary) {
    ClearProgressLine();
    std::fflush(m_err);
    if (!m_options.quiet) {
        m_terminal.Write(m_out, summary.finalText + "\n");
    }
    std::fflush(m_out);
}

bool CliFrontEnd::OpenFolder(const std::string& folder) {
    const OpenFolderResult opened = OpenInFileBrowser(folder);
    if (!opened.ok()) {
        PrintLine(m_err, m_terminal, DescribeOpenFailure(folder, opened, Language::English),
                  folder);
    }
    return opened.ok();
}

} // namespace tolvren
