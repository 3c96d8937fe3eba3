#include "conversion/TextFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <utility>

namespace tolvren {

namespace {

constexpr std::size_t kWriteBufferSize = std::size_t{256} * 1024;
constexpr std::size_t kReadChunkSize = std::size_t{1024} * 1024;
constexpr std::string_view kTempMarker = ".tolvren-tmp-";
constexpr std::size_t kTempSuffixLength = 6;

std::atomic<bool> g_bUseUnnamedFiles{true};

// Linking an unnamed file into a folder goes through its /proc/self/fd link; without /proc the
// writers use named temporaries from the start.
bool CanPublishUnnamedFiles() {
    static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
    return procMounted && g_bUseUnnamedFiles.load(std::memory_order_relaxed);
}

// Temporary names only need to be unique in their folder; O_EXCL and link(2) guarantee that,
// the random part only keeps retries rare.
std::string RandomSuffix() {
    static constexpr std::string_view letters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    std::string suffix(kTempSuffixLength, 'X');
    for (char& c : suffix) {
        c = letters[pick(generator)];
    }
    return suffix;
}

std::string TemporaryName(const std::string& name) {
    // A long document name must not make the temporary's name too long for the file system.
    std::string temp = ".";
    temp.append(name, 0, std::min<std::size_t>(name.size(), 200));
    temp.append(kTempMarker).append(RandomSuffix());
    return temp;
}

// The named temporaries in use, so that a second Ctrl-C can remove them before the process ends
// at once. Plain fixed slots: a signal handler may not allocate or lock.
struct TemporarySlot {
    std::atomic<bool> claimed{false};
    std::atomic<bool> used{false};
    int dirFd = -1;
    std::array<char, NAME_MAX + 1> name{};
};
std::array<TemporarySlot, 128> g_temporaries;

int RegisterTemporary(int dirFd, const std::string& name) {
    if (name.size() > NAME_MAX) {
        return -1;
    }
    for (std::size_t i = 0; i < g_temporaries.size(); ++i) {
        TemporarySlot& slot = g_temporaries[i];
        if (!slot.claimed.exchange(true)) {
            slot.dirFd = dirFd;
            std::copy(name.begin(), name.end(), slot.name.begin());
            slot.name[name.size()] = '\0';
            slot.used.store(true, std::memory_order_release);
            return static_cast<int>(i);
        }
    }
    return -1; // more writers than slots: this one is not removed by a second Ctrl-C
}

void UnregisterTemporary(int index) {
    if (index >= 0) {
        TemporarySlot& slot = g_temporaries[static_cast<std::size_t>(index)];
        slot.used.store(false, std::memory_order_release);
        slot.claimed.store(false);
    }
}

} // namespace

void RemoveTemporariesNow() noexcept {
    for (TemporarySlot& slot : g_temporaries) {
        if (slot.used.load(std::memory_order_acquire)) {
            ::unlinkat(slot.dirFd, slot.name.data(), 0);
        }
    }
}

bool IsWriterTemporary(std::string_view name) {
    const std::size_t marker = name.rfind(kTempMarker);
    return name.starts_with('.') && marker != std::string_view::npos &&
           name.size() - marker - kTempMarker.size() == kTempSuffixLength;
}

TextModeCut ApplyTextModeInput(std::string& bytes) {
    TextModeCut cut;
    const std::size_t ctrlZ = bytes.find('\x1A');
    if (ctrlZ != std::string::npos) {
        constexpr std::string_view nothing(" \t\n\v\f\r\x1A\0", 8);
        const std::string_view rest = std::string_view(bytes).substr(ctrlZ + 1);
        if (rest.find_first_not_of(nothing) != std::string_view::npos) {
            cut.line = 1 + static_cast<std::size_t>(
                               std::count(bytes.begin(), bytes.begin() + ctrlZ, '\n'));
            const auto countLineAt = [&](std::size_t start) {
                cut.lyricLines += rest.substr(start).starts_with(kLyricStatementStart) ? 1 : 0;
            };
            // A Ctrl-Z at the start of a line takes that whole line with it.
            if (ctrlZ == 0 || bytes[ctrlZ - 1] == '\n') {
                countLineAt(0);
            }
            for (std::size_t lineFeed = rest.find('\n'); lineFeed != std::string_view::npos;
                 lineFeed = rest.find('\n', lineFeed + 1)) {
                countLineAt(lineFeed + 1);
            }
        }
        bytes.resize(ctrlZ);
    }
    if (bytes.find('\0') != std::string::npos) {
        std::erase(bytes, '\0');
    }
    return cut;
}

bool LineReader::Next(std::string_view& line) {
    if (m_nPos >= m_text.size()) {
        return false;
    }
    ++m_nLine;
    const std::size_t lineFeed = m_text.find('\n', m_nPos);
    if (lineFeed == std::string_view::npos) {
        line = m_text.substr(m_nPos);
        m_nPos = m_text.size();
        return true;
    }
    line = m_text.substr(m_nPos, lineFeed - m_nPos);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    m_nPos = lineFeed + 1;
    return true;
}

void AppendCrLf(std::string_view text, std::string& out) {
    std::size_t pos = 0;
    for (;;) {
        const std::size_t lineFeed = text.find('\n', pos);
        if (lineFeed == std::string_view::npos) {
            out.append(text.substr(pos));
            return;
        }
        out.append(text.substr(pos, lineFeed - pos));
        out.append("\r\n");
        pos = lineFeed + 1;
    }
}

IoResult ReadWholeFile(const std::string& path, std::string& content, struct stat& info) {
    content.clear();
    // O_NONBLOCK so that opening a FIFO without a writer returns at once; it is refused below.
    const int file = OpenPath(path, O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (file < 0) {
        return IoResult::Failed(IoStep::OpenSource, errno);
    }
    IoResult result;
    if (fstat(file, &info) != 0) {
        result = IoResult::Failed(IoStep::OpenSource, errno);
    } else if (S_ISDIR(info.st_mode)) {
        result = IoResult::Failed(IoStep::ReadSource, EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        result = IoResult::Failed(IoStep::ReadSource, IoCause::NotRegularFile);
    } else {
        // One read for the expected size and one byte more: a shorter answer is the end. Files
        // that grow meanwhile (or report size 0, like /proc) are read on in large chunks.
        std::size_t size = 0;
        content.resize(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)) + 1);
        for (;;) {
            if (size == content.size()) {
                content.resize(size + std::max(kReadChunkSize, size / 2));
            }
            const std::size_t asked = content.size() - size;
            const ssize_t got = read(file, content.data() + size, asked);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                result = IoResult::Failed(IoStep::ReadSource, errno);
                break;
            }
            size += static_cast<std::size_t>(got);
            if (got == 0 || (static_cast<std::size_t>(got) < asked && info.st_size > 0)) {
                break;
            }
        }
        content.resize(result.ok() ? size : 0);
    }
    close(file);
    return result;
}

