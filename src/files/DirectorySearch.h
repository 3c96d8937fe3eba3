#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tolvren {

// File attribute bits as a directory search reports them (the Windows values, mapped from POSIX
// metadata: see DirectoryEntry::attributes).
inline constexpr std::uint32_t FILE_ATTR_READONLY = 0x001;
inline constexpr std::uint32_t FILE_ATTR_HIDDEN = 0x002;
inline constexpr std::uint32_t FILE_ATTR_SYSTEM = 0x004;
inline constexpr std::uint32_t FILE_ATTR_DIRECTORY = 0x010;
inline constexpr std::uint32_t FILE_ATTR_ARCHIVE = 0x020;
inline constexpr std::uint32_t FILE_ATTR_NORMAL = 0x080;
inline constexpr std::uint32_t FILE_ATTR_TEMPORARY = 0x100;
inline constexpr std::uint32_t FILE_ATTR_COMPRESSED = 0x800;

/// Which object an entry is once links are followed; two paths that reach the same folder have
/// the same identity.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

/// One entry of a folder, as a directory search reports it. Symbolic links are followed: the
/// metadata is that of the link's target.
struct DirectoryEntry {
    std::string name; ///< the entry's name in its folder
    std::string path; ///< the folder made absolute, '/' unless it ends in one, then the name
    /// A regular file carries archive; a folder carries directory. Either carries read-only when
    /// its owner may not write it and hidden when its name starts with '.'. System, temporary,
    /// compressed and normal never occur.
    std::uint32_t attributes = 0;
    std::int64_t size = 0;    ///< bytes; 0 for a folder
    std::time_t created = 0;  ///< birth time where the file system keeps it, else change time
    std::time_t modified = 0; ///< last write
    std::time_t accessed = 0; ///< last access
    FileIdentity identity;

    bool IsDirectory() const { return (attributes & FILE_ATTR_DIRECTORY) != 0; }
    /// Whether the entry carries at least one of the attribute bits in `mask`.
    bool MatchesMask(std::uint32_t mask) const { return (attributes & mask) != 0; }
};

/// Whether `name` matches the wildcard `mask`: '*' stands for any run of bytes (none too), '?'
/// for any one byte, ASCII letters match without regard to case, every other byte only itself.
/// A mask that ends in ".*" also matches a name without that dot, so "*.*" matches every name
/// and "song.*" matches "song". Takes time proportional to the product of the lengths at worst.
bool MatchesWildcard(std::string_view mask, std::string_view name);

/// The entries of `folder` whose names match `mask`: regular files and folders only (after
/// following links; FIFOs, sockets, devices and dangling links are left out), never "." or "..",
/// sorted by their names' bytes with ASCII letters upper-cased. A folder that is missing or
/// cannot be read gives no entries. An empty `folder` is the current folder. Folder texts of any
/// length work.
/// With `foldersOnly`, only folders are returned; entries the folder listing already shows to be
/// something else are passed over without asking for their metadata.
std::vector<DirectoryEntry> FindEntries(const std::string& folder, std::string_view mask,
                                        bool foldersOnly = false);

/// `folder` made absolute against the current folder ("" is the current folder itself). Nothing
/// else is changed: "." and ".." stay, since a link may make "a/.." something other than ".".
std::string MakeAbsolute(const std::string& folder);

/// The identity of what `path` names once links are followed; false when it cannot be reached.
bool GetIdentity(const std::string& path, FileIdentity& identity);

/// open(2) for a path of any length: a path too long for one call is opened one stretch of
/// folders at a time. Returns the descriptor, or -1 with errno set.
int OpenPath(const std::string& path, int flags);

} // namespace tolvren
