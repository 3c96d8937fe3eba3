#pragma once

#include "files/FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <windows.h>

// What the Windows file-system code shares between its files.

namespace tolvren {

struct FolderHandle::Native {
    std::wstring path; ///< the folder as system calls take it ("\\?\C:\…")
};

/// The identity of the file or folder `handle` is open on: the volume and its 128-bit file id,
/// or, where the file system numbers files unreliably (FAT, exFAT, some servers), its final path.
/// `*numbered` (when given) says which: true for the file system's own number, which the entries
/// of a folder listed on that volume carry too.
bool IdentityOfHandle(HANDLE handle, FileIdentity& identity, bool* numbered = nullptr);

/// The identity of what the system path `path` ("\\?\C:\…") names, links followed; false when
/// it cannot be opened.
bool IdentityOfPath(const std::wstring& path, FileIdentity& identity);

/// An identity made from a path exactly as written, for what the file system gives no number:
/// two names that differ in case alone are two files, as the listing shows them.
FileIdentity IdentityOfName(std::wstring_view path);

/// The HANDLE a writer or a reader keeps in its integer member (a descriptor on Linux).
inline HANDLE AsHandle(std::intptr_t value) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the integer was a HANDLE to begin with
    return reinterpret_cast<HANDLE>(value);
}

/// `text` in upper case as NTFS compares names (the invariant locale).
std::wstring UpperCase(std::wstring_view text);

} // namespace tolvren
