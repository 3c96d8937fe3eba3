#pragma once

#include "conversion/DocumentFormat.h"
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
// milliseconds per unit, so that unit k starts at S plus the durations before it. Every time is
// then moved by the document's shift and stops at 0.

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
    std::int64_t start = 0;       ///< S, moved
    std::int64_t end = 0;         ///< E, moved
    std::string text;             ///< as shown: apostrophes undoubled, no brackets
    std::vector<TimedUnit> units; ///< empty when the line has no word timing
    std::string_view rest;        ///< what follows the statement's fourth field (in the script)
};

/// How finely a document times its lyrics.
enum class TimedBy {
    Unit, ///< every sung unit; a line whose durations do not fit its units is warned
    Line, ///< each line as a whole: the durations are not read
};

/// Notes warnings of one kind: the first kWarningsPerKind as they come, then, when it goes, one
/// more of kind `more` that counts the rest.
class CappedWarnings {
public:
    CappedWarnings(ScriptWarning::Kind more, std::vector<ScriptWarning>& warnings)
        : m_more(more), m_warnings(warnings) {}
    CappedWarnings(const CappedWarnings&) = delete;
    CappedWarnings& operator=(const CappedWarnings&) = delete;
    ~CappedWarnings();

    void Note(ScriptWarning warning);

private:
    ScriptWarning::Kind m_more;
    std::vector<ScriptWarning>& m_warnings;
    std::size_t m_nNoted = 0;
};

/// Reads the timing of each lyric statement of a document into buffers it keeps from line to
/// line, and counts the lines that cannot have word timing, or whose times fell before 0, so that
/// a script full of them gives a handful of warnings, not one each.
class LineTimer {
public:
    /// Every time moves by `shift` milliseconds (DocumentInput::shift).
    explicit LineTimer(std::vector<ScriptWarning>& warnings, std::int64_t shift = 0,
                       TimedBy timedBy = TimedBy::Unit)
        : m_warnings(warnings), m_beforeZero(ScriptWarning::Kind::MoreTimeBeforeZero, warnings),
          m_untimed(ScriptWarning::Kind::MoreDurationMismatch, warnings), m_shift(shift),
          m_timedBy(timedBy) {}

    /// The line's timing, valid until the next call; null when it has none (its time is no
    /// time, or the script's own reading found it incomplete).
    const TimedLine* Read(const LyricStatement& statement);

private:
    // Moves every time of the line; a time before 0 is 0, and the line is noted.
    void Move();

    std::vector<ScriptWarning>& m_warnings;
    // Declared in this order so that the lines without word timing are counted up first.
    CappedWarnings m_beforeZero;
    CappedWarnings m_untimed; ///< lines written without word timing
    std::int64_t m_shift;
    TimedBy m_timedBy;
    TimedLine m_line;
    std::string m_text;
    std::vector<std::string_view> m_units;
    std::vector<std::int64_t> m_durations;
};

/// How far the times of the script `script` move with `timing`: the shift, less the script's
/// offset where the times carry it (a positive offset makes every line come sooner, as LRC
/// players apply [offset:]); `offsetApplied` is then true. An offset that is no number is not
/// applied, and a warning says so.
struct TimeShift {
    std::int64_t shift = 0;
    bool offsetApplied = false;
};
TimeShift ShiftOf(const Script& script, const TimingOptions& timing,
                  std::vector<ScriptWarning>& warnings);

/// Hundredths of a second, rounded half up from milliseconds.
constexpr std::int64_t Centiseconds(std::int64_t ms) {
    return (ms + 5) / 10;
}

/// Appends `value` in decimal, with zeros ahead of it up to `width` digits.
void AppendNumber(std::string& out, std::int64_t value, int width);

/// When a line is over: its end, or the end of its last unit where that is later, and never
/// before its start.
std::int64_t SungEnd(const TimedLine& line);

/// How many bytes of blanks (space, tab, U+00A0, U+3000) `text` starts with, and ends with.
std::size_t LeadingBlanks(std::string_view text);
std::size_t TrailingBlanks(std::string_view text);

/// A header value on its line: a control character (a line feed in a file name that became the
/// title, say) would end the line early and start one of its own, so it shows as a blank.
void AppendHeaderValue(std::string& out, std::string_view value);

enum class LineEnd { Lf, CrLf };

/// Writes `head` (its lines ending in LF) and then for every lyric line of `input` with a
/// readable time, timed by `timedBy` and moved by its shift, what `appendLine` makes of it, every
/// line ending in `lineEnd`, in pieces of a reasonable size: neither a write per line nor a second
/// copy of a huge script. A line of which `appendLine` makes nothing is left out, line end and
/// all. A head that depends on the lines (TTML's language) is finished by `completeHead` just
/// before it is written: after the lines of the first piece, which is the whole song but for a
/// script of more than a few thousand lines. With no sink (a check), `appendLine` is called all
/// the same, so that it notes what writing would note, and nothing is written.
void WriteTimedLines(const DocumentInput& input, std::string_view head, LineEnd lineEnd,
                     TextSink* sink, std::vector<ScriptWarning>& warnings,
                     const std::function<void(const TimedLine&, std::string&)>& appendLine,
                     TimedBy timedBy = TimedBy::Unit,
                     const std::function<void(std::string&)>& completeHead = {});

} // namespace tolvren
