// Stop signals on Linux: SIGINT, SIGTERM, SIGHUP.

#include "cli/StopSignals.h"
#include "files/AtomicFileWriter.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace tolvren {

namespace {

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler stores to it");

RunControl* g_pControl = nullptr;
std::atomic<int> g_nFirstSignal{0};

extern "C" void OnStopSignal(int signal) {
    int none = 0;
    if (!g_nFirstSignal.compare_exchange_strong(none, signal)) {
        RemoveTemporariesNow();
        ::_exit(128 + signal);
    }
    if (g_pControl != nullptr) {
        g_pControl->RequestStop();
    }
}

} // namespace

void InstallStopSignals(RunControl& control) {
    g_pControl = &control;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

int FirstStopSignal() {
    return g_nFirstSignal.load();
}

void RunHasEnded() {}

} // namespace tolvren
