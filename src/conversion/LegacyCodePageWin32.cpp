// Legacy code pages through Windows' own tables, by code page number.

#include "conversion/CodePage.h"
#include "conversion/LegacyCodePage.h"
#include "files/Win32Text.h"

#include <vector>
#include <windows.h>

namespace tolvren {

namespace {

UINT CodePageOf(std::string_view name) {
    const SharedCodePage* page = FindSharedCodePage(name);
    return page == nullptr ? 0 : page->windowsNumber;
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

std::optional<std::string> FindLegacyEncoding(std::string_view /*name*/) {
    return std::nullopt; // Windows reads the shared code pages, and no other
}

std::string LegacyEncodingsHint() {
    return SharedCodePageNames();
}

std::size_t DecodeLegacy(std::string_view name, std::string_view bytes, std::string& out,
                         std::vector<std::size_t>* sequences) {
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
        if (sequences != nullptr) {
            sequences->push_back(lost);
        }
    }
    return invalid;
}

bool LegacyKeepsAscii(std::string_view name) {
    return CodePageOf(name) != 0;
}

} // namespace tolvren
