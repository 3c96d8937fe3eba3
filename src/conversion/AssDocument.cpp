#include "conversion/AssDocument.h"

#include "conversion/FieldUtils.h"
#include "conversion/TimedLines.h"

#include <algorithm>
#include <charconv>
#include <cmath>

// Karaoke as a KTV screen shows it: the lines alternate between the rows, each shown a while
// before it is sung, all in the unsung colour, swept into the sung colour unit by unit, and left
// a while after. All times here are in hundredths of a second, as ASS writes them.

namespace tolvren {

namespace {

constexpr std::int64_t kMaxFadeCs = 30;    // fades never take more than 300 ms
constexpr std::int64_t kTitleCardCs = 300; // the intro needs 3 s for the title to be read
constexpr std::size_t kMaxExtraRows = 16;  // more than a frame has room for

// "h:mm:ss.xx".
void AppendAssTime(std::string& out, std::int64_t cs) {
    AppendNumber(out, cs / 360000, 1);
    out += ':';
    AppendNumber(out, cs / 6000 % 60, 2);
    out += ':';
    AppendNumber(out, cs / 100 % 60, 2);
    out += '.';
    AppendNumber(out, cs % 100, 2);
}

// Braces and backslashes start override tags in ASS; a lyric shows their full-width forms.
void AppendAssText(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '{':
            out += "｛";
            break;
        case '}':
            out += "｝";
            break;
        case '\\':
            out += "＼";
            break;
        default:
            out += c;
        }
    }
}

// The value of a setting the user left to the script, read as the option of the same meaning
// reads it; the default, with a warning at its line, when the script's value makes no sense.
std::int64_t FromScript(const ScriptSetting& setting, AssOption option, std::int64_t fallback,
                        std::vector<ScriptWarning>& warnings) {
    if (setting.line == 0) {
        return fallback;
    }
    AssOptions read;
    if (!SetAssOption(read, option, setting.value)) {
        return read.rows.value_or(read.leadMs.value_or(read.lingerMs.value_or(fallback)));
    }
    warnings.emplace_back(option == AssOption::Rows ? ScriptWarning::Kind::BadRows
                                                    : ScriptWarning::Kind::BadAnimateTime,
                          setting.line, static_cast<std::size_t>(fallback), 0, setting.value);
    return fallback;
}

// The fifth argument of a lyric statement ("RGB(255,0,0)" of ", RGB(255,0,0));"); empty when
// the statement has four.
std::string FifthArgument(std::string_view rest) {
    const std::string after = Trimmed(rest);
    if (!after.starts_with(',')) {
        return {};
    }
    const std::size_t close = after.rfind(')');
    return Trimmed(
        std::string_view(after).substr(1, close == std::string::npos ? close : close - 1));
}

// "RGB(r, g, b)", blanks anywhere between its parts, as the colour tag's value "&HBBGGRR&";
// empty when it is no such colour.
std::string LineColour(std::string_view argument) {
    std::string_view rest = argument;
    const auto take = [&rest](std::string_view token) {
        const std::size_t at = rest.find_first_not_of(" \t");
        if (at == std::string_view::npos || LowerAscii(rest.substr(at, token.size())) != token) {
            return false;
        }
        rest.remove_prefix(at + token.size());
        return true;
    };
    std::array<std::uint8_t, 3> parts{};
    if (!take("rgb") || !take("(")) {
        return {};
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t at = std::min(rest.find_first_not_of(" \t"), rest.size());
        const std::size_t after = std::min(rest.find_first_not_of("0123456789", at), rest.size());
        const auto [end, error] = std::from_chars(rest.data() + at, rest.data() + after, parts[i]);
        if (at == after || error != std::errc()) {
            return {}; // no number, or one past 255
        }
        rest.remove_prefix(after);
        if (!take(i + 1 < parts.size() ? "," : ")")) {
            return {};
        }
    }
    if (rest.find_first_not_of(" \t") != std::string_view::npos) {
        return {};
    }
    std::string colour = AssColour(parts[0], parts[1], parts[2]); // "&H00BBGGRR"
    return colour.erase(2, 2).append("&");
}

