#pragma once

#include <windows.h>

namespace tolvren::win32 {

/// The About box (template IDD_ABOUTBOX), modal to `owner`; OK, Esc and the close box end it.
void ShowAboutDialog(HINSTANCE instance, HWND owner);

} // namespace tolvren::win32
