#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Code pages: scripts arrive as GBK (Windows code page 936) or, from newer editors, as UTF-8 or
// UTF-16; documents are UTF-8. Everything a script says is read from its UTF-8 form.

namespace tolvren {

/// How the bytes of a script without a byte-order mark are taken. A byte-order mark always
/// decides (UTF-8, UTF-16LE, UTF-16BE).
class InputEncoding {
public:
    /// Code page 936, exactly as the converter has always read scripts.
    InputEncoding() = default;

    /// "auto", or any encoding ICU knows by name (case does not matter); "gbk" and "cp936" are
    /// the default code page 936. Empty when the name is unknown.
    static std::optional<InputEncoding> FromName(std::string_view name);

    bool IsAutomatic() const { return m_bAutomatic; }
    /// The ICU name of the encoding used without a mark; "" for the default code page 936.
    const std::string& IcuName() const { return m_strIcuName; }

private:
    std::string m_strIcuName;
    bool m_bAutomatic = false;
};

/// A script as UTF-8 text, after the text-mode rules (the first Ctrl-Z ends it, NUL bytes are
/// dropped), with what decoding found out about it.
struct DecodedScript {
    enum class Lookalike {
        None,
        Utf8, ///< read as GBK, but the bytes are valid UTF-8 with characters beyond ASCII
        Utf16 ///< read as GBK, but every other byte is NUL, as in UTF-16 text
    };

    std::string text;
    std::string encoding;             ///< what was used: "GBK", "UTF-8", "UTF-16LE", an ICU name
    std::size_t invalidBytes = 0;     ///< bytes not valid in `encoding`, each become U+FFFD
    std::size_t firstInvalidLine = 0; ///< line (from 1) of the first of them; 0 when none
    Lookalike lookalike = Lookalike::None;
    std::size_t ctrlZLine = 0;     ///< a Ctrl-Z that cut text off was on this line; 0: none
    std::size_t lyricLinesCut = 0; ///< lyric statements after that Ctrl-Z
};

/// Decodes the raw bytes of a script. Without a mark, the default reads code page 936 byte for
/// byte as it always has: the text-mode rules apply to the bytes, then they are decoded. Other
/// encodings are decoded first, so that UTF-16 text keeps its NUL bytes until it is text.
DecodedScript DecodeScript(std::string bytes, const InputEncoding& encoding);

/// The UTF-8 form of the GBK text `gbk`; bytes that are not valid GBK become U+FFFD.
std::string ToUtf8(std::string_view gbk);

/// The same through ICU alone, without the table of pairs that makes ToUtf8 fast; for tests.
std::string ToUtf8ThroughIcu(std::string_view gbk);

/// True when `bytes` is well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

/// A Linux file name (bytes) as UTF-8: valid UTF-8 is taken as it is, anything else is decoded
/// as GBK (names written by Windows tools onto Linux file systems).
std::string FileNameToUtf8(std::string_view name);

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
