#pragma once

#include "dialog/ProblemList.h"

#include <vector>
#include <windows.h>

namespace tolvren::win32 {

/// Every problem of a run in one list (source, target, the reason in Chinese), in the order of
/// the run, modal to `owner`. Ctrl+C and "复制" copy the selected rows, or the whole list when
/// none is selected. The list words only the rows on screen, so a run of a hundred thousand
/// warnings shows at once.
void ShowProblemList(HINSTANCE instance, HWND owner, const std::vector<RunProblem>& problems);

} // namespace tolvren::win32
