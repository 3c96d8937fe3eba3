#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Code pages: scripts arrive as GBK (Windows code page 936) or, from other editors and places, as
// UTF-8, UTF-16, GB18030 or Big5; documents are UTF-8. Everything a script says is read from its
// UTF-8 form.

namespace tolvren {

/// What every character that cannot be read becomes: U+FFFD in UTF-8.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

/// How the bytes of a script without a byte-order mark are taken. A byte-order mark always
/// decides (UTF-8, UTF-16LE, UTF-16BE).
class InputEncoding {
public:
    enum class Kind {
        Gbk,       ///< code page 936, exactly as the converter has always read scripts
        Automatic, ///< whatever the script's bytes make certain or likely, else GBK
        Utf8,
        Utf16Le,
        Utf16Be,
        Gb18030, ///< GB18030, keeping code page 936's meaning for every sequence both have
        Big5,    ///< plain Big5, as Windows code page 950 has it
        Legacy,  ///< another code page the platform knows by name
    };

    /// Code page 936, exactly as the converter has always read scripts.
    InputEncoding() = default;
    explicit InputEncoding(Kind kind) : m_kind(kind) {}

    /// "auto", "gbk" (also "cp936"), "gb18030", "big5" (also "cp950"), "utf-8", "utf-16le",
    /// "utf-16be", or another code page the platform knows by name; ASCII case does not matter.
    /// Empty when the name is unknown.
    static std::optional<InputEncoding> FromName(std::string_view name);

    Kind GetKind() const { return m_kind; }
    bool IsAutomatic() const { return m_kind == Kind::Automatic; }
    /// How messages name it: "GBK", "UTF-8", "Big5", … or the platform's name of a legacy one.
    std::string Name() const;
    friend bool operator==(const InputEncoding&, const InputEncoding&) = default;

private:
    Kind m_kind = Kind::Gbk;
    std::string m_strLegacyName; ///< the platform's name, for Kind::Legacy
};

/// Bytes that are not valid in the encoding a script is read in, line by line as the decoder
/// meets them: each became U+FFFD.
class InvalidBytes {
public:
    struct Line {
        std::size_t line = 0;  ///< from 1
        std::size_t bytes = 0; ///< not valid on that line
    };
    static constexpr std::size_t kLinesNamed = 10;

    /// `bytes` more on `line`; lines come in ascending order.
    void Add(std::size_t line, std::size_t bytes);

    std::size_t Total() const { return m_nTotal; }
    /// The first lines that hold any, at most kLinesNamed of them.
    const std::vector<Line>& FirstLines() const { return m_firstLines; }
    /// Lines beyond those, and the bytes on them.
    std::size_t MoreLines() const { return m_nMoreLines; }
    std::size_t MoreBytes() const;

private:
    std::vector<Line> m_firstLines;
    std::size_t m_nTotal = 0;
    std::size_t m_nMoreLines = 0;
    std::size_t m_nLastLine = 0;
};

/// A script as UTF-8 text, after the text-mode rules (the first Ctrl-Z ends it, NUL bytes are
/// dropped), with what decoding found out about it.
struct DecodedScript {
    std::string text;
    InputEncoding encoding; ///< what it was read in
    InvalidBytes invalid;
    /// Read as GBK by default although its bytes say it is in this encoding; then `likely` is the
    /// same script read in it, for telling the script's own faults from those of a wrong reading.
    std::optional<InputEncoding::Kind> lookalike;
    std::unique_ptr<DecodedScript> likely;
    std::size_t ctrlZLine = 0;     ///< a Ctrl-Z that cut text off was on this line; 0: none
    std::size_t lyricLinesCut = 0; ///< lyric statements after that Ctrl-Z
};

/// Decodes the raw bytes of a script. Without a mark, the default reads code page 936 byte for
/// byte as it always has; `auto` reads what the bytes make certain or likely (see
/// DetectEncoding). Encodings that keep ASCII bytes get the text-mode rules on their bytes, before
/// decoding; UTF-16 and its kind get them once they are text.
DecodedScript DecodeScript(std::string bytes, const InputEncoding& encoding);

/// The UTF-8 form of the GBK text `gbk`; bytes that are not valid GBK become U+FFFD.
std::string ToUtf8(std::string_view gbk);

/// The same through the platform's code page alone, without the table that makes ToUtf8 fast and
/// the same on every platform; for tests and benchmarks.
std::string ToUtf8ThroughPlatform(std::string_view gbk);

/// True when `bytes` is well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

/// A Linux file name (bytes) as UTF-8: valid UTF-8 is taken as it is, anything else is decoded
/// as GBK (names written by Windows tools onto Linux file systems).
std::string FileNameToUtf8(std::string_view name);

} // namespace tolvren
