#pragma once

#include "conversion/Script.h"
#include "conversion/TextFile.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Documents that keep the timing of every sung unit: enhanced LRC and ASS karaoke subtitles.
// Both read a lyric statement the same way: start S and end E, the text cut into units (a "[...]"
// group is one unit, any other character one of its own), and one duration in milliseconds per
// unit, so that unit k starts at S plus the durations before it.

namespace tolvren {

/// "mm:ss.fff" (or "h:mm:ss.fff", the fraction with one to three digits, minutes past 59 too) in
/// milliseconds; empty when it is no such time.
std::optional<std::int64_t> ParseTime(std::string_view text);

/// The units of a lyric text, apostrophes already undoubled: "[I ][had ]a" gives "I ", "had ",
/// "a"; a '[' without its ']' is a character like any other. The units are views into `text`.
void SplitUnits(std::string_view text, std::vector<std::string_view>& units);

/// What every document names besides the lyrics.
struct DocumentHeader {
    std::string_view title;  ///< the script's title, or its file name
    std::string_view singer; ///< empty when the script names none
    std::string_view author; ///< who made the document
};

/// Writes the script as enhanced LRC to `sink` (when there is one), with a byte-order mark and
/// LF line ends, noting in `warnings` the lines written without word timing.
void WriteLrc(const Script& script, const DocumentHeader& header, TextSink* sink,
              std::vector<ScriptWarning>& warnings);

/// Writes the script as ASS subtitles with \kf karaoke tags (CR LF line ends), likewise. A line
/// without word timing is sung as one piece, over its whole time.
void WriteAss(const Script& script, const DocumentHeader& header, TextSink* sink,
              std::vector<ScriptWarning>& warnings);

} // namespace tolvren
