// Folder listings on Windows: FindFirstFileExW, names as UTF-8.

#include "files/DirectorySearch.h"
#include "files/NativeWin32.h"
#include "files/Win32Text.h"

#include <cerrno>

namespace tolvren {

namespace {

std::time_t SecondsOf(const FILETIME& time) {
    // 100-nanosecond ticks since 1601 to seconds since 1970.
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    return static_cast<std::time_t>(ticks / 10000000ULL) - 11644473600LL;
}

} // namespace

FolderListing ListFolder(const std::string& folder, std::string_view mask, FileDetails details) {
    FolderListing listing;
    const std::wstring system = SystemPath(folder);
    if (system.empty()) {
        listing.error = EILSEQ;
        return listing;
    }
    WIN32_FIND_DATAW data{};
    const HANDLE find =
        ::FindFirstFileExW((system + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                           nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // An empty drive root has no "." to find.
        listing.error = error == ERROR_FILE_NOT_FOUND ? 0 : ErrnoFromWin32(error);
        return listing;
    }
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') {
        prefix += '\\';
    }
    do {
        const std::wstring_view wide(data.cFileName);
        if (wide == L"." || wide == L"..") {
            continue;
        }
        DirectoryEntry entry;
        entry.name = Narrow(wide);
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!isFolder && !MatchesWildcard(mask, entry.name)) {
            continue;
        }
        entry.path = prefix + entry.name;
        // Every attribute as the system has it: a file is listed whatever they are, also when
        // "normal" is its only one (a backup tool leaves that after clearing the archive bit).
        entry.attributes = data.dwFileAttributes;
        if (isFolder) {
            // Folders are told apart by what they are (links and junctions followed), so that
            // every folder is searched once however many paths lead to it.
            if (!GetIdentity(entry.path, entry.identity)) {
                entry.identity = PathIdentity(entry.path);
            }
            listing.folders.push_back(std::move(entry));
            continue;
        }
        // A file is told apart by its path: opening each to ask would cost more than converting
        // it.
        entry.identity = PathIdentity(entry.path);
        if (details == FileDetails::Full) {
            entry.size = static_cast<std::int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
            entry.created = SecondsOf(data.ftCreationTime);
            entry.modified = SecondsOf(data.ftLastWriteTime);
            entry.accessed = SecondsOf(data.ftLastAccessTime);
        }
        listing.files.push_back(std::move(entry));
    } while (::FindNextFileW(find, &data) != 0);
    const DWORD error = ::GetLastError();
    ::FindClose(find);
    if (error != ERROR_NO_MORE_FILES) {
        listing.error = ErrnoFromWin32(error);
    }
    SortByName(listing.folders);
    SortByName(listing.files);
    return listing;
}

} // namespace tolvren