void AtomicFileWriter::UseUnnamedFiles(bool use) {
    g_bUseUnnamedFiles = use;
}

AtomicFileWriter::AtomicFileWriter(FolderHandlePtr folder, std::string name)
    : m_pFolder(std::move(folder)), m_strName(std::move(name)) {}

AtomicFileWriter::AtomicFileWriter(const std::string& targetPath)
    : AtomicFileWriter(SplitPath(targetPath)) {}

AtomicFileWriter::AtomicFileWriter(PathParts target)
    : m_pFolder(std::make_shared<FolderHandle>(target.folder)), m_strName(std::move(target.name)) {}

AtomicFileWriter::~AtomicFileWriter() {
    if (!m_bCommitted) {
        Discard();
    }
}

IoResult AtomicFileWriter::Fail(IoResult result) {
    if (m_error.ok()) {
        m_error = result;
    }
    Discard();
    return m_error;
}

IoResult AtomicFileWriter::Open() {
    if (m_pFolder->Fd() < 0) {
        return Fail(IoResult::Failed(IoStep::CreateTarget, m_pFolder->Error()));
    }
    if (m_strName.empty()) {
        return Fail(IoResult::Failed(IoStep::CreateTarget, ENOENT));
    }
    if (m_strName == "." || m_strName == "..") {
        return Fail(IoResult::Failed(IoStep::CreateTarget, EISDIR));
    }
    if (CanPublishUnnamedFiles()) {
        // Mode 0666 lets the umask (and default ACLs) decide, as for any newly created file.
        m_fd = ::openat(m_pFolder->Fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_buffer.reserve(kWriteBufferSize);
            return {};
        }
        // File systems without unnamed files say so in one of these ways; anything else is a
        // real reason not to write here.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return Fail(IoResult::Failed(IoStep::CreateTarget, errno));
        }
    }
    return OpenNamedTemporary();
}

