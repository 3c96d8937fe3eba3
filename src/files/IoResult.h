#pragma once

// What a file operation of the engine reports: ok, or the step that failed and why. The reason is
// an errno value on every platform (the platform's own error codes are mapped onto them), so that
// every front end words it alike.

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
    OpenFolder,    ///< an existing target folder could not be opened
    ReadFolder,    ///< a folder of the source tree could not be read
};

/// Why it failed, when the system's error number does not say it.
enum class IoCause {
    SystemError,    ///< `error` holds the errno value
    NotRegularFile, ///< a FIFO, socket or device where a script was expected
    TargetIsSource, ///< the target names the script itself
    TargetReadOnly, ///< the target's owner protected it against writing
    Cancelled,      ///< the run was stopped while this file was written
    ReservedName,   ///< Windows keeps the document's name for a device, or cannot keep it
    BrokenName,     ///< the document's name would end in half a character
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

} // namespace tolvren
