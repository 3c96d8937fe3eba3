#include "conversion/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace tolvren {

namespace {

constexpr std::size_t writeBufferSize = std::size_t{256} * 1024;
constexpr std::size_t readChunkSize = std::size_t{1024} * 1024;

std::string ErrorText(int error) {
    char buffer[256];
    // GNU strerror_r: returns a pointer to the text, which may or may not be `buffer`.
    return strerror_r(error, buffer, sizeof buffer);
}

// Temporary names only need to be unique in their folder; O_EXCL guarantees that, the random part
// only keeps retries rare.
std::string RandomSuffix() {
    static constexpr std::string_view letters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    std::string suffix(6, 'X');
    for (char& c : suffix) {
        c = letters[pick(generator)];
    }
    return suffix;
}

} // namespace

std::string IoResult::Describe(std::string_view object) const {
    std::string text = "cannot ";
    text.append(step).append(" ").append(object).append(": ").append(cause);
    return text;
}

IoResult IoResult::Failed(std::string step, int error) {
    return IoResult{std::move(step), ErrorText(error)};
}

void ApplyTextModeInput(std::string& bytes) {
    const std::size_t ctrlZ = bytes.find('\x1A');
    if (ctrlZ != std::string::npos) {
        bytes.resize(ctrlZ);
    }
    if (bytes.find('\0') != std::string::npos) {
        std::erase(bytes, '\0');
    }
}

bool LineReader::Next(std::string_view& line) {
    if (m_nPos >= m_text.size()) {
        return false;
    }
    const std::size_t lineFeed = m_text.find('\n', m_nPos);
    if (lineFeed == std::string_view::npos) {
        line = m_text.substr(m_nPos);
        m_nPos = m_text.size();
        return true;
    }
    line = m_text.substr(m_nPos, lineFeed - m_nPos);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    m_nPos = lineFeed + 1;
    return true;
}

void AppendCrLf(std::string_view text, std::string& out) {
    std::size_t pos = 0;
    for (;;) {
        const std::size_t lineFeed = text.find('\n', pos);
        if (lineFeed == std::string_view::npos) {
            out.append(text.substr(pos));
            return;
        }
        out.append(text.substr(pos, lineFeed - pos));
        out.append("\r\n");
        pos = lineFeed + 1;
    }
}

IoResult ReadWholeFile(const std::string& path, std::string& content, struct stat& info) {
    content.clear();
    // O_NONBLOCK so that opening a FIFO without a writer returns at once; it is refused below.
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (file < 0) {
        return IoResult::Failed("open", errno);
    }
    IoResult result;
    if (fstat(file, &info) != 0) {
        result = IoResult::Failed("open", errno);
    } else if (S_ISDIR(info.st_mode)) {
        result = IoResult::Failed("read", EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        result = IoResult{"read", "not a regular file"};
    } else {
        // One read for the expected size plus one to see the end; files that grow meanwhile
        // (or report size 0, like /proc) are read on in large chunks.
        std::size_t size = 0;
        content.resize(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)) + 1);
        for (;;) {
            if (size == content.size()) {
                content.resize(size + std::max(readChunkSize, size / 2));
            }
            const ssize_t got = read(file, content.data() + size, content.size() - size);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                result = IoResult::Failed("read", errno);
                break;
            }
            if (got == 0) {
                break;
            }
            size += static_cast<std::size_t>(got);
        }
        content.resize(result.ok() ? size : 0);
    }
    close(file);
    return result;
}

AtomicFileWriter::AtomicFileWriter(std::string targetPath, bool syncBeforeCommit)
    : m_strTargetPath(std::move(targetPath)), m_bSync(syncBeforeCommit) {}

AtomicFileWriter::~AtomicFileWriter() {
    if (!m_bCommitted) {
        Discard();
    }
}

IoResult AtomicFileWriter::Open() {
    const std::size_t slash = m_strTargetPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : m_strTargetPath.substr(0, slash + 1);
    // A long target name must not make the temporary's name too long for the file system.
    std::string name =
        slash == std::string::npos ? m_strTargetPath : m_strTargetPath.substr(slash + 1);
    name.resize(std::min<std::size_t>(name.size(), 200));

    for (int attempt = 0; attempt < 100; ++attempt) {
        m_strTempPath = folder;
        m_strTempPath.append(".").append(name).append(".").append(RandomSuffix());
        // Mode 0666 lets the umask (and default ACLs) decide, as for any newly created file.
        m_hFile =
            open(m_strTempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (m_hFile >= 0) {
            m_buffer.reserve(writeBufferSize);
            return {};
        }
        if (errno != EEXIST) {
            break;
        }
    }
    m_error = IoResult::Failed("create", errno);
    m_strTempPath.clear();
    return m_error;
}

void AtomicFileWriter::Write(std::string_view bytes) {
    if (!m_error.ok() || m_hFile < 0) {
        return;
    }
    if (m_buffer.size() + bytes.size() > writeBufferSize) {
        Flush();
        if (bytes.size() >= writeBufferSize) {
            m_buffer.assign(bytes);
            Flush();
            return;
        }
    }
    m_buffer.append(bytes);
}

void AtomicFileWriter::WriteText(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t piece = std::min(text.size() - pos, writeBufferSize / 2);
        const std::string_view part = text.substr(pos, piece);
        if (m_buffer.size() + part.size() * 2 > writeBufferSize) {
            Flush();
        }
        if (!m_error.ok() || m_hFile < 0) {
            return;
        }
        AppendCrLf(part, m_buffer);
        pos += piece;
    }
}

void AtomicFileWriter::Flush() {
    std::size_t done = 0;
    while (m_error.ok() && done < m_buffer.size()) {
        const ssize_t put = write(m_hFile, m_buffer.data() + done, m_buffer.size() - done);
        if (put < 0) {
            if (errno != EINTR) {
                m_error = IoResult::Failed("write", errno);
            }
            continue;
        }
        if (put == 0) {
            m_error = IoResult::Failed("write", EIO); // never expected for a regular file
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    m_buffer.clear();
}

IoResult AtomicFileWriter::Commit() {
    if (m_hFile < 0) {
        return m_error.ok() ? IoResult{"write", "the file was not opened"} : m_error;
    }
    Flush();
    if (m_error.ok() && m_bSync && fsync(m_hFile) != 0) {
        m_error = IoResult::Failed("write", errno);
    }
    // close can report a delayed write error (NFS, quota), so it counts like a write.
    if (close(m_hFile) != 0 && m_error.ok()) {
        m_error = IoResult::Failed("write", errno);
    }
    m_hFile = -1;
    if (m_error.ok() && rename(m_strTempPath.c_str(), m_strTargetPath.c_str()) != 0) {
        m_error = IoResult::Failed("replace", errno);
    }
    if (!m_error.ok()) {
        Discard();
        return m_error;
    }
    m_bCommitted = true;
    return {};
}

void AtomicFileWriter::Discard() {
    if (m_hFile >= 0) {
        close(m_hFile);
        m_hFile = -1;
    }
    if (!m_strTempPath.empty()) {
        unlink(m_strTempPath.c_str());
        m_strTempPath.clear();
    }
}

} // namespace tolvren
