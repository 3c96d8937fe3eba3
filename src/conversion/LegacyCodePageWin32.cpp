// Legacy code pages through Windows' own tables, by code page number.

#include "conversion/CodePage.h"
#include "conversion/FieldUtils.h"
#include "conversion/LegacyCodePage.h"
#include "files/Win32Text.h"

#include <windows.h>

namespace tolvren {

namespace {

struct CodePageName {
    std::string_view name;
    UINT codePage;
};

// The names users type, and the ones the shared code asks for, with Windows' numbers.
constexpr CodePageName kCodePages[] = {
    {"windows-936", 936},   {"windows-950", 950},   {"shift_jis", 932},     {"sjis", 932},
    {"cp932", 932},         {"windows-31j", 932},   {"euc-kr", 949},        {"cp949", 949},
    {"uhc", 949},           {"euc-jp", 20932},      {"windows-874", 874},   {"tis-620", 874},
    {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252}, {"windows-1253", 1253},
    {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256}, {"windows-1257", 1257},
    {"windows-1258", 1258}, {"iso-8859-1", 28591},  {"latin1", 28591},      {"iso-8859-2", 28592},
    {"iso-8859-5", 28595},  {"iso-8859-7", 28597},  {"iso-8859-15", 28605}, {"koi8-r", 20866},
    {"koi8-u", 21866},      {"us-ascii", 20127},
};

UINT CodePageOf(std::string_view name) {
    for (const CodePageName& known : kCodePages) {
        if (known.name == name) {
            return known.codePage;
        }
    }
    return 0;
}

// Appends what `bytes` (one character or more) are in `codePage`; false when a byte is not
// valid there.
bool Append(UINT codePage, std::string_view bytes, std::string& out) {
    const int size = static_cast<int>(bytes.size());
    const int length =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), length);
    out += Narrow(wide);
    return true;
}

// Appends what the one character `bytes` is in `codePage`. Windows holds a few single bytes
// valid only when it is not asked to be strict (0xFF is U+F8F5 in code page 936, as in ICU):
// what it gives then is the character, unless it is the code page's stand-in for a byte it cannot
// read.
bool AppendCharacter(UINT codePage, std::string_view bytes, std::string& out) {
    if (Append(codePage, bytes, out)) {
        return true;
    }
    CPINFOEXW info{};
    wchar_t c = 0;
    if (::GetCPInfoExW(codePage, 0, &info) == 0 ||
        ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &c, 1) !=
            1 ||
        c == info.UnicodeDefaultChar || c == 0xFFFD) {
        return false;
    }
    out += Narrow(std::wstring_view(&c, 1));
    return true;
}

// The length of the character that starts at `at`.
std::size_t CharacterLength(UINT codePage, std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80 || at + 1 >= bytes.size()) {
        return 1;
    }
    return ::IsDBCSLeadByteEx(codePage, lead) != 0 ? 2 : 1;
}

} // namespace

std::optional<std::string> FindLegacyEncoding(std::string_view name) {
    std::string lower = LowerAscii(name);
    if (CodePageOf(lower) == 0) {
        return std::nullopt;
    }
    return lower;
}

std::string LegacyEncodingsHint() {
    std::string names;
    UINT last = 0;
    for (const CodePageName& known : kCodePages) {
        if (known.codePage == 936 || known.codePage == 950 || known.codePage == last) {
            continue; // named already, or another name for the one before
        }
        last = known.codePage;
        names.append(", ").append(known.name);
    }
    return names;
}

std::size_t DecodeLegacy(std::string_view name, std::string_view bytes, std::string& out) {
    const UINT codePage = CodePageOf(name);
    if (bytes.empty()) {
        return 0;
    }
    if (codePage != 0 && Append(codePage, bytes, out)) {
        return 0; // all of it valid, the usual case
    }
    // Character by character, so that each one that is not valid becomes one U+FFFD.
    std::size_t invalid = 0;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t length = codePage == 0 ? 1 : CharacterLength(codePage, bytes, pos);
        if (codePage != 0 && AppendCharacter(codePage, bytes.substr(pos, length), out)) {
            pos += length;
            continue;
        }
        if (static_cast<unsigned char>(bytes[pos]) < 0x80 && codePage == 0) {
            out += bytes[pos]; // no code page at all: ASCII passes, the rest is lost and said
            ++pos;
            continue;
        }
        out.append(kReplacementCharacter);
        // A lead byte whose trail is not valid is lost alone; the next byte is read anew.
        const std::size_t lost =
            length == 2 && static_cast<unsigned char>(bytes[pos + 1]) < 0x40 ? 1 : length;
        invalid += lost;
        pos += lost;
    }
    return invalid;
}

bool LegacyKeepsAscii(std::string_view name) {
    return CodePageOf(name) != 0;
}

} // namespace tolvren
