#pragma once

#include <string>
#include <windows.h>

namespace tolvren::win32 {

/// Lets the user choose a folder in the system's folder dialog (the modern one, folders of the
/// file system only), titled "请选择文件夹...", modal to `owner`, opening in `startFolder` unless
/// that is "". Returns the chosen folder as the shell gives it (no trailing backslash
/// except on a drive root: "D:\"), or "" when the user cancelled or nothing could be shown.
std::wstring FolderPicker(HWND owner, const std::wstring& startFolder);

} // namespace tolvren::win32
