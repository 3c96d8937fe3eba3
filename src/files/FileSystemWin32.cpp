// The file-system calls on Windows: UTF-16 at every system call, "\\?\" paths, errors as errno.

#include "files/AtomicFileWriter.h"
#include "files/InputFile.h"
#include "files/NativeWin32.h"
#include "files/Win32Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

namespace tolvren {

const char kPathSeparator = '\\';
const ErrorWording kErrorWording = ErrorWording::Windows;

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// FNV-1a over the text's UTF-16 units, from two starting points: 128 bits that name a file by
// its path where the file system gives it no number of its own.
void HashPath(std::wstring_view path, FileIdentity& identity) {
    std::uint64_t first = 14695981039346656037ULL;
    std::uint64_t second = 1099511628211ULL * 31;
    for (const wchar_t c : path) {
        first = (first ^ static_cast<std::uint64_t>(c)) * 1099511628211ULL;
        second = (second ^ static_cast<std::uint64_t>(c)) * 1099511628211ULL;
    }
    identity.file = first;
    identity.fileHigh = second | (std::uint64_t{1} << 63); // never a real file number's
}

class Handle {
public:
    explicit Handle(HANDLE handle) : m_h(handle) {}
    ~Handle() {
        if (IsOpen()) {
            ::CloseHandle(m_h);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }

private:
    HANDLE m_h;
};

// Opens what `path` names, links followed, to look at it (and with `access` more); a folder too.
HANDLE OpenToLookAt(const std::wstring& path, DWORD access = 0) {
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

bool IdentityOfHandle(HANDLE handle, FileIdentity& identity, bool* numbered) {
    if (numbered != nullptr) {
        *numbered = false;
    }
    // Numbers that FAT, exFAT and some network servers give are not unique or not stable: there
    // the final path names the file.
    wchar_t fileSystem[MAX_PATH + 1] = {};
    DWORD serial = 0;
    const bool known = ::GetVolumeInformationByHandleW(handle, nullptr, 0, &serial, nullptr,
                                                       nullptr, fileSystem, MAX_PATH + 1) != 0;
    const std::wstring_view name(fileSystem);
    const bool trusted = known && name != L"FAT" && name != L"FAT32" && name != L"exFAT";
    identity = {};
    identity.device = serial;
    FILE_ID_INFO id{};
    if (trusted && ::GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id) != 0) {
        std::memcpy(&identity.file, id.FileId.Identifier, sizeof identity.file);
        std::memcpy(&identity.fileHigh, id.FileId.Identifier + 8, sizeof identity.fileHigh);
        identity.device = id.VolumeSerialNumber;
        if (identity.file != 0 || identity.fileHigh != 0) {
            if (numbered != nullptr) {
                *numbered = true;
            }
            return true;
        }
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (trusted && ::GetFileInformationByHandle(handle, &information) != 0) {
        identity.file = static_cast<std::uint64_t>(information.nFileIndexHigh) << 32 |
                        information.nFileIndexLow;
        if (identity.file != 0) {
            if (numbered != nullptr) {
                *numbered = true;
            }
            return true;
        }
    }
    const DWORD size = ::GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
    if (size == 0) {
        return false;
    }
    std::wstring path(size, L'\0');
    path.resize(::GetFinalPathNameByHandleW(handle, path.data(), size, FILE_NAME_NORMALIZED));
    HashPath(UpperCase(path), identity);
    return true;
}

std::wstring UpperCase(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    std::wstring upper(text.size(), L'\0');
    const int length = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(),
                                       static_cast<int>(text.size()), upper.data(),
                                       static_cast<int>(upper.size()), nullptr, nullptr, 0);
    upper.resize(static_cast<std::size_t>(std::max(length, 0)));
    return upper;
}

FileIdentity IdentityOfName(std::wstring_view path) {
    FileIdentity identity;
    HashPath(path, identity);
    return identity;
}

bool IdentityOfPath(const std::wstring& path, FileIdentity& identity) {
    const Handle handle(OpenToLookAt(path));
    return handle.IsOpen() && IdentityOfHandle(handle.Get(), identity);
}

PathStatus StatPath(const std::string& path, Access access) {
    PathStatus status;
    const std::wstring system = SystemPath(path);
    if (system.empty()) {
        status.error = EILSEQ;
        status.kind = PathKind::Other;
        return status;
    }
    // Reading a folder is listing it: FILE_READ_DATA and FILE_LIST_DIRECTORY are one right. What
    // cannot be read is opened again only to say what it is.
    HANDLE opened = OpenToLookAt(system, access == Access::Read ? FILE_READ_DATA : 0);
    DWORD readError = ERROR_SUCCESS;
    if (opened == INVALID_HANDLE_VALUE && access == Access::Read) {
        readError = ::GetLastError();
        opened = OpenToLookAt(system);
    }
    const Handle handle(opened);
    if (!handle.IsOpen()) {
        status.error = ErrnoFromWin32(::GetLastError());
        status.kind =
            status.error == ENOENT || status.error == ENOTDIR ? PathKind::Missing : PathKind::Other;
        return status;
    }
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(handle.Get(), FileBasicInfo, &basic, sizeof basic) == 0) {
        status.error = ErrnoFromWin32(::GetLastError());
        status.kind = PathKind::Other;
        return status;
    }
    const bool folder = (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.kind = folder                                          ? PathKind::Folder
                  : ::GetFileType(handle.Get()) == FILE_TYPE_DISK ? PathKind::RegularFile
                                                                  : PathKind::Other;
    IdentityOfHandle(handle.Get(), status.identity);
    if (readError != ERROR_SUCCESS && status.kind != PathKind::Other) {
        status.error = ErrnoFromWin32(readError);
    }
    return status;
}

bool GetIdentity(const std::string& path, FileIdentity& identity) {
    const std::wstring system = SystemPath(path);
    return !system.empty() && IdentityOfPath(system, identity);
}

int CreateFolder(const std::string& path) {
    const std::wstring system = SystemPath(path);
    if (system.empty()) {
        return EILSEQ;
    }
    if (::CreateDirectoryW(system.c_str(), nullptr) != 0) {
        return 0;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        const DWORD attributes = ::GetFileAttributesW(system.c_str());
        return (attributes != INVALID_FILE_ATTRIBUTES &&
                (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                   ? 0
                   : EEXIST;
    }
    return ErrnoFromWin32(error);
}

IoResult CreateFolders(const std::string& folder, std::string_view below) {
    std::vector<std::string_view> names;
    for (std::size_t start = 0; start < below.size();) {
        const std::size_t end = std::min(below.find_first_of("\\/", start), below.size());
        if (end > start) {
            names.push_back(below.substr(start, end - start));
        }
        start = end + 1;
    }
    if (std::any_of(names.begin(), names.end(), IsReservedName)) {
        return IoResult::Failed(IoStep::CreateFolder, IoCause::ReservedName);
    }
    std::string path = folder;
    for (const std::string_view name : names) {
        path = JoinPath(path, name);
        if (const int error = CreateFolder(path); error != 0) {
            return IoResult::Failed(IoStep::CreateFolder, error);
        }
    }
    return {};
}

std::string MakeAbsolute(const std::string& path) {
    bool valid = true;
    const std::wstring wide = Widen(path, &valid);
    return valid ? Narrow(CanonicalPath(wide)) : path;
}

std::string WithoutTrailingSeparator(std::string path) {
    const std::size_t root = RootLength<char>(path);
    while (path.size() > std::max<std::size_t>(root, 1) && IsSeparator(path.back())) {
        path.pop_back();
    }
    return path;
}

PathParts SplitPath(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) {
        // "C:x.ksc" lies in the current folder of drive C:.
        if (path.size() >= 2 && path[1] == ':') {
            return {path.substr(0, 2), path.substr(2)};
        }
        return {".", path};
    }
    const std::size_t root = RootLength<char>(path);
    return {cut + 1 <= root ? path.substr(0, root) : path.substr(0, cut), path.substr(cut + 1)};
}

std::string JoinPath(const std::string& folder, std::string_view name) {
    if (folder.empty()) {
        return std::string(name);
    }
    std::string path = folder;
    if (!IsSeparator(path.back())) {
        path += '\\';
    }
    path.append(name);
    return path;
}

std::string NameKey(std::string_view path) {
    std::wstring wide = Widen(path);
    for (wchar_t& c : wide) {
        c = c == L'/' ? L'\\' : c;
    }
    return Narrow(UpperCase(wide));
}

std::string StoredName(const std::string& path) {
    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileExW(SystemPath(path).c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        return path;
    }
    ::FindClose(find);
    return JoinPath(SplitPath(path).folder, Narrow(data.cFileName));
}

FolderHandle::FolderHandle(const std::string& path)
    : m_strPath(path), m_pNative(std::make_unique<Native>()) {
    m_pNative->path = SystemPath(path);
    if (m_pNative->path.empty()) {
        m_nError = EILSEQ;
        return;
    }
    const DWORD attributes = ::GetFileAttributesW(m_pNative->path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        m_nError = ErrnoFromWin32(::GetLastError());
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        m_nError = ENOTDIR;
    }
}

FolderHandle::~FolderHandle() = default;

InputFile::~InputFile() {
    if (m_hNative != -1) {
        ::CloseHandle(AsHandle(m_hNative));
    }
}

IoResult InputFile::Open(const std::string& path) {
    const std::wstring system = SystemPath(path);
    if (system.empty()) {
        return IoResult::Failed(IoStep::OpenSource, EILSEQ);
    }
    const DWORD attributes = ::GetFileAttributesW(system.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return IoResult::Failed(IoStep::ReadSource, EISDIR);
    }
    const HANDLE file = ::CreateFileW(system.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return IoResult::Failed(IoStep::OpenSource, ErrnoFromWin32(::GetLastError()));
    }
    m_hNative = reinterpret_cast<std::intptr_t>(file);
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        return IoResult::Failed(IoStep::ReadSource, IoCause::NotRegularFile);
    }
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) != 0) {
        m_nSize = size.QuadPart;
    }
    IdentityOfHandle(file, m_identity);
    return {};
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t size, int& error) {
    const auto asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD got = 0;
    if (::ReadFile(AsHandle(m_hNative), buffer, asked, &got, nullptr) == 0) {
        error = ErrnoFromWin32(::GetLastError());
        return -1;
    }
    return static_cast<std::ptrdiff_t>(got);
}

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

bool IsQuotaError(int /*error*/) {
    return false; // a used-up quota is reported as a full disk here (the system's quota error)
}

} // namespace tolvren
