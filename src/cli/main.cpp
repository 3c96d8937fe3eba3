// tolvren-cli: converts one KSC script or every script under a folder into KMC documents.

#include "batch/RunState.h"
#include "cli/CliFrontEnd.h"

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <fmt/format.h>
#include <iostream>
#include <unistd.h>

namespace {

enum ExitStatus { ExitOk = 0, ExitFailures = 1, ExitUsage = 2, ExitStopped = 130 };

tolvren::RunState* g_pRun = nullptr;
volatile std::sig_atomic_t g_nInterrupts = 0;

// The first Ctrl-C asks the run to stop after the current file, as the Stop button does; the
// second ends the process at once.
extern "C" void OnInterrupt(int) {
    g_nInterrupts = g_nInterrupts + 1;
    if (g_nInterrupts > 1) {
        _exit(ExitStopped);
    }
    if (g_pRun != nullptr) {
        g_pRun->m_bRunning.store(0);
    }
}

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    static_assert(std::atomic<int>::is_always_lock_free, "the interrupt handler stores to it");

    CLI::App app{"Converts KSC lyric scripts into KMC documents.\n"
                 "SOURCE is a folder (every *.ksc* file under it, at any depth) or one file;\n"
                 "the documents go side by side into TARGET_DIR.",
                 "tolvren-cli"};
    std::string source;
    std::string target;
    std::string author;
    std::string format = "kmc";
    bool quiet = false;
    bool open = false;
    bool keepTree = false;
    app.add_option("SOURCE", source, "Folder to search, or one KSC file")
        ->required()
        ->check(CLI::ExistingPath);
    app.add_option("TARGET_DIR", target, "Folder that receives the documents")->required();
    app.add_option("-a,--author", author, "Author written into every document (by=\"...\")");
    app.add_option("-f,--format", format, "Output extension: kmc or xml")
        ->check(CLI::IsMember({"kmc", "xml"}));
    app.add_flag("-q,--quiet", quiet, "Print nothing but failures");
    app.add_flag("--open", open, "Open the target folder in the file browser at the end");
    app.add_flag("--keep-tree", keepTree,
                 "Put each document into the same subfolder of TARGET_DIR as its source has "
                 "under SOURCE");
    app.set_version_flag("-V,--version", std::string("tolvren-cli ") + TOLVREN_VERSION);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        fmt::print(stderr, "tolvren-cli: {}\n\n{}", e.what(), app.help());
        return ExitUsage;
    }

    tolvren::CliFrontEnd::Options options;
    options.kmc = format == "kmc";
    options.openTarget = open;
    options.quiet = quiet;
    options.progressLine = !quiet && isatty(STDERR_FILENO) == 1;
    tolvren::CliFrontEnd frontEnd(options, stdout, stderr);

    tolvren::RunState run;
    run.m_strSourceDir = source;
    run.m_strTargetDir = target;
    run.m_strAuthor = author;
    run.m_bKeepTree = keepTree;
    run.m_pFrontEnd = &frontEnd;
    run.PrepareStart();

    g_pRun = &run;
    InstallInterruptHandler();
    tolvren::ConvertWorker(run);
    frontEnd.Finish(run);
    g_pRun = nullptr;

    if (run.m_bStopped) {
        return ExitStopped;
    }
    return run.m_nFailed > 0 ? ExitFailures : ExitOk;
}