constexpr std::array<std::string_view, kAssMaxRows> kRowStyles = {"Row1", "Row2", "Row3", "Row4"};

// Where the rows of a document with a given number of rows lie: their styles, and what an extra
// row needs to lie beyond them.
struct RowLayout {
    std::string styles;          ///< the "Style:" lines of the rows and the title card
    int marginV = 0;             ///< the margin of the row nearest the edge the rows stand on
    int step = 0;                ///< from one row to the next
    std::string_view extraStyle; ///< the row beside which extra rows are stacked
};

class AssDocument : public DocumentWriter {
public:
    explicit AssDocument(const AssOptions& options);
    void Write(const DocumentInput& input, TextSink* sink,
               std::vector<ScriptWarning>& warnings) const override;

private:
    AssOptions m_options;
    std::string m_strFontsize; ///< the rows', as the title card's second line writes it
    std::array<RowLayout, kAssMaxRows> m_layouts; ///< for 1, 2, 3 and 4 rows
};

AssDocument::AssDocument(const AssOptions& options) : m_options(options) {
    const AssStyle style = AssRowStyle(options);
    const auto field = [&style](AssStyleField f) -> const std::string& {
        return style[static_cast<std::size_t>(f)];
    };
    m_strFontsize = field(AssStyleField::Fontsize);
    double size = 0;
    std::from_chars(m_strFontsize.data(), m_strFontsize.data() + m_strFontsize.size(), size);
    const int side = std::stoi(field(AssStyleField::MarginL));
    const int chosenAlignment =
        options.style[static_cast<std::size_t>(AssStyleField::Alignment)].empty()
            ? 0
            : std::stoi(field(AssStyleField::Alignment));
    const bool top = chosenAlignment >= 7;

    const auto styleLine = [&style](std::string_view name, int alignment, int marginL, int marginV,
                                    const std::string& fontsize) {
        AssStyle row = style;
        row[static_cast<std::size_t>(AssStyleField::Fontsize)] = fontsize;
        row[static_cast<std::size_t>(AssStyleField::Alignment)] = std::to_string(alignment);
        row[static_cast<std::size_t>(AssStyleField::MarginL)] = std::to_string(marginL);
        row[static_cast<std::size_t>(AssStyleField::MarginV)] = std::to_string(marginV);
        std::string line = "Style: ";
        line.append(name);
        for (const std::string& value : row) {
            line.append(",").append(value);
        }
        return line.append("\n");
    };
    for (int rows = 1; rows <= kAssMaxRows; ++rows) {
        RowLayout& layout = m_layouts[rows - 1];
        layout.marginV = std::stoi(field(AssStyleField::MarginV));
        layout.step = std::max(1, static_cast<int>(std::lround(size * 1.5)));
        // The rows step from left to right, top to bottom, the last at the right (two rows: the
        // first on the upper row at the left, the second below it at the right); one row is
        // centred. A chosen alignment puts every row there.
        const int indent = (options.width - 2 * side) / (2 * rows);
        for (int row = 0; row < rows; ++row) {
            int alignment = chosenAlignment;
            int marginL = side;
            if (chosenAlignment == 0) {
                alignment = rows == 1 ? 2 : row == rows - 1 ? 3 : 1;
                marginL = alignment == 1 ? side + row * indent : side;
            }
            const int fromEdge = top ? row : rows - 1 - row;
            layout.styles += styleLine(kRowStyles[row], alignment, marginL,
                                       layout.marginV + fromEdge * layout.step, m_strFontsize);
        }
        layout.extraStyle = kRowStyles[top ? rows - 1 : 0];
        layout.styles +=
            styleLine("Title", 5, side, layout.marginV, std::to_string(std::lround(size * 1.25)));
    }
}

