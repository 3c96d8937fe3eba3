// The platform-free part of the document writer: buffering, cancelling and the order of steps.

#include "files/AtomicFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <random>

namespace tolvren {

namespace {

constexpr std::size_t kWriteBufferSize = std::size_t{256} * 1024;
constexpr std::size_t kTempSuffixLength = 6;
constexpr std::string_view kTempSuffixLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

} // namespace

// Temporary names only need to be unique in their folder; creating them exclusively guarantees
// that, the random part only keeps retries rare.
std::string TemporarySuffix() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kTempSuffixLetters.size() - 1);
    std::string suffix(kTemporaryMarker);
    for (std::size_t i = 0; i < kTempSuffixLength; ++i) {
        suffix += kTempSuffixLetters[pick(generator)];
    }
    return suffix;
}

std::string TemporaryName(const std::string& name) {
    // A long document name must not make the temporary's name too long for the file system.
    std::size_t kept = std::min(name.size(), kTemporaryNameKept);
    while (kept > 0 && kept < name.size() &&
           (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) {
        --kept; // a UTF-8 name stays UTF-8
    }
    std::string temp = ".";
    temp.append(name, 0, kept);
    return temp.append(TemporarySuffix());
}

bool IsWriterTemporary(std::string_view name) {
    const std::size_t marker = name.rfind(kTemporaryMarker);
    if (!name.starts_with('.') || marker == std::string_view::npos || marker < 2) {
        return false;
    }
    const std::string_view suffix = name.substr(marker + kTemporaryMarker.size());
    return suffix.size() == kTempSuffixLength &&
           suffix.find_first_not_of(kTempSuffixLetters) == std::string_view::npos;
}

bool IsReservedName(std::string_view name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ') {
        return !name.empty();
    }
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') {
        stem.pop_back(); // "CON .kmc" is CON too
    }
    for (char& c : stem) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    for (const std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (stem == device) {
            return true;
        }
    }
    if (stem.size() < 4 || (!stem.starts_with("COM") && !stem.starts_with("LPT"))) {
        return false;
    }
    // COM1 to COM9, and COM¹, COM², COM³ (U+00B9, U+00B2, U+00B3 in UTF-8).
    const std::string_view number = std::string_view(stem).substr(3);
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

AtomicFileWriter::AtomicFileWriter(FolderHandlePtr folder, std::string name)
    : m_pFolder(std::move(folder)), m_strName(std::move(name)) {}

AtomicFileWriter::AtomicFileWriter(const std::string& targetPath) {
    PathParts target = SplitPath(targetPath);
    m_pFolder = std::make_shared<FolderHandle>(target.folder);
    m_strName = std::move(target.name);
}

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
    if (!m_pFolder->IsOpen()) {
        return Fail(IoResult::Failed(IoStep::CreateTarget, m_pFolder->Error()));
    }
    if (m_strName.empty()) {
        return Fail(IoResult::Failed(IoStep::CreateTarget, ENOENT));
    }
    if (m_strName == "." || m_strName == "..") {
        return Fail(IoResult::Failed(IoStep::CreateTarget, EISDIR));
    }
    if (const IoResult created = CreateTemporary(); !created.ok()) {
        return Fail(created);
    }
    m_buffer.reserve(kWriteBufferSize);
    return {};
}

void AtomicFileWriter::Write(std::string_view bytes) {
    if (!m_error.ok() || m_hFile < 0) {
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

void AtomicFileWriter::Flush() {
    if (m_pCancel != nullptr && m_pCancel->load(std::memory_order_relaxed)) {
        m_error = IoResult::Failed(IoStep::WriteTarget, IoCause::Cancelled);
    }
    if (m_error.ok() && !m_buffer.empty()) {
        m_error = WriteOut(m_buffer);
    }
    m_buffer.clear();
}

IoResult AtomicFileWriter::Finish() {
    if (m_bFinished || !m_error.ok()) {
        return m_error;
    }
    if (m_hFile < 0) {
        return Fail(IoResult::Failed(IoStep::WriteTarget, EBADF));
    }
    Flush();
    if (!m_error.ok()) {
        return Fail(m_error);
    }
    std::string().swap(m_buffer);
    m_bFinished = true;
    if (const IoResult closed = CloseTemporary(); !closed.ok()) {
        return Fail(closed);
    }
    return {};
}

IoResult AtomicFileWriter::Commit(const FileIdentity* source) {
    if (m_bCommitted) {
        return {};
    }
    if (const IoResult finished = Finish(); !finished.ok()) {
        return finished;
    }
    if (const IoResult published = Publish(source); !published.ok()) {
        return Fail(published);
    }
    m_bCommitted = true;
    return {};
}

} // namespace tolvren
