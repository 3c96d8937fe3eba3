#include "conversion/TimedDocuments.h"

#include "conversion/FieldUtils.h"

#include <charconv>
#include <fmt/format.h>

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
    std::int64_t value = 0;
    if (digits.empty() || digits.size() > 12 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
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

// Reads the timing of each lyric statement of a document, and keeps the count of lines that
// cannot have word timing so that a script full of them gives a handful of warnings, not one each.
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

    std::optional<TimedLine> Read(const LyricStatement& statement) {
        if (!statement.complete) {
            return std::nullopt; // the script's own reading has said so
        }
        const std::optional<std::int64_t> start = ParseTime(statement.start);
        const std::optional<std::int64_t> end = ParseTime(statement.end);
        if (!start || !end) {
            m_warnings.emplace_back(ScriptWarning::Kind::BadTime, statement.line, 0, 0,
                                    std::string(!start ? statement.start : statement.end));
            return std::nullopt;
        }
        TimedLine line;
        line.start = *start;
        line.end = *end;
        std::string text(statement.text);
        ReplaceAll(text, "'", "''");
        std::vector<std::string> units = SplitUnits(text);
        for (const std::string& unit : units) {
            line.text += unit;
        }
        const std::vector<std::string_view> fields = Durations(statement.durations);
        std::vector<std::int64_t> durations;
        for (const std::string_view field : fields) {
            if (const std::optional<std::int64_t> ms = ParseNumber(Trimmed(field))) {
                durations.push_back(*ms);
            }
        }
        if (units.empty()) {
            return line;
        }
        if (durations.size() != units.size() || durations.size() != fields.size()) {
            if (++m_nMismatches <= kWarningsPerKind) {
                m_warnings.emplace_back(ScriptWarning::Kind::DurationMismatch, statement.line,
                                        durations.size(), units.size());
            }
            return line;
        }
        std::int64_t at = line.start;
        for (std::size_t k = 0; k < units.size(); ++k) {
            line.units.push_back({std::move(units[k]), at, at + durations[k]});
            at += durations[k];
        }
        return line;
    }

private:
    static std::vector<std::string_view> Durations(std::string_view text) {
        std::vector<std::string_view> fields;
        if (Trimmed(text).empty()) {
            return fields;
        }
        std::size_t pos = 0;
        for (;;) {
            const std::size_t comma = text.find(',', pos);
            fields.push_back(text.substr(pos, comma - pos));
            if (comma == std::string_view::npos) {
                return fields;
            }
            pos = comma + 1;
        }
    }

    std::vector<ScriptWarning>& m_warnings;
    std::size_t m_nMismatches = 0;
};

std::string LrcTime(std::int64_t ms) {
    const std::int64_t cs = Centiseconds(ms);
    return fmt::format("{:02}:{:02}.{:02}", cs / 6000, cs / 100 % 60, cs % 100);
}

std::string AssTime(std::int64_t cs) {
    return fmt::format("{}:{:02}:{:02}.{:02}", cs / 360000, cs / 6000 % 60, cs / 100 % 60,
                       cs % 100);
}

// Braces and backslashes start override tags in ASS; a lyric shows their full-width forms.
std::string AssText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
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
    return out;
}

} // namespace

std::optional<std::int64_t> ParseTime(std::string_view text) {
    const std::string trimmed = Trimmed(text);
    std::string_view rest = trimmed;
    std::int64_t ms = 0;
    const std::size_t dot = rest.find('.');
    if (dot != std::string_view::npos) {
        std::string fraction(rest.substr(dot + 1, 3));
        if (fraction.empty() || !ParseNumber(rest.substr(dot + 1))) {
            return std::nullopt;
        }
        fraction.resize(3, '0');
        ms = *ParseNumber(fraction);
        rest = rest.substr(0, dot);
    }
    std::int64_t seconds = 0;
    int parts = 0;
    for (std::size_t pos = 0;; ++parts) {
        const std::size_t colon = rest.find(':', pos);
        const std::optional<std::int64_t> part = ParseNumber(rest.substr(pos, colon - pos));
        if (!part || parts == 3) {
            return std::nullopt;
        }
        seconds = seconds * 60 + *part;
        if (colon == std::string_view::npos) {
            break;
        }
        pos = colon + 1;
    }
    return parts == 0 ? std::nullopt : std::optional<std::int64_t>(seconds * 1000 + ms);
}

