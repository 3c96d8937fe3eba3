#pragma once

// Runs a piece of a test in a forked child: for limits (file size, alarm) and identities (another
// user) that must not touch the test process itself.

#include <functional>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tolvren::test {

struct ChildResult {
    int exitCode = -1; ///< the child's exit status, or -1 when it died of a signal
    int signal = 0;    ///< the signal that ended it, if any
    long maxRssKb = 0; ///< the child's peak resident memory
};

/// Runs `body` in a child that ends with `body`'s result as its exit status. The child is killed
/// by SIGALRM after `timeoutSeconds`, so a hang fails the test instead of blocking it.
inline ChildResult RunInChild(const std::function<int()>& body, unsigned timeoutSeconds = 60) {
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(timeoutSeconds);
        _exit(body());
    }
    ChildResult result;
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
        return result;
    }
    result.maxRssKb = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

/// Drops to the unprivileged "nobody" ids (in a child only): mode bits then apply as for a user.
inline bool BecomeNobody() {
    constexpr uid_t kNobody = 65534;
    return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

} // namespace tolvren::test
