#include "dialog/ProblemList.h"

#include <algorithm>

namespace tolvren {

std::string CopiedProblems(const std::vector<RunProblem>& problems,
                           std::vector<std::size_t> selected) {
    std::sort(selected.begin(), selected.end());
    std::vector<const RunProblem*> rows;
    for (const std::size_t row : selected) {
        if (row < problems.size()) {
            rows.push_back(&problems[row]);
        }
    }
    if (selected.empty()) {
        for (const RunProblem& problem : problems) {
            rows.push_back(&problem);
        }
    }
    return ProblemListText(rows);
}

} // namespace tolvren
