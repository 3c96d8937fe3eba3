#pragma once

#include "conversion/ChineseConversion.h"

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// What a KSC script says, read from its UTF-8 text: the song's title, singer and time offset,
// and its lyric statements in file order, with anything that will not come across as the author
// of the script meant it.

namespace tolvren {

/// Something about a script its user should know; the file is converted all the same.
struct ScriptWarning {
    enum class Kind {
        LooksLikeUtf8,          ///< read as GBK, but the bytes are (nearly all) UTF-8
        LooksLikeUtf16,         ///< read as GBK, but every other byte is NUL
        LooksLikeBig5,          ///< read as GBK, but its tag names or its lyrics are Big5
        LooksLikeGb18030,       ///< read as GBK, but it holds GB18030's four-byte sequences
        InvalidBytes,           ///< `count` bytes on `line` not valid in `detail` became U+FFFD
        MoreInvalidBytes,       ///< `count` more such bytes on `expected` more lines
        IncompleteLyric,        ///< a lyric statement at `line` lacks one of its four fields
        MoreIncompleteLyric,    ///< `count` more such lines
        UnreadAssignment,       ///< `detail` (karaoke.songname or .singer) at `line` is not read
                                ///< (KMC only: LRC and ASS read them)
        NoLyricLines,           ///< not one lyric statement
        BareCarriageReturn,     ///< a CR without LF at `line`: lines run together there, and the
                                ///< `count` lyric statements after such CRs are not read
        MoreBareCarriageReturn, ///< `count` more such lines, with `expected` lyric statements
        DurationMismatch,       ///< `count` durations for `expected` units at `line`
        MoreDurationMismatch,   ///< `count` more such lines
        BadTime,                ///< `detail` at `line` is no time: the line is left out of LRC/ASS
        NotDurations,           ///< `detail` at `line` is not a list of durations (counts as
                                ///< a DurationMismatch line)
        TextAfterCtrlZ,         ///< input ends at the Ctrl-Z on `line`; `count` lyric lines follow
        NotWellFormedXml,       ///< `detail` (a character) in the KMC value `count` names (a
                                ///< KmcValue), on `line` for a lyric's: no XML reader takes it
        WithoutRegionalWords,   ///< `line` was converted by `detail` (s2tw, tw2s): the regional
                                ///< words of the mode asked for would change its units
        MoreWithoutRegionalWords, ///< `count` more such lines
        // Read by ASS alone, which lays the lines out:
        BadRows,            ///< karaoke.rows at `line` is `detail`, no number of rows; `count` used
        BadAnimateTime,     ///< a lead-in or linger at `line` is `detail`, no time; `count` ms used
        BadLineColour,      ///< the fifth argument at `line`, `detail`, is no RGB(r, g, b)
        MoreBadLineColour,  ///< `count` more such lines
        NoFreeRow,          ///< the line at `line` is sung while every row is taken
        MoreNoFreeRow,      ///< `count` more such lines
        TimeBeforeZero,     ///< a time of `line` moved before 0 and is 0
        MoreTimeBeforeZero, ///< `count` more such lines
        OffsetNotANumber,   ///< the offset `detail` at `line` is no number: not applied
        OffsetNotKept,      ///< the offset of `detail` ms at `line` is not applied, and the
                            ///< format has no place to name it (SRT)
        ControlsLeftOut,    ///< `count` control characters at `line` (0: the title or the
                            ///< singer) are left out: the format cannot hold them (TTML)
        MoreControlsLeftOut, ///< on `count` more lines
    };
    explicit ScriptWarning(Kind kind_, std::size_t line_ = 0, std::size_t count_ = 0,
                           std::size_t expected_ = 0, std::string detail_ = {})
        : kind(kind_), line(line_), count(count_), expected(expected_), detail(std::move(detail_)) {
    }

