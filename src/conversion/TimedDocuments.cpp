#include "conversion/TimedDocuments.h"

#include "conversion/FieldUtils.h"

#include <array>
#include <charconv>
#include <functional>

namespace tolvren {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Lines are written in pieces of about this size: neither a write per line nor a second copy.
constexpr std::size_t kPieceSize = std::size_t{64} * 1024;

// Hundredths of a second, rounded half up from milliseconds.
std::int64_t Centiseconds(std::int64_t ms) {
    return (ms + 5) / 10;
}

std::optional<std::int64_t> ParseNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 12) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// The length of the UTF-8 character that starts with `lead`; 1 for a byte that starts none.
std::size_t CharacterLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    return lead >= 0xC2 && lead < 0xE0 ? 2 : 1;
}

std::string_view TrimmedView(std::string_view text) {
    constexpr std::string_view whiteSpace = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(whiteSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(whiteSpace) - first + 1);
}

// One sung unit and when it starts and ends, in milliseconds.
struct TimedUnit {
    std::string_view text;
    std::int64_t start = 0;
    std::int64_t end = 0;
};

// A lyric statement read for its timing.
struct TimedLine {
    std::int64_t start = 0;       // S
    std::int64_t end = 0;         // E
    std::string text;             // as shown: apostrophes undoubled, no brackets
    std::vector<TimedUnit> units; // empty when the line has no word timing
};

// Reads the timing of each lyric statement of a document into buffers it keeps from line to
// line, and counts the lines that cannot have word timing so that a script full of them gives a
// handful of warnings, not one each.
class LineTimer {
public:
    explicit LineTimer(std::vector<ScriptWarning>& warnings) : m_warnings(warnings) {}
    LineTimer(const LineTimer&) = delete;
    LineTimer& operator=(const LineTimer&) = delete;
    ~LineTimer() {
        if (m_nMismatches > kWarningsPerKind) {
            m_warnings.emplace_back(ScriptWarning::Kind::MoreDurationMismatch, 0,
                                    m_nMismatches - kWarningsPerKind);
        }
    }

    /// The line's timing, valid until the next call; null when it has none.
    const TimedLine* Read(const LyricStatement& statement) {
        if (!statement.complete) {
            return nullptr; // the script's own reading has said so
        }
        const std::optional<std::int64_t> start = ParseTime(statement.start);
        const std::optional<std::int64_t> end = ParseTime(statement.end);
        if (!start || !end) {
            m_warnings.emplace_back(ScriptWarning::Kind::BadTime, statement.line, 0, 0,
                                    std::string(!start ? statement.start : statement.end));
            return nullptr;
        }
        m_line.start = *start;
        m_line.end = *end;
        m_line.units.clear();
        m_text.assign(statement.text);
        if (m_text.find('\'') != std::string::npos) {
            UndoubleApostrophes(m_text);
        }
        SplitUnits(m_text, m_units);
        m_line.text.clear();
        for (const std::string_view unit : m_units) {
            m_line.text += unit;
        }
        if (m_units.empty()) {
            return &m_line;
        }
        // Comma-separated milliseconds.
        bool allNumbers = true;
        m_durations.clear();
        const std::string_view durations = statement.durations;
        if (!TrimmedView(durations).empty()) {
            std::size_t from = 0;
            for (std::size_t i = 0; i <= durations.size() && allNumbers; ++i) {
                if (i == durations.size() || durations[i] == ',') {
                    const std::string_view field = durations.substr(from, i - from);
                    const std::optional<std::int64_t> ms = ParseNumber(TrimmedView(field));
                    allNumbers = ms.has_value();
                    m_durations.push_back(ms.value_or(0));
                    from = i + 1;
                }
            }
        }
        if (!allNumbers) {
            NoteUntimed(ScriptWarning(ScriptWarning::Kind::NotDurations, statement.line, 0, 0,
                                      std::string(durations)));
            return &m_line;
        }
        if (m_durations.size() != m_units.size()) {
            NoteUntimed(ScriptWarning(ScriptWarning::Kind::DurationMismatch, statement.line,
                                      m_durations.size(), m_units.size()));
            return &m_line;
        }
        std::int64_t at = m_line.start;
        for (std::size_t k = 0; k < m_units.size(); ++k) {
            m_line.units.push_back({m_units[k], at, at + m_durations[k]});
            at += m_durations[k];
        }
        return &m_line;
    }

private:
    // A line written without word timing: the first few are named, the rest counted.
    void NoteUntimed(ScriptWarning warning) {
        if (++m_nMismatches <= kWarningsPerKind) {
            m_warnings.push_back(std::move(warning));
        }
    }

