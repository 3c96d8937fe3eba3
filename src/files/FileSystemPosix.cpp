// The file-system calls on Linux and other POSIX systems.

#include "files/InputFile.h"
#include "files/NativePosix.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tolvren {

const char kPathSeparator = '/';
const ErrorWording kErrorWording = ErrorWording::Posix;

namespace {

void CloseKeepingErrno(int fd) {
    if (fd >= 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
}

FileIdentity IdentityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), 0};
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

PathStatus StatPath(const std::string& path, Access access) {
    PathStatus status;
    // O_PATH opens anything without touching it, a FIFO included, and says what it is.
    const int fd = OpenPath(path.empty() ? std::string(".") : path, O_PATH);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        status.error = errno;
        CloseKeepingErrno(fd);
        status.kind =
            status.error == ENOENT || status.error == ENOTDIR ? PathKind::Missing : PathKind::Other;
        return status;
    }
    ::close(fd);
    status.kind = S_ISDIR(st.st_mode)   ? PathKind::Folder
                  : S_ISREG(st.st_mode) ? PathKind::RegularFile
                                        : PathKind::Other;
    status.identity = IdentityOf(st);
    if (access == Access::Read && status.kind != PathKind::Other) {
        const bool folder = status.kind == PathKind::Folder;
        const int readable =
            OpenPath(path, folder ? O_RDONLY | O_DIRECTORY : O_RDONLY | O_NONBLOCK | O_NOCTTY);
        if (readable < 0) {
            status.error = errno;
        } else {
            ::close(readable);
        }
    }
    return status;
}

bool GetIdentity(const std::string& path, FileIdentity& identity) {
    const PathStatus status = StatPath(path);
    if (status.error != 0) {
        return false;
    }
    identity = status.identity;
    return true;
}

int CreateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
        return errno;
    }
    return 0;
}

IoResult CreateFolders(const std::string& folder, std::string_view below) {
    std::error_code error;
    std::filesystem::create_directories(JoinPath(folder, below), error);
    return error ? IoResult::Failed(IoStep::CreateFolder, error.value()) : IoResult{};
}

std::string MakeAbsolute(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        // The current folder is gone; relative is the best there is.
        return WithoutTrailingSeparator(path);
    }
    return WithoutTrailingSeparator(absolute.native());
}

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

PathParts SplitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

std::string JoinPath(const std::string& folder, std::string_view name) {
    if (folder.empty()) {
        return std::string(name);
    }
    std::string path = folder;
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path.append(name);
    return path;
}

std::string NameKey(std::string_view path) {
    return std::string(path);
}

std::string StoredName(const std::string& path) {
    return path;
}

FolderHandle::FolderHandle(const std::string& path)
    : m_strPath(path), m_pNative(std::make_unique<Native>()) {
    m_pNative->fd = OpenPath(path.empty() ? std::string(".") : path, O_PATH | O_DIRECTORY);
    if (m_pNative->fd < 0) {
        m_nError = errno;
    }
}

FolderHandle::~FolderHandle() {
    if (m_pNative->fd >= 0) {
        ::close(m_pNative->fd);
    }
}

InputFile::~InputFile() {
    if (m_hNative >= 0) {
        ::close(static_cast<int>(m_hNative));
    }
}

IoResult InputFile::Open(const std::string& path) {
    // O_NONBLOCK so that opening a FIFO without a writer returns at once; it is refused below.
    const int fd = OpenPath(path, O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return IoResult::Failed(IoStep::OpenSource, errno);
    }
    m_hNative = fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return IoResult::Failed(IoStep::OpenSource, errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return IoResult::Failed(IoStep::ReadSource, EISDIR);
    }
    if (!S_ISREG(st.st_mode)) {
        return IoResult::Failed(IoStep::ReadSource, IoCause::NotRegularFile);
    }
    m_nSize = st.st_size;
    m_identity = IdentityOf(st);
    return {};
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t size, int& error) {
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(m_hNative), buffer, size);
        if (got >= 0) {
            return got;
        }
        if (errno != EINTR) {
            error = errno;
            return -1;
        }
    }
}

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

bool IsQuotaError(int error) {
    return error == EDQUOT;
}

} // namespace tolvren
