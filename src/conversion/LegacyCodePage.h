#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The legacy code pages a script may come in (Shift_JIS, EUC-KR, …), decoded by the platform's
// own tables. Everything else about reading a script is shared code, the same on every platform:
// UTF-8 and UTF-16, the double-byte tables of code pages 936 and 950 (asked of this seam once),
// GB18030's four-byte sequences, and the detection of what a script is written in.

namespace tolvren {

/// Names the shared code asks for by itself.
inline constexpr std::string_view kCodePage936 = "windows-936";
inline constexpr std::string_view kCodePage950 = "windows-950";

/// The platform's name for the legacy encoding a user calls `name` (ASCII case does not matter);
/// empty when the platform has none by that name.
std::optional<std::string> FindLegacyEncoding(std::string_view name);

/// The legacy encodings a user may name, as ", name, name…", where the platform has a short list
/// of them (Windows); empty where it knows more than a message could list (ICU).
std::string LegacyEncodingsHint();

/// Appends the UTF-8 form of `bytes` read in the legacy encoding `name` (as FindLegacyEncoding
/// gave it, or one of the names above). Bytes that are not valid become U+FFFD; returns how many
/// they were.
std::size_t DecodeLegacy(std::string_view name, std::string_view bytes, std::string& out);

/// Whether `name` keeps ASCII as it is and never hides an ASCII byte inside a character, so that
/// lines and statements can be found in its bytes before they are decoded.
bool LegacyKeepsAscii(std::string_view name);

} // namespace tolvren
