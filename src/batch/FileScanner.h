#pragma once

#include "files/FileEntry.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace tolvren {

// Criteria bits of ScanOptions::flags, in the order Scan applies them.
inline constexpr std::uint32_t SCAN_BY_SIZE = 0x01;
inline constexpr std::uint32_t SCAN_BY_MODIFIED = 0x02;
inline constexpr std::uint32_t SCAN_BY_CREATED = 0x04;
inline constexpr std::uint32_t SCAN_BY_ACCESSED = 0x08;
inline constexpr std::uint32_t SCAN_BY_ATTRIBUTES = 0x10;
inline constexpr std::uint32_t SCAN_BY_TEXT = 0x20;

// File attribute bits as the scanner sees them (the Windows values, mapped from POSIX metadata).
inline constexpr std::uint32_t FILE_ATTR_READONLY = 0x001;
inline constexpr std::uint32_t FILE_ATTR_HIDDEN = 0x002;
inline constexpr std::uint32_t FILE_ATTR_SYSTEM = 0x004;
inline constexpr std::uint32_t FILE_ATTR_DIRECTORY = 0x010;
inline constexpr std::uint32_t FILE_ATTR_ARCHIVE = 0x020;
inline constexpr std::uint32_t FILE_ATTR_NORMAL = 0x080;
inline constexpr std::uint32_t FILE_ATTR_TEMPORARY = 0x100;
inline constexpr std::uint32_t FILE_ATTR_COMPRESSED = 0x800;

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
/// Folders are listed with a trailing '/'. Subfolders come before a folder's own matches.
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
    std::vector<std::string> m_found;
};

/// Whether the file at `path` holds `text`, compared without regard to ASCII case.
bool FileContainsText(const std::string& path, const std::string& text);

} // namespace tolvren
