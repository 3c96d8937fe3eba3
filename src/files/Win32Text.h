#pragma once

#include <string>
#include <string_view>

// What the Windows code of every folder shares: the engine's UTF-8 against the system's UTF-16,
// paths as the system calls take them, and the system's error codes as errno values.

namespace tolvren {

/// `utf8` as UTF-16; empty when it is not valid UTF-8 (`*valid` false then, when given).
std::wstring Widen(std::string_view utf8, bool* valid = nullptr);
/// `utf16` as UTF-8; what is not valid UTF-16 becomes U+FFFD.
std::string Narrow(std::wstring_view utf16);

/// `path` (UTF-8, absolute or relative, either separator) as a system call takes it: made absolute
/// against the current folder when it is relative, '/' as '\', and with the "\\?\" (or
/// "\\?\UNC\") prefix that lifts the length limit and reads every name as it stands (nul.ksc,
/// "name."). Empty when `path` is not valid UTF-8.
std::wstring SystemPath(const std::string& path);

/// The errno value that says what the Windows error `error` says (ERROR_ACCESS_DENIED is
/// EACCES), so that every platform's failures are worded alike.
int ErrnoFromWin32(unsigned long error);

} // namespace tolvren
