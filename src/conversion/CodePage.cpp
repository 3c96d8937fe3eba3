#include "conversion/CodePage.h"

#include "conversion/FieldUtils.h"
#include "conversion/TextFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <iconv.h>
#include <langinfo.h>
#include <map>
#include <memory>
#include <unicode/ucnv.h>
#include <unicode/utf8.h>

namespace tolvren {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD
constexpr const char* kCodePage936 = "windows-936";

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Counts the bytes the converter cannot decode, then lets ICU put U+FFFD in their place.
struct InvalidByteCounter {
    std::size_t bytes = 0;
    UConverterToUCallback substitute = nullptr;
    const void* substituteContext = nullptr;
};

void CountInvalid(const void* context, UConverterToUnicodeArgs* args, const char* codeUnits,
                  int32_t length, UConverterCallbackReason reason, UErrorCode* status) {
    auto* counter = static_cast<InvalidByteCounter*>(const_cast<void*>(context));
    if (reason == UCNV_UNASSIGNED || reason == UCNV_ILLEGAL || reason == UCNV_IRREGULAR) {
        counter->bytes += static_cast<std::size_t>(length);
    }
    counter->substitute(counter->substituteContext, args, codeUnits, length, reason, status);
}

// One decoder per encoding and thread: opening an ICU converter costs far more than decoding a
// song.
class Decoder {
public:
    explicit Decoder(const std::string& icuName) {
        UErrorCode status = U_ZERO_ERROR;
        m_pSource.reset(ucnv_open(icuName.c_str(), &status));
        if (U_FAILURE(status)) {
            m_pSource.reset();
            return;
        }
        status = U_ZERO_ERROR;
        m_pUtf8.reset(ucnv_open("UTF-8", &status));
        if (U_FAILURE(status)) {
            m_pUtf8.reset();
            return;
        }
        ucnv_setToUCallBack(m_pSource.get(), CountInvalid, &m_counter, &m_counter.substitute,
                            &m_counter.substituteContext, &status);
    }

    /// Whether the statements of a script keep their bytes in this encoding, so that the
    /// text-mode rules may be applied before decoding, as they always were for code page 936:
    /// ASCII maps to itself and no character of the encoding hides an ASCII byte.
    bool KeepsAscii() {
        if (!m_bKeepsAsciiKnown) {
            m_bKeepsAsciiKnown = true;
            m_bKeepsAscii = m_pSource && TypeKeepsAscii(ucnv_getType(m_pSource.get()));
            if (m_bKeepsAscii) {
                // EBCDIC tables are single-byte too; they fail here.
                constexpr std::string_view probe = "karaoke.add('0', '1', [x] ;=\r\n";
                std::string decoded;
                Append(probe, decoded);
                m_bKeepsAscii = decoded == probe;
            }
        }
        return m_bKeepsAscii;
    }

    /// Appends the UTF-8 form of `bytes` to `out`; returns how many bytes were not valid.
    std::size_t Append(std::string_view bytes, std::string& out) {
        if (bytes.empty()) {
            return 0;
        }
        if (!m_pSource || !m_pUtf8) {
            return AppendAsciiOnly(bytes, out);
        }
        m_counter.bytes = 0;
        // Room for the usual case (a double-byte character becomes three UTF-8 bytes) is
        // reserved, not filled, so memory holds only what is written; the text goes through a
        // small buffer that ICU fills and empties as often as it needs.
        out.reserve(out.size() + bytes.size() + bytes.size() / 2 + 16);
        std::array<char, std::size_t{16} * 1024> buffer{};
        const char* source = bytes.data();
        std::array<UChar, 1024> pivot{};
        UChar* pivotSource = pivot.data();
        UChar* pivotTarget = pivot.data();
        bool reset = true;
        for (;;) {
            UErrorCode status = U_ZERO_ERROR;
            char* target = buffer.data();
            ucnv_convertEx(m_pUtf8.get(), m_pSource.get(), &target, buffer.data() + buffer.size(),
                           &source, bytes.data() + bytes.size(), pivot.data(), &pivotSource,
                           &pivotTarget, pivot.data() + pivot.size(), reset, true, &status);
            reset = false;
            out.append(buffer.data(), static_cast<std::size_t>(target - buffer.data()));
            if (status == U_BUFFER_OVERFLOW_ERROR) {
                continue;
            }
            if (U_FAILURE(status)) {
                // Bad input goes through the callback; anything else is a fault in the tables.
                return m_counter.bytes +
                       AppendAsciiOnly(
                           bytes.substr(static_cast<std::size_t>(source - bytes.data())), out);
            }
            return m_counter.bytes;
        }
    }

private:
    // Used only when ICU cannot open its converters (data missing): ASCII passes, every other
    // byte becomes U+FFFD, so nothing crashes and the loss is visible.
    static std::size_t AppendAsciiOnly(std::string_view bytes, std::string& out) {
        std::size_t invalid = 0;
        for (const char c : bytes) {
            if (static_cast<unsigned char>(c) < 0x80) {
                out.push_back(c);
            } else {
                out.append(kReplacement);
                ++invalid;
            }
        }
        return invalid;
    }

