// The document writer's platform part on Windows: a named temporary beside the document, given
// the document's name with one rename that replaces.

#include "files/AtomicFileWriter.h"
#include "files/NativeWin32.h"
#include "files/Win32Text.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

namespace tolvren {

namespace {

// The named temporaries in use, so that a second Ctrl-C can remove them before the process ends
// at once: plain fixed slots, as the console's control handler may not wait for a lock. A
// temporary whose path does not fit is not registered (and left to the writer).
struct TemporarySlot {
    std::atomic<bool> claimed{false};
    std::atomic<bool> used{false};
    std::array<wchar_t, 2048> path{};
};
std::array<TemporarySlot, 128> g_temporaries;

int RegisterTemporary(const std::wstring& path) {
    if (path.size() >= TemporarySlot{}.path.size()) {
        return -1;
    }
    for (std::size_t i = 0; i < g_temporaries.size(); ++i) {
        TemporarySlot& slot = g_temporaries[i];
        if (!slot.claimed.exchange(true)) {
            std::copy(path.begin(), path.end(), slot.path.begin());
            slot.path[path.size()] = L'\0';
            slot.used.store(true, std::memory_order_release);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void UnregisterTemporary(int index) {
    if (index >= 0) {
        TemporarySlot& slot = g_temporaries[static_cast<std::size_t>(index)];
        slot.used.store(false, std::memory_order_release);
        slot.claimed.store(false);
    }
}

// A document that another program holds open cannot be replaced; such programs (a player, a
// virus scanner) usually let go within a moment.
constexpr int kReplaceAttempts = 20;
constexpr auto kReplacePause = std::chrono::milliseconds(100);

// The attributes a rename would carry over and a document may keep.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::wstring InFolder(const FolderHandlePtr& folder, const std::wstring& name) {
    return folder->GetNative().path + L"\\" + name;
}

} // namespace

void RemoveTemporariesNow() noexcept {
    for (TemporarySlot& slot : g_temporaries) {
        if (slot.used.load(std::memory_order_acquire)) {
            ::DeleteFileW(slot.path.data());
        }
    }
}

void AtomicFileWriter::UseUnnamedFiles(bool /*use*/) {
    // Windows has no unnamed files: every document is written under a temporary name.
}

IoResult AtomicFileWriter::CreateTemporary() {
    if (IsReservedName(m_strName)) {
        return IoResult::Failed(IoStep::CreateTarget, IoCause::ReservedName);
    }
    bool valid = true;
    Widen(m_strName, &valid);
    if (!valid) {
        return IoResult::Failed(IoStep::CreateTarget, IoCause::BrokenName);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_strTempName = TemporaryName(m_strName);
        const std::wstring path = InFolder(m_pFolder, Widen(m_strTempName));
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
    const int error = ErrnoFromWin32(::GetLastError());
    m_strTempName.clear();
    return IoResult::Failed(IoStep::CreateTarget, error);
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
    // Closing can report a delayed write error (a network share), so it counts like a write.
    if (::CloseHandle(AsHandle(std::exchange(m_hFile, -1))) == 0) {
        return IoResult::Failed(IoStep::WriteTarget, ErrnoFromWin32(::GetLastError()));
    }
    return {};
}

IoResult AtomicFileWriter::Publish(const FileIdentity* source) {
    const std::wstring temp = InFolder(m_pFolder, Widen(m_strTempName));
    const std::wstring target = InFolder(m_pFolder, Widen(m_strName));
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (const DWORD existing = ::GetFileAttributesW(target.c_str());
        existing != INVALID_FILE_ATTRIBUTES) {
        if ((existing & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return IoResult::Failed(IoStep::CreateTarget, EISDIR);
        }
        // Writing over the source itself (a hard link, a link) would replace the script by its
        // own document.
        FileIdentity identity;
        if (source != nullptr && GetIdentity(m_pFolder->Path() + '\\' + m_strName, identity) &&
            identity == *source) {
            return IoResult::Failed(IoStep::WriteTarget, IoCause::TargetIsSource);
        }
        if ((existing & FILE_ATTRIBUTE_READONLY) != 0) {
            return IoResult::Failed(IoStep::WriteTarget, IoCause::TargetReadOnly);
        }
        attributes =
            (existing & kKeptAttributes) != 0 ? existing & kKeptAttributes : FILE_ATTRIBUTE_NORMAL;
    }
    // A rename keeps the attributes the temporary has; a temporary may have been made hidden (a
    // name that starts with a dot is hidden under wine) and a document never is by our doing.
    ::SetFileAttributesW(temp.c_str(), attributes);
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
            break;
        }
        const DWORD error = ::GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                          error == ERROR_LOCK_VIOLATION;
        if (!held || attempt == kReplaceAttempts) {
            return IoResult::Failed(IoStep::ReplaceTarget, held ? EBUSY : ErrnoFromWin32(error));
        }
        std::this_thread::sleep_for(kReplacePause);
    }
    UnregisterTemporary(std::exchange(m_nRegistration, -1));
    m_strTempName.clear();
    return {};
}

void AtomicFileWriter::Discard() {
    if (m_hFile != -1) {
        ::CloseHandle(AsHandle(std::exchange(m_hFile, -1)));
    }
    if (!m_strTempName.empty()) {
        ::DeleteFileW(InFolder(m_pFolder, Widen(m_strTempName)).c_str());
        m_strTempName.clear();
    }
    UnregisterTemporary(std::exchange(m_nRegistration, -1));
    std::string().swap(m_buffer);
}

} // namespace tolvren
