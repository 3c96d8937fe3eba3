#pragma once

#include "files/FileSystem.h"

#include <cstddef>
#include <cstdint>

// A regular file open for reading, for the file-system code of the engine alone; one
// implementation per platform.

namespace tolvren {

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    /// Opens the regular file at `path`. A folder, FIFO, socket or device is refused at once,
    /// without waiting for a writer.
    IoResult Open(const std::string& path);
    /// Reads up to `size` bytes: how many (0 at the end), or -1 with errno in `error`.
    std::ptrdiff_t Read(char* buffer, std::size_t size, int& error);
    /// The size the file had when it was opened; 0 where the system does not tell (/proc).
    std::int64_t Size() const { return m_nSize; }
    const FileIdentity& Identity() const { return m_identity; }

private:
    std::intptr_t m_hNative = -1; ///< the descriptor or handle
    std::int64_t m_nSize = 0;
    FileIdentity m_identity;
};

} // namespace tolvren
