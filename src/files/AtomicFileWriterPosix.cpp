// The document writer's platform part on Linux: an unnamed file (O_TMPFILE) given its name with
// one link, or a named temporary given its name with one rename.

#include "files/AtomicFileWriter.h"
#include "files/NativePosix.h"
#include "files/TemporaryRegistry.h"

#include <array>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tolvren {

namespace {

std::atomic<bool> g_bUseUnnamedFiles{true};

// Linking an unnamed file into a folder goes through its /proc/self/fd link; without /proc the
// writers use named temporaries from the start.
bool CanPublishUnnamedFiles() {
    static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
    return procMounted && g_bUseUnnamedFiles.load(std::memory_order_relaxed);
}

// The named temporaries in use, for a second Ctrl-C.
struct TemporaryPath {
    int dirFd = -1;
    std::array<char, NAME_MAX + 1> name{};
};
TemporaryRegistry<TemporaryPath> g_temporaries;

int RegisterTemporary(int dirFd, const std::string& name) {
    if (name.size() > NAME_MAX) {
        return -1;
    }
    return g_temporaries.Register([&](TemporaryPath& slot) {
        slot.dirFd = dirFd;
        std::copy(name.begin(), name.end(), slot.name.begin());
        slot.name[name.size()] = '\0';
    });
}

// A writer holds its named temporary with a lock from the moment the name exists, so that a run
// that cleans the folder can tell it from one whose writer is gone. flock locks belong to the
// open file, so they hold between two runs in one process as between processes (on NFS as POSIX
// locks). Where the file system has no locks the temporary goes unlocked, and no run removes
// one there either.
bool HoldTemporary(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

// Whether `name` in `dirFd` still names the file `fd` is open on: a run that took it for stale
// may have removed it between its creation and the lock.
bool StillNamed(int dirFd, const std::string& name, int fd) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 &&
           ::fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

int FolderFd(const FolderHandlePtr& folder) {
    return folder->GetNative().fd;
}

} // namespace

void RemoveTemporariesNow() noexcept {
    g_temporaries.ForEach(
        [](const TemporaryPath& slot) { ::unlinkat(slot.dirFd, slot.name.data(), 0); });
}

void RemoveStaleTemporaries(const FolderHandle& folder) {
    const int dirFd = ::openat(folder.GetNative().fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* const listing = dirFd >= 0 ? ::fdopendir(dirFd) : nullptr;
    if (listing == nullptr) {
        if (dirFd >= 0) {
            ::close(dirFd);
        }
        return;
    }
    const uid_t user = ::geteuid();
    while (const dirent* entry = ::readdir(listing)) {
        if ((entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) ||
            !IsWriterTemporary(entry->d_name)) {
            continue;
        }
        // Opened without following a link and without waiting on a FIFO; removed only while
        // this run holds its lock, and only if the name still leads to it.
        const int fd = ::openat(dirFd, entry->d_name,
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        // A read-only one is a user's, as a protected document is.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) != 0 &&
            st.st_uid == user && st.st_nlink == 1 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            StillNamed(dirFd, entry->d_name, fd)) {
            ::unlinkat(dirFd, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(listing);
}

void AtomicFileWriter::UseUnnamedFiles(bool use) {
    g_bUseUnnamedFiles = use;
}

bool AtomicFileWriter::HasUnnamedFiles() {
    return true;
}

IoResult AtomicFileWriter::CreateTemporary() {
    const int dirFd = FolderFd(m_pFolder);
    if (CanPublishUnnamedFiles()) {
        // Mode 0666 lets the umask (and default ACLs) decide, as for any newly created file.
        const int fd = ::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_hFile = fd;
            return {};
        }
        // File systems without unnamed files say so in one of these ways; anything else is a
        // real reason not to write here.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return IoResult::Failed(IoStep::CreateTarget, errno);
        }
    }
    int error = EEXIST;
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_strTempName = TemporaryName(m_strName);
        const int fd = ::openat(dirFd, m_strTempName.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0) {
            error = errno;
            if (error != EEXIST) {
                break;
            }
            continue;
        }
        if (HoldTemporary(fd) && StillNamed(dirFd, m_strTempName, fd)) {
            m_hFile = fd;
            m_nRegistration = RegisterTemporary(dirFd, m_strTempName);
            return {};
        }
        ::close(fd); // another run took it for stale before it was held, and removes it: next name
    }
    m_strTempName.clear();
    return IoResult::Failed(IoStep::CreateTarget, error);
}

IoResult AtomicFileWriter::WriteOut(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put =
            ::write(static_cast<int>(m_hFile), bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno != EINTR) {
                return IoResult::Failed(IoStep::WriteTarget, errno);
            }
            continue;
        }
        if (put == 0) {
            return IoResult::Failed(IoStep::WriteTarget, EIO); // never expected for a file
        }
        done += static_cast<std::size_t>(put);
    }
    return {};
}

