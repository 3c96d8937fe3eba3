#include "conversion/LyricConverter.h"

#include "conversion/FieldUtils.h"
#include "conversion/TimedDocuments.h"

#include <algorithm>

namespace tolvren {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Appends the `l` element line of one lyric statement, or an empty line when one of its four
// fields cannot be found; the line ends in `lineEnd`.
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

void AddDecodingWarnings(const DecodedScript& decoded, std::vector<ScriptWarning>& warnings) {
    using Kind = ScriptWarning::Kind;
    if (decoded.lookalike) {
        switch (*decoded.lookalike) {
        case InputEncoding::Kind::Utf8:
            warnings.emplace_back(Kind::LooksLikeUtf8);
            break;
        case InputEncoding::Kind::Utf16Le:
        case InputEncoding::Kind::Utf16Be:
            warnings.emplace_back(Kind::LooksLikeUtf16);
            break;
        case InputEncoding::Kind::Big5:
            warnings.emplace_back(Kind::LooksLikeBig5);
            break;
        default:
            warnings.emplace_back(Kind::LooksLikeGb18030);
            break;
        }
    }
    const std::string encoding = decoded.encoding.Name();
    for (const InvalidBytes::Line& line : decoded.invalid.FirstLines()) {
        warnings.emplace_back(Kind::InvalidBytes, line.line, line.bytes, 0, encoding);
    }
    if (decoded.invalid.MoreLines() > 0) {
        warnings.emplace_back(Kind::MoreInvalidBytes, 0, decoded.invalid.MoreBytes(),
                              decoded.invalid.MoreLines(), encoding);
    }
    if (decoded.ctrlZLine > 0) {
        warnings.emplace_back(Kind::TextAfterCtrlZ, decoded.ctrlZLine, decoded.lyricLinesCut);
    }
}

// Keeps, besides the hint itself, only the warnings that reading the script in the encoding it
// looks like would give too: the rest come from the wrong reading alone.
void KeepWhatTheLikelyReadingSays(std::vector<ScriptWarning>& warnings,
                                  const std::vector<ScriptWarning>& likely) {
    const auto sameWarning = [](const ScriptWarning& a, const ScriptWarning& b) {
        return a.kind == b.kind && a.line == b.line;
    };
    std::erase_if(warnings, [&](const ScriptWarning& warning) {
        const bool hint = warning.kind == ScriptWarning::Kind::LooksLikeUtf8 ||
                          warning.kind == ScriptWarning::Kind::LooksLikeUtf16 ||
                          warning.kind == ScriptWarning::Kind::LooksLikeBig5 ||
                          warning.kind == ScriptWarning::Kind::LooksLikeGb18030;
        return !hint && std::none_of(likely.begin(), likely.end(), [&](const ScriptWarning& other) {
            return sameWarning(warning, other);
        });
    });
}

} // namespace

std::string_view ExtensionOf(OutputFormat format) {
    switch (format) {
    case OutputFormat::Kmc:
        return "kmc";
    case OutputFormat::Xml:
        return "xml";
    case OutputFormat::Lrc:
        return "lrc";
    case OutputFormat::Ass:
        return "ass";
    }
    return "kmc";
}

std::optional<OutputFormat> FormatFromName(std::string_view name) {
    const std::string lower = LowerAscii(name);
    for (const OutputFormat format :
         {OutputFormat::Kmc, OutputFormat::Xml, OutputFormat::Lrc, OutputFormat::Ass}) {
        if (lower == ExtensionOf(format)) {
            return format;
        }
    }
    return std::nullopt;
}

const ConvertResult& PreparedDocument::Commit() {
    if (result.ok() && m_pWriter) {
        result.io = m_pWriter->Commit(&m_source);
    }
    m_pWriter.reset();
    return result;
}

LyricConverter::LyricConverter(std::string author, OutputFormat format, InputEncoding encoding)
    : m_strXmlHeader("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"), m_strRootOpen("<kmc "),
      m_strRootClose("</kmc>\n"), m_strAuthor(std::move(author)), m_format(format),
      m_encoding(std::move(encoding)) {}

std::string LyricConverter::TranslateLine(const std::string& line) const {
    std::string out;
    AppendElementLine(ParseLyricStatement(line), out, "\n");
    return out;
}

void LyricConverter::WriteKmc(const Script& script, std::string_view title, TextSink& sink) const {
    std::string head(kByteOrderMark);
    head.append(m_strXmlHeader).append(m_strRootOpen);
    if (!title.empty()) {
        head.append("ti=\"").append(title).append("\" ");
    }
    head.append("ar=\"").append(script.Singer()).append("\" ");
    head.append("al=\"\" ");
    head.append("by=\"").append(m_strAuthor).append("\" ");
    if (!script.Offset().empty()) {
        head.append("offset=\"").append(script.Offset()).append("\" ");
    }
    head.append(">\n");
    sink.WriteText(head);

    // Lines are gathered into pieces of a reasonable size, so that a huge script costs neither a
    // write per line nor a second copy of itself. A lyric line holds no line feed, so its CR LF
    // is written as such.
    constexpr std::size_t pieceSize = std::size_t{64} * 1024;
    std::string piece;
    script.ForEachLyric([&](const LyricStatement& statement) {
        AppendElementLine(statement, piece, "\r\n");
        if (piece.size() >= pieceSize) {
            sink.Write(piece);
            piece.clear();
        }
    });
    sink.Write(piece);
    sink.WriteText(m_strRootClose);
}

