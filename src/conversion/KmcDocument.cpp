#include "conversion/KmcDocument.h"

#include "conversion/FieldUtils.h"
#include "conversion/TimedLines.h"
#include "conversion/XmlCheck.h"

namespace tolvren {

namespace {

class KmcDocument : public DocumentWriter {
public:
    void Write(const DocumentInput& input, TextSink* sink,
               std::vector<ScriptWarning>& warnings) const override;
    std::optional<ScriptWarning> AuthorWarning(std::string_view author) const override;

private:
    std::string m_strXmlHeader{"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"};
    std::string m_strRootOpen{"<kmc "};
    std::string m_strRootClose{"</kmc>\n"};
};

void KmcDocument::Write(const DocumentInput& input, TextSink* sink,
                        std::vector<ScriptWarning>& warnings) const {
    // Values are written as they stand, which XML readers may not take; nothing else of the
    // document depends on the timing, so a check has nothing more to add.
    if (std::optional<ScriptWarning> fault = FindXmlFault(input)) {
        warnings.push_back(std::move(*fault));
    }
    if (sink == nullptr) {
        return;
    }
    const Script& script = input.script;
    std::string head(kByteOrderMark);
    head.append(m_strXmlHeader).append(m_strRootOpen);
    if (!input.header.title.empty()) {
        head.append("ti=\"").append(input.header.title).append("\" ");
    }
    head.append("ar=\"").append(input.header.singer).append("\" ");
    head.append("al=\"\" ");
    head.append("by=\"").append(input.header.author).append("\" ");
    if (!script.Offset().empty()) {
        head.append("offset=\"").append(script.Offset()).append("\" ");
    }
    head.append(">\n");
    sink->WriteText(head);

    // Lines are gathered into pieces of a reasonable size, so that a huge script costs neither a
    // write per line nor a second copy of itself. A lyric line holds no line feed, so its CR LF
    // is written as such.
    constexpr std::size_t pieceSize = std::size_t{64} * 1024;
    std::string piece;
    script.ForEachLyric([&](const LyricStatement& statement) {
        AppendElementLine(statement, piece, "\r\n");
        if (piece.size() >= pieceSize) {
            sink->Write(piece);
            piece.clear();
        }
    });
    sink->Write(piece);
    sink->WriteText(m_strRootClose);
}

std::optional<ScriptWarning> KmcDocument::AuthorWarning(std::string_view author) const {
    std::string fault = XmlFault(author, KmcValue::Author);
    if (fault.empty()) {
        return std::nullopt;
    }
    return ScriptWarning(ScriptWarning::Kind::NotWellFormedXml, 0,
                         static_cast<std::size_t>(KmcValue::Author), 0, std::move(fault));
}

} // namespace

std::unique_ptr<DocumentWriter> MakeKmcWriter(const DocumentOptions& /*options*/) {
    return std::make_unique<KmcDocument>();
}

void AppendElementLine(const LyricStatement& statement, std::string& out,
                       std::string_view lineEnd) {
    if (!statement.complete) {
        out.append(lineEnd);
        return;
    }
    std::string text(statement.text);
    // Scripts double an apostrophe inside a text. Texts that begin with a Chinese character keep
    // theirs as they are: that is what the players of these documents expect.
    if (text.empty() || static_cast<unsigned char>(text.front()) < 0x80) {
        UndoubleApostrophes(text);
    }
    out.append("  <l t=\"");
    out.append(statement.start).append(",").append(statement.end).append(",");
    out.append(statement.durations).append("\">").append(text).append("</l>").append(lineEnd);
}

} // namespace tolvren