std::vector<std::string> SplitUnits(std::string_view text) {
    std::vector<std::string> units;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == '[') {
            const std::size_t close = text.find(']', pos + 1);
            if (close != std::string_view::npos) {
                units.emplace_back(text.substr(pos + 1, close - pos - 1));
                pos = close + 1;
                continue;
            }
        }
        const std::size_t length =
            std::min(CharacterLength(static_cast<unsigned char>(text[pos])), text.size() - pos);
        units.emplace_back(text.substr(pos, length));
        pos += length;
    }
    return units;
}

void WriteLrc(const Script& script, const DocumentHeader& header, TextSink* sink,
              std::vector<ScriptWarning>& warnings) {
    std::string piece(kByteOrderMark);
    const auto tag = [&piece](std::string_view name, std::string_view value) {
        if (!value.empty()) {
            piece.append("[").append(name).append(":").append(value).append("]\n");
        }
    };
    tag("ti", header.title);
    tag("ar", script.Singer());
    tag("by", header.author);
    tag("offset", script.Offset());

    LineTimer timer(warnings);
    script.ForEachLyric([&](const LyricStatement& statement) {
        const std::optional<TimedLine> line = timer.Read(statement);
        if (!line || sink == nullptr) {
            return;
        }
        piece.append("[").append(LrcTime(line->start)).append("]");
        if (line->units.empty()) {
            piece.append(line->text);
        } else {
            for (const TimedUnit& unit : line->units) {
                piece.append("<").append(LrcTime(unit.start)).append(">").append(unit.text);
            }
            piece.append("<").append(LrcTime(line->units.back().end)).append(">");
        }
        piece.append("\n");
        if (piece.size() >= kPieceSize) {
            sink->WriteText(piece);
            piece.clear();
        }
    });
    if (sink != nullptr) {
        sink->WriteText(piece);
    }
}

void WriteAss(const Script& script, const DocumentHeader& header, TextSink* sink,
              std::vector<ScriptWarning>& warnings) {
    std::string piece(kByteOrderMark);
    piece.append("[Script Info]\n");
    piece.append("; Written by Tolvren from a KSC script\n");
    piece.append("Title: ").append(header.title).append("\n");
    piece.append("ScriptType: v4.00+\n");
    piece.append("PlayResX: 1280\nPlayResY: 720\nWrapStyle: 0\nScaledBorderAndShadow: yes\n");
    if (!script.Singer().empty()) {
        piece.append("; Singer: ").append(script.Singer()).append("\n");
    }
    if (!header.author.empty()) {
        piece.append("; Author: ").append(header.author).append("\n");
    }
    const std::string& offset = script.Offset();
    if (!offset.empty() && offset.find_first_not_of("+-0") != std::string::npos) {
        piece.append("; Offset: ").append(offset).append(" ms, not applied to the times\n");
    }
    // Sung syllables turn from white (secondary) to gold (primary), on a dark outline.
    piece.append("\n[V4+ Styles]\n"
                 "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
                 "OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, "
                 "Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, "
                 "MarginV, Encoding\n"
                 "Style: Default,Noto Sans CJK SC,56,&H0000C8FF,&H00FFFFFF,&H00302020,&H80000000,"
                 "0,0,0,0,100,100,0,0,1,3,1,2,40,40,48,1\n"
                 "\n[Events]\n"
                 "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, "
                 "Text\n");

    LineTimer timer(warnings);
    script.ForEachLyric([&](const LyricStatement& statement) {
        const std::optional<TimedLine> line = timer.Read(statement);
        if (!line || sink == nullptr) {
            return;
        }
        const std::int64_t start = Centiseconds(line->start);
        const std::int64_t sung = line->units.empty() ? line->start : line->units.back().end;
        const std::int64_t end = Centiseconds(std::max(line->end, sung));
        piece.append("Dialogue: 0,").append(AssTime(start)).append(",").append(AssTime(end));
        piece.append(",Default,,0,0,0,,");
        if (line->units.empty()) {
            piece.append(AssText(line->text));
        } else {
            // Each duration from rounded boundaries, so that they add up to the line exactly.
            std::int64_t before = start;
            for (const TimedUnit& unit : line->units) {
                const std::int64_t after = Centiseconds(unit.end);
                piece.append(fmt::format("{{\\kf{}}}", after - before)).append(AssText(unit.text));
                before = after;
            }
        }
        piece.append("\n");
        if (piece.size() >= kPieceSize) {
            sink->WriteText(piece);
            piece.clear();
        }
    });
    if (sink != nullptr) {
        sink->WriteText(piece);
    }
}

} // namespace tolvren
