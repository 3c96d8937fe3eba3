#include "conversion/TimedLines.h"

#include "conversion/FieldUtils.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace tolvren {

namespace {

// Digits alone: no time or duration has a sign.
std::optional<std::int64_t> ParseNumber(std::string_view digits) {
    if (digits.starts_with('-') || digits.starts_with('+')) {
        return std::nullopt;
    }
    return ParseInteger(digits);
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

CappedWarnings::~CappedWarnings() {
    if (m_nNoted > kWarningsPerKind) {
        m_warnings.emplace_back(m_more, 0, m_nNoted - kWarningsPerKind);
    }
}

void CappedWarnings::Note(ScriptWarning warning) {
    if (++m_nNoted <= kWarningsPerKind) {
        m_warnings.push_back(std::move(warning));
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
    if (m_units.empty() || m_timedBy == TimedBy::Line) {
        Move();
        return &m_line;
    }
    // Comma-separated milliseconds, each of one to twelve digits with blanks around it, read in
    // one pass: there is one for every sung unit.
    bool allNumbers = true;
    m_durations.clear();
    const std::string_view durations = statement.durations;
    if (!TrimmedView(durations).empty()) {
        std::int64_t value = 0;
        int digits = 0;
        bool afterDigits = false;
        for (std::size_t i = 0; i <= durations.size() && allNumbers; ++i) {
            const char c = i < durations.size() ? durations[i] : ',';
            if (c == ',') {
                allNumbers = digits > 0;
                m_durations.push_back(value);
                value = 0;
                digits = 0;
                afterDigits = false;
            } else if (c >= '0' && c <= '9' && !afterDigits && digits < 12) {
                value = value * 10 + (c - '0');
                ++digits;
            } else if (c == ' ' || (c >= '\t' && c <= '\r')) {
                afterDigits = digits > 0;
            } else {
                allNumbers = false;
            }
        }
    }
    if (!allNumbers) {
        m_untimed.Note(ScriptWarning(ScriptWarning::Kind::NotDurations, statement.line, 0, 0,
                                     std::string(durations)));
    } else if (m_durations.size() != m_units.size()) {
        m_untimed.Note(ScriptWarning(ScriptWarning::Kind::DurationMismatch, statement.line,
                                     m_durations.size(), m_units.size()));
    } else {
        std::int64_t at = m_line.start;
        for (std::size_t k = 0; k < m_units.size(); ++k) {
            m_line.units.push_back({m_units[k], at, at + m_durations[k]});
            at += m_durations[k];
        }
    }
    Move();
    return &m_line;
}

void LineTimer::Move() {
    if (m_shift == 0) {
        return;
    }
    bool beforeZero = false;
    const auto move = [this, &beforeZero](std::int64_t& time) {
        time += m_shift;
        if (time < 0) {
            time = 0;
            beforeZero = true;
        }
    };
    move(m_line.start);
    move(m_line.end);
    for (TimedUnit& unit : m_line.units) {
        move(unit.start);
        move(unit.end);
    }
    if (beforeZero) {
        m_beforeZero.Note(ScriptWarning(ScriptWarning::Kind::TimeBeforeZero, m_line.line));
    }
}

TimeShift ShiftOf(const Script& script, const TimingOptions& timing,
                  std::vector<ScriptWarning>& warnings) {
    TimeShift shift{timing.shift, false};
    if (timing.applyOffset && !script.Offset().empty()) {
        if (const std::optional<std::int64_t> offset = ParseInteger(script.Offset())) {
            shift.shift -= *offset;
            shift.offsetApplied = true;
        } else {
            warnings.emplace_back(ScriptWarning::Kind::OffsetNotANumber, script.OffsetLine(), 0, 0,
                                  script.Offset());
        }
    }
    return shift;
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

std::int64_t SungEnd(const TimedLine& line) {
    const std::int64_t sung = line.units.empty() ? line.end : line.units.back().end;
    return std::max({line.start, line.end, sung});
}

namespace {

constexpr std::array<std::string_view, 4> kBlanks = {" ", "\t", "\u00A0", "\u3000"};

// Whether a blank can start at the byte `c`: most characters of a lyric are no blank.
bool MayStartBlank(char c) {
    return c == ' ' || c == '\t' || c == '\xC2' || c == '\xE3';
}

} // namespace

std::size_t LeadingBlanks(std::string_view text) {
    if (text.empty() || !MayStartBlank(text.front())) {
        return 0;
    }
    std::size_t length = 0;
    for (bool more = true; more;) {
        more = false;
        for (const std::string_view blank : kBlanks) {
            if (text.substr(length).starts_with(blank)) {
                length += blank.size();
                more = true;
            }
        }
    }
    return length;
}

std::size_t TrailingBlanks(std::string_view text) {
    // A blank ends in a space, a tab, A0 (U+00A0) or 80 (U+3000).
    if (text.empty() || (text.back() != ' ' && text.back() != '\t' && text.back() != '\xA0' &&
                         text.back() != '\x80')) {
        return 0;
    }
    std::size_t length = 0;
    for (bool more = true; more;) {
        more = false;
        for (const std::string_view blank : kBlanks) {
            if (text.substr(0, text.size() - length).ends_with(blank)) {
                length += blank.size();
                more = true;
            }
        }
    }
    return length;
}

void AppendHeaderValue(std::string& out, std::string_view value) {
    for (std::size_t i = 0; i < value.size();) {
        const std::size_t control = ControlCharacterAt(value, i);
        out += control > 0 ? ' ' : value[i];
        i += std::max<std::size_t>(control, 1);
    }
}

void WriteTimedLines(const DocumentInput& input, std::string_view head, LineEnd lineEnd,
                     TextSink* sink, std::vector<ScriptWarning>& warnings,
                     const std::function<void(const TimedLine&, std::string&)>& appendLine,
                     TimedBy timedBy, const std::function<void(std::string&)>& completeHead) {
    bool headWritten = sink == nullptr;
    const auto write = [&](std::string_view piece) {
        if (!headWritten) {
            headWritten = true;
            std::string complete(head);
            if (completeHead) {
                completeHead(complete);
            }
            if (lineEnd == LineEnd::Lf) {
                sink->Write(complete);
            } else {
                sink->WriteText(complete);
            }
        }
        sink->Write(piece);
    };
    std::string piece;
    if (sink != nullptr) {
        piece.reserve(kPieceSize + kPieceSize / 4); // grown once, not doubled up to its size
    }
    LineTimer timer(warnings, input.shift, timedBy);
    input.script.ForEachLyric([&](const LyricStatement& statement) {
        const TimedLine* line = timer.Read(statement);
        if (line == nullptr) {
            return;
        }
        const std::size_t before = piece.size();
        appendLine(*line, piece);
        if (piece.size() > before) {
            piece.append(lineEnd == LineEnd::Lf ? "\n" : "\r\n"); // a lyric holds no LF
        }
        if (sink == nullptr) {
            piece.clear();
        } else if (piece.size() >= kPieceSize) {
            write(piece);
            piece.clear();
        }
    });
    if (sink != nullptr) {
        write(piece);
    }
}

} // namespace tolvren
