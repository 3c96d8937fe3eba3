#pragma once

#include <optional>
#include <string>
#include <string_view>

// The terminal's text on Linux: what its locale says. One implementation per platform.

namespace tolvren {

/// Converts between UTF-8 and the encoding of the user's terminal (the C library's locale):
/// passes text through unchanged where that is UTF-8 or plain ASCII.
class LocaleText {
public:
    /// Reads the locale's character set; call after setlocale(LC_ALL, "").
    LocaleText();
    /// `text` in the locale's encoding to UTF-8; empty when a byte does not convert.
    std::optional<std::string> ToUtf8(std::string_view text) const;
    /// UTF-8 `text` in the locale's encoding; what has no form there becomes '?'.
    std::string FromUtf8(std::string_view text) const;
    bool IsUtf8() const { return m_strCharset.empty(); }

private:
    std::string m_strCharset; ///< "" when no conversion is needed
};

} // namespace tolvren
