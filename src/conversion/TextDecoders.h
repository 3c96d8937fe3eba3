#pragma once

#include "conversion/CodePage.h"
#include "conversion/LegacyCodePage.h"

#include <array>
#include <string>
#include <string_view>

// The decoders every platform shares: UTF-8, UTF-16 and the code pages of single bytes and pairs
// (936 GBK, 950 Big5, 932, 949, the single-byte ones). Each appends the UTF-8 form of its input and
// notes, line by line, the bytes that are not valid (each sequence of them becomes one U+FFFD, as
// ICU and Windows replace them).

namespace tolvren {

/// Numbers the lines of a text (LF ends a line) at offsets that never decrease.
class LineCounter {
public:
    explicit LineCounter(std::string_view text) : m_text(text) {}
    std::size_t LineAt(std::size_t offset);

private:
    std::string_view m_text;
    std::size_t m_nPos = 0;
    std::size_t m_nLine = 1;
};

void DecodeUtf8(std::string_view bytes, std::string& out, InvalidBytes& invalid);

/// How many bytes of a well-formed UTF-8 sequence start at `at` (0 when none does); `*valid` gets
/// the length of the longest start of one that is well-formed (at least 1): what one U+FFFD
/// stands for.
std::size_t Utf8SequenceAt(std::string_view bytes, std::size_t at, std::size_t* valid);

enum class ByteOrder { LittleEndian, BigEndian };
void DecodeUtf16(std::string_view bytes, ByteOrder order, std::string& out, InvalidBytes& invalid);

/// Appends `c` (a Unicode scalar value) as UTF-8.
void AppendUtf8(char32_t c, std::string& out);

/// Whether GB18030's four-byte sequences are read as such, or as the invalid bytes they are in
/// code page 936.
enum class FourByteSequences { Invalid, Read };

/// A code page of single bytes and pairs: ASCII as it is, the single bytes above it the code page
/// has, and pairs of a lead byte and a trail byte 0x40-0x7E or 0x80-0xFE (code pages of single
/// bytes alone have no lead bytes). The platform's code page is asked for every byte and pair
/// once per process; decoding is then a table lookup, the same on every platform. What is no
/// character becomes U+FFFD: what the code page has nothing for, what it gives only a control
/// character for (0x80 as U+0080), and a single byte it gives only a private-use stand-in for
/// (0xA0 as U+F8F0 in code page 932), which shows nothing.
class DoubleByteCodePage {
public:
    static const DoubleByteCodePage& Gbk();  ///< code page 936
    static const DoubleByteCodePage& Big5(); ///< code page 950
    /// The shared code page `page`, made on first use.
    static const DoubleByteCodePage& Of(const SharedCodePage& page);

    /// The bytes GBK and Big5 take as lead and trail bytes.
    static bool IsLead(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
    static bool IsTrail(unsigned char byte) { return byte >= 0x40 && byte <= 0xFE && byte != 0x7F; }

    /// The UTF-8 form of the pair; empty when the code page has no such character.
    std::string_view Pair(unsigned char lead, unsigned char trail) const {
        const Entry& entry = m_pairs[Index(lead, trail)];
        return {entry.bytes.data(), static_cast<std::size_t>(entry.length)};
    }

    /// Returns how many GB18030 four-byte sequences it met, whether it read them or not.
    std::size_t Decode(std::string_view bytes, std::string& out, InvalidBytes& invalid,
                       FourByteSequences fourByte = FourByteSequences::Invalid) const;

private:
    explicit DoubleByteCodePage(const SharedCodePage& page);

    struct Entry {
        char length = 0;
        std::array<char, 3> bytes{};
    };
    static constexpr std::size_t kTrails = 0xFF - 0x40;
    static std::size_t Index(unsigned char lead, unsigned char trail) {
        return static_cast<std::size_t>(lead - 0x81) * kTrails +
               static_cast<std::size_t>(trail - 0x40);
    }
    static bool Store(std::string_view utf8, Entry& entry);

    std::array<Entry, (0xFF - 0x81) * kTrails> m_pairs{};
    std::array<Entry, 0x80> m_singles{}; ///< what the bytes 0x80-0xFF alone are, if anything
    std::array<bool, 0x100> m_bLead{};   ///< the bytes that begin a pair of the code page
};

} // namespace tolvren
