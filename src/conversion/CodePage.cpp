#include "conversion/CodePage.h"

#include "conversion/EncodingDetection.h"
#include "conversion/FieldUtils.h"
#include "conversion/LegacyCodePage.h"
#include "conversion/TextDecoders.h"
#include "conversion/TextFile.h"

#include <algorithm>
#include <array>

namespace tolvren {

namespace {

using Kind = InputEncoding::Kind;

// The names users type for the encodings every platform reads alike.
struct KnownName {
    std::string_view name;
    Kind kind;
};
constexpr KnownName kKnownNames[] = {
    {"auto", Kind::Automatic},   {"gbk", Kind::Gbk},          {"cp936", Kind::Gbk},
    {"windows-936", Kind::Gbk},  {"utf-8", Kind::Utf8},       {"utf8", Kind::Utf8},
    {"utf-16le", Kind::Utf16Le}, {"utf-16be", Kind::Utf16Be}, {"gb18030", Kind::Gb18030},
    {"big5", Kind::Big5},        {"cp950", Kind::Big5},       {"windows-950", Kind::Big5},
};

// Decodes bytes that keep ASCII, line by line, so that the bytes not valid are known by line.
void DecodeLegacyByLine(const std::string& name, std::string_view bytes, std::string& out,
                        InvalidBytes& invalid) {
    std::size_t line = 1;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = std::min(bytes.find('\n', pos), bytes.size());
        invalid.Add(line, DecodeLegacy(name, bytes.substr(pos, end - pos), out));
        if (end < bytes.size()) {
            out += '\n';
        }
        pos = end + 1;
        ++line;
    }
}

void KeepCut(const TextModeCut& cut, DecodedScript& decoded) {
    decoded.ctrlZLine = cut.line;
    decoded.lyricLinesCut = cut.lyricLines;
}

// Reads `bytes` (without a mark) in `encoding`, which is not Automatic. Returns how many GB18030
// four-byte sequences a GBK reading met.
std::size_t Decode(std::string& bytes, const InputEncoding& encoding, DecodedScript& decoded) {
    decoded.encoding = encoding;
    switch (encoding.GetKind()) {
    case Kind::Automatic:
    case Kind::Gbk:
        KeepCut(ApplyTextModeInput(bytes), decoded);
        return DoubleByteCodePage::Gbk().Decode(bytes, decoded.text, decoded.invalid);
    case Kind::Gb18030:
        KeepCut(ApplyTextModeInput(bytes), decoded);
        DoubleByteCodePage::Gbk().Decode(bytes, decoded.text, decoded.invalid,
                                         FourByteSequences::Read);
        return 0;
    case Kind::Big5:
        KeepCut(ApplyTextModeInput(bytes), decoded);
        DoubleByteCodePage::Big5().Decode(bytes, decoded.text, decoded.invalid);
        return 0;
    case Kind::Utf8:
        KeepCut(ApplyTextModeInput(bytes), decoded);
        if (IsValidUtf8(bytes)) {
            decoded.text = std::move(bytes); // already what it has to become
        } else {
            DecodeUtf8(bytes, decoded.text, decoded.invalid);
        }
        return 0;
    case Kind::Utf16Le:
    case Kind::Utf16Be:
        // Decoded first, so that UTF-16 text keeps its NUL bytes until it is text.
        DecodeUtf16(bytes,
                    encoding.GetKind() == Kind::Utf16Le ? ByteOrder::LittleEndian
                                                        : ByteOrder::BigEndian,
                    decoded.text, decoded.invalid);
        KeepCut(ApplyTextModeInput(decoded.text), decoded);
        return 0;
    case Kind::Legacy:
        break;
    }
    const std::string name = encoding.Name();
    if (LegacyKeepsAscii(name)) {
        KeepCut(ApplyTextModeInput(bytes), decoded);
        DecodeLegacyByLine(name, bytes, decoded.text, decoded.invalid);
        return 0;
    }
    const std::size_t invalid = DecodeLegacy(name, bytes, decoded.text);
    KeepCut(ApplyTextModeInput(decoded.text), decoded);
    if (invalid > 0) {
        // Where the text itself cannot be cut into lines before it is decoded, the first
        // replacement character tells the line.
        const std::size_t first =
            std::min(decoded.text.find(kReplacementCharacter), decoded.text.size());
        decoded.invalid.Add(LineCounter(decoded.text).LineAt(first), invalid);
    }
    return 0;
}

} // namespace

