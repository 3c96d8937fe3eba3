#pragma once

// Runs a piece of a test in a forked child: for limits (file size, alarm) and identities (another
// user) that must not touch the test process itself.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <source_location>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tolvren::test {

/// The checks a child makes. Each one that fails goes at once down a pipe to the parent, which
/// reports it as a failure at the line that made it, with both values.
class ChildChecks {
public:
    explicit ChildChecks(int fd) : m_fd(fd) {}

    /// As EXPECT_EQ; `what` names the value. Returns whether the two are equal.
    template <typename Actual, typename Expected>
    bool Equal(const std::string& what, const Actual& actual, const Expected& expected,
               std::source_location where = std::source_location::current()) {
        if (actual == expected) {
            return true;
        }
        // One record: file, line and message, each ending in a NUL (printed values hold none).
        // A blocking write to a pipe writes it whole.
        const std::string record =
            std::string(where.file_name()) + '\0' + std::to_string(where.line()) + '\0' + what +
            " (checked in a child)\n  Actual: " + ::testing::PrintToString(actual) +
            "\nExpected: " + ::testing::PrintToString(expected) + '\0';
        [[maybe_unused]] const ssize_t written = ::write(m_fd, record.data(), record.size());
        m_bFailed = true;
        return false;
    }

    bool Failed() const { return m_bFailed; }

private:
    int m_fd;
    bool m_bFailed = false;
};

struct ChildResult {
    int exitCode = -1; ///< 0, 1 when a check failed, -1 when the child died of a signal
    long maxRssKb = 0; ///< the child's peak resident memory
};

/// Runs `body` in a child and reports each of its failed checks as a failure of the test. A child
/// that dies of a signal fails the test too; SIGALRM ends one after `timeoutSeconds`, so that a
/// hang fails the test instead of blocking it.
inline ChildResult RunInChild(const std::function<void(ChildChecks&)>& body,
                              unsigned timeoutSeconds = 60,
                              std::source_location where = std::source_location::current()) {
    ChildResult result;
    int fds[2];
    pid_t pid = -1;
    if (::pipe2(fds, O_CLOEXEC) != 0 || (pid = fork()) < 0) {
        ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << "no child";
        return result;
    }
    if (pid == 0) {
        ::close(fds[0]);
        alarm(timeoutSeconds);
        ChildChecks checks(fds[1]);
        body(checks);
        _exit(checks.Failed() ? 1 : 0);
    }
    ::close(fds[1]);
    std::string records;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        records.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    std::istringstream in(records);
    for (std::string file, line, message; std::getline(in, file, '\0') &&
                                          std::getline(in, line, '\0') &&
                                          std::getline(in, message, '\0');) {
        ADD_FAILURE_AT(file.c_str(), std::stoi(line)) << message;
    }
    result.maxRssKb = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
            << (WTERMSIG(status) == SIGALRM
                    ? "the child hung: no end in " + std::to_string(timeoutSeconds) + " s"
                    : std::string("the child crashed: ") + strsignal(WTERMSIG(status)));
    }
    return result;
}

/// Drops to the unprivileged "nobody" ids (in a child only): mode bits then apply as for a user.
inline bool BecomeNobody() {
    constexpr uid_t kNobody = 65534;
    return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

} // namespace tolvren::test
