#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Field, substring and trimming operations on byte strings (GBK text). Indexes are byte indexes
// from 0; substrings are clamped to the text instead of failing, the way the converter's statement
// parsing expects. The delimiters used on GBK text are bytes below 0x40, which never occur inside a
// double-byte character, so plain byte comparison finds only real occurrences.

namespace tolvren {

/// The current delimiter of GetFieldRange and CountDelimiters; GetField sets it on every call.
/// GetFieldRange and CountDelimiters are kept as the system has always had them; the converter
/// itself reads its statements with GetField alone.
/// Starts as '|'. One per thread, so two threads converting at once never disturb each other.
extern thread_local char g_fieldDelimiter;

/// Field `index` (from 0) of `text` cut at `delimiter`; sets g_fieldDelimiter to `delimiter`.
/// A field the text does not have is empty.
std::string GetField(std::string_view text, char delimiter, std::ptrdiff_t index);

/// Fields `first` to `last` of `text` with the delimiters between them (g_fieldDelimiter).
/// `last` < 0 means up to the final field. Missing fields count as empty, so asking past the end
/// pads with delimiters; a negative `first` or `last` < `first` - 1 gives the empty text.
std::string GetFieldRange(std::string_view text, std::ptrdiff_t first, std::ptrdiff_t last);

/// Number of bytes of `text` equal to g_fieldDelimiter.
std::ptrdiff_t CountDelimiters(std::string_view text);

/// Replaces every occurrence of `find` in `text` by `replacement`, left to right, without
/// overlaps and without searching replaced text again. Returns the number of replacements.
/// An empty `find` changes nothing and returns 0.
std::ptrdiff_t ReplaceAll(std::string& text, std::string_view replacement, std::string_view find);

/// The length of the control character that begins at byte `i` of `text`: 1 for a C0 control
/// or DEL, 2 for a C1 control in its UTF-8 form (C2 80 to C2 9F, which a UTF-8 terminal obeys
/// wherever it stands); 0 for anything else.
std::size_t ControlCharacterAt(std::string_view text, std::size_t i);

/// Undoes the apostrophes a KSC text doubles inside its quotes: every "''" becomes "'" (ReplaceAll
/// with the replacement first), left to right, so "''''" gives "''".
void UndoubleApostrophes(std::string& text);

/// `text` with the ASCII letters in lower case; every other byte as it is.
std::string LowerAscii(std::string_view text);

/// A whole number in decimal with an optional sign ("-150", "+200"), of at most twelve digits
/// (milliseconds of more than thirty years); empty for anything else, blanks included.
std::optional<std::int64_t> ParseInteger(std::string_view text);

/// `text` without leading and trailing space, tab, LF, VT, FF and CR.
std::string Trimmed(std::string_view text);

/// Substring of `count` bytes from `first`: a negative `first` counts as 0, a negative `count` as
/// 0, a count running past the end stops at the end, a `first` past the end gives "".
std::string Mid(std::string_view text, std::ptrdiff_t first, std::ptrdiff_t count);

/// The bytes from `first` to `last`, both inclusive: Mid(text, first, last - first + 1).
std::string MidRange(std::string_view text, std::ptrdiff_t first, std::ptrdiff_t last);

} // namespace tolvren