// One lyric line as it is laid out.
struct PlacedLine {
    std::int64_t start = 0; ///< when it is sung
    std::int64_t end = 0;
    std::int64_t appear = 0; ///< when it is on screen
    std::int64_t vanish = 0;
    std::size_t row = 0;  ///< from the top; `rows` and beyond are extra rows
    std::size_t body = 0; ///< its \kf text in the document's buffer, from here to `bodyEnd`
    std::size_t bodyEnd = 0;
    std::string colour; ///< its own sung colour ("&HBBGGRR&"), if it has one
};

// The rows of one document as its lines take them, in script order, each line the next row of
// the cycle. A row is free for a line once the row's last line has been sung by the line's start;
// that line then gives the row up as soon as the new line wants it. With no row free, the line is
// shown while it is sung on an extra row beyond the others.
class RowCycle {
public:
    RowCycle(std::size_t rows, std::int64_t lead, std::int64_t linger)
        : m_nRows(rows), m_lead(lead), m_linger(linger) {}

    /// Places `line` (when it is sung is set) after `lines`, the lines placed before it, whose
    /// times it may cut short. False when it went on an extra row.
    bool Place(PlacedLine& line, std::vector<PlacedLine>& lines) {
        std::size_t tried = 0;
        while (tried < m_nRows && m_holder[(m_next + tried) % m_nRows] &&
               lines[*m_holder[(m_next + tried) % m_nRows]].end > line.start) {
            ++tried;
        }
        if (tried == m_nRows) {
            PlaceOnExtraRow(line, lines);
            return false;
        }
        const std::size_t row = (m_next + tried) % m_nRows;
        line.appear = std::max<std::int64_t>(0, line.start - m_lead);
        if (m_holder[row]) {
            PlacedLine& before = lines[*m_holder[row]];
            line.appear = std::max(line.appear, before.end);
            before.vanish = std::min(before.vanish, line.appear);
        }
        line.vanish = line.end + m_linger;
        line.row = row;
        m_holder[row] = lines.size();
        m_next = (row + 1) % m_nRows;
        return true;
    }

private:
    void PlaceOnExtraRow(PlacedLine& line, const std::vector<PlacedLine>& lines) {
        std::size_t extra = 0;
        while (extra < m_extraHolders.size() && lines[m_extraHolders[extra]].end > line.start) {
            ++extra;
        }
        if (extra == kMaxExtraRows) {
            // More lines at once than any frame has rows for (a broken script): the row freed
            // first, where libass moves one of two lines that meet.
            extra = static_cast<std::size_t>(
                std::min_element(m_extraHolders.begin(), m_extraHolders.end(),
                                 [&lines](std::size_t a, std::size_t b) {
                                     return lines[a].end < lines[b].end;
                                 }) -
                m_extraHolders.begin());
        } else if (extra == m_extraHolders.size()) {
            m_extraHolders.push_back(0);
        }
        m_extraHolders[extra] = lines.size();
        line.appear = line.start;
        line.vanish = line.end;
        line.row = m_nRows + extra;
    }

    std::size_t m_nRows;
    std::int64_t m_lead;
    std::int64_t m_linger;
    std::array<std::optional<std::size_t>, kAssMaxRows> m_holder; ///< each row's last line
    std::vector<std::size_t> m_extraHolders;
    std::size_t m_next = 0;
};

// The line's units, each swept over its own time: "{\kf34}一{\kf38}时…".
void AppendSweep(const TimedLine& line, std::int64_t start, std::int64_t end, std::string& out) {
    // Each duration from rounded boundaries, so that they add up to the line exactly.
    std::int64_t before = start;
    for (const TimedUnit& unit : line.units) {
        const std::int64_t after = Centiseconds(unit.end);
        out.append("{\\kf");
        AppendNumber(out, after - before, 1);
        out += '}';
        AppendAssText(out, unit.text);
        before = after;
    }
    if (line.units.empty()) {
        // Without a tag the whole line would show in the sung colour from its start.
        out.append("{\\kf");
        AppendNumber(out, end - start, 1);
        out += '}';
        AppendAssText(out, line.text);
    }
}

