#include "conversion/TextDecoders.h"

#include "conversion/LegacyCodePage.h"

#include <algorithm>
#include <cstring>

namespace tolvren {

std::size_t LineCounter::LineAt(std::size_t offset) {
    offset = std::min(offset, m_text.size());
    if (offset > m_nPos) {
        m_nLine += static_cast<std::size_t>(
            std::count(m_text.begin() + static_cast<std::ptrdiff_t>(m_nPos),
                       m_text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
        m_nPos = offset;
    }
    return m_nLine;
}

void InvalidBytes::Add(std::size_t line, std::size_t bytes) {
    if (bytes == 0) {
        return;
    }
    m_nTotal += bytes;
    if (!m_firstLines.empty() && m_nLastLine == line) {
        if (m_nMoreLines == 0) {
            m_firstLines.back().bytes += bytes;
        }
        return;
    }
    m_nLastLine = line;
    if (m_firstLines.size() < kLinesNamed) {
        m_firstLines.push_back({line, bytes});
    } else {
        ++m_nMoreLines;
    }
}

std::size_t InvalidBytes::MoreBytes() const {
    std::size_t named = 0;
    for (const Line& line : m_firstLines) {
        named += line.bytes;
    }
    return m_nTotal - named;
}

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::size_t Utf8SequenceAt(std::string_view bytes, std::size_t at, std::size_t* valid) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    *valid = 1;
    if (length == 0) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (at + k >= bytes.size()) {
            return 0;
        }
        const auto next = static_cast<unsigned char>(bytes[at + k]);
        if (next < low || next > high) {
            return 0;
        }
        low = 0x80;
        high = 0xBF;
        *valid = k + 1;
    }
    return length;
}

void DecodeUtf8(std::string_view bytes, std::string& out, InvalidBytes& invalid) {
    out.reserve(out.size() + bytes.size());
    LineCounter lines(bytes);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t run = pos;
        while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) < 0x80) {
            ++run;
        }
        out.append(bytes.data() + pos, run - pos);
        pos = run;
        if (pos == bytes.size()) {
            break;
        }
        std::size_t valid = 0;
        const std::size_t length = Utf8SequenceAt(bytes, pos, &valid);
        if (length > 0) {
            out.append(bytes.data() + pos, length);
            pos += length;
        } else {
            out.append(kReplacementCharacter);
            invalid.Add(lines.LineAt(pos), valid);
            pos += valid;
        }
    }
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
            ++pos;
            continue;
        }
        std::size_t valid = 0;
        const std::size_t length = Utf8SequenceAt(bytes, pos, &valid);
        if (length == 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

void DecodeUtf16(std::string_view bytes, ByteOrder order, std::string& out, InvalidBytes& invalid) {
    out.reserve(out.size() + bytes.size() + bytes.size() / 2);
    const auto unitAt = [&](std::size_t at) {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char16_t>(order == ByteOrder::LittleEndian ? first | second << 8
                                                                      : first << 8 | second);
    };
    std::size_t line = 1;
    std::size_t pos = 0;
    while (pos + 1 < bytes.size()) {
        const char16_t unit = unitAt(pos);
        pos += 2;
        if (unit < 0xD800 || unit > 0xDFFF) {
            AppendUtf8(unit, out);
            line += unit == u'\n' ? 1 : 0;
            continue;
        }
        if (unit <= 0xDBFF && pos + 1 < bytes.size()) {
            const char16_t low = unitAt(pos);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                               (static_cast<char32_t>(low) - 0xDC00),
                           out);
                pos += 2;
                continue;
            }
        }
        out.append(kReplacementCharacter); // a surrogate without its other half
        invalid.Add(line, 2);
    }
    if (pos < bytes.size()) {
        out.append(kReplacementCharacter); // half a unit at the end
        invalid.Add(line, 1);
    }
}

