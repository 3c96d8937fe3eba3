#include "conversion/CodePage.h"

#include <array>
#include <cstdint>
#include <unicode/ucnv.h>
#include <unicode/utf8.h>

namespace tolvren {

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

// Used only when ICU cannot open its converters (data missing): ASCII passes, every other byte
// becomes U+FFFD, so nothing crashes and the loss is visible.
void AppendAsciiOnly(std::string_view gbk, std::string& out) {
    for (const char c : gbk) {
        if (static_cast<unsigned char>(c) < 0x80) {
            out.push_back(c);
        } else {
            out.append(replacementCharacter);
        }
    }
}

} // namespace

GbkDecoder::GbkDecoder() {
    UErrorCode status = U_ZERO_ERROR;
    m_pGbk = ucnv_open("windows-936", &status);
    if (U_FAILURE(status)) {
        m_pGbk = nullptr;
        return;
    }
    status = U_ZERO_ERROR;
    m_pUtf8 = ucnv_open("UTF-8", &status);
    if (U_FAILURE(status)) {
        m_pUtf8 = nullptr;
    }
}

GbkDecoder::~GbkDecoder() {
    if (m_pGbk != nullptr) {
        ucnv_close(m_pGbk);
    }
    if (m_pUtf8 != nullptr) {
        ucnv_close(m_pUtf8);
    }
}

void GbkDecoder::AppendUtf8(std::string_view gbk, std::string& out) {
    if (gbk.empty()) {
        return;
    }
    if (m_pGbk == nullptr || m_pUtf8 == nullptr) {
        AppendAsciiOnly(gbk, out);
        return;
    }
    // One GBK byte never needs more than three UTF-8 bytes (U+FFFD or a BMP character), so the
    // first try almost always fits; the loop only guards against surprises in the tables.
    const std::size_t start = out.size();
    out.resize(start + gbk.size() * 3 + 16);
    char* target = out.data() + start;
    const char* source = gbk.data();
    std::array<UChar, 1024> pivot{};
    UChar* pivotSource = pivot.data();
    UChar* pivotTarget = pivot.data();
    bool reset = true;
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        ucnv_convertEx(m_pUtf8, m_pGbk, &target, out.data() + out.size(), &source,
                       gbk.data() + gbk.size(), pivot.data(), &pivotSource, &pivotTarget,
                       pivot.data() + pivot.size(), reset, true, &status);
        reset = false;
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            const std::size_t written = static_cast<std::size_t>(target - out.data());
            out.resize(out.size() * 2);
            target = out.data() + written;
            continue;
        }
        if (U_FAILURE(status)) {
            // The substitution callback handles bad input; anything else is an internal fault.
            out.resize(static_cast<std::size_t>(target - out.data()));
            AppendAsciiOnly(std::string_view(
                                source, static_cast<std::size_t>(gbk.data() + gbk.size() - source)),
                            out);
            return;
        }
        break;
    }
    out.resize(static_cast<std::size_t>(target - out.data()));
}

std::string ToUtf8(std::string_view gbk) {
    std::string out;
    AppendUtf8(gbk, out);
    return out;
}

void AppendUtf8(std::string_view gbk, std::string& out) {
    // Opening an ICU converter costs far more than converting one lyric line, so each thread
    // keeps one.
    thread_local GbkDecoder decoder;
    decoder.AppendUtf8(gbk, out);
}

bool IsValidUtf8(std::string_view bytes) {
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto length = static_cast<int32_t>(bytes.size());
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
        return false;
    }
    int32_t i = 0;
    while (i < length) {
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

} // namespace tolvren
