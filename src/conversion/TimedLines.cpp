#include "conversion/TimedLines.h"

#include "conversion/FieldUtils.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace tolvren {

namespace {

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

LineTimer::~LineTimer() {
    if (m_nMismatches > kWarningsPerKind) {
        m_warnings.emplace_back(ScriptWarning::Kind::MoreDurationMismatch, 0,
                                m_nMismatches - kWarningsPerKind);
    }
}

const TimedLine* LineTimer::Read(const LyricStatement& statement) {
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
    m_line.line = statement.line;
    m_line.start = *start;
    m_line.end = *end;
    m_line.rest = statement.rest;
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

void LineTimer::NoteUntimed(ScriptWarning warning) {
    if (++m_nMismatches <= kWarningsPerKind) {
        m_warnings.push_back(std::move(warning));
    }
}

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

void AppendHeaderValue(std::string& out, std::string_view value) {
    for (std::size_t i = 0; i < value.size();) {
        const std::size_t control = ControlCharacterAt(value, i);
        out += control > 0 ? ' ' : value[i];
        i += std::max<std::size_t>(control, 1);
    }
}

void WriteTimedLines(const Script& script, std::string_view head, LineEnd lineEnd, TextSink* sink,
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

} // namespace tolvren
