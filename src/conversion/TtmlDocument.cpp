#include "conversion/TtmlDocument.h"

#include "conversion/FieldUtils.h"
#include "conversion/LanguageGuess.h"
#include "conversion/TimedLines.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>

namespace tolvren {

namespace {

// The length of a character at byte `i` that XML 1.0 cannot hold: a C0 control other than tab,
// LF and CR, or U+FFFE, U+FFFF; 0 for anything else.
std::size_t ForbiddenInXmlAt(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20) {
        return c == '\t' || c == '\n' || c == '\r' ? 0 : 1;
    }
    const std::string_view rest = text.substr(i);
    return rest.starts_with("\xEF\xBF\xBE") || rest.starts_with("\xEF\xBF\xBF") ? 3 : 0;
}

// Whether a byte stands in XML character data as it is: no control, no markup, and not the EF
// that U+FFFE and U+FFFF begin with.
bool IsPlainXml(char byte) {
    const auto c = static_cast<unsigned char>(byte);
    return c >= 0x20 && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'' && c != 0xEF;
}

// `text` as XML character data, every markup character escaped, so that the document is
// well-formed whatever the script holds; what XML cannot hold is left out and counted. Runs of
// plain bytes are copied whole.
void AppendXmlText(std::string& out, std::string_view text, std::size_t& leftOut) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsPlainXml(text[i])) {
            continue;
        }
        out.append(text.substr(run, i - run));
        run = i + 1;
        if (const std::size_t forbidden = ForbiddenInXmlAt(text, i); forbidden > 0) {
            ++leftOut;
            i += forbidden - 1;
            run = i + 1;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            run = i; // a tab, a line end, or a character that starts with EF
        }
    }
    out.append(text.substr(run));
}

// A time as Apple Music and the players of its lyrics write it: "27.487", "1:02.345", the minutes
// past 59 not wrapped into hours ("61:02.345"), at `at`; returns where it ends. There are two for
// every sung unit, so they are written digit by digit, and the one a unit begins with, which is
// where the unit before it ended, is copied (`Interval`).
constexpr std::size_t kTimeSize = 24; // the most a time takes: 14 digits of minutes and ":ss.fff"

char* WriteTime(char* at, std::int64_t ms) {
    const std::int64_t minutes = ms / 60000;
    const auto seconds = static_cast<std::uint32_t>(ms / 1000 % 60);
    const auto fraction = static_cast<std::uint32_t>(ms % 1000);
    const auto digit = [](std::uint32_t value) { return static_cast<char>('0' + value); };
    if (minutes == 0) {
        if (seconds >= 10) {
            *at++ = digit(seconds / 10);
        }
    } else {
        if (minutes >= 100) {
            at = std::to_chars(at, at + kTimeSize, minutes).ptr;
        } else {
            const auto m = static_cast<std::uint32_t>(minutes);
            if (m >= 10) {
                *at++ = digit(m / 10);
            }
            *at++ = digit(m % 10);
        }
        *at++ = ':';
        *at++ = digit(seconds / 10);
    }
    *at++ = digit(seconds % 10);
    *at++ = '.';
    *at++ = digit(fraction / 100);
    *at++ = digit(fraction / 10 % 10);
    *at++ = digit(fraction % 10);
    return at;
}

// `open`, then ` begin="…" end="…"`, then `tail`, written into a buffer of its own and appended
// at once: most of a document is spans.
class Interval {
public:
    /// The most that `tail` may hold.
    static constexpr std::size_t kTailSize = 64;

    void Append(std::string& out, std::string_view open, std::int64_t begin, std::int64_t end,
                std::initializer_list<std::string_view> tail = {}) {
        char* at = std::copy(open.begin(), open.end(), m_text.data());
        at = std::copy_n(" begin=\"", 8, at);
        if (begin == m_lastEnd && m_nLastEndSize > 0) {
            at = std::copy_n(m_lastEndText.data(), m_nLastEndSize, at);
        } else {
            at = WriteTime(at, begin);
        }
        at = std::copy_n("\" end=\"", 7, at);
        char* const endText = at;
        at = WriteTime(at, end);
        m_lastEnd = end;
        m_nLastEndSize = static_cast<std::size_t>(at - endText);
        std::copy_n(endText, m_nLastEndSize, m_lastEndText.data());
        *at++ = '"';
        for (const std::string_view piece : tail) {
            at = std::copy(piece.begin(), piece.end(), at);
        }
        out.append(m_text.data(), static_cast<std::size_t>(at - m_text.data()));
    }

private:
    std::array<char, 16 + 16 + 2 * kTimeSize + kTailSize> m_text{};
    std::array<char, kTimeSize> m_lastEndText{};
    std::int64_t m_lastEnd = 0;
    std::size_t m_nLastEndSize = 0;
};

