// Reading files, the same on every platform over the platform's InputFile.

#include "files/InputFile.h"

#include <algorithm>
#include <string>

namespace tolvren {

namespace {

constexpr std::size_t kReadChunkSize = std::size_t{1024} * 1024;

} // namespace

IoResult ReadWholeFile(const std::string& path, std::string& content, FileIdentity* identity) {
    content.clear();
    InputFile file;
    if (IoResult opened = file.Open(path); !opened.ok()) {
        return opened;
    }
    if (identity != nullptr) {
        *identity = file.Identity();
    }
    // One read for the expected size and one byte more: a shorter answer is the end. Files that
    // grow meanwhile (or report size 0, like /proc) are read on in large chunks.
    const auto expected = static_cast<std::size_t>(std::max<std::int64_t>(file.Size(), 0));
    std::size_t size = 0;
    content.resize(expected + 1);
    for (;;) {
        if (size == content.size()) {
            content.resize(size + std::max(kReadChunkSize, size / 2));
        }
        const std::size_t asked = content.size() - size;
        int error = 0;
        const std::ptrdiff_t got = file.Read(content.data() + size, asked, error);
        if (got < 0) {
            content.clear();
            return IoResult::Failed(IoStep::ReadSource, error);
        }
        size += static_cast<std::size_t>(got);
        if (got == 0 || (static_cast<std::size_t>(got) < asked && expected > 0)) {
            break;
        }
    }
    content.resize(size);
    return {};
}

bool FileContainsText(const std::string& path, const std::string& text) {
    // The text is a C string to whoever sets it; a NUL ends it.
    const std::string wanted = text.substr(0, text.find('\0'));
    if (wanted.empty()) {
        return false;
    }
    InputFile file;
    if (!file.Open(path).ok()) {
        return false;
    }
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    std::string upperWanted = wanted;
    std::transform(upperWanted.begin(), upperWanted.end(), upperWanted.begin(), upper);
    const std::size_t n = wanted.size();
    const std::size_t ask = std::max<std::size_t>(128, 2 * n) - n;
    // The last n bytes searched in one window open the next, so an occurrence cut by a read is
    // still found. They are taken after NUL bytes are dropped, and nothing is put before the
    // first read: the answer is then exactly whether the file's text without NULs holds the
    // text, and a text that starts with blanks cannot match blanks the file never had.
    std::string buffer(ask, '\0');
    std::string haystack;
    for (;;) {
        std::size_t got = 0;
        while (got < ask) {
            int error = 0;
            const std::ptrdiff_t read = file.Read(buffer.data() + got, ask - got, error);
            if (read <= 0) {
                break;
            }
            got += static_cast<std::size_t>(read);
        }
        for (std::size_t i = 0; i < got; ++i) {
            if (buffer[i] != '\0') {
                haystack += upper(buffer[i]);
            }
        }
        if (haystack.find(upperWanted) != std::string::npos) {
            return true;
        }
        if (got < ask) {
            return false;
        }
        if (haystack.size() > n) {
            haystack.erase(0, haystack.size() - n);
        }
    }
}

} // namespace tolvren
