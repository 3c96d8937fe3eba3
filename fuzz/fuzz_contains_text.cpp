// FileContainsText across read windows: the first byte gives the text's length, then come the
// text and the file's content. The answer must equal a plain search of the whole content with
// NUL bytes dropped and ASCII letters upper-cased.
#include "batch/FileScanner.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

using namespace tolvren;

namespace {

std::string Normalised(std::string text) {
    std::string out;
    for (const char c : text) {
        if (c != '\0') {
            out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("fuzz_contains_text", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || size == 0) {
        return 0;
    }
    // Lengths up to 255 reach past the 128-byte window, where it grows to twice the text.
    const std::size_t textSize = std::min<std::size_t>(data[0], size - 1);
    const std::string text(reinterpret_cast<const char*>(data + 1), textSize);
    const std::string content(reinterpret_cast<const char*>(data + 1 + textSize),
                              size - 1 - textSize);
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, content.data(), content.size(), 0) != static_cast<ssize_t>(content.size())) {
        return 0;
    }

    const std::string wanted = Normalised(text.substr(0, text.find('\0')));
    const bool expected =
        !text.empty() && text[0] != '\0' && Normalised(content).find(wanted) != std::string::npos;
    if (FileContainsText(path, text) != expected) {
        std::abort();
    }
    return 0;
}
