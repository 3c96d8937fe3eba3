#include "conversion/LrcDocument.h"

#include "conversion/TimedLines.h"

#include <array>

namespace tolvren {

namespace {

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

class LrcDocument : public DocumentWriter {
public:
    void Write(const DocumentInput& input, TextSink* sink,
               std::vector<ScriptWarning>& warnings) const override;
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
    tag("offset", input.script.Offset());

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
    WriteTimedLines(input.script, head, LineEnd::Lf, sink, warnings, appendLine);
}

} // namespace

std::unique_ptr<DocumentWriter> MakeLrcWriter(const DocumentOptions& /*options*/) {
    return std::make_unique<LrcDocument>();
}

} // namespace tolvren
