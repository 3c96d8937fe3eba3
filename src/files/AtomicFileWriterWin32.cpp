// The document writer's platform part on Windows: a named temporary beside the document, given
// the document's name with one rename that replaces.

#include "files/AtomicFileWriter.h"
#include "files/NativeWin32.h"
#include "files/TemporaryRegistry.h"
#include "files/Win32Text.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

namespace tolvren {

namespace {

// The named temporaries in use, for a second Ctrl-C: by path, which stays harmless if the writer
// has just renamed or closed it. A temporary whose path does not fit is not registered (and left
// to the writer).
using TemporaryPath = std::array<wchar_t, 2048>;
TemporaryRegistry<TemporaryPath> g_temporaries;

int RegisterTemporary(const std::wstring& path) {
    if (path.size() >= TemporaryPath{}.size()) {
        return -1;
    }
    return g_temporaries.Register([&](TemporaryPath& slot) {
        std::copy(path.begin(), path.end(), slot.begin());
        slot[path.size()] = L'\0';
    });
}

// A document that another program holds open cannot be replaced; such programs (a player, a
// virus scanner) usually let go within a moment.
constexpr int kReplaceAttempts = 20;
constexpr auto kReplacePause = std::chrono::milliseconds(100);

// The attributes a rename would carry over and a document may keep.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::wstring InFolder(const FolderHandle& folder, std::wstring_view name) {
    std::wstring path = folder.GetNative().path;
    path += L'\\';
    path += name;
    return path;
}

// A temporary is held from its creation until it has its name, first by the handle it is written
// through (shared for deleting only) and then by one that can only rename or delete it: either
// way another run's exclusive open fails, so a temporary nobody holds is one left behind.
bool Remove(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                        sizeof disposition) != 0;
}

// Gives the temporary open as `file` the path `target` ("\\?\…"), replacing what is there.
bool Rename(HANDLE file, const std::wstring& target) {
    const std::size_t size = offsetof(FILE_RENAME_INFO, FileName) + (target.size() + 1) * 2;
    std::vector<std::uint64_t> buffer((size + 7) / 8); // aligned as the structure needs
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * 2);
    std::copy(target.begin(), target.end(), rename->FileName);
    return ::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(size)) !=
           0;
}

// The temporary's name for the document `name`, as TemporaryName makes it from the UTF-8 name.
std::wstring TemporaryNameOf(const std::wstring& name) {
    std::size_t kept = std::min<std::size_t>(name.size(), kTemporaryNameKept);
    if (kept < name.size() && IS_LOW_SURROGATE(name[kept])) {
        --kept; // never half a character
    }
    const std::string suffix = TemporarySuffix(); // ASCII
    std::wstring temp = L".";
    temp.append(name, 0, kept);
    temp.append(suffix.begin(), suffix.end());
    return temp;
}

// What stands at the document's path now, looked at through one handle.
struct ExistingTarget {
    bool present = false;
    DWORD attributes = 0;
    FileIdentity identity;
};

ExistingTarget LookAt(const std::wstring& path) {
    ExistingTarget existing;
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return existing; // missing, or nothing that may be looked at: the rename will tell
    }
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) != 0) {
        existing.present = true;
        existing.attributes = basic.FileAttributes;
        IdentityOfHandle(file, existing.identity);
    }
    ::CloseHandle(file);
    return existing;
}

} // namespace

void RemoveTemporariesNow() noexcept {
    g_temporaries.ForEach([](const TemporaryPath& path) { ::DeleteFileW(path.data()); });
}

void RemoveStaleTemporaries(const FolderHandle& folder) {
    // Only names with the marker are listed: a library on a NAS need not send all of its names.
    std::wstring pattern = L"*";
    pattern.append(kTemporaryMarker.begin(), kTemporaryMarker.end()).append(L"*");
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        ::FindFirstFileExW(InFolder(folder, pattern).c_str(), FindExInfoBasic, &found,
                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        constexpr DWORD kNotAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
        if ((found.dwFileAttributes & kNotAFile) != 0 ||
            !IsWriterTemporary(Narrow(found.cFileName))) {
            continue;
        }
        // Opened for nobody else: this fails while a writer holds it. A link is opened itself.
        const HANDLE file =
            ::CreateFileW(InFolder(folder, found.cFileName).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                          0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            continue;
        }
        BY_HANDLE_FILE_INFORMATION information{};
        if (::GetFileInformationByHandle(file, &information) != 0 &&
            (information.dwFileAttributes & (kNotAFile | FILE_ATTRIBUTE_READONLY)) == 0 &&
            information.nNumberOfLinks == 1) {
            Remove(file);
        }
        ::CloseHandle(file);
    } while (::FindNextFileW(search, &found) != 0);
    ::FindClose(search);
}

