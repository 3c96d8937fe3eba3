#include "batch/RunState.h"

#include "conversion/FieldUtils.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fmt/format.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tolvren {

namespace {

// How long the file browser may take to say that it could not show the folder.
constexpr auto kOpenerPatience = std::chrono::seconds(3);

} // namespace

RequestCheck ValidateRequest(const RunRequest& request) {
    if (request.sourceDir.empty()) {
        return {RequestError::NoSource};
    }
    if (request.targetDir.empty() && !request.checkOnly) {
        return {RequestError::NoTarget};
    }
    for (std::size_t i = 0; i < request.author.size(); ++i) {
        if (ControlCharacterAt(request.author, i) > 0) {
            return {RequestError::AuthorHasControl};
        }
    }
    if (!request.targetDir.empty()) {
        const int target = OpenPath(request.targetDir, O_PATH);
        struct stat st {};
        const bool notAFolder = target >= 0 && ::fstat(target, &st) == 0 && !S_ISDIR(st.st_mode);
        if (target >= 0) {
            ::close(target);
        }
        if (notAFolder) {
            return {RequestError::TargetNotAFolder};
        }
    }
    // O_PATH opens anything without touching it, a FIFO included, and says what it is.
    const int path = OpenPath(request.sourceDir, O_PATH);
    if (path < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            return {RequestError::SourceMissing, error};
        }
        return {RequestError::SourceUnreadable, error};
    }
    struct stat st {};
    const bool known = ::fstat(path, &st) == 0;
    const int statError = errno;
    ::close(path);
    if (!known) {
        return {RequestError::SourceUnreadable, statError};
    }
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
        return {RequestError::SourceNotAFileOrFolder};
    }
    const int readable =
        OpenPath(request.sourceDir,
                 S_ISDIR(st.st_mode) ? O_RDONLY | O_DIRECTORY : O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (readable < 0) {
        return {RequestError::SourceUnreadable, errno};
    }
    ::close(readable);
    return {};
}

void RunFrontEnd::OpenFolder(const std::string& folder) {
    OpenInFileBrowser(folder);
}

std::string OpenInFileBrowser(const std::string& folder) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0')) {
        return "no display";
    }
    // The folder is one argv entry: no shell ever sees it, whatever quotes, blanks or `$(...)`
    // it holds. What the opener prints goes nowhere: it would arrive after we have ended.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
                                         fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    }
    std::string program = "xdg-open";
    std::string path = folder;
    char* argv[] = {program.data(), path.data(), nullptr};
    pid_t opener = 0;
    const int spawned = posix_spawnp(&opener, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return fmt::format("cannot start xdg-open: {}", ErrorText(spawned));
    }
    // Most openers hand the folder to the file browser and end at once; one that fails says so
    // by its exit status.
    const auto deadline = std::chrono::steady_clock::now() + kOpenerPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t ended = waitpid(opener, &status, WNOHANG);
        if (ended == opener) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
                return {};
            }
            return WIFEXITED(status)
                       ? fmt::format("xdg-open failed with exit status {}", WEXITSTATUS(status))
                       : fmt::format("xdg-open ended by signal {}", WTERMSIG(status));
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