void AssDocument::Write(const DocumentInput& input, TextSink* sink,
                        std::vector<ScriptWarning>& warnings) const {
    using Kind = ScriptWarning::Kind;
    const Script& script = input.script;
    const auto rows = static_cast<std::size_t>(
        m_options.rows ? *m_options.rows
                       : FromScript(script.Layout(LayoutSetting::Rows), AssOption::Rows,
                                    kAssDefaultRows, warnings));
    const std::int64_t leadMs = m_options.leadMs
                                    ? *m_options.leadMs
                                    : FromScript(script.Layout(LayoutSetting::TimeBeforeAnimate),
                                                 AssOption::Lead, kAssDefaultLeadMs, warnings);
    const std::int64_t lingerMs =
        m_options.lingerMs ? *m_options.lingerMs
                           : FromScript(script.Layout(LayoutSetting::TimeAfterAnimate),
                                        AssOption::Linger, kAssDefaultLingerMs, warnings);
    const std::int64_t lead = Centiseconds(leadMs);
    const std::int64_t linger = Centiseconds(lingerMs);

    std::vector<PlacedLine> lines;
    std::string bodies; ///< the lines' sweeps, one after another
    {
        RowCycle cycle(rows, lead, linger);
        CappedWarnings badColours(Kind::MoreBadLineColour, warnings);
        CappedWarnings noFreeRow(Kind::MoreNoFreeRow, warnings);
        LineTimer timer(warnings, input.shift);
        script.ForEachLyric([&](const LyricStatement& statement) {
            const TimedLine* line = timer.Read(statement);
            if (line == nullptr || line->text.empty()) {
                return; // an empty line has nothing to show
            }
            PlacedLine placed;
            placed.start = Centiseconds(line->start);
            const std::int64_t sung = line->units.empty() ? line->start : line->units.back().end;
            placed.end = Centiseconds(std::max(line->end, sung));
            if (const std::string fifth = FifthArgument(line->rest); !fifth.empty()) {
                placed.colour = LineColour(fifth);
                if (placed.colour.empty()) {
                    badColours.Note(ScriptWarning(Kind::BadLineColour, line->line, 0, 0, fifth));
                }
            }
            if (!cycle.Place(placed, lines)) {
                noFreeRow.Note(ScriptWarning(Kind::NoFreeRow, line->line));
            }
            if (sink != nullptr) {
                placed.body = bodies.size();
                AppendSweep(*line, placed.start, placed.end, bodies);
                placed.bodyEnd = bodies.size();
            }
            lines.push_back(std::move(placed));
        });
    }
    if (sink == nullptr) {
        return;
    }

    const DocumentHeader& header = input.header;
    const RowLayout& layout = m_layouts[rows - 1];
    std::string head(kByteOrderMark);
    head.append("[Script Info]\n");
    head.append("; Written by Tolvren from a KSC script\n");
    const auto headLine = [&head](std::string_view start, std::string_view value,
                                  std::string_view end = {}) {
        head.append(start);
        AppendHeaderValue(head, value);
        head.append(end).append("\n");
    };
    headLine("Title: ", header.title);
    head.append("ScriptType: v4.00+\n");
    head.append("PlayResX: ").append(std::to_string(m_options.width));
    head.append("\nPlayResY: ").append(std::to_string(m_options.height));
    head.append("\nWrapStyle: 0\nScaledBorderAndShadow: yes\n");
    if (!header.singer.empty()) {
        headLine("; Singer: ", header.singer);
    }
    if (!header.author.empty()) {
        headLine("; Author: ", header.author);
    }
    const std::string_view offset = header.offset;
    if (!offset.empty() && offset.find_first_not_of("+-0") != std::string_view::npos) {
        headLine("; Offset: ", offset, " ms, not applied to the times");
    }
    head.append("; Layout: ").append(std::to_string(rows));
    head.append(rows == 1 ? " row" : " rows").append(", each line shown ");
    head.append(std::to_string(leadMs)).append(" ms before it is sung and ");
    head.append(std::to_string(lingerMs)).append(" ms after\n");
    // Syllables are swept from the unsung colour (secondary) into the sung one (primary).
    head.append("\n[V4+ Styles]\n"
                "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
                "OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, "
                "Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, "
                "MarginV, Encoding\n");
    head.append(layout.styles);
    head.append("\n[Events]\n"
                "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, "
                "Text\n");
    sink->WriteText(head);

    std::string piece;
    const auto event = [&piece](std::int64_t from, std::int64_t to, std::string_view style,
                                std::int64_t marginV) {
        piece.append("Dialogue: 0,");
        AppendAssTime(piece, from);
        piece += ',';
        AppendAssTime(piece, to);
        piece.append(",").append(style).append(",,0,0,");
        AppendNumber(piece, marginV, 1);
        piece.append(",,");
    };
    const auto fade = [&piece](std::int64_t in, std::int64_t out) {
        piece.append("\\fad(");
        AppendNumber(piece, std::min(in, kMaxFadeCs) * 10, 1);
        piece += ',';
        AppendNumber(piece, std::min(out, kMaxFadeCs) * 10, 1);
        piece += ')';
    };

    // The title card, while no line is on screen yet.
    std::int64_t firstAppear = lines.empty() ? 0 : lines.front().appear;
    for (const PlacedLine& line : lines) {
        firstAppear = std::min(firstAppear, line.appear);
    }
    const std::string& title = script.TitleAsMeant();
    if (m_options.titleCard && (!title.empty() || !header.singer.empty()) &&
        firstAppear >= kTitleCardCs) {
        event(0, firstAppear, "Title", 0);
        piece += '{';
        fade(kMaxFadeCs, kMaxFadeCs);
        piece += '}';
        std::string text;
        AppendHeaderValue(text, title);
        AppendAssText(piece, text);
        if (!title.empty() && !header.singer.empty()) {
            piece.append("\\N{\\fs").append(m_strFontsize).append("}");
        }
        text.clear();
        AppendHeaderValue(text, header.singer);
        AppendAssText(piece, text);
        piece.append("\r\n");
    }

    for (const PlacedLine& line : lines) {
        const bool extra = line.row >= rows;
        event(line.appear, line.vanish, extra ? layout.extraStyle : kRowStyles[line.row],
              extra ? layout.marginV + static_cast<std::int64_t>(line.row) * layout.step : 0);
        // Before its start the line waits, all unsung, in an empty leading syllable.
        const std::int64_t wait = line.start - line.appear;
        const std::int64_t after = line.vanish - line.end;
        if (wait > 0 || after > 0 || !line.colour.empty()) {
            piece += '{';
            if (wait > 0 || after > 0) {
                fade(wait, after);
            }
            if (!line.colour.empty()) {
                piece.append("\\1c").append(line.colour);
            }
            if (wait > 0) {
                piece.append("\\k");
                AppendNumber(piece, wait, 1);
            }
            piece += '}';
        }
        piece.append(std::string_view(bodies).substr(line.body, line.bodyEnd - line.body));
        piece.append("\r\n");
        if (piece.size() >= kPieceSize) {
            sink->Write(piece);
            piece.clear();
        }
    }
    sink->Write(piece);
}

} // namespace

std::unique_ptr<DocumentWriter> MakeAssWriter(const DocumentOptions& options) {
    return std::make_unique<AssDocument>(options.ass);
}

} // namespace tolvren
