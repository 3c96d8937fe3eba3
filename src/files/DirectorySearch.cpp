#include "files/DirectorySearch.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tolvren {

namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return UpperAscii(c); });
    return upper;
}

// Greedy matching that remembers only the last '*': when a later literal fails, that star takes
// one byte more. Every earlier star is already satisfied, so no deeper backtracking is needed and
// hostile masks like "*a*a*a*a*b" cannot make it exponential.
bool MatchesPlain(std::string_view mask, std::string_view name) {
    std::size_t m = 0;
    std::size_t n = 0;
    std::size_t starMask = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() &&
                   (mask[m] == '?' || UpperAscii(mask[m]) == UpperAscii(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') {
        ++m;
    }
    return m == mask.size();
}

class DirCloser {
public:
    explicit DirCloser(DIR* dir) : m_pDir(dir) {}
    DirCloser(const DirCloser&) = delete;
    DirCloser& operator=(const DirCloser&) = delete;
    ~DirCloser() { ::closedir(m_pDir); }

private:
    DIR* m_pDir;
};

void CloseKeepingErrno(int fd) {
    if (fd >= 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
}

std::uint32_t AttributesOf(const std::string& name, mode_t mode) {
    std::uint32_t attributes = S_ISDIR(mode) ? FILE_ATTR_DIRECTORY : FILE_ATTR_ARCHIVE;
    if ((mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTR_READONLY;
    }
    if (!name.empty() && name.front() == '.') {
        attributes |= FILE_ATTR_HIDDEN;
    }
    return attributes;
}

} // namespace

bool MatchesWildcard(std::string_view mask, std::string_view name) {
    if (MatchesPlain(mask, name)) {
        return true;
    }
    return mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
           MatchesPlain(mask.substr(0, mask.size() - 2), name);
}

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

std::string MakeAbsolute(const std::string& folder) {
    if (!folder.empty() && folder.front() == '/') {
        return folder;
    }
    std::string cwd(256, '\0');
    while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
        if (errno != ERANGE) {
            return folder; // the current folder is gone; relative is the best there is
        }
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(cwd.find('\0'));
    if (folder.empty()) {
        return cwd;
    }
    if (cwd.back() != '/') {
        cwd += '/';
    }
    return cwd + folder;
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
        identity.device = static_cast<std::uint64_t>(st.st_dev);
        identity.inode = static_cast<std::uint64_t>(st.st_ino);
    }
    return ok;
}

std::vector<DirectoryEntry> FindEntries(const std::string& folder, std::string_view mask,
                                        bool foldersOnly) {
    std::vector<DirectoryEntry> entries;
    const int fd = OpenPath(folder.empty() ? std::string(".") : folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return entries;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return entries;
    }
    const DirCloser closer(dir);

    std::string prefix = MakeAbsolute(folder);
    if (!prefix.empty() && prefix.back() != '/') {
        prefix += '/';
    }
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == ".." || !MatchesWildcard(mask, name)) {
            continue;
        }
        if (foldersOnly && item->d_type != DT_DIR && item->d_type != DT_LNK &&
            item->d_type != DT_UNKNOWN) {
            continue;
        }
        // Follow links: a link to a file is a file, a link to a folder is a folder. What is
        // neither (FIFOs, sockets, devices, dangling links) is left out, since opening a FIFO
        // would block whoever reads the list.
        struct statx stx {};
        if (::statx(::dirfd(dir), name.c_str(), AT_STATX_SYNC_AS_STAT,
                    STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) {
            continue;
        }
        const mode_t mode = stx.stx_mode;
        if ((!S_ISREG(mode) || foldersOnly) && !S_ISDIR(mode)) {
            continue;
        }
        DirectoryEntry entry;
        entry.name = name;
        entry.path = prefix + name;
        entry.attributes = AttributesOf(name, mode);
        entry.size = S_ISREG(mode) ? static_cast<std::int64_t>(stx.stx_size) : 0;
        entry.created =
            (stx.stx_mask & STATX_BTIME) != 0 ? stx.stx_btime.tv_sec : stx.stx_ctime.tv_sec;
        entry.modified = stx.stx_mtime.tv_sec;
        entry.accessed = stx.stx_atime.tv_sec;
        entry.identity.device =
            static_cast<std::uint64_t>(makedev(stx.stx_dev_major, stx.stx_dev_minor));
        entry.identity.inode = stx.stx_ino;
        entries.push_back(std::move(entry));
    }

    // Names compared as the user's eye sees them on a case-blind file system; the raw bytes only
    // break ties between names that differ in case alone, so the order never depends on readdir.
    std::vector<std::pair<std::string, std::size_t>> keys;
    keys.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        keys.emplace_back(UpperAscii(entries[i].name), i);
    }
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first) {
            return a.first < b.first;
        }
        return entries[a.second].name < entries[b.second].name;
    });
    std::vector<DirectoryEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto& key : keys) {
        sorted.push_back(std::move(entries[key.second]));
    }
    return sorted;
}

} // namespace tolvren
