#pragma once

#include "files/FileSystem.h"

#include <atomic>
#include <string>
#include <string_view>
#include <sys/stat.h>

// Text files the way the converter needs them on Linux: input read whole and cut into lines like
// Windows text mode does, output written with CR LF line ends where no one sees it until it is
// complete.

namespace tolvren {

/// The step of a file operation that failed.
enum class IoStep {
    None,          ///< nothing failed
    OpenSource,    ///< the script could not be opened
    ReadSource,    ///< ... or read
    CreateTarget,  ///< the document's file could not be created
    WriteTarget,   ///< ... or written
    ReplaceTarget, ///< ... or put in place under its name
    CreateFolder,  ///< a target folder could not be created
    ReadFolder,    ///< a folder of the source tree could not be read
};

/// Why it failed, when the system's error number does not say it.
enum class IoCause {
    SystemError,    ///< `error` holds the errno value
    NotRegularFile, ///< a FIFO, socket or device where a script was expected
    TargetIsSource, ///< the target names the script itself
    TargetReadOnly, ///< the target's owner protected it against writing
    Cancelled,      ///< the run was stopped while this file was written
};

/// The outcome of a file operation: ok, or the step that failed and why.
struct IoResult {
    IoStep step = IoStep::None;
    IoCause cause = IoCause::SystemError;
    int error = 0;

    bool ok() const { return step == IoStep::None; }
    static IoResult Failed(IoStep step, int error) { return {step, IoCause::SystemError, error}; }
    static IoResult Failed(IoStep step, IoCause cause) { return {step, cause, 0}; }
    friend bool operator==(const IoResult&, const IoResult&) = default;
};

/// How a lyric statement begins, read or not.
inline constexpr std::string_view kLyricStatementStart = "karaoke.add(";

/// Where text mode cut the input short at a Ctrl-Z that had more than blanks after it.
struct TextModeCut {
    std::size_t line = 0;       ///< the line (from 1) of the Ctrl-Z; 0 when nothing was lost
    std::size_t lyricLines = 0; ///< lines after it that began with kLyricStatementStart
};

/// What Windows text mode delivers of raw file bytes, in place: the input ends at the first Ctrl-Z
/// (0x1A), and NUL bytes are dropped so that they never cut a line or the document short. Says
/// what the Ctrl-Z cut off, unless only blanks, NULs and more Ctrl-Z bytes (old editors pad
/// files with them) followed it.
TextModeCut ApplyTextModeInput(std::string& bytes);

/// Cuts text-mode input into lines without their line ends: LF ends a line, and so does CR LF as
/// one pair; a CR not followed by LF stays in the line. A last line without a line end is
/// delivered; nothing follows a final line end.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    /// The next line in `line`; false when there is none left.
    bool Next(std::string_view& line);
    /// The number (from 1) of the line Next delivered last.
    std::size_t LineNumber() const { return m_nLine; }

private:
    std::string_view m_text;
    std::size_t m_nPos = 0;
    std::size_t m_nLine = 0;
};

/// Appends `text` to `out` with every LF written as CR LF; nothing else changes.
void AppendCrLf(std::string_view text, std::string& out);

/// Where a document goes.
class TextSink {
public:
    virtual ~TextSink() = default;
    /// Text whose every LF reaches the document as CR LF.
    virtual void WriteText(std::string_view text) = 0;
    /// Bytes exactly as they reach the document (lines already ending in CR LF).
    virtual void Write(std::string_view bytes) = 0;
};

/// A document collected in memory, exactly as it would reach the disk.
class StringSink : public TextSink {
public:
    void WriteText(std::string_view text) override { AppendCrLf(text, document); }
    void Write(std::string_view bytes) override { document.append(bytes); }
    std::string document;
};

/// Reads the whole regular file at `path` into `content` (raw bytes) and its status into `info`.
/// Folders, FIFOs, sockets and devices are refused at once, without blocking.
IoResult ReadWholeFile(const std::string& path, std::string& content, struct stat& info);

/// Writes a document so that its name never shows a half-written file: the bytes go to an unnamed
/// file in the target's folder (O_TMPFILE), or where the file system has none to a temporary
/// ".<name>.tolvren-tmp-XXXXXX", and take the target's name only in Commit. Whatever fails, and
/// whenever the writer is dropped before Commit, the file is gone and an existing target is as
/// it was.
class AtomicFileWriter : public TextSink {
public:
    /// `folder` is the target's folder, `name` the document's name in it.
    AtomicFileWriter(FolderHandlePtr folder, std::string name);
    /// The same for a target path, whose folder it opens itself.
    explicit AtomicFileWriter(const std::string& targetPath);
    explicit AtomicFileWriter(PathParts target);
    ~AtomicFileWriter() override;
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    /// Creates the file the document is written to.
    IoResult Open();
    /// Buffers `bytes` unchanged. After a failure, further writes are ignored.
    void Write(std::string_view bytes) override;
    /// Buffers `text` with every LF written as CR LF.
    void WriteText(std::string_view text) override;
    /// Writing stops with IoCause::Cancelled once `*cancel` is true.
    void SetCancel(const std::atomic<bool>* cancel) { m_pCancel = cancel; }
    /// Writes what is buffered. The document is then complete but not yet visible.
    IoResult Finish();
    /// Finishes and gives the document its name. An existing target is replaced and keeps its
    /// permission bits and, where the user may set it, its group; a target that is `source`
    /// itself, a folder, or a file its owner may not write is refused and stays as it was.
    IoResult Commit(const struct stat* source = nullptr);

    /// Whether temporary files get a name only once complete (O_TMPFILE). On by default where
    /// the file system allows; tests switch it off to cover file systems without it.
    static void UseUnnamedFiles(bool use);

private:
    IoResult Fail(IoResult result);
    void Flush();
    void Discard();
    IoResult OpenNamedTemporary();
    IoResult Publish(const struct stat* source);
    IoResult CheckExistingTarget(const struct stat* source, struct stat& existing);
    IoResult LinkUnder(const std::string& name);

    FolderHandlePtr m_pFolder;
    std::string m_strName;
    std::string m_strTempName; ///< the named temporary, when there is one
    std::string m_buffer;
    IoResult m_error;
    const std::atomic<bool>* m_pCancel = nullptr;
    int m_fd = -1;
    int m_nRegistration = -1;
    bool m_bFinished = false;
    bool m_bCommitted = false;
};

/// Removes the named temporaries that writers hold right now. Safe to call from a signal handler,
/// just before the process ends.
void RemoveTemporariesNow() noexcept;

/// Whether `name` is that of a writer's temporary (so that a scan can leave it alone).
bool IsWriterTemporary(std::string_view name);

} // namespace tolvren
