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
bool IdentityOfHandle(HANDLE handle, FileIdentity& identity);

/// The identity of a file by its path alone, as Windows compares names: for files a scan lists,
/// where opening each to ask would cost more than the whole conversion.
FileIdentity PathIdentity(const std::string& path);

/// The HANDLE a writer or a reader keeps in its integer member (a descriptor on Linux).
inline HANDLE AsHandle(std::intptr_t value) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the integer was a HANDLE to begin with
    return reinterpret_cast<HANDLE>(value);
}

/// `text` in upper case as NTFS compares names (the invariant locale).
std::wstring UpperCase(std::wstring_view text);

} // namespace tolvren
