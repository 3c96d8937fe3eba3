#include "files/Win32Text.h"

#include <algorithm>
#include <cerrno>
#include <windows.h>

namespace tolvren {

std::wstring Widen(std::string_view utf8, bool* valid) {
    if (valid != nullptr) {
        *valid = true;
    }
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0) {
        if (valid != nullptr) {
            *valid = false;
        }
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf16.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(length, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

// Whether `path` (with '\' only) is absolute and names every folder once: no ".", no "..", no
// empty name between separators or at its end. A folder made canonical and the names a scan
// joined to it always are.
bool IsCanonical(std::wstring_view path) {
    const std::size_t root = RootLength(path);
    if (root == 0 || path.size() == root) {
        return root != 0;
    }
    std::size_t start = root;
    for (;;) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        const std::wstring_view name = path.substr(start, end - start);
        if (name.empty() || name == L"." || name == L"..") {
            return false;
        }
        if (end == path.size()) {
            return true;
        }
        start = end + 1;
    }
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    const std::size_t root = RootLength(std::wstring_view(path));
    while (path.size() > std::max<std::size_t>(root, 1) && path.back() == L'\\') {
        path.pop_back();
    }
    return path;
}

} // namespace

std::wstring CanonicalPath(std::wstring path) {
    for (wchar_t& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    if (path.empty()) {
        path = L".";
    }
    if (!path.starts_with(kLongPrefix) && !path.starts_with(kDevicePrefix)) {
        const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
        if (size > 0) {
            std::wstring full(size, L'\0');
            full.resize(::GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
            path = std::move(full);
        }
    }
    return WithoutTrailingSeparators(std::move(path));
}

std::wstring SystemPath(const std::string& path) {
    bool valid = true;
    std::wstring wide = Widen(path, &valid);
    if (!valid) {
        return {};
    }
    for (wchar_t& c : wide) {
        c = c == L'/' ? L'\\' : c;
    }
    if (wide.starts_with(kLongPrefix) || wide.starts_with(kDevicePrefix)) {
        return wide;
    }
    if (!IsCanonical(wide)) {
        wide = CanonicalPath(std::move(wide));
        if (wide.starts_with(kLongPrefix) || wide.starts_with(kDevicePrefix)) {
            return wide; // a device: "C:\x\CON" is "\\.\CON" to Windows
        }
    }
    if (wide.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + wide.substr(2);
    }
    return std::wstring(kLongPrefix) + wide;
}

int ErrnoFromWin32(unsigned long error) {
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
        return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295: // ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack
        return ENOSPC;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
    case ERROR_BAD_PATHNAME:
        return EINVAL;
    case ERROR_NO_UNICODE_TRANSLATION:
        return EILSEQ;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    default:
        return EIO;
    }
}

} // namespace tolvren
