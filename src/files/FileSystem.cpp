#include "files/FileSystem.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace tolvren {

namespace {

void CloseKeepingErrno(int fd) {
    if (fd >= 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
}

} // namespace

int OpenPath(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd >= 0 || errno != ENAMETOOLONG) {
        return fd;
    }
    // Too long for the kernel in one piece: walk it in stretches that each fit, holding only the
    // folder reached so far.
    int dirFd = AT_FDCWD;
    std::size_t pos = 0;
    if (path.front() == '/') {
        dirFd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0) {
            return -1;
        }
    }
    constexpr std::size_t limit = PATH_MAX - 1;
    for (;;) {
        while (pos < path.size() && path[pos] == '/') {
            ++pos;
        }
        if (path.size() - pos <= limit) {
            const std::string last = pos < path.size() ? path.substr(pos) : std::string(".");
            fd = ::openat(dirFd, last.c_str(), flags | O_CLOEXEC);
            if (dirFd != AT_FDCWD) {
                CloseKeepingErrno(dirFd);
            }
            return fd;
        }
        const std::size_t cut = path.rfind('/', pos + limit);
        if (cut == std::string::npos || cut <= pos) {
            // One name longer than any folder can hold.
            if (dirFd != AT_FDCWD) {
                ::close(dirFd);
            }
            errno = ENAMETOOLONG;
            return -1;
        }
        const std::string stretch = path.substr(pos, cut - pos);
        const int next = ::openat(dirFd, stretch.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (dirFd != AT_FDCWD) {
            CloseKeepingErrno(dirFd);
        }
        if (next < 0) {
            return -1;
        }
        dirFd = next;
        pos = cut + 1;
    }
}

bool GetIdentity(const std::string& path, FileIdentity& identity) {
    const int fd = OpenPath(path.empty() ? std::string(".") : path, O_PATH);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (ok) {
        identity = FileIdentity::Of(st);
    }
    return ok;
}

FolderHandle::FolderHandle(const std::string& path) : m_strPath(path) {
    m_fd = OpenPath(path.empty() ? std::string(".") : path, O_PATH | O_DIRECTORY);
    if (m_fd < 0) {
        m_nError = errno;
    }
}

FolderHandle::~FolderHandle() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

PathParts SplitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

} // namespace tolvren
