#include "batch/FileScanner.h"

#include "files/AtomicFileWriter.h"

#include <algorithm>
#include <climits>
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
    std::string folder; ///< the base folder as given, or a folder joined to it
    std::vector<DirectoryEntry> subfolders;
    std::vector<DirectoryEntry> files;
    std::vector<DirectoryEntry> others;
    std::size_t next = 0;
};

// The listing needs a status call per file only when a criterion looks at more than the name and
// the attributes: on Linux every regular file carries the archive attribute, so an attribute mask
// with it passes them all (Windows' listing has every attribute anyway).
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

ScanOptions ScriptScanOptions(const std::string& baseFolder) {
    // "**.ksc*": every name that contains ".ksc", as the mask has always been written ("*%s*"
    // around "*.ksc").
    ScanOptions options;
    options.Reset();
    options.baseFolder = baseFolder;
    options.fileMask = "**.ksc*";
    options.includeSubfolders = 1;
    options.flags |= SCAN_BY_ATTRIBUTES;
    options.attributes |= KSC_ATTRIBUTE_MASK;
    return options;
}

int FileScanner::Scan(const ScanOptions& options, const ScanHooks& hooks) {
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
    const auto enter = [&](std::string folder) {
        if (hooks.shouldStop && hooks.shouldStop()) {
            m_bStopped = true;
            return;
        }
        FolderListing listing = hooks.listFolder
                                    ? hooks.listFolder(folder, options.fileMask, details)
                                    : ListFolder(folder, options.fileMask, details);
        if (listing.error != 0 && hooks.unreadable) {
            hooks.unreadable(folder, listing.error);
        }
        if (listing.error == 0) {
            // The folder itself, as it was opened: the base folder is then never searched again
            // through a link back to it.
            seenFolders.insert(listing.identity);
        }
        Frame frame{std::move(folder), {}, std::move(listing.files), std::move(listing.others), 0};
        if (options.includeSubfolders != 0) {
            frame.subfolders = std::move(listing.folders);
        }
        stack.push_back(std::move(frame));
        if (hooks.progress) {
            hooks.progress(++searched, GetCount());
        }
    };

    enter(options.baseFolder);
    while (!stack.empty() && !m_bStopped) {
        Frame& top = stack.back();
        if (top.next < top.subfolders.size()) {
            const DirectoryEntry& sub = top.subfolders[top.next++];
            if (!seenFolders.insert(sub.identity).second) {
                continue; // searched already, along another path
            }
            enter(JoinPath(top.folder, sub.name)); // invalidates `top` and `sub`
            continue;
        }
        for (const DirectoryEntry& file : top.files) {
            if (!IsWriterTemporary(file.name) && (file.error != 0 || Passes(options, file)) &&
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
    // Taken apart as the platform writes its paths.
    const PathStyle style = kPathSeparator == '\\' ? PathStyle::Windows : PathStyle::Posix;
    if (index < 0 || index >= GetCount()) {
        return FileEntry("", style);
    }
    return FileEntry(m_found[static_cast<std::size_t>(index)], style);
}

void FileScanner::RemoveAll() {
    m_found.clear();
    m_found.shrink_to_fit();
}

} // namespace tolvren
