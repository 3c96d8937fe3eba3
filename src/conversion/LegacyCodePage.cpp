// The code pages both platforms have, by the names users type.

#include "conversion/LegacyCodePage.h"

namespace tolvren {

namespace {

constexpr SharedCodePage kSharedCodePages[] = {
    {kCodePage936, 936},    {kCodePage950, 950},    {"windows-932", 932},   {"windows-949", 949},
    {"windows-874", 874},   {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252},
    {"windows-1253", 1253}, {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256},
    {"windows-1257", 1257}, {"windows-1258", 1258}, {"iso-8859-1", 28591},  {"iso-8859-2", 28592},
    {"iso-8859-5", 28595},  {"iso-8859-7", 28597},  {"iso-8859-15", 28605}, {"koi8-r", 20866},
    {"koi8-u", 21866},      {"us-ascii", 20127},
};

struct OtherName {
    std::string_view name;
    std::string_view codePage;
};

// Shift_JIS and EUC-KR as Windows has them, which is what files so labelled hold: Windows-31J,
// and the Unified Hangul Code around EUC-KR.
constexpr OtherName kOtherNames[] = {
    {"shift_jis", "windows-932"},   {"sjis", "windows-932"},    {"cp932", "windows-932"},
    {"windows-31j", "windows-932"}, {"euc-kr", "windows-949"},  {"cp949", "windows-949"},
    {"uhc", "windows-949"},         {"tis-620", "windows-874"}, {"latin1", "iso-8859-1"},
};

// The bytes whose meaning differs between the editions of a code page that ICU and Windows have,
// and what both read them as (0: none): Greek as ISO 8859-7:2003 and KOI8-U as RFC 2319 have
// them, 0xAA in windows-1253 undefined as Microsoft defines it, and 0xCA in windows-1255 the point
// Windows has added.
struct SettledByteOf {
    unsigned windowsNumber;
    unsigned char byte;
    char32_t character;
};
constexpr SettledByteOf kSettledBytes[] = {
    {1253, 0xAA, 0},       {1255, 0xCA, 0x05BA},  {28597, 0xA1, 0x2018},
    {28597, 0xA2, 0x2019}, {28597, 0xA4, 0x20AC}, {28597, 0xA5, 0x20AF},
    {28597, 0xAA, 0x037A}, {21866, 0xAE, 0x255D}, {21866, 0xBE, 0x256C},
};

} // namespace

std::optional<char32_t> SettledByte(const SharedCodePage& page, unsigned char byte) {
    for (const SettledByteOf& settled : kSettledBytes) {
        if (settled.windowsNumber == page.windowsNumber && settled.byte == byte) {
            return settled.character;
        }
    }
    return std::nullopt;
}

const SharedCodePage* FindSharedCodePage(std::string_view name) {
    for (const OtherName& other : kOtherNames) {
        if (other.name == name) {
            name = other.codePage;
        }
    }
    for (const SharedCodePage& page : kSharedCodePages) {
        if (page.name == name) {
            return &page;
        }
    }
    return nullptr;
}

std::string SharedCodePageNames() {
    // GBK and Big5 are named already; 932 and 949 by the names users know them by.
    std::string names = ", shift_jis, euc-kr";
    for (const SharedCodePage& page : kSharedCodePages) {
        if (page.windowsNumber != 936 && page.windowsNumber != 950 && page.windowsNumber != 932 &&
            page.windowsNumber != 949) {
            names.append(", ").append(page.name);
        }
    }
    return names;
}

} // namespace tolvren