bool DoubleByteCodePage::Store(std::string_view utf8, Entry& entry) {
    // One character beyond ASCII that is no stand-in for an invalid sequence.
    if (utf8.size() < 2 || utf8.size() > 3 || utf8 == kReplacementCharacter) {
        return false;
    }
    std::size_t valid = 0;
    if (Utf8SequenceAt(utf8, 0, &valid) != utf8.size()) {
        return false;
    }
    entry.length = static_cast<char>(utf8.size());
    std::copy(utf8.begin(), utf8.end(), entry.bytes.begin());
    return true;
}

DoubleByteCodePage::DoubleByteCodePage(std::string_view platformName) {
    // Every character on a line of its own, in one call: a line feed is never part of a
    // character, so each line comes out as that sequence alone would.
    std::string probe = "\x80\n\xFF\n";
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail != 0x7F) {
                probe += {static_cast<char>(lead), static_cast<char>(trail), '\n'};
            }
        }
    }
    std::string utf8;
    DecodeLegacy(platformName, probe, utf8);
    std::size_t pos = 0;
    const auto next = [&] {
        const std::size_t end = std::min(utf8.find('\n', pos), utf8.size());
        const std::string_view one = std::string_view(utf8).substr(pos, end - pos);
        pos = end + 1;
        return one;
    };
    Store(next(), m_single80);
    Store(next(), m_singleFF);
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail != 0x7F) {
                Store(next(), m_pairs[Index(static_cast<unsigned char>(lead),
                                            static_cast<unsigned char>(trail))]);
            }
        }
    }
}

const DoubleByteCodePage& DoubleByteCodePage::Gbk() {
    static const DoubleByteCodePage codePage(kCodePage936);
    return codePage;
}

const DoubleByteCodePage& DoubleByteCodePage::Big5() {
    static const DoubleByteCodePage codePage(kCodePage950);
    return codePage;
}

std::size_t DoubleByteCodePage::Decode(std::string_view bytes, std::string& out,
                                       InvalidBytes& invalid, FourByteSequences fourByte) const {
    // Room for the usual case (a pair becomes three UTF-8 bytes) is reserved, not filled.
    out.reserve(out.size() + bytes.size() + bytes.size() / 2 + 16);
    LineCounter lines(bytes);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t pos = 0;
    std::size_t fourByteSequences = 0;
    const auto fail = [&](std::size_t length) {
        out.append(kReplacementCharacter);
        invalid.Add(lines.LineAt(pos), length);
        pos += length;
    };
    while (pos < size) {
        std::size_t run = pos;
        while (run < size && data[run] < 0x80) {
            ++run;
        }
        out.append(bytes.data() + pos, run - pos);
        pos = run;
        // Pairs come in runs; the common case stays in this loop.
        while (pos + 1 < size && IsLead(data[pos]) && IsTrail(data[pos + 1])) {
            const Entry& entry = m_pairs[Index(data[pos], data[pos + 1])];
            if (entry.length == 0) {
                fail(2); // a pair the code page leaves unassigned
                continue;
            }
            out.append(entry.bytes.data(), static_cast<std::size_t>(entry.length));
            pos += 2;
        }
        if (pos >= size || data[pos] < 0x80) {
            continue;
        }
        const unsigned char byte = data[pos];
        if (byte == 0x80 || byte == 0xFF) {
            const Entry& single = byte == 0x80 ? m_single80 : m_singleFF;
            if (single.length == 0) {
                fail(1);
            } else {
                out.append(single.bytes.data(), static_cast<std::size_t>(single.length));
                ++pos;
            }
            continue;
        }
        const auto digit = [&](std::size_t at) { return data[at] >= 0x30 && data[at] <= 0x39; };
        if (pos + 3 < size && digit(pos + 1) && IsLead(data[pos + 2]) && digit(pos + 3)) {
            ++fourByteSequences;
            if (fourByte == FourByteSequences::Read) {
                const std::size_t line = lines.LineAt(pos);
                invalid.Add(line, DecodeLegacy(kGb18030, bytes.substr(pos, 4), out));
                pos += 4;
                continue;
            }
        }
        fail(1); // a lead byte without its trail: the next byte is read on its own
    }
    return fourByteSequences;
}

} // namespace tolvren