IoResult AtomicFileWriter::CloseTemporary() {
    if (m_strTempName.empty()) {
        return {}; // an unnamed file stays open: it is linked through its descriptor
    }
    // close can report a delayed write error (NFS, quota), so it counts like a write; a second
    // descriptor of the same open file keeps the lock until the temporary has its name.
    const int fd = static_cast<int>(m_hFile);
    m_hFile = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    const int held = m_hFile < 0 ? errno : 0;
    if (::close(fd) != 0) {
        return IoResult::Failed(IoStep::WriteTarget, errno);
    }
    return held == 0 ? IoResult{} : IoResult::Failed(IoStep::WriteTarget, held);
}

namespace {

// Whether the writer may put its document where `name` stands now (errno 0 when nothing is
// there); `existing` gets what is there.
IoResult CheckExistingTarget(int dirFd, const std::string& name, const FileIdentity* source,
                             struct stat& existing) {
    if (::fstatat(dirFd, name.c_str(), &existing, 0) != 0) {
        // Gone meanwhile, or a link that leads nowhere: either way it may be replaced.
        existing = {};
        return {};
    }
    // Writing to the source itself (same folder, a hard link, a symbolic link) would replace
    // the script by its own document; Windows refuses that through its exclusive open.
    if (source != nullptr && static_cast<std::uint64_t>(existing.st_dev) == source->device &&
        static_cast<std::uint64_t>(existing.st_ino) == source->file) {
        return IoResult::Failed(IoStep::WriteTarget, IoCause::TargetIsSource);
    }
    if (S_ISDIR(existing.st_mode)) {
        return IoResult::Failed(IoStep::CreateTarget, EISDIR);
    }
    // A read-only document is one its owner protected; replacing it by a rename would succeed,
    // so honour the protection here, as opening it for writing would.
    if ((existing.st_mode & S_IWUSR) == 0) {
        return IoResult::Failed(IoStep::WriteTarget, IoCause::TargetReadOnly);
    }
    return {};
}

IoResult LinkUnder(int fd, int dirFd, const std::string& name) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, procPath.c_str(), dirFd, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        return IoResult::Failed(IoStep::ReplaceTarget, errno);
    }
    return {};
}

} // namespace

IoResult AtomicFileWriter::Publish(const FileIdentity* source) {
    const int dirFd = FolderFd(m_pFolder);
    const int fd = static_cast<int>(m_hFile);
    const bool unnamed = m_strTempName.empty();
    bool placed = false;
    if (unnamed) {
        // A new document: one link and it is there, complete.
        const IoResult linked = LinkUnder(fd, dirFd, m_strName);
        if (!linked.ok() && linked.error != EEXIST) {
            return linked;
        }
        placed = linked.ok();
    }
    if (!placed) {
        struct stat existing {};
        if (const IoResult checked = CheckExistingTarget(dirFd, m_strName, source, existing);
            !checked.ok()) {
            return checked;
        }
        // The replacement keeps who may read the document. The group may be one the user
        // cannot give away, and then stays the user's.
        if (existing.st_ino != 0 && !S_ISLNK(existing.st_mode)) {
            const mode_t mode = existing.st_mode & 07777;
            if (unnamed) {
                ::fchmod(fd, mode);
                [[maybe_unused]] const int ignored =
                    ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
            } else {
                ::fchmodat(dirFd, m_strTempName.c_str(), mode, 0);
                [[maybe_unused]] const int ignored =
                    ::fchownat(dirFd, m_strTempName.c_str(), static_cast<uid_t>(-1),
                               existing.st_gid, AT_SYMLINK_NOFOLLOW);
            }
        }
        if (unnamed) {
            // rename(2) replaces in one step, but needs a name to move from: the complete
            // document gets a temporary one just for that, held before it has it.
            ::flock(fd, LOCK_EX | LOCK_NB);
            for (int attempt = 0;; ++attempt) {
                std::string temp = TemporaryName(m_strName);
                const IoResult linked = LinkUnder(fd, dirFd, temp);
                if (linked.ok()) {
                    m_strTempName = std::move(temp);
                    m_nRegistration = RegisterTemporary(dirFd, m_strTempName);
                    break;
                }
                if (linked.error != EEXIST || attempt == 100) {
                    return linked;
                }
            }
        }
        if (::renameat(dirFd, m_strTempName.c_str(), dirFd, m_strName.c_str()) != 0) {
            return IoResult::Failed(IoStep::ReplaceTarget, errno);
        }
    }
    if (m_hFile >= 0) {
        ::close(static_cast<int>(std::exchange(m_hFile, -1)));
    }
    g_temporaries.Unregister(std::exchange(m_nRegistration, -1));
    m_strTempName.clear();
    return {};
}

void AtomicFileWriter::Discard() {
    if (m_hFile >= 0) {
        ::close(static_cast<int>(std::exchange(m_hFile, -1)));
    }
    if (!m_strTempName.empty()) {
        ::unlinkat(FolderFd(m_pFolder), m_strTempName.c_str(), 0);
        m_strTempName.clear();
    }
    g_temporaries.Unregister(std::exchange(m_nRegistration, -1));
    std::string().swap(m_buffer);
}

} // namespace tolvren
