#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// The user's terminal: the encoding its text travels in, and how text reaches it. One
// implementation per platform: on Linux the C library's locale (a zh_CN.GBK terminal works); on
// Windows the console's own UTF-16 where a stream is a console, and UTF-8 into a pipe or a file.

namespace tolvren {

class Terminal {
public:
    /// Reads the locale's character set (call after setlocale(LC_ALL, "")), or readies the
    /// console.
    Terminal();
    /// Text the user typed (an argument) as UTF-8; empty when a byte does not convert.
    std::optional<std::string> ToUtf8(std::string_view text) const;
    /// Writes UTF-8 `text` to `stream` as the terminal, a pipe or a file takes it; what has no
    /// form in the terminal's encoding becomes '?'.
    void Write(std::FILE* stream, std::string_view text) const;
    /// Writes a path as the file system holds it: on Linux its bytes as they are.
    void WritePath(std::FILE* stream, std::string_view path) const;
    /// Whether `stream` is a terminal (a console), where progress is drawn.
    bool IsTerminal(std::FILE* stream) const;

private:
    std::string m_strCharset; ///< "" when no conversion is needed
};

} // namespace tolvren
