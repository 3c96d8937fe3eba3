#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What the Windows code of every folder shares: the engine's UTF-8 against the system's UTF-16,
// paths as the system calls take them, and the system's error codes as errno values.

namespace tolvren {

/// `utf8` as UTF-16; empty when it is not valid UTF-8 (`*valid` false then, when given).
std::wstring Widen(std::string_view utf8, bool* valid = nullptr);
/// `utf16` as UTF-8; what is not valid UTF-16 becomes U+FFFD.
std::string Narrow(std::wstring_view utf16);

/// The length of the root `path` begins with: "C:\" (3), "\\server\share\", "\\?\C:\", or 0 when
/// it has none. Either separator counts.
template <typename Char>
std::size_t RootLength(std::basic_string_view<Char> path) {
    const auto separator = [](Char c) { return c == Char('\\') || c == Char('/'); };
    if (path.size() >= 3 && path[1] == Char(':') && separator(path[2])) {
        return 3;
    }
    if (path.size() >= 2 && separator(path[0]) && separator(path[1])) {
        // Past "\\server\share\" (or "\\?\C:\"): the fourth separator, or the end.
        std::size_t separators = 2;
        for (std::size_t i = 2; i < path.size(); ++i) {
            if (separator(path[i]) && ++separators == 4) {
                return i + 1;
            }
        }
        return path.size();
    }
    return 0;
}

/// A path a user gave (a source, a target, a folder typed or dropped), as Windows reads such a
/// path (GetFullPathNameW): '/' as '\', absolute against the current folder, "." and ".."
/// resolved, doubled separators as one, the trailing dots and blanks of its last name dropped, and
/// without trailing separators but a root's. A path already in the "\\?\" or "\\.\" form is
/// taken as it stands but for trailing separators. This is the one place a user's path is read:
/// behind "\\?\" Windows parses nothing.
std::wstring CanonicalPath(std::wstring path);

/// `path` (UTF-8, either separator) as a system call takes it, with the "\\?\" (or "\\?\UNC\")
/// prefix that lifts the length limit and reads every name as it stands (nul.ksc, "name."). A path
/// in the canonical form (absolute, no "." or ".." and no empty name in it) is only prefixed, so
/// that names a scan found and joined to it stay exactly as the folder holds them; any other path
/// is read as a user's first (CanonicalPath). Empty when `path` is not valid UTF-8.
std::wstring SystemPath(const std::string& path);

/// The errno value that says what the Windows error `error` says (ERROR_ACCESS_DENIED is
/// EACCES), so that every platform's failures are worded alike.
int ErrnoFromWin32(unsigned long error);

} // namespace tolvren