    std::vector<ScriptWarning>& m_warnings;
    std::size_t m_nMismatches = 0;
    TimedLine m_line;
    std::string m_text;
    std::vector<std::string_view> m_units;
    std::vector<std::int64_t> m_durations;
};

void AppendNumber(std::string& out, std::int64_t value, int width) {
    if (width == 2 && value >= 0 && value < 100) {
        out += static_cast<char>('0' + value / 10);
        out += static_cast<char>('0' + value % 10);
        return;
    }
    std::array<char, 24> digits{};
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    for (auto length = end - digits.data(); length < width; ++length) {
        out += '0';
    }
    out.append(digits.data(), end);
}

// "mm:ss.xx", the minutes not wrapped at 60.
void AppendLrcTime(std::string& out, std::int64_t ms) {
    const std::int64_t cs = Centiseconds(ms);
    const std::int64_t minutes = cs / 6000;
    // Two digits hold the minutes of any song; a time past 99 minutes (a script's typo, or a
    // whole concert) writes its minutes whole rather than wrapping them back to the start.
    if (minutes >= 100) {
        AppendNumber(out, minutes, 2);
    }
    const auto digit = [](std::int64_t value) { return static_cast<char>('0' + value); };
    const std::int64_t seconds = cs / 100 % 60;
    const std::array<char, 8> text = {digit(minutes % 100 / 10), digit(minutes % 10), ':',
                                      digit(seconds / 10),       digit(seconds % 10), '.',
                                      digit(cs % 100 / 10),      digit(cs % 10)};
    out.append(minutes >= 100 ? text.data() + 2 : text.data(), minutes >= 100 ? 6 : 8);
}

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

// A header value on its line: a control character (a line feed in a file name that became the
// title, say) would end the line early and start one of its own, so it shows as a blank.
void AppendHeaderValue(std::string& out, std::string_view value) {
    for (std::size_t i = 0; i < value.size();) {
        const std::size_t control = ControlCharacterAt(value, i);
        out += control > 0 ? ' ' : value[i];
        i += std::max<std::size_t>(control, 1);
    }
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

} // namespace

std::optional<std::int64_t> ParseTime(std::string_view text) {
    const std::string_view time = TrimmedView(text);
    const std::size_t dot = std::min(time.find('.'), time.size());
    // Two or three numbers joined by colons, each of at most twelve digits.
    std::int64_t seconds = 0;
    std::int64_t number = 0;
    std::size_t digits = 0;
    int colons = 0;
    for (std::size_t i = 0; i < dot; ++i) {
        const char c = time[i];
        if (c >= '0' && c <= '9' && digits < 12) {
            number = number * 10 + (c - '0');
            ++digits;
        } else if (c == ':' && digits > 0 && colons < 2) {
            seconds = seconds * 60 + number;
            number = 0;
            digits = 0;
            ++colons;
        } else {
            return std::nullopt;
        }
    }
    if (colons == 0 || digits == 0) {
        return std::nullopt;
    }
    seconds = seconds * 60 + number;
    // The fraction: one digit or more, of which the first three count.
    std::int64_t ms = 0;
    if (dot < time.size()) {
        const std::string_view fraction = time.substr(dot + 1);
        if (!ParseNumber(fraction.substr(0, 12)) || fraction.size() > 12) {
            return std::nullopt;
        }
        for (std::size_t i = 0; i < 3; ++i) {
            ms = ms * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
        }
    }
    return seconds * 1000 + ms;
}

void SplitUnits(std::string_view text, std::vector<std::string_view>& units) {
    units.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == '[') {
            const std::size_t close = text.find(']', pos + 1);
            if (close != std::string_view::npos) {
                units.push_back(text.substr(pos + 1, close - pos - 1));
                pos = close + 1;
                continue;
            }
        }
        const std::size_t length =
            std::min(CharacterLength(static_cast<unsigned char>(text[pos])), text.size() - pos);
        units.push_back(text.substr(pos, length));
        pos += length;
    }
}

