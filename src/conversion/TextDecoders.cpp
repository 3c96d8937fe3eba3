#include "conversion/TextDecoders.h"

#include "conversion/LegacyCodePage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>

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

namespace {

// GB18030's four-byte sequences for the characters of the Basic Multilingual Plane that its two
// bytes leave out: where each run of consecutive sequences begins (its number, counted from
// 81 30 81 30) and the code point it stands for; a run's sequences stand for consecutive code
// points. As ICU maps them (GB18030-2005).
struct FourByteRun {
    std::uint16_t number;
    std::uint16_t codePoint;
};
constexpr FourByteRun kFourByteRuns[] = {
    {0, 0x0080},     {36, 0x00A5},    {38, 0x00A9},    {45, 0x00B2},    {50, 0x00B8},
    {81, 0x00D8},    {89, 0x00E2},    {95, 0x00EB},    {96, 0x00EE},    {100, 0x00F4},
    {103, 0x00F8},   {104, 0x00FB},   {105, 0x00FD},   {109, 0x0102},   {126, 0x0114},
    {133, 0x011C},   {148, 0x012C},   {172, 0x0145},   {175, 0x0149},   {179, 0x014E},
    {208, 0x016C},   {306, 0x01CF},   {307, 0x01D1},   {308, 0x01D3},   {309, 0x01D5},
    {310, 0x01D7},   {311, 0x01D9},   {312, 0x01DB},   {313, 0x01DD},   {341, 0x01FA},
    {428, 0x0252},   {443, 0x0262},   {544, 0x02C8},   {545, 0x02CC},   {558, 0x02DA},
    {741, 0x03A2},   {742, 0x03AA},   {749, 0x03C2},   {750, 0x03CA},   {805, 0x0402},
    {819, 0x0450},   {820, 0x0452},   {7457, 0xE7C7},  {7458, 0x1E40},  {7922, 0x2011},
    {7924, 0x2017},  {7925, 0x201A},  {7927, 0x201E},  {7934, 0x2027},  {7943, 0x2031},
    {7944, 0x2034},  {7945, 0x2036},  {7950, 0x203C},  {8062, 0x20AD},  {8148, 0x2104},
    {8149, 0x2106},  {8152, 0x210A},  {8164, 0x2117},  {8174, 0x2122},  {8236, 0x216C},
    {8240, 0x217A},  {8262, 0x2194},  {8264, 0x219A},  {8374, 0x2209},  {8380, 0x2210},
    {8381, 0x2212},  {8384, 0x2216},  {8388, 0x221B},  {8390, 0x2221},  {8392, 0x2224},
    {8393, 0x2226},  {8394, 0x222C},  {8396, 0x222F},  {8401, 0x2238},  {8406, 0x223E},
    {8416, 0x2249},  {8419, 0x224D},  {8424, 0x2253},  {8437, 0x2262},  {8439, 0x2268},
    {8445, 0x2270},  {8482, 0x2296},  {8485, 0x229A},  {8496, 0x22A6},  {8521, 0x22C0},
    {8603, 0x2313},  {8936, 0x246A},  {8946, 0x249C},  {9046, 0x254C},  {9050, 0x2574},
    {9063, 0x2590},  {9066, 0x2596},  {9076, 0x25A2},  {9092, 0x25B4},  {9100, 0x25BE},
    {9108, 0x25C8},  {9111, 0x25CC},  {9113, 0x25D0},  {9131, 0x25E6},  {9162, 0x2607},
    {9164, 0x260A},  {9218, 0x2641},  {9219, 0x2643},  {11329, 0x2E82}, {11331, 0x2E85},
    {11334, 0x2E89}, {11336, 0x2E8D}, {11346, 0x2E98}, {11361, 0x2EA8}, {11363, 0x2EAB},
    {11366, 0x2EAF}, {11370, 0x2EB4}, {11372, 0x2EB8}, {11375, 0x2EBC}, {11389, 0x2ECB},
    {11682, 0x2FFC}, {11686, 0x3004}, {11687, 0x3018}, {11692, 0x301F}, {11694, 0x302A},
    {11714, 0x303F}, {11716, 0x3094}, {11723, 0x309F}, {11725, 0x30F7}, {11730, 0x30FF},
    {11736, 0x312A}, {11982, 0x322A}, {11989, 0x3232}, {12102, 0x32A4}, {12336, 0x3390},
    {12348, 0x339F}, {12350, 0x33A2}, {12384, 0x33C5}, {12393, 0x33CF}, {12395, 0x33D3},
    {12397, 0x33D6}, {12510, 0x3448}, {12553, 0x3474}, {12851, 0x359F}, {12962, 0x360F},
    {12973, 0x361B}, {13738, 0x3919}, {13823, 0x396F}, {13919, 0x39D1}, {13933, 0x39E0},
    {14080, 0x3A74}, {14298, 0x3B4F}, {14585, 0x3C6F}, {14698, 0x3CE1}, {15583, 0x4057},
    {15847, 0x4160}, {16318, 0x4338}, {16434, 0x43AD}, {16438, 0x43B2}, {16481, 0x43DE},
    {16729, 0x44D7}, {17102, 0x464D}, {17122, 0x4662}, {17315, 0x4724}, {17320, 0x472A},
    {17402, 0x477D}, {17418, 0x478E}, {17859, 0x4948}, {17909, 0x497B}, {17911, 0x497E},
    {17915, 0x4984}, {17916, 0x4987}, {17936, 0x499C}, {17939, 0x49A0}, {17961, 0x49B8},
    {18664, 0x4C78}, {18703, 0x4CA4}, {18814, 0x4D1A}, {18962, 0x4DAF}, {19043, 0x9FA6},
    {33469, 0xE76C}, {33470, 0xE7C8}, {33471, 0xE7E7}, {33484, 0xE815}, {33485, 0xE819},
    {33490, 0xE81F}, {33497, 0xE827}, {33501, 0xE82D}, {33505, 0xE833}, {33513, 0xE83C},
    {33520, 0xE844}, {33536, 0xE856}, {33550, 0xE865}, {37845, 0xF92D}, {37921, 0xF97A},
    {37948, 0xF996}, {38029, 0xF9E8}, {38038, 0xF9F2}, {38064, 0xFA10}, {38065, 0xFA12},
    {38066, 0xFA15}, {38069, 0xFA19}, {38075, 0xFA22}, {38076, 0xFA25}, {38078, 0xFA2A},
    {39108, 0xFE32}, {39109, 0xFE45}, {39113, 0xFE53}, {39114, 0xFE58}, {39115, 0xFE67},
    {39116, 0xFE6C}, {39265, 0xFF5F}, {39394, 0xFFE6},
};
constexpr std::uint32_t kLastBmpNumber = 39419;             // 84 31 A4 39, U+FFFF
constexpr std::uint32_t kFirstSupplementaryNumber = 189000; // 90 30 81 30, U+10000

// The code point that the four bytes at `b` ([81-FE][30-39][81-FE][30-39]) stand for; 0 when
// GB18030 gives them none.
char32_t FourByteCodePoint(const unsigned char* b) {
    const std::uint32_t number =
        ((static_cast<std::uint32_t>(b[0] - 0x81) * 10 + (b[1] - 0x30)) * 126 + (b[2] - 0x81)) *
            10 +
        (b[3] - 0x30);
    if (number <= kLastBmpNumber) {
        const auto* run =
            std::upper_bound(std::begin(kFourByteRuns), std::end(kFourByteRuns), number,
                             [](std::uint32_t n, const FourByteRun& r) { return n < r.number; });
        --run; // the first run begins at 0
        return static_cast<char32_t>(run->codePoint + (number - run->number));
    }
    if (number >= kFirstSupplementaryNumber && number - kFirstSupplementaryNumber < 0x100000) {
        return 0x10000 + (number - kFirstSupplementaryNumber);
    }
    return 0;
}

} // namespace

