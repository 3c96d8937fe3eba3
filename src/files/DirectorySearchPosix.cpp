// Folder listings on Linux and other POSIX systems.

#include "files/DirectorySearch.h"
#include "files/NativePosix.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tolvren {

namespace {

class DirCloser {
public:
    explicit DirCloser(DIR* dir) : m_pDir(dir) {}
    DirCloser(const DirCloser&) = delete;
    DirCloser& operator=(const DirCloser&) = delete;
    ~DirCloser() { ::closedir(m_pDir); }

private:
    DIR* m_pDir;
};

FileIdentity IdentityOf(const struct statx& stx) {
    return {static_cast<std::uint64_t>(makedev(stx.stx_dev_major, stx.stx_dev_minor)), stx.stx_ino,
            0};
}

std::uint32_t NameAttributes(const std::string& name) {
    return !name.empty() && name.front() == '.' ? FILE_ATTR_HIDDEN : 0;
}

} // namespace

FolderListing ListFolder(const std::string& folder, std::string_view mask, FileDetails details) {
    FolderListing listing;
    const int fd = OpenPath(folder.empty() ? std::string(".") : folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        listing.error = errno;
        return listing;
    }
    struct stat self {};
    if (::fstat(fd, &self) != 0) {
        listing.error = errno;
        ::close(fd);
        return listing;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        listing.error = errno;
        ::close(fd);
        return listing;
    }
    const DirCloser closer(dir);
    listing.identity = {static_cast<std::uint64_t>(self.st_dev), self.st_ino, 0};

    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/') {
        prefix += '/';
    }
    for (;;) {
        errno = 0;
        const dirent* item = ::readdir(dir);
        if (item == nullptr) {
            listing.error = errno;
            break;
        }
        const std::string name = item->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const bool matches = MatchesWildcard(mask, name);
        if (!matches && item->d_type != DT_DIR && item->d_type != DT_LNK &&
            item->d_type != DT_UNKNOWN) {
            continue;
        }
        DirectoryEntry entry;
        entry.name = name;
        if (item->d_type == DT_REG && details == FileDetails::NameAndIdentity) {
            // A plain file: the listing says all a run needs.
            entry.path = prefix + name;
            entry.attributes = FILE_ATTR_ARCHIVE | NameAttributes(name);
            entry.identity = {static_cast<std::uint64_t>(self.st_dev), item->d_ino, 0};
            listing.files.push_back(std::move(entry));
            continue;
        }
        // Follow links: a link to a file is a file, a link to a folder is a folder. A matching
        // link that leads nowhere (songs on a disk that is not mounted) is a file that cannot be
        // read; FIFOs, sockets and devices go apart, since opening a FIFO would block whoever
        // reads the files.
        struct statx stx {};
        entry.path = prefix + name;
        if (::statx(::dirfd(dir), name.c_str(), AT_STATX_SYNC_AS_STAT,
                    STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) {
            entry.error = errno;
            if (matches && ::statx(::dirfd(dir), name.c_str(), AT_SYMLINK_NOFOLLOW,
                                   STATX_BASIC_STATS, &stx) == 0) {
                entry.identity = IdentityOf(stx);
                listing.files.push_back(std::move(entry));
            }
            continue;
        }
        const mode_t mode = stx.stx_mode;
        const bool isFolder = S_ISDIR(mode);
        if (!isFolder && (!S_ISREG(mode) || !matches)) {
            if (matches) {
                entry.identity = IdentityOf(stx);
                listing.others.push_back(std::move(entry));
            }
            continue;
        }
        entry.attributes = (isFolder ? FILE_ATTR_DIRECTORY : FILE_ATTR_ARCHIVE) |
                           NameAttributes(name) | ((mode & S_IWUSR) == 0 ? FILE_ATTR_READONLY : 0);
        entry.size = isFolder ? 0 : static_cast<std::int64_t>(stx.stx_size);
        entry.created =
            (stx.stx_mask & STATX_BTIME) != 0 ? stx.stx_btime.tv_sec : stx.stx_ctime.tv_sec;
        entry.modified = stx.stx_mtime.tv_sec;
        entry.accessed = stx.stx_atime.tv_sec;
        entry.identity = IdentityOf(stx);
        (isFolder ? listing.folders : listing.files).push_back(std::move(entry));
    }
    SortByName(listing.folders);
    SortByName(listing.files);
    SortByName(listing.others);
    return listing;
}

} // namespace tolvren
