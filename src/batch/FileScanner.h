#pragma once

#include "files/DirectorySearch.h"
#include "files/FileEntry.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tolvren {

// Criteria bits of ScanOptions::flags. Scan applies them in this order: attributes, size,
// modified, created, accessed, text; the first that fails rejects the entry. A run switches on
// the attributes alone (with a mask every file passes: ScriptScanOptions); the others are kept as
// the scanner has always offered them.
inline constexpr std::uint32_t SCAN_BY_SIZE = 0x01;
inline constexpr std::uint32_t SCAN_BY_MODIFIED = 0x02;
inline constexpr std::uint32_t SCAN_BY_CREATED = 0x04;
inline constexpr std::uint32_t SCAN_BY_ACCESSED = 0x08;
inline constexpr std::uint32_t SCAN_BY_ATTRIBUTES = 0x10;
inline constexpr std::uint32_t SCAN_BY_TEXT = 0x20;

/// What the batch worker asks for: any attribute at all, so that a file named like a script is
/// one whatever its attributes. The six bits the system once asked for (read-only, hidden,
/// system, archive, temporary, compressed: 0x927) left out a file whose only attribute is
/// "normal", which is what Windows reports once a backup tool has cleared the archive bit, and
/// one that carries only, say, "not content indexed" or "offline".
inline constexpr std::uint32_t KSC_ATTRIBUTE_MASK = 0xFFFFFFFF;

/// Search criteria of one scan. Times are seconds since the epoch (64-bit).
struct ScanOptions {
    std::string baseFolder;
    std::string fileMask;
    std::string containingText;
    std::int32_t includeSubfolders = 0;
    std::uint32_t flags = 0;
    std::int64_t minSize = 0;
    std::int64_t maxSize = 0;
    std::time_t createdFrom = 0, createdTo = 0;
    std::time_t modifiedFrom = 0, modifiedTo = 0;
    std::time_t accessedFrom = 0, accessedTo = 0;
    std::uint32_t attributes = 0;

    ScanOptions(); ///< empty strings, then Reset()
    void Reset();  ///< every field to its default; containingText is left as it is
};

/// What a scan tells its caller while it runs, and what it leaves alone.
struct ScanHooks {
    /// Asked before each folder; true ends the scan where it is.
    std::function<bool()> shouldStop;
    /// After each folder: folders searched and files found so far.
    std::function<void(int folders, int files)> progress;
    /// A folder that could not be read (errno `error`); the scan goes on without it.
    std::function<void(const std::string& folder, int error)> unreadable;
    /// A FIFO, socket or device whose name matches: never opened, named here once.
    std::function<void(const std::string& path)> notRegularFile;
    /// Folders not to enter, such as a run's target folder inside its source.
    std::vector<FileIdentity> skipFolders;
    /// Lists one folder; ListFolder when empty. A test presents what only another platform's
    /// file system shows this way (an attribute, two names for one file, a name kept for a
    /// device).
    std::function<FolderListing(const std::string& folder, std::string_view mask,
                                FileDetails details)>
        listFolder;
};

/// What a run searches its source folder for (the worker's criteria): the record from its
/// defaults, then every name that contains ".ksc", in every subfolder, whatever its attributes.
ScanOptions ScriptScanOptions(const std::string& baseFolder);

/// Collects the full paths of the regular files under a folder that match a mask and the
/// criteria. Paths are the base folder as given (give it absolute, as MakeAbsolute makes it)
/// joined with the names found, as the file system holds them, by the platform's separator
/// ('/' on Linux, '\' on Windows). Subfolders come before a folder's own files, each folder's
/// entries sorted by name. Links are followed, but every folder is searched and every file listed
/// at most once however many paths lead to it (the first in this order wins), so link loops and
/// link webs end: entries are told apart by their identity (FileIdentity: the inode on Linux, the
/// file system's file id on Windows), so two names the file system lists are two files unless
/// it says that they are one, whatever their case. Folders are never listed, whatever their
/// names, nor the temporaries of document writers. A matching link whose target cannot be reached
/// is listed whatever the criteria (nothing can be known of it), so that whoever goes through the
/// list meets it and can say so.
class FileScanner {
public:
    FileScanner() = default;
    virtual ~FileScanner() = default;

    /// Appends every accepted file; returns GetCount() afterwards.
    int Scan(const ScanOptions& options, const ScanHooks& hooks = {});
    /// Whether the last scan ended early because hooks.shouldStop said so.
    bool WasStopped() const { return m_bStopped; }
    int GetCount() const;
    /// The entry of path `index`; an entry of the empty text when `index` is out of range.
    FileEntry GetAt(int index) const; ///< kept as it always was; a run reads PathAt
    /// Path `index` itself.
    const std::string& PathAt(int index) const { return m_found[static_cast<std::size_t>(index)]; }
    void RemoveAll();

private:
    std::vector<std::string> m_found;
    bool m_bStopped = false;
};

} // namespace tolvren
