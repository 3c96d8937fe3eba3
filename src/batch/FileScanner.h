#pragma once

#include "files/DirectorySearch.h"
#include "files/FileEntry.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace tolvren {

// Criteria bits of ScanOptions::flags. Scan applies them in this order: attributes, size,
// modified, created, accessed, text; the first that fails rejects the entry.
inline constexpr std::uint32_t SCAN_BY_SIZE = 0x01;
inline constexpr std::uint32_t SCAN_BY_MODIFIED = 0x02;
inline constexpr std::uint32_t SCAN_BY_CREATED = 0x04;
inline constexpr std::uint32_t SCAN_BY_ACCESSED = 0x08;
inline constexpr std::uint32_t SCAN_BY_ATTRIBUTES = 0x10;
inline constexpr std::uint32_t SCAN_BY_TEXT = 0x20;

/// What the batch worker asks for: read-only, hidden, system, archive, temporary, compressed.
inline constexpr std::uint32_t KSC_ATTRIBUTE_MASK = 0x927;

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

/// Collects the full paths of the entries under a folder that match a mask and the criteria.
/// Paths are absolute (a relative base folder is taken against the current folder) and use '/';
/// folders are listed with a trailing '/'. Subfolders come before a folder's own matches, each
/// folder's entries in the order of FindEntries. Links are followed, but a folder that is already
/// being searched further up the same walk is not entered again, so link loops end.
class FileScanner {
public:
    FileScanner() = default;
    virtual ~FileScanner() = default;

    /// Appends every accepted entry; returns GetCount() afterwards. Adds a trailing separator to
    /// options.baseFolder in place.
    int Scan(ScanOptions& options);
    int GetCount() const;
    /// The entry of path `index`; an entry of the empty text when `index` is out of range.
    FileEntry GetAt(int index) const;
    void RemoveAll();

private:
    void MatchFolder(const ScanOptions& options);

    std::vector<std::string> m_found;
};

/// Whether the file at `path` holds `text`, compared without regard to ASCII case; NUL bytes of
/// the file are skipped. False for an empty text, a file that cannot be opened and anything but
/// a regular file (a FIFO is never waited on).
bool FileContainsText(const std::string& path, const std::string& text);

} // namespace tolvren
