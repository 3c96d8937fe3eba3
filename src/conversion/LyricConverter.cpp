#include "conversion/LyricConverter.h"

#include "conversion/KmcDocument.h"
#include "conversion/TimedLines.h"

#include <algorithm>

namespace tolvren {

namespace {

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

const ConvertResult& PreparedDocument::Commit() {
    if (result.ok() && m_pWriter) {
        result.io = m_pWriter->Commit(&m_source);
    }
    m_pWriter.reset();
    return result;
}

LyricConverter::LyricConverter(std::string author, OutputFormat format, InputEncoding encoding,
                               const DocumentOptions& options, ChineseMode chinese)
    : m_strAuthor(std::move(author)), m_pFormat(&FormatEntryOf(format)),
      m_encoding(std::move(encoding)), m_timing(options.timing),
      m_pWriter(m_pFormat->makeWriter(options)), m_chinese(chinese) {}

std::string LyricConverter::TranslateLine(const std::string& line) const {
    std::string out;
    AppendElementLine(ParseLyricStatement(line), out, "\n");
    return out;
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
    // Converted once, here, so that every format writes the same text.
    const Script script(decoded.text, ChineseConverter::Of(m_chinese));
    const bool kmcReading = m_pFormat->reading == ScriptReading::Kmc;
    for (const ScriptWarning& warning : script.Warnings()) {
        // The formats that read the assignments do not warn about them.
        if (kmcReading || warning.kind != ScriptWarning::Kind::UnreadAssignment) {
            warnings.push_back(warning);
        }
    }

    // The title: the script's own, or the file name up to its last '.' (a name without one
    // gives no title).
    std::string title = kmcReading ? script.Title() : script.TitleAsMeant();
    if (title.empty()) {
        const std::size_t dot = fileName.rfind('.');
        title = FileNameToUtf8(fileName.substr(0, dot == std::string_view::npos ? 0 : dot));
    }
    // The times move only where the format reads them; KMC carries them as they stand.
    const TimeShift shift =
        m_pFormat->times == ScriptTimes::Read ? ShiftOf(script, m_timing, warnings) : TimeShift{};
    const std::string_view offset = shift.offsetApplied ? std::string_view() : script.Offset();
    const DocumentInput input{
        script,
        {title, kmcReading ? script.Singer() : script.SingerAsMeant(), m_strAuthor, offset},
        shift.shift};
    m_pWriter->Write(input, sink, warnings);
}

std::optional<ScriptWarning> LyricConverter::AuthorWarning() const {
    return m_pWriter->AuthorWarning(m_strAuthor);
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
