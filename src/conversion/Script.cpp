#include "conversion/Script.h"

#include "conversion/FieldUtils.h"
#include "conversion/TextFile.h"

#include <array>

namespace tolvren {

namespace {

constexpr std::string_view kTitleKey = "karaoke.tag('歌名'";
constexpr std::string_view kSingerKey = "karaoke.tag('歌手'";
constexpr std::string_view kOffsetKey = "karaoke.TimeOffset";

std::ptrdiff_t IndexOrMinusOne(std::size_t index) {
    return index == std::string_view::npos ? -1 : static_cast<std::ptrdiff_t>(index);
}

constexpr std::string_view kSongnameKey = "karaoke.songname";
constexpr std::string_view kSingerAssignmentKey = "karaoke.singer";

// Whether `line` assigns to `name` (lower case), the name in any case: "karaoke.Rows := 2;".
bool Assigns(std::string_view line, std::string_view name) {
    if (LowerAscii(line.substr(0, name.size())) != name) {
        return false;
    }
    const std::size_t next = line.find_first_not_of(" \t", name.size());
    return next != std::string_view::npos && (line[next] == ':' || line[next] == '=');
}

// "karaoke.songname := '...';" and "karaoke.singer := '...';" name the song the way other
// tools write it; the KMC document reads karaoke.tag(...) only.
std::string_view AssignedName(std::string_view line) {
    for (const std::string_view name : {kSongnameKey, kSingerAssignmentKey}) {
        if (Assigns(line, name)) {
            return name;
        }
    }
    return {};
}

// The settings of the layout, in the order of LayoutSetting.
constexpr std::array<std::string_view, 3> kLayoutKeys = {
    "karaoke.rows", "karaoke.timebeforeanimate", "karaoke.timeafteranimate"};

std::size_t LayoutKeyOf(std::string_view line) {
    std::size_t key = 0;
    while (key < kLayoutKeys.size() && !Assigns(line, kLayoutKeys[key])) {
        ++key;
    }
    return key;
}

// The value of a "NAME := VALUE;" statement: the text strictly between the last '=' and the
// last ';', trimmed.
std::string AssignedValue(std::string_view line) {
    const std::ptrdiff_t equals = IndexOrMinusOne(line.rfind('='));
    const std::ptrdiff_t semicolon = IndexOrMinusOne(line.rfind(';'));
    return Trimmed(MidRange(line, equals + 1, semicolon - 1));
}

// The text of the quoted value that opens at the first apostrophe from `from`, with doubled
// apostrophes undone; without a closing apostrophe, the rest of the line.
std::string QuotedValue(std::string_view line, std::size_t from) {
    std::string value;
    const std::size_t open = line.find('\'', from);
    for (std::size_t i = open == std::string_view::npos ? line.size() : open + 1; i < line.size();
         ++i) {
        if (line[i] == '\'') {
            if (i + 1 == line.size() || line[i + 1] != '\'') {
                break;
            }
            ++i;
        }
        value += line[i];
    }
    return value;
}

} // namespace

LyricStatement ParseLyricStatement(std::string_view line) {
    constexpr std::string_view fieldEnd = "',";
    constexpr std::size_t npos = std::string_view::npos;

    const std::size_t q1 = line.find('\'');
    const std::size_t c1 = q1 == npos ? npos : line.find(fieldEnd, q1 + 1);
    const std::size_t q2 = c1 == npos ? npos : line.find('\'', c1 + 2);
    const std::size_t c2 = q2 == npos ? npos : line.find(fieldEnd, q2 + 1);
    const std::size_t q3 = c2 == npos ? npos : line.find('\'', c2 + 2);
    const std::size_t c3 = q3 == npos ? npos : line.find(fieldEnd, q3 + 1);
    const std::size_t q4 = c3 == npos ? npos : line.find('\'', c3 + 2);
    const std::size_t e4 = q4 == npos ? npos : line.find('\'', q4 + 1);
    LyricStatement statement;
    if (e4 == npos) {
        return statement;
    }
    statement.complete = true;
    statement.start = line.substr(q1 + 1, c1 - q1 - 1);
    statement.end = line.substr(q2 + 1, c2 - q2 - 1);
    statement.text = line.substr(q3 + 1, c3 - q3 - 1);
    statement.durations = line.substr(q4 + 1, e4 - q4 - 1);
    statement.rest = line.substr(e4 + 1);
    return statement;
}

Script::Script(std::string_view text, const ChineseConverter* chinese) : m_text(text) {
    std::vector<ScriptWarning> conversion;
    if (chinese != nullptr) {
        Convert(*chinese, conversion);
    }
    LineReader reader(m_text);
    std::string_view line;
    std::size_t lyricStatements = 0;
    std::size_t incomplete = 0;
    bool assignmentNoted = false;
    std::string assignedTitle;
    std::string assignedSinger;
    std::size_t bareCarriageReturnLines = 0;
    std::size_t lyricLinesRunTogether = 0;
    while (reader.Next(line)) {
        if (line.find('\r') != std::string_view::npos) {
            // What follows a CR alone stays in this line: the statements it holds are not read.
            std::size_t lost = 0;
            for (std::size_t cr = line.find('\r'); cr != std::string_view::npos;
                 cr = line.find('\r', cr + 1)) {
                lost += line.substr(cr + 1).starts_with(kLyricStatementStart) ? 1 : 0;
            }
            if (++bareCarriageReturnLines <= kWarningsPerKind) {
                m_warnings.emplace_back(ScriptWarning::Kind::BareCarriageReturn,
                                        reader.LineNumber(), lost);
            } else {
                lyricLinesRunTogether += lost;
            }
        }
        // A statement counts only where it begins the line: indented or commented-out
        // statements are ignored. A later value replaces an earlier one, even an empty one.
        if (!line.starts_with("karaoke.")) {
            continue;
        }
        if (line.starts_with(kTitleKey)) {
            m_strTitle = GetField(line, '\'', 3);
            m_strTitleAsMeant = QuotedValue(line, kTitleKey.size());
        } else if (line.starts_with(kSingerKey)) {
            m_strSinger = GetField(line, '\'', 3);
            m_strSingerAsMeant = QuotedValue(line, kSingerKey.size());
        } else if (line.starts_with(kOffsetKey)) {
            m_strOffset = AssignedValue(line);
            m_nOffsetLine = reader.LineNumber();
        } else if (line.starts_with(kLyricStatementStart)) {
            ++lyricStatements;
            if (!line.starts_with(kLineKey) || !ParseLyricStatement(line).complete) {
                if (++incomplete <= kWarningsPerKind) {
                    m_warnings.emplace_back(ScriptWarning::Kind::IncompleteLyric,
                                            reader.LineNumber());
                }
            }
        } else if (const std::size_t key = LayoutKeyOf(line); key < kLayoutKeys.size()) {
            m_layout[key] = {AssignedValue(line), reader.LineNumber()};
        } else if (const std::string_view name = AssignedName(line); !name.empty()) {
            (name == kSongnameKey ? assignedTitle : assignedSinger) =
                QuotedValue(line, name.size());
            if (!assignmentNoted) {
                assignmentNoted = true;
                m_warnings.emplace_back(ScriptWarning::Kind::UnreadAssignment, reader.LineNumber(),
                                        0, 0, std::string(name));
            }
        }
    }
    if (m_strTitleAsMeant.empty()) {
        m_strTitleAsMeant = std::move(assignedTitle);
    }
    if (m_strSingerAsMeant.empty()) {
        m_strSingerAsMeant = std::move(assignedSinger);
    }
    if (incomplete > kWarningsPerKind) {
        m_warnings.emplace_back(ScriptWarning::Kind::MoreIncompleteLyric, 0,
                                incomplete - kWarningsPerKind);
    }
    if (bareCarriageReturnLines > kWarningsPerKind) {
        m_warnings.emplace_back(ScriptWarning::Kind::MoreBareCarriageReturn, 0,
                                bareCarriageReturnLines - kWarningsPerKind, lyricLinesRunTogether);
    }
    if (lyricStatements == 0) {
        m_warnings.emplace_back(ScriptWarning::Kind::NoLyricLines);
    }
    m_warnings.insert(m_warnings.end(), conversion.begin(), conversion.end());
}

void Script::Convert(const ChineseConverter& chinese, std::vector<ScriptWarning>& warnings) {
    // Only the converted parts are written anew: every other byte, line ends included, stays.
    m_strConverted.reserve(m_text.size() + m_text.size() / 8);
    std::size_t copied = 0;
    const auto copyUpTo = [&](std::string_view part) {
        const auto start = static_cast<std::size_t>(part.data() - m_text.data());
        m_strConverted.append(m_text.substr(copied, start - copied));
        copied = start + part.size();
    };
    std::size_t withoutRegionalWords = 0;
    LineReader reader(m_text);
    std::string_view line;
    while (reader.Next(line)) {
        std::size_t valueFrom = 0;
        if (line.starts_with(kLineKey)) {
            const LyricStatement statement = ParseLyricStatement(line);
            if (!statement.complete) {
                continue;
            }
            copyUpTo(statement.text);
            const ChineseMode used = chinese.ConvertSung(statement.text, m_strConverted);
            if (used != chinese.Mode() && ++withoutRegionalWords <= kWarningsPerKind) {
                warnings.emplace_back(ScriptWarning::Kind::WithoutRegionalWords,
                                      reader.LineNumber(), 0, 0,
                                      std::string(ChineseModeName(used)));
            }
            continue;
        }
        // The rest of a title's or singer's line, whichever way it is read.
        if (line.starts_with(kTitleKey)) {
            valueFrom = kTitleKey.size();
        } else if (line.starts_with(kSingerKey)) {
            valueFrom = kSingerKey.size();
        } else if (const std::string_view name = AssignedName(line); !name.empty()) {
            valueFrom = name.size();
        } else {
            continue;
        }
        const std::string_view value = line.substr(valueFrom);
        copyUpTo(value);
        chinese.Convert(value, m_strConverted);
    }
    m_strConverted.append(m_text.substr(copied));
    m_text = m_strConverted;
    if (withoutRegionalWords > kWarningsPerKind) {
        warnings.emplace_back(ScriptWarning::Kind::MoreWithoutRegionalWords, 0,
                              withoutRegionalWords - kWarningsPerKind);
    }
}

void Script::ForEachLyric(const std::function<void(const LyricStatement&)>& visit) const {
    LineReader reader(m_text);
    std::string_view line;
    while (reader.Next(line)) {
        if (line.starts_with(kLineKey)) {
            LyricStatement statement = ParseLyricStatement(line);
            statement.line = reader.LineNumber();
            visit(statement);
        }
    }
}

} // namespace tolvren
