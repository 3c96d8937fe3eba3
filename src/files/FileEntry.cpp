#include "files/FileEntry.h"

#include "files/FileSystem.h"

#include <algorithm>

namespace tolvren {

namespace {

bool IsWindowsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The shell's unquoting: a text that both opens and closes with a double quote loses the two.
// A lone double quote counts as both and leaves nothing.
std::string UnquoteSpaces(const std::string& text) {
    if (text.empty() || text.front() != '"' || text.back() != '"') {
        return text;
    }
    return text.size() < 2 ? std::string() : text.substr(1, text.size() - 2);
}

} // namespace

FileEntry::FileEntry(const char* path, PathStyle style)
    : FileEntry(std::string(path != nullptr ? path : ""), style) {}

FileEntry::FileEntry(const std::string& path, PathStyle style) : m_style(style) {
    if (style == PathStyle::Posix) {
        // Only '/' separates and nothing is dropped, so the pieces put together again give the
        // very path that was found.
        const std::size_t slash = path.rfind('/');
        const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
        m_strDirectory = path.substr(0, nameStart);
        const std::string last = path.substr(nameStart);
        const std::size_t dot = last.rfind('.');
        m_bHasDot = dot != std::string::npos;
        m_strName = m_bHasDot ? last.substr(0, dot) : last;
        m_strExtension = m_bHasDot ? last.substr(dot + 1) : std::string();
        return;
    }

    const std::string text = UnquoteSpaces(path);
    if (text.empty()) {
        return;
    }
    std::size_t rest = 0;
    if (text.size() >= 2 && text[1] == ':') {
        m_strDrive = text.substr(0, 2);
        rest = 2;
    }
    std::size_t nameStart = rest;
    for (std::size_t i = rest; i < text.size(); ++i) {
        if (IsWindowsSeparator(text[i])) {
            nameStart = i + 1;
        }
    }
    m_strDirectory = text.substr(rest, nameStart - rest);
    std::replace(m_strDirectory.begin(), m_strDirectory.end(), '/', '\\');

    const std::string last = text.substr(nameStart);
    const std::size_t dot = last.rfind('.');
    m_strName = dot == std::string::npos ? last : last.substr(0, dot);
    if (!m_strName.empty() && dot != std::string::npos) {
        m_strExtension = last.substr(dot + 1);
    }
}

FileEntry::~FileEntry() = default;

std::string FileEntry::GetPath() const {
    return GetLocation() + GetNameExt();
}

const char* FileEntry::GetPathText() {
    m_strPathText = GetPath();
    return m_strPathText.c_str();
}

std::string FileEntry::GetLocation() const {
    return m_strDrive + m_strDirectory;
}

std::string FileEntry::GetNameExt() const {
    return m_strName + GetDotExt();
}

std::string FileEntry::GetDotExt() const {
    if (m_style == PathStyle::Posix) {
        return m_bHasDot ? "." + m_strExtension : std::string();
    }
    return m_strExtension.empty() ? std::string() : "." + m_strExtension;
}

const std::string& FileEntry::Drive() const {
    return m_strDrive;
}
const std::string& FileEntry::Directory() const {
    return m_strDirectory;
}
const std::string& FileEntry::Name() const {
    return m_strName;
}
const std::string& FileEntry::Extension() const {
    return m_strExtension;
}

std::string AddTrailingSeparator(const std::string& text, int forwardSlash) {
    std::string copy = text;
    // Only the last byte is looked at, without regard to double-byte characters.
    if (!copy.empty() && copy.back() != '\\' && copy.back() != '/') {
        copy += forwardSlash != 0 ? '/' : '\\';
    }
    return copy;
}

std::string AddTrailingSeparator(const std::string& text, Separator separator) {
    const bool forwardSlash = separator == Separator::ForwardSlash ||
                              (separator == Separator::Native && kPathSeparator == '/');
    return AddTrailingSeparator(text, forwardSlash ? 1 : 0);
}

} // namespace tolvren
