#pragma once

#include "files/IoResult.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The file-system calls the engine makes, one implementation per platform behind these
// declarations (FileSystemPosix.cpp, FileSystemWin32.cpp). Paths are UTF-8 text (on Linux the
// bytes the file system holds), of any length.

namespace tolvren {

/// The separator the platform writes between folders: '/' or '\'.
extern const char kPathSeparator;

/// Which object a path names once links are followed; two paths that reach the same file or
/// folder have the same identity. On Linux it is the device and inode. On Windows it is the
/// volume and the file system's own number for the file, where it keeps one that is unique (NTFS,
/// ReFS, most servers); elsewhere (FAT, exFAT) a folder is known by its final path and a file by
/// its path exactly as listed, so that two names the file system lists are two files unless it
/// says that they are one.
struct FileIdentity {
    std::uint64_t device = 0; ///< the device or volume
    std::uint64_t file = 0;   ///< the file on it (inode, or the low half of a 128-bit id)
    std::uint64_t fileHigh = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
        // Multiplying by a large prime spreads the file number's low bits over the whole word
        // before the device is mixed in; consecutive inodes would otherwise fill neighbouring
        // buckets only.
        return std::hash<std::uint64_t>()((id.file ^ id.fileHigh) * 1000003u ^ id.device);
    }
};

/// What a path names once links are followed.
enum class PathKind { Missing, Folder, RegularFile, Other };

struct PathStatus {
    PathKind kind = PathKind::Missing;
    /// errno when the path could not be looked at (also for Missing), or, looked at with
    /// Access::Read, when the folder or regular file it names cannot be read (`kind` says which)
    int error = 0;
    FileIdentity identity;
};

/// How much StatPath finds out.
enum class Access {
    Look, ///< what the path names
    Read, ///< also whether the folder it names can be listed, or the regular file read
};

/// Looks at `path` without opening what it names for reading (or, with Access::Read, only a
/// folder or a regular file), so that a FIFO is never waited on.
PathStatus StatPath(const std::string& path, Access access = Access::Look);

/// The identity of what `path` names once links are followed; false when it cannot be reached.
bool GetIdentity(const std::string& path, FileIdentity& identity);

/// Creates the folder `path`, one level, as a user would by hand; an existing folder is fine.
/// Returns 0 or errno.
int CreateFolder(const std::string& path);

/// Creates the folders `below` (names separated by the platform's separator) inside the existing
/// folder `folder`, each missing level in turn; existing ones are fine. On Windows a name that
/// Windows keeps for a device or cannot keep as written ("CON", "Album.", "Live ") is refused with
/// IoCause::ReservedName, existing or not, before anything is created: a folder gets the rule its
/// documents get, since Explorer could neither open nor delete it.
IoResult CreateFolders(const std::string& folder, std::string_view below);

/// A path the user gave (a source, a target, a folder typed, dropped, chosen or named on a command
/// line), in the one form the engine works with from then on: absolute against the current
/// folder ("" is the current folder itself), without trailing separators but a root's ("/",
/// "C:\\"). On Windows also as Windows reads a typed path: '/' as '\\', "." and ".." resolved,
/// doubled separators as one ("songs\\", "C:\\x\\..\\songs" and "C:\\x\\\\songs" all work behind
/// the "\\?\\" prefix then). On Linux "." and ".." stay, since a link may make "a/.." something
/// other than ".". Names a scan finds are joined to this form as they are.
std::string MakeAbsolute(const std::string& path);

/// `path` without trailing separators, unless it is a root ("/", "C:\\").
std::string WithoutTrailingSeparator(std::string path);

/// A path's folder ("." when it names none, the root for a file at the root) and its last
/// component, cut at the last separator.
struct PathParts {
    std::string folder;
    std::string name;
};
PathParts SplitPath(const std::string& path);

/// `folder` and `name` joined by one separator; `name` alone when `folder` is empty.
std::string JoinPath(const std::string& folder, std::string_view name);

/// `path` as the file system compares names: itself on Linux, in upper case on Windows, where
/// "Song.kmc" and "SONG.KMC" are one file.
std::string NameKey(std::string_view path);

/// `path` with its last name as the file system keeps it: on Windows a document replaced under a
/// name that differs in case alone may keep the name it had. `path` itself when nothing is there,
/// and always on Linux.
std::string StoredName(const std::string& path);

/// An open folder that files are created in by name, whatever the length of its path.
class FolderHandle {
public:
    /// Opens `path` ("" is the current folder); IsOpen() is false and Error() says why on
    /// failure.
    explicit FolderHandle(const std::string& path);
    ~FolderHandle();
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    bool IsOpen() const { return m_nError == 0; }
    int Error() const { return m_nError; }
    const std::string& Path() const { return m_strPath; }

    /// What the platform holds open; only its own file-system code looks inside.
    struct Native;
    const Native& GetNative() const { return *m_pNative; }

private:
    std::string m_strPath;
    std::unique_ptr<Native> m_pNative;
    int m_nError = 0;
};

using FolderHandlePtr = std::shared_ptr<const FolderHandle>;

/// Reads the whole regular file at `path` into `content` (raw bytes), and its identity into
/// `identity` when given. Folders, FIFOs, sockets and devices are refused at once, without
/// blocking.
IoResult ReadWholeFile(const std::string& path, std::string& content,
                       FileIdentity* identity = nullptr);

/// Whether the regular file at `path` holds `text`, compared without regard to ASCII case; NUL
/// bytes of the file are skipped. False for an empty text, a file that cannot be opened and
/// anything but a regular file (a FIFO is never waited on).
bool FileContainsText(const std::string& path, const std::string& text);

/// The system's text for an errno value ("Permission denied").
std::string ErrorText(int error);

/// Whose words a user of the platform reads for a system error: the C library's on Linux,
/// Windows' own on Windows (for the Windows error that was mapped onto the errno value).
enum class ErrorWording { Posix, Windows };
extern const ErrorWording kErrorWording;

/// Whether `error` says a disk quota is used up (EDQUOT, which Windows has no number for).
bool IsQuotaError(int error);

} // namespace tolvren
