// Legacy code pages through ICU.

#include "conversion/CodePage.h"
#include "conversion/FieldUtils.h"
#include "conversion/LegacyCodePage.h"

#include <array>
#include <map>
#include <memory>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <vector>

namespace tolvren {

namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr Open(const std::string& name) {
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(name.c_str(), &status));
    return U_FAILURE(status) ? nullptr : std::move(converter);
}

// Counts the bytes the converter cannot decode and puts U+FFFD in their place (ICU's own
// substitute is a Ctrl-Z for a single byte in many tables).
struct InvalidByteCounter {
    std::size_t bytes = 0;
    std::vector<std::size_t>* sequences = nullptr;
};

void CountInvalid(const void* context, UConverterToUnicodeArgs* args, const char* /*codeUnits*/,
                  int32_t length, UConverterCallbackReason reason, UErrorCode* status) {
    auto* counter = static_cast<InvalidByteCounter*>(const_cast<void*>(context));
    if (reason == UCNV_UNASSIGNED || reason == UCNV_ILLEGAL || reason == UCNV_IRREGULAR) {
        counter->bytes += static_cast<std::size_t>(length);
        if (counter->sequences != nullptr) {
            counter->sequences->push_back(static_cast<std::size_t>(length));
        }
        constexpr UChar replacement = 0xFFFD;
        *status = U_ZERO_ERROR;
        ucnv_cbToUWriteUChars(args, &replacement, 1, 0, status);
    }
}

// One decoder per encoding and thread: opening an ICU converter costs far more than decoding a
// song.
class Decoder {
public:
    explicit Decoder(const std::string& name) : m_pSource(Open(name)), m_pUtf8(Open("UTF-8")) {
        if (m_pSource) {
            UErrorCode status = U_ZERO_ERROR;
            ucnv_setToUCallBack(m_pSource.get(), CountInvalid, &m_counter, nullptr, nullptr,
                                &status);
        }
    }

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

    std::size_t Append(std::string_view bytes, std::string& out,
                       std::vector<std::size_t>* sequences = nullptr) {
        if (bytes.empty()) {
            return 0;
        }
        if (!m_pSource || !m_pUtf8) {
            return AppendAsciiOnly(bytes, out, sequences);
        }
        m_counter.bytes = 0;
        m_counter.sequences = sequences;
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
                return m_counter.bytes + AppendAsciiOnly(bytes.substr(static_cast<std::size_t>(
                                                             source - bytes.data())),
                                                         out, sequences);
            }
            return m_counter.bytes;
        }
    }

private:
    // Used only when ICU cannot open its converters (data missing): ASCII passes, every other
    // byte becomes U+FFFD, so nothing crashes and the loss is visible.
    static std::size_t AppendAsciiOnly(std::string_view bytes, std::string& out,
                                       std::vector<std::size_t>* sequences) {
        std::size_t invalid = 0;
        for (const char c : bytes) {
            if (static_cast<unsigned char>(c) < 0x80) {
                out.push_back(c);
            } else {
                out.append(kReplacementCharacter);
                ++invalid;
                if (sequences != nullptr) {
                    sequences->push_back(1);
                }
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

Decoder& DecoderFor(std::string_view name) {
    thread_local std::map<std::string, std::unique_ptr<Decoder>, std::less<>> decoders;
    auto found = decoders.find(name);
    if (found == decoders.end()) {
        found =
            decoders.emplace(std::string(name), std::make_unique<Decoder>(std::string(name))).first;
    }
    return *found->second;
}

} // namespace

std::optional<std::string> FindLegacyEncoding(std::string_view name) {
    std::string lower = LowerAscii(name);
    if (lower.empty() || !Open(lower)) {
        return std::nullopt;
    }
    return lower;
}

std::string LegacyEncodingsHint() {
    return {}; // ICU knows hundreds: any of them may be named
}

std::size_t DecodeLegacy(std::string_view name, std::string_view bytes, std::string& out,
                         std::vector<std::size_t>* sequences) {
    return DecoderFor(name).Append(bytes, out, sequences);
}

bool LegacyKeepsAscii(std::string_view name) {
    return DecoderFor(name).KeepsAscii();
}

} // namespace tolvren
