#include "batch/RunState.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tolvren {

void RunFrontEnd::OpenFolder(const std::string& folder) {
    OpenInFileBrowser(folder);
}

bool OpenInFileBrowser(const std::string& folder) {
    // The folder is one argv entry: no shell ever sees it, whatever quotes, blanks or `$(...)` it
    // holds. posix_spawnp reports a missing program as a failure.
    std::string program = "xdg-open";
    std::string path = folder;
    char* argv[] = {program.data(), path.data(), nullptr};
    pid_t browser = 0;
    if (posix_spawnp(&browser, argv[0], nullptr, nullptr, argv, environ) != 0) {
        return false;
    }
    // Nobody waits for the browser, but it must not linger as our zombie either.
    std::thread([browser] {
        int status = 0;
        while (waitpid(browser, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

bool RunState::PrepareStart() {
    if (m_strSourceDir.empty() || m_strTargetDir.empty()) {
        return false;
    }
    m_bRunning = 1;
    m_bExitRequested = 0;
    return true;
}

} // namespace tolvren