void LyricConverter::Convert(std::string bytes, std::string_view fileName, TextSink* sink,
                             std::vector<ScriptWarning>& warnings) const {
    const DecodedScript decoded = DecodeScript(std::move(bytes), m_encoding);
    Write(decoded, fileName, sink, warnings);
    if (decoded.likely) {
        std::vector<ScriptWarning> likely;
        Write(*decoded.likely, fileName, nullptr, likely);
        KeepWhatTheLikelyReadingSays(warnings, likely);
    }
}

void LyricConverter::Write(const DecodedScript& decoded, std::string_view fileName, TextSink* sink,
                           std::vector<ScriptWarning>& warnings) const {
    AddDecodingWarnings(decoded, warnings);
    const Script script(decoded.text);
    const bool kmc = m_format == OutputFormat::Kmc || m_format == OutputFormat::Xml;
    for (const ScriptWarning& warning : script.Warnings()) {
        // LRC and ASS read the assignments that KMC leaves out.
        if (kmc || warning.kind != ScriptWarning::Kind::UnreadAssignment) {
            warnings.push_back(warning);
        }
    }

    // The title: the script's own, or the file name up to its last '.' (a name without one
    // gives no title).
    std::string title = kmc ? script.Title() : script.TitleAsMeant();
    if (title.empty()) {
        const std::size_t dot = fileName.rfind('.');
        title = FileNameToUtf8(fileName.substr(0, dot == std::string_view::npos ? 0 : dot));
    }
    const DocumentHeader header{title, script.SingerAsMeant(), m_strAuthor};
    switch (m_format) {
    case OutputFormat::Kmc:
    case OutputFormat::Xml:
        // Nothing of the KMC document depends on the timing, so a check has nothing to add.
        if (sink != nullptr) {
            WriteKmc(script, title, *sink);
        }
        break;
    case OutputFormat::Lrc:
        WriteLrc(script, header, sink, warnings);
        break;
    case OutputFormat::Ass:
        WriteAss(script, header, sink, warnings);
        break;
    }
}

std::string LyricConverter::ConvertText(std::string script, std::string_view fileName,
                                        std::vector<ScriptWarning>* warnings) const {
    StringSink sink;
    std::vector<ScriptWarning> found;
    Convert(std::move(script), fileName, &sink, found);
    if (warnings != nullptr) {
        *warnings = std::move(found);
    }
    return std::move(sink.document);
}

std::vector<ScriptWarning> LyricConverter::CheckText(std::string script,
                                                     std::string_view fileName) const {
    std::vector<ScriptWarning> warnings;
    Convert(std::move(script), fileName, nullptr, warnings);
    return warnings;
}

PreparedDocument LyricConverter::Prepare(const ScriptFile& source, FolderHandlePtr folder,
                                         std::string name, const std::atomic<bool>* cancel) const {
    PreparedDocument prepared;
    std::string script;
    prepared.result.io = ReadWholeFile(source.path, script, &prepared.m_source);
    if (!prepared.result.ok()) {
        return prepared;
    }
    auto writer = std::make_unique<AtomicFileWriter>(std::move(folder), std::move(name));
    writer->SetCancel(cancel);
    prepared.result.io = writer->Open();
    if (!prepared.result.ok()) {
        return prepared;
    }
    FileSink sink(*writer);
    Convert(std::move(script), source.name, &sink, prepared.result.warnings);
    prepared.result.io = writer->Finish();
    if (prepared.result.ok()) {
        prepared.m_pWriter = std::move(writer);
    }
    return prepared;
}

ConvertResult LyricConverter::Check(const ScriptFile& source) const {
    ConvertResult result;
    std::string script;
    result.io = ReadWholeFile(source.path, script);
    if (result.ok()) {
        Convert(std::move(script), source.name, nullptr, result.warnings);
    }
    return result;
}

// The one-file conversion keeps the shape it has always had, both paths taken by value; a run
// converts through Prepare instead.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
ConvertResult LyricConverter::ConvertFile(std::string sourcePath, std::string targetPath) const {
    PathParts target = SplitPath(targetPath);
    const ScriptFile source{sourcePath, SplitPath(sourcePath).name};
    PreparedDocument prepared =
        Prepare(source, std::make_shared<FolderHandle>(target.folder), std::move(target.name));
    return prepared.Commit();
}

} // namespace tolvren