IoResult AtomicFileWriter::OpenNamedTemporary() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_strTempName = TemporaryName(m_strName);
        m_fd = ::openat(m_pFolder->Fd(), m_strTempName.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (m_fd >= 0) {
            m_nRegistration = RegisterTemporary(m_pFolder->Fd(), m_strTempName);
            m_buffer.reserve(kWriteBufferSize);
            return {};
        }
        if (errno != EEXIST) {
            break;
        }
    }
    const int error = errno;
    m_strTempName.clear();
    return Fail(IoResult::Failed(IoStep::CreateTarget, error));
}

void AtomicFileWriter::Write(std::string_view bytes) {
    if (!m_error.ok() || m_fd < 0) {
        return;
    }
    if (m_buffer.size() + bytes.size() > kWriteBufferSize) {
        Flush();
        if (bytes.size() >= kWriteBufferSize) {
            m_buffer.assign(bytes);
            Flush();
            return;
        }
    }
    m_buffer.append(bytes);
}

void AtomicFileWriter::WriteText(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t piece = std::min(text.size() - pos, kWriteBufferSize / 2);
        const std::string_view part = text.substr(pos, piece);
        if (m_buffer.size() + part.size() * 2 > kWriteBufferSize) {
            Flush();
        }
        if (!m_error.ok() || m_fd < 0) {
            return;
        }
        AppendCrLf(part, m_buffer);
        pos += piece;
    }
}

void AtomicFileWriter::Flush() {
    if (m_pCancel != nullptr && m_pCancel->load(std::memory_order_relaxed)) {
        m_error = IoResult::Failed(IoStep::WriteTarget, IoCause::Cancelled);
    }
    std::size_t done = 0;
    while (m_error.ok() && done < m_buffer.size()) {
        const ssize_t put = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (put < 0) {
            if (errno != EINTR) {
                m_error = IoResult::Failed(IoStep::WriteTarget, errno);
            }
            continue;
        }
        if (put == 0) {
            m_error = IoResult::Failed(IoStep::WriteTarget, EIO); // never expected for a file
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    m_buffer.clear();
}

IoResult AtomicFileWriter::Finish() {
    if (m_bFinished || !m_error.ok()) {
        return m_error;
    }
    if (m_fd < 0) {
        return Fail(IoResult::Failed(IoStep::WriteTarget, EBADF));
    }
    Flush();
    if (!m_error.ok()) {
        return Fail(m_error);
    }
    std::string().swap(m_buffer);
    m_bFinished = true;
    if (!m_strTempName.empty()) {
        // close can report a delayed write error (NFS, quota), so it counts like a write.
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0) {
            return Fail(IoResult::Failed(IoStep::WriteTarget, errno));
        }
    }
    return {};
}

IoResult AtomicFileWriter::Commit(const struct stat* source) {
    if (m_bCommitted) {
        return {};
    }
    if (const IoResult finished = Finish(); !finished.ok()) {
        return finished;
    }
    const IoResult published = Publish(source);
    if (!published.ok()) {
        return Fail(published);
    }
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
    UnregisterTemporary(std::exchange(m_nRegistration, -1));
    m_strTempName.clear();
    m_bCommitted = true;
    return {};
}

IoResult AtomicFileWriter::CheckExistingTarget(const struct stat* source, struct stat& existing) {
    const int dirFd = m_pFolder->Fd();
    if (::fstatat(dirFd, m_strName.c_str(), &existing, 0) != 0) {
        // Gone meanwhile, or a link that leads nowhere: either way it may be replaced.
        existing = {};
        return {};
    }
    // Writing to the source itself (same folder, a hard link, a symbolic link) would replace
    // the script by its own document; Windows refuses that through its exclusive open.
    if (source != nullptr && existing.st_dev == source->st_dev &&
        existing.st_ino == source->st_ino) {
        return IoResult::Failed(IoStep::WriteTarget, IoCause::TargetIsSource);
    }
    if (S_ISDIR(existing.st_mode)) {
        return IoResult::Failed(IoStep::CreateTarget, EISDIR);
    }
    // A read-only document is one its owner protected; replacing it by a rename would succeed,
    // so honour the protection here, as opening it for writing would.
    if ((existing.st_mode & S_IWUSR) == 0) {
        return IoResult::Failed(IoStep::WriteTarget, IoCause::TargetReadOnly);
    }
    return {};
}

IoResult AtomicFileWriter::LinkUnder(const std::string& name) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(m_fd);
    if (::linkat(AT_FDCWD, procPath.c_str(), m_pFolder->Fd(), name.c_str(), AT_SYMLINK_FOLLOW) !=
        0) {
        return IoResult::Failed(IoStep::ReplaceTarget, errno);
    }
    return {};
}

