#pragma once

#include "batch/RunState.h"

namespace tolvren {

/// Carries out one run on the calling thread, converting on every core, and says what it did:
/// finds the scripts, creates the target folder, converts each file into its document in the
/// order of the list, and shows the run to `frontEnd` as it goes. Ends after the current file
/// once `control` asks it to.
RunSummary ConvertWorker(const RunRequest& request, const RunControl& control,
                         RunFrontEnd& frontEnd);

} // namespace tolvren