void AtomicFileWriter::UseUnnamedFiles(bool /*use*/) {
    // Windows has no unnamed files: every document is written under a temporary name.
}

bool AtomicFileWriter::HasUnnamedFiles() {
    return false;
}

IoResult AtomicFileWriter::CreateTemporary() {
    if (IsReservedName(m_strName)) {
        return IoResult::Failed(IoStep::CreateTarget, IoCause::ReservedName);
    }
    bool valid = true;
    const std::wstring name = Widen(m_strName, &valid);
    if (!valid) {
        return IoResult::Failed(IoStep::CreateTarget, IoCause::BrokenName);
    }
    m_wstrTarget = InFolder(*m_pFolder, name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = InFolder(*m_pFolder, TemporaryNameOf(name));
        // Shared for deleting, so that a second Ctrl-C can remove it while it is written.
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_hFile = reinterpret_cast<std::intptr_t>(file);
            m_nRegistration = RegisterTemporary(path);
            return {};
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    return IoResult::Failed(IoStep::CreateTarget, ErrnoFromWin32(::GetLastError()));
}

IoResult AtomicFileWriter::WriteOut(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto asked = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD put = 0;
        if (::WriteFile(AsHandle(m_hFile), bytes.data() + done, asked, &put, nullptr) == 0) {
            return IoResult::Failed(IoStep::WriteTarget, ErrnoFromWin32(::GetLastError()));
        }
        if (put == 0) {
            return IoResult::Failed(IoStep::WriteTarget, EIO);
        }
        done += put;
    }
    return {};
}

IoResult AtomicFileWriter::CloseTemporary() {
    // Closing can report a delayed write error (a network share), so it counts like a write; a
    // second handle, which can only rename or delete it, holds the temporary meanwhile.
    const HANDLE written = AsHandle(m_hFile);
    const HANDLE held = ::ReOpenFile(written, DELETE | FILE_WRITE_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (held == INVALID_HANDLE_VALUE) {
        return IoResult::Failed(IoStep::WriteTarget, ErrnoFromWin32(::GetLastError()));
    }
    m_hFile = reinterpret_cast<std::intptr_t>(held);
    if (::CloseHandle(written) == 0) {
        return IoResult::Failed(IoStep::WriteTarget, ErrnoFromWin32(::GetLastError()));
    }
    return {};
}

IoResult AtomicFileWriter::Publish(const FileIdentity* source) {
    const HANDLE temp = AsHandle(m_hFile);
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (const ExistingTarget existing = LookAt(m_wstrTarget); existing.present) {
        if ((existing.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return IoResult::Failed(IoStep::CreateTarget, EISDIR);
        }
        // Writing over the source itself (a hard link, a link) would replace the script by its
        // own document.
        if (source != nullptr && existing.identity == *source) {
            return IoResult::Failed(IoStep::WriteTarget, IoCause::TargetIsSource);
        }
        if ((existing.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return IoResult::Failed(IoStep::WriteTarget, IoCause::TargetReadOnly);
        }
        if ((existing.attributes & kKeptAttributes) != 0) {
            attributes = existing.attributes & kKeptAttributes;
        }
    }
    // A rename keeps the attributes the temporary has; a temporary may have been made hidden (a
    // name that starts with a dot is hidden under wine) and a document never is by our doing.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes;
    ::SetFileInformationByHandle(temp, FileBasicInfo, &basic, sizeof basic);
    for (int attempt = 1; !Rename(temp, m_wstrTarget); ++attempt) {
        const DWORD error = ::GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                          error == ERROR_LOCK_VIOLATION;
        if (!held || attempt == kReplaceAttempts) {
            return IoResult::Failed(IoStep::ReplaceTarget, held ? EBUSY : ErrnoFromWin32(error));
        }
        std::this_thread::sleep_for(kReplacePause);
    }
    ::CloseHandle(AsHandle(std::exchange(m_hFile, -1)));
    g_temporaries.Unregister(std::exchange(m_nRegistration, -1));
    return {};
}

void AtomicFileWriter::Discard() {
    if (m_hFile != -1) {
        const HANDLE file = AsHandle(std::exchange(m_hFile, -1));
        Remove(file);
        ::CloseHandle(file);
    }
    g_temporaries.Unregister(std::exchange(m_nRegistration, -1));
    std::string().swap(m_buffer);
}

} // namespace tolvren
