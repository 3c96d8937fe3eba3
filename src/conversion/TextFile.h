#pragma once

#include <string>
#include <string_view>
#include <sys/stat.h>

// Text files the way the converter needs them on Linux: input read whole and cut into lines like
// Windows text mode does, output written with CR LF line ends through a temporary file that
// replaces the target only once it is complete.

namespace tolvren {

/// Why a file operation failed: the step ("open", "read", "create", "write", "replace") and the
/// cause (the system's error text).
struct IoResult {
    std::string step;
    std::string cause;

    bool ok() const { return step.empty(); }
    /// "cannot <step> <object>: <cause>", e.g. "cannot open source: Permission denied".
    std::string Describe(std::string_view object) const;

    static IoResult Failed(std::string step, int error);
};

/// What Windows text mode delivers of raw file bytes, in place: the input ends at the first Ctrl-Z
/// (0x1A), and NUL bytes are dropped so that they never cut a line or the document short.
void ApplyTextModeInput(std::string& bytes);

/// Cuts text-mode input into lines without their line ends: LF ends a line, and so does CR LF as
/// one pair; a CR not followed by LF stays in the line. A last line without a line end is
/// delivered; nothing follows a final line end.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    /// The next line in `line`; false when there is none left.
    bool Next(std::string_view& line);

private:
    std::string_view m_text;
    std::size_t m_nPos = 0;
};

/// Appends `text` to `out` with every LF written as CR LF; nothing else changes.
void AppendCrLf(std::string_view text, std::string& out);

/// Reads the whole regular file at `path` into `content` (raw bytes) and its status into `info`.
/// Folders, FIFOs, sockets and devices are refused at once, without blocking.
IoResult ReadWholeFile(const std::string& path, std::string& content, struct stat& info);

/// Writes a file safely: the bytes go to a temporary file beside the target (".<name>.XXXXXX",
/// permissions as for a newly created file) that is renamed over the target only by Commit.
/// A failure at any point removes the temporary and leaves an existing target untouched.
class AtomicFileWriter {
public:
    /// `syncBeforeCommit` flushes the data to the disk (fsync) before the rename.
    explicit AtomicFileWriter(std::string targetPath, bool syncBeforeCommit = false);
    ~AtomicFileWriter(); ///< removes the temporary unless committed
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    /// Creates the temporary file in the target's folder.
    IoResult Open();
    /// Buffers `bytes` unchanged. After a failure, further writes are ignored until Commit.
    void Write(std::string_view bytes);
    /// Buffers `text` with every LF written as CR LF.
    void WriteText(std::string_view text);
    /// Writes what is buffered, closes the temporary and renames it over the target. The first
    /// failure of any step is returned; then the temporary is gone and the target unchanged.
    IoResult Commit();

    const std::string& TempPath() const { return m_strTempPath; }

private:
    void Flush();
    void Discard();

    std::string m_strTargetPath;
    std::string m_strTempPath;
    std::string m_buffer;
    IoResult m_error;
    int m_hFile = -1;
    bool m_bSync = false;
    bool m_bCommitted = false;
};

} // namespace tolvren
