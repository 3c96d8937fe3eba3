// Folder listings on Windows: the folder opened once and read with its entries' file ids, names
// as UTF-8.

#include "files/DirectorySearch.h"
#include "files/NativeWin32.h"
#include "files/Win32Text.h"

#include <cerrno>
#include <vector>

namespace tolvren {

namespace {

std::time_t SecondsOf(const LARGE_INTEGER& time) {
    // 100-nanosecond ticks since 1601 to seconds since 1970.
    return static_cast<std::time_t>(static_cast<std::uint64_t>(time.QuadPart) / 10000000ULL) -
           11644473600LL;
}

class FolderCloser {
public:
    explicit FolderCloser(HANDLE handle) : m_h(handle) {}
    ~FolderCloser() { ::CloseHandle(m_h); }
    FolderCloser(const FolderCloser&) = delete;
    FolderCloser& operator=(const FolderCloser&) = delete;

private:
    HANDLE m_h;
};

} // namespace

FolderListing ListFolder(const std::string& folder, std::string_view mask, FileDetails details) {
    FolderListing listing;
    const std::wstring system = SystemPath(folder);
    if (system.empty()) {
        listing.error = EILSEQ;
        return listing;
    }
    const HANDLE handle = ::CreateFileW(
        system.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        listing.error = ErrnoFromWin32(::GetLastError());
        return listing;
    }
    const FolderCloser closer(handle);
    // Where the volume numbers its files, an entry's number says which file it is: two names of
    // one file (a hard link) carry one number, two files whose names differ in case alone (a
    // folder on a NAS, or one marked case-sensitive) two.
    bool numbered = false;
    IdentityOfHandle(handle, listing.identity, &numbered);

    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') {
        prefix += '\\';
    }
    const std::wstring widePrefix = system + L"\\";
    const auto add = [&](const FILE_ID_BOTH_DIR_INFO& info) {
        const std::wstring_view name(info.FileName, info.FileNameLength / sizeof(wchar_t));
        if (name == L"." || name == L"..") {
            return;
        }
        DirectoryEntry entry;
        entry.name = Narrow(name);
        const DWORD attributes = info.FileAttributes;
        const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!isFolder && !MatchesWildcard(mask, entry.name)) {
            return;
        }
        entry.path = prefix + entry.name;
        // Every attribute as the system has it; a file without any is "normal", as Windows' own
        // listings say.
        entry.attributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
        const auto widePath = [&] { return widePrefix + std::wstring(name); };
        const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const auto id = static_cast<std::uint64_t>(info.FileId.QuadPart);
        if (isFolder || link) {
            // Links and junctions are followed: the identity is that of what they lead to, so
            // that every folder is searched once however many paths lead to it.
            if (!IdentityOfPath(widePath(), entry.identity)) {
                const DWORD error = ::GetLastError();
                entry.identity = IdentityOfName(widePath());
                if (!isFolder) {
                    entry.error = ErrnoFromWin32(error); // a link that leads nowhere
                }
            }
        } else if (numbered && id != 0 && id != ~std::uint64_t{0}) {
            entry.identity = {listing.identity.device, id, 0};
        } else {
            entry.identity = IdentityOfName(widePath());
        }
        if (isFolder) {
            listing.folders.push_back(std::move(entry));
            return;
        }
        if (details == FileDetails::Full) {
            entry.size = info.EndOfFile.QuadPart;
            entry.created = SecondsOf(info.CreationTime);
            entry.modified = SecondsOf(info.LastWriteTime);
            entry.accessed = SecondsOf(info.LastAccessTime);
        }
        listing.files.push_back(std::move(entry));
    };

    // As large a fetch as FindFirstFileEx's FIND_FIRST_EX_LARGE_FETCH asks for.
    constexpr std::size_t kFetch = std::size_t{64} * 1024;
    std::vector<LONGLONG> buffer(kFetch / sizeof(LONGLONG));
    const auto size = static_cast<DWORD>(buffer.size() * sizeof(LONGLONG));
    for (FILE_INFO_BY_HANDLE_CLASS query = FileIdBothDirectoryRestartInfo;;
         query = FileIdBothDirectoryInfo) {
        if (::GetFileInformationByHandleEx(handle, query, buffer.data(), size) == 0) {
            const DWORD error = ::GetLastError();
            // An empty drive root has not even "." to list.
            if (error != ERROR_NO_MORE_FILES && error != ERROR_FILE_NOT_FOUND) {
                listing.error = ErrnoFromWin32(error);
            }
            break;
        }
        const auto* bytes = reinterpret_cast<const char*>(buffer.data());
        for (std::size_t offset = 0;;) {
            const auto& info = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes + offset);
            add(info);
            if (info.NextEntryOffset == 0) {
                break;
            }
            offset += info.NextEntryOffset;
        }
    }
    SortByName(listing.folders);
    SortByName(listing.files);
    return listing;
}

} // namespace tolvren
