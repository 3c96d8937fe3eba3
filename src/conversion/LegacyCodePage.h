#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The legacy code pages a script may come in (Shift_JIS, EUC-KR, …), decoded by the platform's
// own tables. Everything else about reading a script is shared code, the same on every platform:
// UTF-8 and UTF-16, GB18030's four-byte sequences, the detection of what a script is written in,
// and the code pages of single bytes and pairs that both platforms have (936, 950, 932, 949, the
// single-byte ones), which are read through one table each, asked of this seam once.

namespace tolvren {

/// A code page both platforms have, read through a table of its single bytes and pairs.
struct SharedCodePage {
    std::string_view name; ///< as messages name it and ICU knows it
    unsigned windowsNumber;
};

/// Names the shared code asks for by itself.
inline constexpr std::string_view kCodePage936 = "windows-936";
inline constexpr std::string_view kCodePage950 = "windows-950";

/// The shared code page a user calls `name` (lower case: "shift_jis", "euc-kr", "windows-1252",
/// …), or null.
const SharedCodePage* FindSharedCodePage(std::string_view name);

/// What every platform reads the single byte `byte` of `page` as where the editions of the code
/// page that the platforms have differ (0 for no character); nothing where they agree.
std::optional<char32_t> SettledByte(const SharedCodePage& page, unsigned char byte);

/// The names of the shared code pages a user may give, as ", name, name…".
std::string SharedCodePageNames();

/// The platform's name for a legacy encoding a user calls `name` (lower case) beyond the shared
/// ones, read by the platform alone; empty when it has none by that name.
std::optional<std::string> FindLegacyEncoding(std::string_view name);

/// The legacy encodings a user may name, as ", name, name…", where the platform has no more than
/// the shared ones (Windows); empty where it knows more than a message could list (ICU).
std::string LegacyEncodingsHint();

/// Appends the UTF-8 form of `bytes` read in the legacy encoding `name` (a shared code page's
/// name, or what FindLegacyEncoding gave). Each sequence of bytes that is not valid becomes one
/// U+FFFD, never a substitute control character; returns how many bytes they were and, with
/// `sequences`, appends each sequence's length in order.
std::size_t DecodeLegacy(std::string_view name, std::string_view bytes, std::string& out,
                         std::vector<std::size_t>* sequences = nullptr);

/// Whether `name` keeps ASCII as it is and never hides an ASCII byte inside a character, so that
/// lines and statements can be found in its bytes before they are decoded.
bool LegacyKeepsAscii(std::string_view name);

} // namespace tolvren
