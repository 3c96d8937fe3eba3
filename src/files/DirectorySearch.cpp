#include "files/DirectorySearch.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tolvren {

namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
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

FileIdentity IdentityOf(const struct statx& stx) {
    return {static_cast<std::uint64_t>(makedev(stx.stx_dev_major, stx.stx_dev_minor)), stx.stx_ino};
}

std::uint32_t NameAttributes(const std::string& name) {
    return !name.empty() && name.front() == '.' ? FILE_ATTR_HIDDEN : 0;
}

// Names compared as the user's eye sees them on a case-blind file system; the raw bytes only
// break ties between names that differ in case alone, so the order never depends on readdir.
void SortByName(std::vector<DirectoryEntry>& entries) {
    std::vector<std::pair<std::string, std::size_t>> keys;
    keys.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::string key = entries[i].name;
        std::transform(key.begin(), key.end(), key.begin(), [](char c) { return UpperAscii(c); });
        keys.emplace_back(std::move(key), i);
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
    entries = std::move(sorted);
}

} // namespace

bool MatchesWildcard(std::string_view mask, std::string_view name) {
    if (MatchesPlain(mask, name)) {
        return true;
    }
    return mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
           MatchesPlain(mask.substr(0, mask.size() - 2), name);
}

std::string MakeAbsolute(const std::string& folder) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(folder, error);
    if (error) {
        return folder; // the current folder is gone; relative is the best there is
    }
    std::string text = absolute.native();
    // absolute("") is the current folder with a trailing separator; the folder itself is meant.
    if (folder.empty() && text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

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

    std::string prefix = MakeAbsolute(folder);
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
            entry.identity = {static_cast<std::uint64_t>(self.st_dev), item->d_ino};
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