// One span for the unit, its blanks around it as text: the players take spaces between spans
// for the gaps between words, and drop a span that holds nothing else.
void AppendUnit(std::string& out, const TimedUnit& unit, std::size_t& leftOut, Interval& interval) {
    const std::string_view text = unit.text;
    const std::size_t leading = LeadingBlanks(text);
    if (leading == text.size()) {
        out.append(text);
        return;
    }
    const std::size_t trailing = TrailingBlanks(text);
    const std::string_view content = text.substr(leading, text.size() - leading - trailing);
    out.append(text.substr(0, leading));
    constexpr std::string_view close = "</span>";
    if (content.size() + close.size() < Interval::kTailSize &&
        std::all_of(content.begin(), content.end(), IsPlainXml)) {
        interval.Append(out, "<span", unit.start, unit.end, {">", content, close});
    } else {
        const std::size_t span = out.size();
        interval.Append(out, "<span", unit.start, unit.end, {">"});
        const std::size_t start = out.size();
        AppendXmlText(out, content, leftOut);
        if (out.size() == start) {
            out.resize(span); // it held nothing XML can hold
        } else {
            out.append(close);
        }
    }
    out.append(text.substr(text.size() - trailing));
}

// Whether `text` shows anything: more than blanks and what XML cannot hold.
bool ShowsAnything(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t skipped =
            std::max(LeadingBlanks(text.substr(i)), ForbiddenInXmlAt(text, i));
        if (skipped == 0) {
            return true;
        }
        i += skipped;
    }
    return false;
}

class TtmlDocument : public DocumentWriter {
public:
    void Write(const DocumentInput& input, TextSink* sink,
               std::vector<ScriptWarning>& warnings) const override;
};

void TtmlDocument::Write(const DocumentInput& input, TextSink* sink,
                         std::vector<ScriptWarning>& warnings) const {
    const DocumentHeader& header = input.header;
    std::size_t leftOut = 0;
    std::string head("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                     "<tt xmlns=\"http://www.w3.org/ns/ttml\""
                     " xmlns:ttm=\"http://www.w3.org/ns/ttml#metadata\""
                     " xmlns:itunes=\"http://music.apple.com/lyric-ttml-internal\""
                     " itunes:timing=\"Word\" xml:lang=\"");
    // The language of what the document shows: the title and the lyrics as they are written
    // (converted, if they were), told once the lines are.
    const std::size_t languageAt = head.size();
    LanguageGuess language;
    language.Add(header.title);
    head.append("\">\n  <head>\n    <metadata>\n");
    if (!header.title.empty()) {
        head.append("      <ttm:title>");
        AppendXmlText(head, header.title, leftOut);
        head.append("</ttm:title>\n");
    }
    // One singer sings every line: the agent the players key lines to.
    head.append("      <ttm:agent type=\"person\" xml:id=\"v1\"");
    if (header.singer.empty()) {
        head.append("/>\n");
    } else {
        head.append(">\n        <ttm:name type=\"full\">");
        AppendXmlText(head, header.singer, leftOut);
        head.append("</ttm:name>\n      </ttm:agent>\n");
    }
    if (!header.author.empty()) {
        head.append("      <ttm:item name=\"author\">");
        AppendXmlText(head, header.author, leftOut);
        head.append("</ttm:item>\n");
    }
    if (const std::optional<std::int64_t> offset = ParseInteger(header.offset);
        offset && *offset != 0) {
        head.append("      <!-- Offset: ");
        AppendNumber(head, *offset, 1);
        head.append(" ms, not applied to the times -->\n");
    }
    head.append("    </metadata>\n  </head>\n  <body>\n    <div>\n");
    if (leftOut > 0) {
        warnings.emplace_back(ScriptWarning::Kind::ControlsLeftOut, 0, leftOut);
    }

    CappedWarnings leftOutLines(ScriptWarning::Kind::MoreControlsLeftOut, warnings);
    int key = 0;
    Interval interval;
    const auto appendLine = [&](const TimedLine& line, std::string& out) {
        if (!ShowsAnything(line.text)) {
            return;
        }
        language.Add(line.text);
        std::size_t lineLeftOut = 0;
        interval.Append(out, "      <p", line.start, SungEnd(line));
        out.append(" itunes:key=\"L");
        AppendNumber(out, ++key, 1);
        out.append("\" ttm:agent=\"v1\">");
        if (line.units.empty()) {
            AppendXmlText(out, line.text, lineLeftOut);
        }
        for (const TimedUnit& unit : line.units) {
            AppendUnit(out, unit, lineLeftOut, interval);
        }
        out.append("</p>");
        if (lineLeftOut > 0) {
            leftOutLines.Note(
                ScriptWarning(ScriptWarning::Kind::ControlsLeftOut, line.line, lineLeftOut));
        }
    };
    WriteTimedLines(input, head, LineEnd::Lf, sink, warnings, appendLine, TimedBy::Unit,
                    [&](std::string& complete) { complete.insert(languageAt, language.Tag()); });
    if (sink != nullptr) {
        sink->Write("    </div>\n  </body>\n</tt>\n");
    }
}

} // namespace

std::unique_ptr<DocumentWriter> MakeTtmlWriter(const DocumentOptions& /*options*/) {
    return std::make_unique<TtmlDocument>();
}

} // namespace tolvren
