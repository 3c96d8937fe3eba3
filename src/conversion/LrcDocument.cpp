#include "conversion/LrcDocument.h"

#include "conversion/TimedLines.h"

#include <array>

namespace tolvren {

namespace {

// "mm:ss.xx", or "mm:ss.xxx" with three digits, digit by digit (a time for every sung unit). Two
// digits hold the minutes of any song; a time past 99 minutes (a script's typo, or a whole
// concert) writes its minutes whole rather than wrapping them back to the start.
void AppendLrcTime(std::string& out, std::int64_t ms, int fractionDigits) {
    const bool thousandths = fractionDigits == 3;
    const std::int64_t perSecond = thousandths ? 1000 : 100;
    const std::int64_t count = thousandths ? ms : Centiseconds(ms);
    const std::int64_t seconds = count / perSecond;
    const std::int64_t part = count % perSecond;
    AppendNumber(out, seconds / 60, 2);
    const auto digit = [](std::int64_t value) { return static_cast<char>('0' + value); };
    const std::array<char, 7> text = {':',
                                      digit(seconds % 60 / 10),
                                      digit(seconds % 10),
                                      '.',
                                      digit(part / (perSecond / 10)),
                                      digit(part / (perSecond / 100) % 10),
                                      digit(part % 10)};
    out.append(text.data(), 4 + static_cast<std::size_t>(fractionDigits));
}

class LrcDocument : public DocumentWriter {
public:
    explicit LrcDocument(const LrcOptions& options) : m_options(options) {}
    void Write(const DocumentInput& input, TextSink* sink,
               std::vector<ScriptWarning>& warnings) const override;

private:
    LrcOptions m_options;
};

void LrcDocument::Write(const DocumentInput& input, TextSink* sink,
                        std::vector<ScriptWarning>& warnings) const {
    const DocumentHeader& header = input.header;
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
    tag("offset", header.offset);

    const int digits = m_options.fractionDigits;
    const auto appendLine = [digits](const TimedLine& line, std::string& out) {
        const auto time = [&out, digits](char open, std::int64_t ms, char close) {
            out += open;
            AppendLrcTime(out, ms, digits);
            out += close;
        };
        time('[', line.start, ']');
        if (line.units.empty()) {
            out.append(line.text);
            return;
        }
        for (const TimedUnit& unit : line.units) {
            time('<', unit.start, '>');
            out.append(unit.text);
        }
        time('<', line.units.back().end, '>');
    };
    // LF, as lyrics sites and players write LRC: some parsers take a CR for part of the line.
    // Plain LRC reads no word timing, so it has nothing to say about it.
    WriteTimedLines(input, head, LineEnd::Lf, sink, warnings, appendLine,
                    m_options.style == LrcStyle::Plain ? TimedBy::Line : TimedBy::Unit);
}

} // namespace

std::unique_ptr<DocumentWriter> MakeLrcWriter(const DocumentOptions& options) {
    return std::make_unique<LrcDocument>(options.lrc);
}

} // namespace tolvren
