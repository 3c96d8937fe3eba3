// The terminal on Linux: text in the C library's locale, through iconv.

#include "cli/Terminal.h"

#include <array>
#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

namespace tolvren {

Terminal::Terminal() {
    const std::string charset = nl_langinfo(CODESET);
    // Plain ASCII is what a bare C locale says; UTF-8 is then the better guess for the bytes a
    // terminal sends, and ASCII is a part of it either way.
    if (charset != "UTF-8" && charset != "ANSI_X3.4-1968" && charset != "ASCII") {
        m_strCharset = charset;
    }
}

namespace {

// iconv from `from` to `to`; empty when a byte does not convert and `lossy` is false.
std::optional<std::string> Iconv(const std::string& to, const std::string& from,
                                 std::string_view text, bool lossy) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    // iconv_open says it failed with (iconv_t)-1.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out;
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    std::array<char, 1024> buffer{};
    bool ok = true;
    while (inLeft > 0) {
        char* target = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t rc = iconv(cd, &in, &inLeft, &target, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        if (!lossy) {
            ok = false;
            break;
        }
        // One byte that has no form in the target: put a '?' for its character and go on.
        out.push_back('?');
        do {
            ++in;
            --inLeft;
        } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
    }
    iconv_close(cd);
    return ok ? std::optional<std::string>(std::move(out)) : std::nullopt;
}

} // namespace

std::optional<std::string> Terminal::ToUtf8(std::string_view text) const {
    if (m_strCharset.empty()) {
        return std::string(text);
    }
    return Iconv("UTF-8", m_strCharset, text, false);
}

void Terminal::Write(std::FILE* stream, std::string_view text) const {
    if (m_strCharset.empty()) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    const std::string local = Iconv(m_strCharset, "UTF-8", text, true).value_or(std::string(text));
    std::fwrite(local.data(), 1, local.size(), stream);
}

void Terminal::WritePath(std::FILE* stream, std::string_view path) const {
    std::fwrite(path.data(), 1, path.size(), stream);
}

bool Terminal::IsTerminal(std::FILE* stream) const {
    return ::isatty(::fileno(stream)) == 1;
}

} // namespace tolvren
