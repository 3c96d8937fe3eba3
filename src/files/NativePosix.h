#pragma once

#include "files/FileSystem.h"

#include <string>

// What the POSIX file-system code shares between its files.

namespace tolvren {

struct FolderHandle::Native {
    int fd = -1; ///< O_PATH | O_DIRECTORY
};

/// open(2) for a path of any length: a path too long for one call is opened one stretch of
/// folders at a time. Returns the descriptor (close-on-exec), or -1 with errno set.
int OpenPath(const std::string& path, int flags);

} // namespace tolvren
