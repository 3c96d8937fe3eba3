#pragma once

#include "conversion/LyricConverter.h"
#include "files/FileSystem.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

// The contract of one conversion run between a front end (the dialog, the command line, a test)
// and the worker: what the user asked for, how to stop it, what the worker shows while it runs
// and what it hands back at the end.

namespace tolvren {

/// What ValidateRequest found when it accepted a request, so that the run starts from it instead
/// of looking again: both folders in the form the engine works with (MakeAbsolute) and what each
/// names.
struct RequestFindings {
    std::string source;
    PathStatus sourceStatus; ///< looked at with Access::Read
    std::string target;      ///< empty for a check without a target
    PathStatus targetStatus;
};

/// What the user asked for, taken when the run starts. "Open the target folder" and "close the
/// window" are the front end's to carry out once the run has returned.
struct RunRequest {
    std::string sourceDir; ///< a folder to search, or one file (a run of one)
    std::string targetDir; ///< where the documents go; created (one level) when missing
    std::string author;    ///< UTF-8, written into every document
    OutputFormat format = OutputFormat::Kmc;
    DocumentOptions document; ///< how the format writes its documents
    bool keepTree = false;    ///< documents go into the source's relative subfolders
    bool checkOnly = false;   ///< read every script and report, write nothing (targetDir optional)
    InputEncoding encoding;
    ChineseMode chinese = ChineseMode::Off; ///< converts lyrics, titles and singers
    /// Filled by ValidateRequest when it accepts the request; a worker given a request without
    /// it looks at both folders itself. The folders above are the user's text, kept for messages.
    std::optional<RequestFindings> found;
};

/// Why a request cannot start a run.
enum class RequestError {
    None,
    NoSource,               ///< the source is empty
    NoTarget,               ///< the target is empty (and the run writes)
    SourceMissing,          ///< the source does not exist
    SourceUnreadable,       ///< the source cannot be read (`error` says why)
    SourceNotAFileOrFolder, ///< a FIFO, a device, a socket
    TargetNotAFolder,       ///< the target exists and is no folder (a script, say)
    AuthorHasControl,       ///< the author holds a control character (a line break, say)
    TimesKept,              ///< a shift or an applied offset for KMC or XML (!TimesCanMove)
    ShiftOutOfRange,        ///< a shift of more than kMaxShift either way
    LrcOptionsWithoutLrc,   ///< an LRC style or precision other than the default, not for LRC
    LrcPrecision,           ///< LRC times with neither 2 nor 3 digits of a second
};

struct RequestCheck {
    RequestError problem = RequestError::None;
    int error = 0; ///< errno for SourceUnreadable
    bool ok() const { return problem == RequestError::None; }
};

/// The one check every front end makes before it starts a run: both folders given, the source a
/// folder or a regular file that can be read, the target a folder or nothing yet, an author
/// without control characters, which would start lines of their own in the documents, and
/// document options that the format has (CheckDocumentOptions). Each folder is made canonical
/// and looked at once; what was found goes into `request.found` when the request is accepted,
/// and the run takes it from there.
RequestCheck ValidateRequest(RunRequest& request);

/// Both folders of `request` made canonical (MakeAbsolute) and looked at: what ValidateRequest
/// records, and what a worker given an unchecked request finds for itself.
RequestFindings FindRequestPaths(const RunRequest& request);

/// The document options alone, as a dialog checks them while they are chosen: a shift within
/// kMaxShift, and neither a shift nor an applied offset for a format that keeps the script's
/// times (KMC, XML: their players apply its offset), nor LRC options other than the default for
/// any format but LRC. None when they can be used.
RequestError CheckDocumentOptions(OutputFormat format, const DocumentOptions& options);

/// How a front end asks a running worker to end. The worker tests it before every folder of the
/// scan and before every file, and finishes the file it has begun. Lock-free: a signal handler
/// may ask.
class RunControl {
public:
    /// Stop after the current file (the Stop button, a first Ctrl-C).
    void RequestStop() noexcept { m_bStopRequested.store(true); }
    /// Stop after the current file, and the window closes once the run has ended.
    void RequestExit() noexcept { m_bExitRequested.store(true); }
    /// Neither asked, before a run starts.
    void Reset() noexcept {
        m_bStopRequested.store(false);
        m_bExitRequested.store(false);
    }

    bool StopRequested() const noexcept { return m_bStopRequested.load() || ExitRequested(); }
    bool ExitRequested() const noexcept { return m_bExitRequested.load(); }

private:
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bExitRequested{false};
};

/// Something the run wants its user to know, in the order of the run.
struct RunProblem {
    enum class Kind {
        Failed,           ///< the file was not converted; `io` says why
        Overwritten,      ///< `path` overwrote the document that `otherPath` had written
        Warning,          ///< the file was converted, but see `warning`
        FolderUnreadable, ///< the folder `path` could not be searched; `io` says why
        TargetFolder,     ///< the target folder `path`, or a subfolder of it, could not be
                          ///< created or opened (`io` says why): no file meant for it was
                          ///< written, and each counts as failed
        NotRegularFile,   ///< `path` is named like a script but is a FIFO, socket or device:
                          ///< skipped, neither converted nor failed
        WouldReplace,     ///< a check: the document `targetPath` of `path` exists already
    };
    Kind kind = Kind::Failed;
    std::string path;      ///< the source file (or the folder); empty for the whole run
    std::string otherPath; ///< Overwritten: the earlier source of the same document
    /// The document; for Overwritten by the name the file system kept for it (on Windows that
    /// may be the earlier one's, when the names differ in case alone)
    std::string targetPath;
    IoResult io;
    ScriptWarning warning{ScriptWarning::Kind::NoLyricLines};
};

/// What a run did, handed back by the worker when it returns.
struct RunSummary {
    int count = 0;  ///< files found
    int done = 0;   ///< files dealt with, converted or failed
    int failed = 0; ///< files not converted
    int unreadableFolders = 0;
    int warned = 0;        ///< files converted with warnings
    int skipped = 0;       ///< FIFOs, sockets and devices named like scripts
    bool stopped = false;  ///< ended by a stop or exit request before its last file
    std::string target;    ///< the target folder made absolute: what "open" shows
    std::string finalText; ///< the status the bar shows at the end
    std::vector<RunProblem> problems;
};

/// The status after a file: "3/10  30% " and the elapsed time "15毫秒".
struct RunProgress {
    int done = 0;
    int count = 0;
    int percentage = 0; ///< the bar's position
    std::string text;
    std::string elapsed;
};

/// What the window (or terminal) that shows a run is shown. Called on the worker's thread, in
/// the order of the run; nothing here may wait for a user.
class RunFrontEnd {
public:
    virtual ~RunFrontEnd() = default;

    /// During the scan, after each folder: folders searched and files found so far.
    virtual void ShowScan(int /*folders*/, int /*files*/) {}
    /// After each file, once it is complete (or has failed), in the order of the list.
    virtual void ShowProgress(const RunProgress& progress) = 0;
    /// A failed file, a warning, an overwritten document; the run goes on.
    virtual void ReportProblem(const RunProblem& problem) = 0;
    /// The run has ended: `summary.finalText` is the last status.
    virtual void ShowFinished(const RunSummary& summary) = 0;
};

} // namespace tolvren
