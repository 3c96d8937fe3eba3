#include "conversion/SrtDocument.h"

#include "conversion/FieldUtils.h"
#include "conversion/TimedLines.h"

namespace tolvren {

namespace {

// "hh:mm:ss,fff", the hours not wrapped.
void AppendSrtTime(std::string& out, std::int64_t ms) {
    AppendNumber(out, ms / 3600000, 2);
    out += ':';
    AppendNumber(out, ms / 60000 % 60, 2);
    out += ':';
    AppendNumber(out, ms / 1000 % 60, 2);
    out += ',';
    AppendNumber(out, ms % 1000, 3);
}

class SrtDocument : public DocumentWriter {
public:
    void Write(const DocumentInput& input, TextSink* sink,
               std::vector<ScriptWarning>& warnings) const override;
};

void SrtDocument::Write(const DocumentInput& input, TextSink* sink,
                        std::vector<ScriptWarning>& warnings) const {
    // SRT has nowhere to name an offset the times do not carry.
    const std::string_view offset = input.header.offset;
    if (const std::optional<std::int64_t> ms = ParseInteger(offset); ms && *ms != 0) {
        warnings.emplace_back(ScriptWarning::Kind::OffsetNotKept, input.script.OffsetLine(), 0, 0,
                              std::string(offset));
    }
    int cue = 0;
    std::string shown;
    const auto appendLine = [&cue, &shown](const TimedLine& line, std::string& out) {
        // A CR or another control character would break the cue apart: it shows as a blank.
        shown.clear();
        AppendHeaderValue(shown, line.text);
        const std::string_view text = shown;
        const std::size_t leading = LeadingBlanks(text);
        if (leading == text.size()) {
            return; // nothing to show: a cue without text ends the list for some readers
        }
        AppendNumber(out, ++cue, 1);
        out.append("\r\n");
        AppendSrtTime(out, line.start);
        out.append(" --> ");
        AppendSrtTime(out, SungEnd(line));
        out.append("\r\n");
        out.append(text.substr(leading, text.size() - leading - TrailingBlanks(text)));
        out.append("\r\n"); // and the blank line that ends the cue
    };
    WriteTimedLines(input, kByteOrderMark, LineEnd::CrLf, sink, warnings, appendLine,
                    TimedBy::Line);
}

} // namespace

std::unique_ptr<DocumentWriter> MakeSrtWriter(const DocumentOptions& /*options*/) {
    return std::make_unique<SrtDocument>();
}

} // namespace tolvren