IoResult AtomicFileWriter::Publish(const struct stat* source) {
    const int dirFd = m_pFolder->Fd();
    if (m_strTempName.empty()) {
        // A new document: one link and it is there, complete.
        IoResult linked = LinkUnder(m_strName);
        if (linked.ok() || linked.error != EEXIST) {
            return linked;
        }
    }

    struct stat existing {};
    if (const IoResult checked = CheckExistingTarget(source, existing); !checked.ok()) {
        return checked;
    }
    // The replacement keeps who may read the document. The group may be one the user cannot give
    // away, and then stays the user's.
    if (existing.st_ino != 0 && !S_ISLNK(existing.st_mode)) {
        const mode_t mode = existing.st_mode & 07777;
        if (m_strTempName.empty()) {
            ::fchmod(m_fd, mode);
            [[maybe_unused]] const int ignored =
                ::fchown(m_fd, static_cast<uid_t>(-1), existing.st_gid);
        } else {
            ::fchmodat(dirFd, m_strTempName.c_str(), mode, 0);
            [[maybe_unused]] const int ignored =
                ::fchownat(dirFd, m_strTempName.c_str(), static_cast<uid_t>(-1), existing.st_gid,
                           AT_SYMLINK_NOFOLLOW);
        }
    }

    if (m_strTempName.empty()) {
        // rename(2) replaces in one step, but needs a name to move from: the complete document
        // gets a temporary one just for that.
        for (int attempt = 0;; ++attempt) {
            std::string temp = TemporaryName(m_strName);
            const IoResult linked = LinkUnder(temp);
            if (linked.ok()) {
                m_strTempName = std::move(temp);
                m_nRegistration = RegisterTemporary(dirFd, m_strTempName);
                break;
            }
            if (linked.error != EEXIST || attempt == 100) {
                return linked;
            }
        }
    }
    if (::renameat(dirFd, m_strTempName.c_str(), dirFd, m_strName.c_str()) != 0) {
        return IoResult::Failed(IoStep::ReplaceTarget, errno);
    }
    return {};
}

void AtomicFileWriter::Discard() {
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
    if (!m_strTempName.empty()) {
        ::unlinkat(m_pFolder->Fd(), m_strTempName.c_str(), 0);
        m_strTempName.clear();
    }
    UnregisterTemporary(std::exchange(m_nRegistration, -1));
    std::string().swap(m_buffer);
}

} // namespace tolvren
