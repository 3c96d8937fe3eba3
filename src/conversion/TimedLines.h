#pragma once

#include "conversion/Script.h"
#include "conversion/TextFile.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The reading every document that keeps the timing of each sung unit shares (LRC, ASS and the
// formats after them): a lyric statement has a start S and an end E, its text cut into units (a
// "[...]" group is one unit, any other character one of its own), and one duration in
// milliseconds per unit, so that unit k starts at S plus the durations before it.

namespace tolvren {

/// Documents are written in pieces of about this size: neither a write per line nor a second copy.
inline constexpr std::size_t kPieceSize = std::size_t{64} * 1024;

/// The UTF-8 byte-order mark.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

/// "mm:ss.fff" (or "h:mm:ss.fff", the fraction with one to three digits, minutes past 59 too) in
/// milliseconds; empty when it is no such time.
std::optional<std::int64_t> ParseTime(std::string_view text);

/// The units of a lyric text, apostrophes already undoubled: "[I ][had ]a" gives "I ", "had ",
/// "a"; a '[' without its ']' is a character like any other. The units are views into `text`.
void SplitUnits(std::string_view text, std::vector<std::string_view>& units);

/// One sung unit and when it starts and ends, in milliseconds.
struct TimedUnit {
    std::string_view text;
    std::int64_t start = 0;
    std::int64_t end = 0;
};

/// A lyric statement read for its timing.
struct TimedLine {
    std::size_t line = 0;         ///< where the statement stands in the script
    std::int64_t start = 0;       ///< S
    std::int64_t end = 0;         ///< E
    std::string text;             ///< as shown: apostrophes undoubled, no brackets
    std::vector<TimedUnit> units; ///< empty when the line has no word timing
    std::string_view rest;        ///< what follows the statement's fourth field (in the script)
};

/// Reads the timing of each lyric statement of a document into buffers it keeps from line to
/// line, and counts the lines that cannot have word timing so that a script full of them gives a
/// handful of warnings, not one each.
class LineTimer {
public:
    explicit LineTimer(std::vector<ScriptWarning>& warnings) : m_warnings(warnings) {}
    LineTimer(const LineTimer&) = delete;
    LineTimer& operator=(const LineTimer&) = delete;
    ~LineTimer();

    /// The line's timing, valid until the next call; null when it has none (its time is no
    /// time, or the script's own reading found it incomplete).
    const TimedLine* Read(const LyricStatement& statement);

private:
    // A line written without word timing: the first few are named, the rest counted.
    void NoteUntimed(ScriptWarning warning);

    std::vector<ScriptWarning>& m_warnings;
    std::size_t m_nMismatches = 0;
    TimedLine m_line;
    std::string m_text;
    std::vector<std::string_view> m_units;
    std::vector<std::int64_t> m_durations;
};

/// Hundredths of a second, rounded half up from milliseconds.
constexpr std::int64_t Centiseconds(std::int64_t ms) {
    return (ms + 5) / 10;
}

/// Appends `value` in decimal, with zeros ahead of it up to `width` digits.
void AppendNumber(std::string& out, std::int64_t value, int width);

/// A header value on its line: a control character (a line feed in a file name that became the
/// title, say) would end the line early and start one of its own, so it shows as a blank.
void AppendHeaderValue(std::string& out, std::string_view value);

enum class LineEnd { Lf, CrLf };

/// Writes `head` (its lines ending in LF) and then for every lyric line with a readable time what
/// `appendLine` makes of it, every line ending in `lineEnd`, in pieces of a reasonable size:
/// neither a write per line nor a second copy of a huge script. With no sink, only the warnings
/// of the reading are noted.
void WriteTimedLines(const Script& script, std::string_view head, LineEnd lineEnd, TextSink* sink,
                     std::vector<ScriptWarning>& warnings,
                     const std::function<void(const TimedLine&, std::string&)>& appendLine);

} // namespace tolvren
