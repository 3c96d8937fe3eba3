#pragma once

#include "dialog/AssChoices.h"

#include <windows.h>

namespace tolvren::win32 {

/// The ASS 选项 window (template IDD_ASS_OPTIONS) over `owner`, modal: the font (the system's
/// font picker), its size, the sung and unsung colours (the system's colour picker), the rows,
/// lead-in and linger, the title card, and a sample line drawn half sung in those choices. True
/// when it was closed with 确定, `choices` then holding what the user picked; the checks are the
/// controller's.
bool EditAssOptions(HINSTANCE instance, HWND owner, AssChoices& choices);

} // namespace tolvren::win32
