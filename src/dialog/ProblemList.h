#pragma once

#include "batch/Messages.h"
#include "batch/RunState.h"

#include <string>
#include <vector>

// The dialogs' list of a run's problems: its columns and cells are worded in batch/Messages.h
// (ProblemHeading, ProblemCell); what a copy of it holds is decided here, for both toolkits.

namespace tolvren {

/// What a copy of the list puts on the clipboard (ProblemListText): the rows `selected`, given in
/// any order, in the order of the run; every row when none is selected.
std::string CopiedProblems(const std::vector<RunProblem>& problems,
                           std::vector<std::size_t> selected);

} // namespace tolvren