    static bool TypeKeepsAscii(UConverterType type) {
        return type == UCNV_SBCS || type == UCNV_MBCS || type == UCNV_LATIN_1 ||
               type == UCNV_UTF8 || type == UCNV_US_ASCII;
    }

    ConverterPtr m_pSource;
    ConverterPtr m_pUtf8;
    InvalidByteCounter m_counter;
    bool m_bKeepsAsciiKnown = false;
    bool m_bKeepsAscii = false;
};

Decoder& DecoderFor(const std::string& icuName) {
    thread_local std::map<std::string, std::unique_ptr<Decoder>, std::less<>> decoders;
    auto& decoder = decoders[icuName];
    if (!decoder) {
        decoder = std::make_unique<Decoder>(icuName);
    }
    return *decoder;
}

// ICU's own mapping of code page 936's double-byte characters, asked once per process: decoding
// the ASCII and valid pairs that make up nearly every script is then a copy and a table lookup,
// instead of two ICU conversions through UTF-16. Anything else still goes through ICU.
class CodePage936Pairs {
public:
    CodePage936Pairs() {
        // Every pair on a line of its own, in one call: a line feed is never part of a
        // character, so each line comes out as that pair alone would.
        std::string pairs;
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                pairs += {static_cast<char>(lead), static_cast<char>(trail), '\n'};
            }
        }
        std::string utf8;
        Decoder(kCodePage936).Append(pairs, utf8);
        std::size_t pos = 0;
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                const std::size_t end = utf8.find('\n', pos);
                const std::string_view one = std::string_view(utf8).substr(pos, end - pos);
                pos = end + 1;
                if (IsOneCharacter(one)) {
                    Entry& entry = m_entries[Index(lead, trail)];
                    entry.length = static_cast<char>(one.size());
                    std::copy(one.begin(), one.end(), entry.bytes.begin());
                }
            }
        }
    }

    /// Appends the UTF-8 form of `bytes`; returns how many bytes were not valid.
    std::size_t Append(std::string_view bytes, std::string& out) const {
        out.reserve(out.size() + bytes.size() + bytes.size() / 2 + 16);
        std::size_t invalid = 0;
        std::size_t pos = 0;
        const std::size_t size = bytes.size();
        while (pos < size) {
            std::size_t ascii = pos;
            while (ascii < size && static_cast<unsigned char>(bytes[ascii]) < 0x80) {
                ++ascii;
            }
            out.append(bytes.data() + pos, ascii - pos);
            pos = ascii;
            while (pos + 1 < size) {
                const auto lead = static_cast<unsigned char>(bytes[pos]);
                const auto trail = static_cast<unsigned char>(bytes[pos + 1]);
                if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE) {
                    break;
                }
                const Entry& entry = m_entries[Index(lead, trail)];
                if (entry.length == 0) {
                    break;
                }
                out.append(entry.bytes.data(), static_cast<std::size_t>(entry.length));
                pos += 2;
            }
            if (pos < size && static_cast<unsigned char>(bytes[pos]) >= 0x80) {
                // Something the table does not know: ICU takes the rest of the line. A line
                // feed is never part of a character, so ICU starts and ends where it would
                // have in one pass over the whole text.
                std::size_t end = bytes.find('\n', pos);
                end = end == std::string_view::npos ? size : end;
                invalid += DecoderFor(kCodePage936).Append(bytes.substr(pos, end - pos), out);
                pos = end;
            }
        }
        return invalid;
    }

private:
    struct Entry {
        char length = 0;
        std::array<char, 3> bytes{};
    };

    static constexpr std::size_t kTrails = 0xFF - 0x40;
    static std::size_t Index(int lead, int trail) {
        return static_cast<std::size_t>(lead - 0x81) * kTrails +
               static_cast<std::size_t>(trail - 0x40);
    }
    // One character beyond ASCII that is no stand-in for an invalid pair.
    static bool IsOneCharacter(std::string_view utf8) {
        if (utf8.size() < 2 || utf8.size() > 3) {
            return false;
        }
        const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
        int32_t i = 0;
        UChar32 c = 0;
        U8_NEXT(s, i, static_cast<int32_t>(utf8.size()), c);
        return c >= 0x80 && c != 0xFFFD && i == static_cast<int32_t>(utf8.size());
    }

    std::array<Entry, (0xFF - 0x81) * kTrails> m_entries{};
};

std::size_t AppendCodePage936(std::string_view bytes, std::string& out) {
    static const CodePage936Pairs pairs;
    return pairs.Append(bytes, out);
}

std::size_t LineOf(std::string_view text, std::size_t offset) {
    return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
}

