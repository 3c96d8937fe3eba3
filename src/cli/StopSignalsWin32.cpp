// Stop requests on Windows: Ctrl-C, Ctrl-Break and closing the console window.

#include "cli/StopSignals.h"
#include "files/AtomicFileWriter.h"

#include <atomic>
#include <windows.h>

namespace tolvren {

namespace {

// The numbers a shell gives the same requests on Linux, and Windows' own C runtime for
// Ctrl-Break: the exit status is 128 plus the number.
constexpr int kInterrupt = 2; // Ctrl-C, as SIGINT
constexpr int kBreak = 21;    // Ctrl-Break, as SIGBREAK
constexpr int kHangUp = 1;    // the console window closed, the user logged off: as SIGHUP

// Windows ends the process a few seconds after a close request, whatever the handler does.
constexpr DWORD kCloseWaitMs = 4500;

RunControl* g_pControl = nullptr;
std::atomic<int> g_nFirstSignal{0};
HANDLE g_hRunEnded = nullptr;

BOOL WINAPI OnControl(DWORD type) {
    const bool closing =
        type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
    const int signal = closing ? kHangUp : type == CTRL_BREAK_EVENT ? kBreak : kInterrupt;
    int none = 0;
    if (!g_nFirstSignal.compare_exchange_strong(none, signal) && !closing) {
        RemoveTemporariesNow();
        ::ExitProcess(static_cast<UINT>(128 + signal));
    }
    if (g_pControl != nullptr) {
        g_pControl->RequestStop();
    }
    if (closing) {
        // The handler runs on a thread of its own and Windows ends the process when it returns:
        // let the current file finish and the run end (its last status printed) first.
        if (g_hRunEnded == nullptr ||
            ::WaitForSingleObject(g_hRunEnded, kCloseWaitMs) != WAIT_OBJECT_0) {
            RemoveTemporariesNow();
        }
        ::ExitProcess(static_cast<UINT>(128 + signal));
    }
    return TRUE;
}

} // namespace

void InstallStopSignals(RunControl& control) {
    g_pControl = &control;
    g_hRunEnded = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

int FirstStopSignal() {
    return g_nFirstSignal.load();
}

void RunHasEnded() {
    if (g_hRunEnded != nullptr) {
        ::SetEvent(g_hRunEnded);
    }
}

} // namespace tolvren
