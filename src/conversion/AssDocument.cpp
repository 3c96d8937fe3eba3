#include "conversion/AssDocument.h"

#include "conversion/TimedLines.h"

#include <algorithm>

namespace tolvren {

namespace {

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

class AssDocument : public DocumentWriter {
public:
    void Write(const DocumentInput& input, TextSink* sink,
               std::vector<ScriptWarning>& warnings) const override;
};

void AssDocument::Write(const DocumentInput& input, TextSink* sink,
                        std::vector<ScriptWarning>& warnings) const {
    const DocumentHeader& header = input.header;
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
    const std::string& offset = input.script.Offset();
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
    WriteTimedLines(input.script, head, LineEnd::CrLf, sink, warnings, appendLine);
}

} // namespace

std::unique_ptr<DocumentWriter> MakeAssWriter(const DocumentOptions& /*options*/) {
    return std::make_unique<AssDocument>();
}

} // namespace tolvren