bool DoubleByteCodePage::Store(std::string_view utf8, Entry& entry) {
    // One character beyond ASCII that is no stand-in for an invalid sequence, and no C1 control
    // (C2 80 .. C2 9F), which a code page gives bytes it has no character for.
    if (utf8.size() < 2 || utf8.size() > 3 || utf8 == kReplacementCharacter ||
        (utf8[0] == '\xC2' && static_cast<unsigned char>(utf8[1]) < 0xA0)) {
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

DoubleByteCodePage::DoubleByteCodePage(const SharedCodePage& page) {
    // Every byte and pair on a line of its own, in one call: a line feed is never part of a
    // character, so each line comes out as that sequence alone would.
    std::string probe;
    for (int single = 0x80; single <= 0xFF; ++single) {
        probe += {static_cast<char>(single), '\n'};
    }
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail != 0x7F) {
                probe += {static_cast<char>(lead), static_cast<char>(trail), '\n'};
            }
        }
    }
    std::string utf8;
    DecodeLegacy(page.name, probe, utf8);
    std::size_t pos = 0;
    const auto next = [&] {
        const std::size_t end = std::min(utf8.find('\n', pos), utf8.size());
        const std::string_view one = std::string_view(utf8).substr(pos, end - pos);
        pos = end + 1;
        return one;
    };
    for (std::size_t byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string_view one = next();
        Entry& single = m_singles[byte - 0x80];
        if (const std::optional<char32_t> settled =
                SettledByte(page, static_cast<unsigned char>(byte))) {
            if (*settled != 0) {
                std::string character;
                AppendUtf8(*settled, character);
                Store(character, single);
            }
            continue;
        }
        // U+E000..U+F8FF is EE 80 80 .. EF A3 BF. GBK keeps 0xFF as U+F8F5, as its documents
        // have always had it.
        const bool privateUse = one.size() == 3 && one >= "\xEE\x80\x80" && one <= "\xEF\xA3\xBF";
        if (!privateUse || page.windowsNumber == 936) {
            Store(one, single);
        }
    }
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail != 0x7F && Store(next(), m_pairs[Index(static_cast<unsigned char>(lead),
                                                             static_cast<unsigned char>(trail))])) {
                m_bLead[static_cast<std::size_t>(lead)] = true;
            }
        }
    }
}

