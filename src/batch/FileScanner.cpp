#include "batch/FileScanner.h"

#include "conversion/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace tolvren {

namespace {

bool InRange(std::int64_t value, std::int64_t from, std::int64_t to) {
    return from <= value && value <= to;
}

bool Passes(const ScanOptions& options, const DirectoryEntry& entry) {
    const std::uint32_t flags = options.flags;
    if ((flags & SCAN_BY_ATTRIBUTES) != 0 && !entry.MatchesMask(options.attributes)) {
        return false;
    }
    if ((flags & SCAN_BY_SIZE) != 0 && !InRange(entry.size, options.minSize, options.maxSize)) {
        return false;
    }
    if ((flags & SCAN_BY_MODIFIED) != 0 &&
        !InRange(entry.modified, options.modifiedFrom, options.modifiedTo)) {
        return false;
    }
    if ((flags & SCAN_BY_CREATED) != 0 &&
        !InRange(entry.created, options.createdFrom, options.createdTo)) {
        return false;
    }
    if ((flags & SCAN_BY_ACCESSED) != 0 &&
        !InRange(entry.accessed, options.accessedFrom, options.accessedTo)) {
        return false;
    }
    if ((flags & SCAN_BY_TEXT) != 0 && !FileContainsText(entry.path, options.containingText)) {
        return false;
    }
    return true;
}

// One folder of the walk: its record, its subfolders still to be searched, and its own files,
// listed once it has been searched below.
struct Frame {
    ScanOptions options;
    std::vector<DirectoryEntry> subfolders;
    std::vector<DirectoryEntry> files;
    std::vector<DirectoryEntry> others;
    std::size_t next = 0;
};

// The listing needs a status call per file only when a criterion looks at more than the name:
// every regular file carries the archive attribute, so an attribute mask with it passes them all.
FileDetails DetailsNeeded(const ScanOptions& options) {
    const std::uint32_t flags = options.flags;
    const bool attributesOnly = flags == 0 || (flags == SCAN_BY_ATTRIBUTES &&
                                               (options.attributes & FILE_ATTR_ARCHIVE) != 0);
    return attributesOnly ? FileDetails::NameAndIdentity : FileDetails::Full;
}

} // namespace

ScanOptions::ScanOptions() {
    Reset();
}

void ScanOptions::Reset() {
    baseFolder.clear();
    fileMask = "*.*";
    includeSubfolders = 0;
    flags = 0;
    minSize = 0;
    maxSize = 0;
    createdFrom = std::time(nullptr);
    createdTo = std::time(nullptr);
    modifiedFrom = std::time(nullptr);
    modifiedTo = std::time(nullptr);
    accessedFrom = std::time(nullptr);
    accessedTo = std::time(nullptr);
    attributes = 0;
}