namespace {

enum class LineEnd { Lf, CrLf };

// Writes `head` (its lines ending in LF) and then for every lyric line with a readable time what
// `appendLine` makes of it, every line ending in `lineEnd`.
void WriteTimedLines(const Script& script, const std::string& head, LineEnd lineEnd, TextSink* sink,
                     std::vector<ScriptWarning>& warnings,
                     const std::function<void(const TimedLine&, std::string&)>& appendLine) {
    if (sink != nullptr) {
        if (lineEnd == LineEnd::Lf) {
            sink->Write(head);
        } else {
            sink->WriteText(head);
        }
    }
    std::string piece;
    LineTimer timer(warnings);
    script.ForEachLyric([&](const LyricStatement& statement) {
        const TimedLine* line = timer.Read(statement);
        if (line == nullptr || sink == nullptr) {
            return;
        }
        appendLine(*line, piece);
        piece.append(lineEnd == LineEnd::Lf ? "\n" : "\r\n"); // a lyric holds no LF of its own
        if (piece.size() >= kPieceSize) {
            sink->Write(piece);
            piece.clear();
        }
    });
    if (sink != nullptr) {
        sink->Write(piece);
    }
}

} // namespace

void WriteLrc(const Script& script, const DocumentHeader& header, TextSink* sink,
              std::vector<ScriptWarning>& warnings) {
    std::string head(kByteOrderMark);
    const auto tag = [&head](std::string_view name, std::string_view value) {
        if (!value.empty()) {
            head.append("[").append(name).append(":");
            AppendHeaderValue(head, value);
            head.append("]\n");
        }
    };
    tag("ti", header.title);
    tag("ar", header.singer);
    tag("by", header.author);
    tag("offset", script.Offset());

    const auto appendLine = [](const TimedLine& line, std::string& out) {
        out += '[';
        AppendLrcTime(out, line.start);
        out += ']';
        if (line.units.empty()) {
            out.append(line.text);
            return;
        }
        for (const TimedUnit& unit : line.units) {
            out += '<';
            AppendLrcTime(out, unit.start);
            out += '>';
            out.append(unit.text);
        }
        out += '<';
        AppendLrcTime(out, line.units.back().end);
        out += '>';
    };
    // LF, as lyrics sites and players write LRC: some parsers take a CR for part of the line.
    WriteTimedLines(script, head, LineEnd::Lf, sink, warnings, appendLine);
}

void WriteAss(const Script& script, const DocumentHeader& header, TextSink* sink,
              std::vector<ScriptWarning>& warnings) {
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
    head.append("PlayResX: 1280\nPlayResY: 720\nWrapStyle: 0\nScaledBorderAndShadow: yes\n");
    if (!header.singer.empty()) {
        headLine("; Singer: ", header.singer);
    }
    if (!header.author.empty()) {
        headLine("; Author: ", header.author);
    }
    const std::string& offset = script.Offset();
    if (!offset.empty() && offset.find_first_not_of("+-0") != std::string::npos) {
        headLine("; Offset: ", offset, " ms, not applied to the times");
    }
    // Sung syllables turn from white (secondary) to gold (primary), on a dark outline.
    head.append("\n[V4+ Styles]\n"
                "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
                "OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, "
                "Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, "
                "MarginV, Encoding\n"
                "Style: Default,Noto Sans CJK SC,56,&H0000C8FF,&H00FFFFFF,&H00302020,&H80000000,"
                "0,0,0,0,100,100,0,0,1,3,1,2,40,40,48,1\n"
                "\n[Events]\n"
                "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, "
                "Text\n");

    const auto appendLine = [](const TimedLine& line, std::string& out) {
        const std::int64_t start = Centiseconds(line.start);
        const std::int64_t sung = line.units.empty() ? line.start : line.units.back().end;
        const std::int64_t end = Centiseconds(std::max(line.end, sung));
        out.append("Dialogue: 0,");
        AppendAssTime(out, start);
        out += ',';
        AppendAssTime(out, end);
        out.append(",Default,,0,0,0,,");
        if (line.units.empty()) {
            // Without a tag the whole line would show in the sung colour from its start.
            if (!line.text.empty()) {
                out.append("{\\kf");
                AppendNumber(out, end - start, 1);
                out += '}';
            }
            AppendAssText(out, line.text);
            return;
        }
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
    };
    WriteTimedLines(script, head, LineEnd::CrLf, sink, warnings, appendLine);
}

} // namespace tolvren