    Kind kind;
    std::size_t line;
    std::size_t count;
    std::size_t expected;
    std::string detail;
    friend bool operator==(const ScriptWarning&, const ScriptWarning&) = default;
};

/// One `karaoke.add('start', 'end', 'text', 'durations');` statement. The fields are taken as
/// they stand (the text with its doubled apostrophes); `complete` is false when one of the four
/// could not be found, and then the fields are empty.
struct LyricStatement {
    std::size_t line = 0;
    bool complete = false;
    std::string_view start;
    std::string_view end;
    std::string_view text;
    std::string_view durations;
    std::string_view rest; ///< what follows the fourth field: ", RGB(255,0,0));"
};

/// Takes one lyric statement apart: each field runs from an apostrophe to the next apostrophe
/// that a comma follows (the fourth to the next apostrophe), so a text may hold apostrophes.
LyricStatement ParseLyricStatement(std::string_view line);

/// A `karaoke.NAME := VALUE;` setting of how the lines are laid out on screen, which only ASS
/// reads: its value as it stands, trimmed, and its line (0 when the script has none).
struct ScriptSetting {
    std::string value;
    std::size_t line = 0;
};
enum class LayoutSetting { Rows, TimeBeforeAnimate, TimeAfterAnimate };

/// A script read once for its header values and its warnings; its lyric statements are read
/// again, one at a time, by whoever writes the document, so a huge script needs no second copy.
class Script {
public:
    /// `text` must outlive the script. With `chinese`, the script is read as that converter
    /// makes it: every lyric's text (ConvertSung), the title and the singer; nothing else.
    explicit Script(std::string_view text, const ChineseConverter* chinese = nullptr);
    Script(const Script&) = delete; // it may read its own copy of the text
    Script& operator=(const Script&) = delete;

    /// The title and the singer as the KMC document has always taken them: the text between the
    /// statement's third and fourth apostrophe, byte for byte.
    const std::string& Title() const { return m_strTitle; }
    const std::string& Singer() const { return m_strSinger; }
    /// The same as their author meant them, for documents without that legacy: the tag's quoted
    /// value with doubled apostrophes undone or, when the tags give none, the value of a
    /// `karaoke.songname := '…';` (`karaoke.singer := '…';`) assignment.
    const std::string& TitleAsMeant() const { return m_strTitleAsMeant; }
    const std::string& SingerAsMeant() const { return m_strSingerAsMeant; }
    const std::string& Offset() const { return m_strOffset; }
    /// The last `karaoke.rows`, `karaoke.TimeBeforeAnimate`, `karaoke.TimeAfterAnimate`.
    const ScriptSetting& Layout(LayoutSetting setting) const {
        return m_layout[static_cast<std::size_t>(setting)];
    }
    /// The whole text the script was read from.
    std::string_view Text() const { return m_text; }
    /// The line of the statement that gave the offset; 0 when there is none.
    std::size_t OffsetLine() const { return m_nOffsetLine; }

    /// Calls `visit` for every line that begins with "karaoke.add('", in file order.
    void ForEachLyric(const std::function<void(const LyricStatement&)>& visit) const;

    /// What reading found: incomplete lyric statements, unread assignments, no lyric lines, bare
    /// carriage returns.
    const std::vector<ScriptWarning>& Warnings() const { return m_warnings; }

    static constexpr std::string_view kLineKey = "karaoke.add('";

private:
    /// Reads `m_text` converted by `chinese` from now on, and warns of the lines it had to
    /// convert without its regional words.
    void Convert(const ChineseConverter& chinese, std::vector<ScriptWarning>& warnings);

    std::string_view m_text;
    std::string m_strConverted; ///< the text a converted script is read from
    std::string m_strTitle;
    std::string m_strSinger;
    std::string m_strTitleAsMeant;
    std::string m_strSingerAsMeant;
    std::string m_strOffset;
    std::array<ScriptSetting, 3> m_layout;
    std::size_t m_nOffsetLine = 0;
    std::vector<ScriptWarning> m_warnings;
};

/// At most this many warnings of one kind name their lines; the rest are counted in one more.
inline constexpr std::size_t kWarningsPerKind = 10;

} // namespace tolvren
