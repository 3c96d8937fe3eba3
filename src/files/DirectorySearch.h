#pragma once

#include "files/FileSystem.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tolvren {

// File attribute bits as a directory search reports them: Windows' own values, which Linux maps
// its metadata onto (see DirectoryEntry::attributes).
inline constexpr std::uint32_t FILE_ATTR_READONLY = 0x001;
inline constexpr std::uint32_t FILE_ATTR_HIDDEN = 0x002;
inline constexpr std::uint32_t FILE_ATTR_SYSTEM = 0x004;
inline constexpr std::uint32_t FILE_ATTR_DIRECTORY = 0x010;
inline constexpr std::uint32_t FILE_ATTR_ARCHIVE = 0x020;
inline constexpr std::uint32_t FILE_ATTR_NORMAL = 0x080;
inline constexpr std::uint32_t FILE_ATTR_TEMPORARY = 0x100;
inline constexpr std::uint32_t FILE_ATTR_COMPRESSED = 0x800;

/// One entry of a folder, as a directory search reports it. Symbolic links are followed: the
/// metadata is that of the link's target on Linux; on Windows the attributes, size and times are
/// the entry's own, its identity that of what it leads to.
struct DirectoryEntry {
    std::string name; ///< the entry's name in its folder
    std::string path; ///< the folder as listed, a separator unless it ends in one, then the name
    /// On Windows every attribute as the file system keeps it, "normal" alone for a file that has
    /// no other (what a backup tool leaves once it has cleared the archive bit): never 0. On
    /// Linux, mapped: a regular file carries archive, a folder directory; either carries
    /// read-only when its owner may not write it and hidden when its name starts with '.';
    /// system, temporary, compressed and normal never occur there.
    std::uint32_t attributes = 0;
    std::int64_t size = 0;    ///< bytes; 0 for a folder
    std::time_t created = 0;  ///< birth time where the file system keeps it, else change time
    std::time_t modified = 0; ///< last write
    std::time_t accessed = 0; ///< last access
    /// What tells two entries apart (see FileIdentity): one file listed under two names (a hard
    /// link, a link) carries one identity. For a link that leads nowhere, the link's own.
    FileIdentity identity;
    int error = 0; ///< a link whose target cannot be reached: why (errno), and nothing
                   ///< else is known of it

    bool IsDirectory() const { return (attributes & FILE_ATTR_DIRECTORY) != 0; }
    /// Whether the entry carries at least one of the attribute bits in `mask`.
    bool MatchesMask(std::uint32_t mask) const { return (attributes & mask) != 0; }
};

/// Whether `name` matches the wildcard `mask`: '*' stands for any run of bytes (none too), '?'
/// for any one byte, ASCII letters match without regard to case, every other byte only itself.
/// A mask that ends in ".*" also matches a name without that dot, so "*.*" matches every name
/// and "song.*" matches "song". Takes time proportional to the product of the lengths at worst.
bool MatchesWildcard(std::string_view mask, std::string_view name);

/// What one folder holds, both lists sorted by their names' bytes with ASCII letters upper-cased.
struct FolderListing {
    std::vector<DirectoryEntry> folders; ///< every subfolder, links to folders included
    /// The regular files whose names match the mask, and the matching links whose targets cannot
    /// be reached (with their `error`).
    std::vector<DirectoryEntry> files;
    /// Matching FIFOs, sockets and devices (never opened). Windows lists none: its folders hold
    /// files and folders only, and a file named like a device ("nul.ksc") is a file there.
    std::vector<DirectoryEntry> others;
    FileIdentity identity; ///< the folder's own, as it was opened to be listed
    int error = 0;         ///< errno when the folder could not be opened or read to its end
};

/// How much ListFolder must know of a matching file.
enum class FileDetails {
    Full,           ///< attributes, size and times (one status call per file)
    NameAndIdentity ///< what the folder listing itself says: enough to tell files apart
};

/// Lists `folder` ("" is the current folder; paths of any length work). Each entry's path is
/// `folder`, a separator unless it ends in one, and the name as the folder holds it: give a
/// folder made absolute (MakeAbsolute) for absolute paths. One implementation per platform.
/// Links are followed; FIFOs, sockets and devices are listed apart, so no one who reads the
/// files can be made to wait on one. With FileDetails::NameAndIdentity a file carries no size or
/// times, and on Linux, where the listing shows it to be a regular file, the archive and hidden
/// attributes only (on Windows the listing has every attribute anyway).
FolderListing ListFolder(const std::string& folder, std::string_view mask,
                         FileDetails details = FileDetails::Full);

/// Sorts entries as a listing is sorted: by their names' bytes with ASCII letters upper-cased,
/// as the eye sees them on a case-blind file system; the raw bytes only break ties.
void SortByName(std::vector<DirectoryEntry>& entries);

} // namespace tolvren