const DoubleByteCodePage& DoubleByteCodePage::Gbk() {
    static const DoubleByteCodePage& codePage = Of(*FindSharedCodePage(kCodePage936));
    return codePage;
}

const DoubleByteCodePage& DoubleByteCodePage::Big5() {
    static const DoubleByteCodePage& codePage = Of(*FindSharedCodePage(kCodePage950));
    return codePage;
}

const DoubleByteCodePage& DoubleByteCodePage::Of(const SharedCodePage& page) {
    static std::mutex mutex;
    static std::map<std::string_view, std::unique_ptr<DoubleByteCodePage>> made;
    const std::lock_guard lock(mutex);
    std::unique_ptr<DoubleByteCodePage>& codePage = made[page.name];
    if (!codePage) {
        codePage.reset(new DoubleByteCodePage(page));
    }
    return *codePage;
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
        while (pos + 1 < size && m_bLead[data[pos]] && IsTrail(data[pos + 1])) {
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
        const Entry& single = m_singles[data[pos] - 0x80];
        if (single.length != 0) {
            out.append(single.bytes.data(), static_cast<std::size_t>(single.length));
            ++pos;
            continue;
        }
        const auto digit = [&](std::size_t at) { return data[at] >= 0x30 && data[at] <= 0x39; };
        if (pos + 3 < size && IsLead(data[pos]) && digit(pos + 1) && IsLead(data[pos + 2]) &&
            digit(pos + 3)) {
            ++fourByteSequences;
            if (fourByte == FourByteSequences::Read) {
                if (const char32_t c = FourByteCodePoint(data + pos); c != 0) {
                    AppendUtf8(c, out);
                    pos += 4;
                } else {
                    fail(4);
                }
                continue;
            }
        }
        fail(1); // a lead byte without its trail: the next byte is read on its own
    }
    return fourByteSequences;
}

} // namespace tolvren
