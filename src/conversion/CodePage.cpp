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

// The names users type for the encodings every platform reads alike. GB2312 is read as GBK, the
// code page around it, as files so labelled are meant.
struct KnownName {
    std::string_view name;
    Kind kind;
};
constexpr KnownName kKnownNames[] = {
    {"auto", Kind::Automatic},   {"gbk", Kind::Gbk},          {"cp936", Kind::Gbk},
    {"windows-936", Kind::Gbk},  {"gb2312", Kind::Gbk},       {"euc-cn", Kind::Gbk},
    {"utf-8", Kind::Utf8},       {"utf8", Kind::Utf8},        {"utf-16le", Kind::Utf16Le},
    {"utf-16be", Kind::Utf16Be}, {"gb18030", Kind::Gb18030},  {"big5", Kind::Big5},
    {"cp950", Kind::Big5},       {"windows-950", Kind::Big5},
};

// What a platform's decoder gave in `text` from `from` on that is no character: C1 controls,
// which code pages give bytes they have nothing for, and, in text whose Ctrl-Z bytes text mode
// has taken already, a Ctrl-Z that stands for another byte (IBM's tables give one for 0x7F).
// Each becomes U+FFFD, counted in `invalid` by line (counted from `line`), with the bytes of
// `sequences` given to the replacement characters the decoder put there itself, in order.
void ReplaceNonCharacters(std::string& text, std::size_t from, bool ctrlZ, std::size_t line,
                          const std::vector<std::size_t>& sequences, InvalidBytes& invalid) {
    std::string out;
    std::size_t sequence = 0;
    std::size_t copied = from;
    for (std::size_t pos = from; pos < text.size(); ++pos) {
        const bool c1 = text[pos] == '\xC2' && pos + 1 < text.size() &&
                        static_cast<unsigned char>(text[pos + 1]) < 0xA0;
        if (text[pos] == '\n') {
            ++line;
        } else if (c1 || (ctrlZ && text[pos] == '\x1A')) {
            out.append(text, copied, pos - copied).append(kReplacementCharacter);
            invalid.Add(line, 1);
            pos += c1 ? 1 : 0;
            copied = pos + 1;
        } else if (text.compare(pos, kReplacementCharacter.size(), kReplacementCharacter) == 0 &&
                   sequence < sequences.size()) {
            invalid.Add(line, sequences[sequence++]);
        }
    }
    if (!out.empty()) {
        out.append(text, copied);
        text.replace(from, std::string::npos, out);
    }
}

// Decodes bytes that keep ASCII, line by line, so that the bytes not valid are known by line.
void DecodeLegacyByLine(const std::string& name, std::string_view bytes, std::string& out,
                        InvalidBytes& invalid) {
    std::size_t line = 1;
    std::size_t pos = 0;
    std::vector<std::size_t> sequences;
    while (pos < bytes.size()) {
        const std::size_t end = std::min(bytes.find('\n', pos), bytes.size());
        const std::size_t from = out.size();
        sequences.clear();
        DecodeLegacy(name, bytes.substr(pos, end - pos), out, &sequences);
        ReplaceNonCharacters(out, from, true, line, sequences, invalid);
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
    if (const SharedCodePage* page = FindSharedCodePage(name)) {
        KeepCut(ApplyTextModeInput(bytes), decoded);
        DoubleByteCodePage::Of(*page).Decode(bytes, decoded.text, decoded.invalid);
        return 0;
    }
    if (LegacyKeepsAscii(name)) {
        KeepCut(ApplyTextModeInput(bytes), decoded);
        DecodeLegacyByLine(name, bytes, decoded.text, decoded.invalid);
        return 0;
    }
    // Where the text itself cannot be cut into lines before it is decoded, the replacement
    // characters tell the lines.
    std::vector<std::size_t> sequences;
    DecodeLegacy(name, bytes, decoded.text, &sequences);
    KeepCut(ApplyTextModeInput(decoded.text), decoded);
    ReplaceNonCharacters(decoded.text, 0, false, 1, sequences, decoded.invalid);
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
    std::optional<std::string> legacy =
        FindSharedCodePage(lower) != nullptr ? lower : FindLegacyEncoding(lower);
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
