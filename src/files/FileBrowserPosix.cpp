// Showing a folder with xdg-open.

#include "files/FileBrowser.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tolvren {

namespace {

// How long the file browser may take to say that it could not show the folder.
constexpr auto kOpenerPatience = std::chrono::seconds(3);
constexpr const char* kProgram = "xdg-open";

} // namespace

OpenFolderResult OpenInFileBrowser(const std::string& folder) {
    using Outcome = OpenFolderResult::Outcome;
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0')) {
        return {Outcome::NoDisplay, 0, kProgram};
    }
    // The folder is one argv entry: no shell ever sees it, whatever quotes, blanks or `$(...)`
    // it holds. What the opener prints goes nowhere: it would arrive after we have ended.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
                                         fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    }
    std::string program = kProgram;
    std::string path = folder;
    char* argv[] = {program.data(), path.data(), nullptr};
    pid_t opener = 0;
    const int spawned = posix_spawnp(&opener, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return {Outcome::CannotStart, spawned, kProgram};
    }
    // Most openers hand the folder to the file browser and end at once; one that fails says so
    // by its exit status.
    const auto deadline = std::chrono::steady_clock::now() + kOpenerPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t ended = waitpid(opener, &status, WNOHANG);
        if (ended == opener) {
            if (WIFEXITED(status)) {
                return WEXITSTATUS(status) == 0
                           ? OpenFolderResult{}
                           : OpenFolderResult{Outcome::Failed, WEXITSTATUS(status), kProgram};
            }
            return {Outcome::EndedBySignal, WTERMSIG(status), kProgram};
        }
        if (ended < 0 && errno != EINTR) {
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Still running: it shows the folder itself. Nobody waits for it, but it must not linger as
    // our zombie either.
    std::thread([opener] {
        int status = 0;
        while (waitpid(opener, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return {};
}

} // namespace tolvren