int FileScanner::Scan(ScanOptions& options, const ScanHooks& hooks) {
    options.baseFolder = AddTrailingSeparator(MakeAbsolute(options.baseFolder), 1);
    m_bStopped = false;
    const FileDetails details = DetailsNeeded(options);

    // Every folder and every file once per scan, by identity: a folder that several links reach
    // would otherwise be searched once per path, which grows exponentially with link webs.
    std::unordered_set<FileIdentity, FileIdentityHash> seenFolders(hooks.skipFolders.begin(),
                                                                   hooks.skipFolders.end());
    std::unordered_set<FileIdentity, FileIdentityHash> seenFiles;
    int searched = 0;

    // The walk keeps its own stack instead of recursing, so a tree as deep as the file system
    // allows cannot exhaust the thread's stack.
    std::vector<Frame> stack;
    const auto enter = [&](ScanOptions folderOptions) {
        if (hooks.shouldStop && hooks.shouldStop()) {
            m_bStopped = true;
            return;
        }
        FolderListing listing =
            ListFolder(folderOptions.baseFolder, folderOptions.fileMask, details);
        if (listing.error != 0 && hooks.unreadable) {
            std::string folder = folderOptions.baseFolder;
            if (folder.size() > 1) {
                folder.pop_back(); // named as the user would type it
            }
            hooks.unreadable(folder, listing.error);
        }
        Frame frame{
            std::move(folderOptions), {}, std::move(listing.files), std::move(listing.others), 0};
        if (frame.options.includeSubfolders != 0) {
            frame.subfolders = std::move(listing.folders);
        }
        stack.push_back(std::move(frame));
        if (hooks.progress) {
            hooks.progress(++searched, GetCount());
        }
    };

    FileIdentity base;
    if (GetIdentity(options.baseFolder, base)) {
        seenFolders.insert(base);
    }
    enter(options);
    while (!stack.empty() && !m_bStopped) {
        Frame& top = stack.back();
        if (top.next < top.subfolders.size()) {
            const DirectoryEntry& sub = top.subfolders[top.next++];
            if (!seenFolders.insert(sub.identity).second) {
                continue; // searched already, along another path
            }
            ScanOptions child = top.options;
            child.baseFolder = AddTrailingSeparator(top.options.baseFolder + sub.name, 1);
            enter(std::move(child)); // invalidates `top` and `sub`
            continue;
        }
        for (const DirectoryEntry& file : top.files) {
            if (!IsWriterTemporary(file.name) && (file.error != 0 || Passes(top.options, file)) &&
                seenFiles.insert(file.identity).second) {
                m_found.push_back(file.path);
            }
        }
        for (const DirectoryEntry& other : top.others) {
            if (seenFiles.insert(other.identity).second && hooks.notRegularFile) {
                hooks.notRegularFile(other.path);
            }
        }
        stack.pop_back();
    }
    return GetCount();
}

int FileScanner::GetCount() const {
    return static_cast<int>(std::min<std::size_t>(m_found.size(), INT_MAX));
}

FileEntry FileScanner::GetAt(int index) const {
    if (index < 0 || index >= GetCount()) {
        return FileEntry("");
    }
    return FileEntry(m_found[static_cast<std::size_t>(index)]);
}

void FileScanner::RemoveAll() {
    m_found.clear();
    m_found.shrink_to_fit();
}

bool FileContainsText(const std::string& path, const std::string& text) {
    // The text is a C string to whoever sets it; a NUL ends it.
    const std::string wanted = text.substr(0, text.find('\0'));
    if (wanted.empty()) {
        return false;
    }
    // Non-blocking, so that opening a FIFO returns at once; it is then turned away as not a
    // regular file.
    const int fd = OpenPath(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }

    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    std::string upperWanted = wanted;
    std::transform(upperWanted.begin(), upperWanted.end(), upperWanted.begin(), upper);
    const std::size_t n = wanted.size();
    const std::size_t ask = std::max<std::size_t>(128, 2 * n) - n;
    // The last n bytes searched in one window open the next, so an occurrence cut by a read is
    // still found. They are taken after NUL bytes are dropped, and nothing is put before the
    // first read: the answer is then exactly whether the file's text without NULs holds the
    // text, and a text that starts with blanks cannot match blanks the file never had.
    std::string buffer(ask, '\0');
    std::string haystack;
    bool found = false;
    while (!found) {
        std::size_t got = 0;
        while (got < ask) {
            const ssize_t r = ::read(fd, buffer.data() + got, ask - got);
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r <= 0) {
                break;
            }
            got += static_cast<std::size_t>(r);
        }
        for (std::size_t i = 0; i < got; ++i) {
            if (buffer[i] != '\0') {
                haystack += upper(buffer[i]);
            }
        }
        found = haystack.find(upperWanted) != std::string::npos;
        if (got < ask) {
            break;
        }
        if (haystack.size() > n) {
            haystack.erase(0, haystack.size() - n);
        }
    }
    ::close(fd);
    return found;
}

} // namespace tolvren
