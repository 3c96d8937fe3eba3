#pragma once

#include <string>

// Showing a folder in the desktop's file browser: xdg-open on Linux, Explorer on Windows.

namespace tolvren {

/// Why a folder could not be shown.
struct OpenFolderResult {
    enum class Outcome {
        Shown,        ///< the browser took it (or is still at it)
        NoDisplay,    ///< no desktop to show it on
        CannotStart,  ///< the browser could not be started; `error` is errno
        Failed,       ///< it ended with exit status `error`
        EndedBySignal ///< it was ended by signal `error`
    };
    Outcome outcome = Outcome::Shown;
    int error = 0;
    const char* program = ""; ///< the browser's name, as messages give it
    bool ok() const { return outcome == Outcome::Shown; }
};

/// Shows `folder` (absolute) in the file browser, never through a command line built from its
/// name, and waits up to a few seconds to hear whether that failed.
OpenFolderResult OpenInFileBrowser(const std::string& folder);

} // namespace tolvren
