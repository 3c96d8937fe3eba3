#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <sys/stat.h>

// The few file-system calls the engine makes beyond the standard library: paths of any length,
// folder descriptors, and the identity of what a path names.

namespace tolvren {

/// Which object a path names once links are followed; two paths that reach the same file or
/// folder have the same identity.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;

    static FileIdentity Of(const struct stat& st) {
        return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    }
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
        return std::hash<std::uint64_t>()(id.inode * 1000003u ^ id.device);
    }
};

/// open(2) for a path of any length: a path too long for one call is opened one stretch of
/// folders at a time. Returns the descriptor (close-on-exec), or -1 with errno set.
int OpenPath(const std::string& path, int flags);

/// The identity of what `path` names once links are followed; false when it cannot be reached.
bool GetIdentity(const std::string& path, FileIdentity& identity);

/// An open folder that files are created in by name, whatever the length of its path.
class FolderHandle {
public:
    /// Opens `path` ("" is the current folder); Fd() is -1 and Error() says why on failure.
    explicit FolderHandle(const std::string& path);
    ~FolderHandle();
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    int Fd() const { return m_fd; }
    int Error() const { return m_nError; }
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
    int m_fd = -1;
    int m_nError = 0;
};

using FolderHandlePtr = std::shared_ptr<const FolderHandle>;

/// A path's folder ("." when it names none, "/" for the root) and its last component.
struct PathParts {
    std::string folder;
    std::string name;
};
PathParts SplitPath(const std::string& path);

/// The system's text for an errno value ("Permission denied").
std::string ErrorText(int error);

} // namespace tolvren