std::optional<InputEncoding> InputEncoding::FromName(std::string_view name) {
    const std::string lower = LowerAscii(name);
    for (const KnownName& known : kKnownNames) {
        if (lower == known.name) {
            return InputEncoding(known.kind);
        }
    }
    std::optional<std::string> legacy = FindLegacyEncoding(lower);
    if (!legacy) {
        return std::nullopt;
    }
    InputEncoding encoding(Kind::Legacy);
    encoding.m_strLegacyName = std::move(*legacy);
    return encoding;
}

std::string InputEncoding::Name() const {
    switch (m_kind) {
    case Kind::Gbk:
        return "GBK";
    case Kind::Automatic:
        return "auto";
    case Kind::Utf8:
        return "UTF-8";
    case Kind::Utf16Le:
        return "UTF-16LE";
    case Kind::Utf16Be:
        return "UTF-16BE";
    case Kind::Gb18030:
        return "GB18030";
    case Kind::Big5:
        return "Big5";
    case Kind::Legacy:
        break;
    }
    return m_strLegacyName;
}

DecodedScript DecodeScript(std::string bytes, const InputEncoding& encoding) {
    DecodedScript decoded;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.erase(0, 3); // the mark is not part of the text
        Decode(bytes, InputEncoding(Kind::Utf8), decoded);
        return decoded;
    }
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        const Kind kind = bytes[0] == '\xFF' ? Kind::Utf16Le : Kind::Utf16Be;
        bytes.erase(0, 2);
        Decode(bytes, InputEncoding(kind), decoded);
        return decoded;
    }
    if (encoding.GetKind() != Kind::Automatic && encoding.GetKind() != Kind::Gbk) {
        Decode(bytes, encoding, decoded);
        return decoded;
    }
    // GBK tag names leave the four-byte sequences for the GBK reading to count. The other
    // readings need the bytes as they were (UTF-16 its NUL bytes); they are rare.
    const Kind found = DecideEncoding(GatherEvidence(bytes));
    if (encoding.IsAutomatic() && found != Kind::Gbk) {
        Decode(bytes, InputEncoding(found), decoded);
        return decoded;
    }
    if (found != Kind::Gbk) {
        // Read as code page 936 even though it looks like something else: say so, and read it
        // that way too, so that what comes only from the wrong reading can be left unsaid.
        decoded.lookalike = found;
        decoded.likely = std::make_unique<DecodedScript>();
        std::string copy = bytes;
        Decode(copy, InputEncoding(found), *decoded.likely);
    }
    if (Decode(bytes, InputEncoding(Kind::Gbk), decoded) == 0 || decoded.lookalike) {
        return decoded;
    }
    // It holds GB18030's four-byte sequences. Its bytes are as the text-mode rules left them,
    // which is what a GB18030 reading starts from.
    DecodedScript gb18030;
    gb18030.encoding = InputEncoding(Kind::Gb18030);
    gb18030.ctrlZLine = decoded.ctrlZLine;
    gb18030.lyricLinesCut = decoded.lyricLinesCut;
    DoubleByteCodePage::Gbk().Decode(bytes, gb18030.text, gb18030.invalid, FourByteSequences::Read);
    if (encoding.IsAutomatic()) {
        return gb18030;
    }
    decoded.lookalike = Kind::Gb18030;
    decoded.likely = std::make_unique<DecodedScript>(std::move(gb18030));
    return decoded;
}

std::string ToUtf8(std::string_view gbk) {
    std::string out;
    InvalidBytes invalid;
    DoubleByteCodePage::Gbk().Decode(gbk, out, invalid);
    return out;
}

std::string ToUtf8ThroughPlatform(std::string_view gbk) {
    std::string out;
    DecodeLegacy(kCodePage936, gbk, out);
    return out;
}

std::string FileNameToUtf8(std::string_view name) {
    if (IsValidUtf8(name)) {
        return std::string(name);
    }
    return ToUtf8(name);
}

} // namespace tolvren