// ASCII statements saved as UTF-16 have a NUL beside every character: one side of the byte
// pairs is nearly all NUL. Returns "UTF-16LE", "UTF-16BE" or "".
std::string_view Utf16ByNulPattern(std::string_view bytes) {
    const std::size_t sample = std::min<std::size_t>(bytes.size(), 4096) & ~std::size_t{1};
    if (sample < 8 || bytes.substr(0, sample).find('\0') == std::string_view::npos) {
        return {};
    }
    std::size_t evenNul = 0;
    std::size_t oddNul = 0;
    for (std::size_t i = 0; i < sample; i += 2) {
        evenNul += bytes[i] == '\0';
        oddNul += bytes[i + 1] == '\0';
    }
    const std::size_t pairs = sample / 2;
    // Most of a script is ASCII; a few CJK characters on the other side are fine.
    if (oddNul * 10 >= pairs * 6 && evenNul * 10 < pairs) {
        return "UTF-16LE";
    }
    if (evenNul * 10 >= pairs * 6 && oddNul * 10 < pairs) {
        return "UTF-16BE";
    }
    return {};
}

bool HasNonAscii(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

} // namespace

std::optional<InputEncoding> InputEncoding::FromName(std::string_view name) {
    InputEncoding encoding;
    const std::string lower = LowerAscii(name);
    if (lower == "auto") {
        encoding.m_bAutomatic = true;
        return encoding;
    }
    if (lower == "gbk" || lower == "cp936" || lower == "windows-936") {
        return encoding;
    }
    UErrorCode status = U_ZERO_ERROR;
    const ConverterPtr converter(ucnv_open(lower.c_str(), &status));
    if (U_FAILURE(status) || lower.empty()) {
        return std::nullopt;
    }
    encoding.m_strIcuName = lower;
    return encoding;
}

DecodedScript DecodeScript(std::string bytes, const InputEncoding& encoding) {
    DecodedScript decoded;
    std::string icuName;
    std::size_t mark = 0;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        icuName = "UTF-8";
        mark = 3;
    } else if (bytes.starts_with("\xFF\xFE")) {
        icuName = "UTF-16LE";
        mark = 2;
    } else if (bytes.starts_with("\xFE\xFF")) {
        icuName = "UTF-16BE";
        mark = 2;
    } else if (encoding.IsAutomatic()) {
        icuName = Utf16ByNulPattern(bytes);
        if (icuName.empty() && HasNonAscii(bytes) && IsValidUtf8(bytes)) {
            icuName = "UTF-8";
        }
    } else {
        icuName = encoding.IcuName();
    }
    bytes.erase(0, mark); // the mark is not part of the text
    TextModeCut cut;

    if (icuName.empty()) {
        // Read as code page 936 even though it looks like something else: say so.
        if (!Utf16ByNulPattern(bytes).empty()) {
            decoded.lookalike = DecodedScript::Lookalike::Utf16;
        } else if (HasNonAscii(bytes) && IsValidUtf8(bytes)) {
            decoded.lookalike = DecodedScript::Lookalike::Utf8;
        }
        cut = ApplyTextModeInput(bytes);
        decoded.invalidBytes = AppendCodePage936(bytes, decoded.text);
    } else if (Decoder& decoder = DecoderFor(icuName); !decoder.KeepsAscii()) {
        decoded.invalidBytes = decoder.Append(bytes, decoded.text);
        cut = ApplyTextModeInput(decoded.text);
    } else {
        cut = ApplyTextModeInput(bytes);
        if (icuName == "UTF-8" && IsValidUtf8(bytes)) {
            decoded.text = std::move(bytes); // already what it has to become
        } else {
            decoded.invalidBytes = decoder.Append(bytes, decoded.text);
        }
    }
    std::string().swap(bytes);
    decoded.ctrlZLine = cut.line;
    decoded.lyricLinesCut = cut.lyricLines;
    decoded.encoding = icuName.empty() ? "GBK" : icuName;
    if (decoded.invalidBytes > 0) {
        const std::size_t first = decoded.text.find(kReplacement);
        decoded.firstInvalidLine =
            LineOf(decoded.text, first == std::string::npos ? decoded.text.size() : first);
    }
    return decoded;
}

std::string ToUtf8(std::string_view gbk) {
    std::string out;
    AppendCodePage936(gbk, out);
    return out;
}

std::string ToUtf8ThroughIcu(std::string_view gbk) {
    std::string out;
    DecoderFor(kCodePage936).Append(gbk, out);
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
        return false;
    }
    const auto length = static_cast<int32_t>(bytes.size());
    int32_t i = 0;
    while (i < length) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        UChar32 c = 0;
        U8_NEXT(s, i, length, c);
        if (c < 0) {
            return false;
        }
    }
    return true;
}

std::string FileNameToUtf8(std::string_view name) {
    if (IsValidUtf8(name)) {
        return std::string(name);
    }
    return ToUtf8(name);
}

LocaleText::LocaleText() {
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

std::optional<std::string> LocaleText::ToUtf8(std::string_view text) const {
    if (m_strCharset.empty()) {
        return std::string(text);
    }
    return Iconv("UTF-8", m_strCharset, text, false);
}

std::string LocaleText::FromUtf8(std::string_view text) const {
    if (m_strCharset.empty()) {
        return std::string(text);
    }
    return Iconv(m_strCharset, "UTF-8", text, true).value_or(std::string(text));
}

} // namespace tolvren
