#include "conversion/LyricConverter.h"

#include "conversion/CodePage.h"
#include "conversion/FieldUtils.h"
#include "conversion/TextFile.h"

#include <cerrno>
#include <sys/stat.h>

namespace tolvren {

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// The body is converted and written in pieces of about this size, cut after a line feed (a byte
// GBK never uses inside a character), so a large script never needs a second full-size copy.
constexpr std::size_t bodyPieceSize = std::size_t{1024} * 1024;

// fsync before the rename makes writing a small document about three times slower (see
// bench_convert, BM_AtomicWrite). Without it a failed write still never touches the old document;
// only a power loss right after a run could leave its newest documents empty (ext4 flushes data
// before a rename that replaces a file), and a rerun recreates them from their scripts.
constexpr bool syncBeforeCommit = false;

std::ptrdiff_t IndexOrMinusOne(std::size_t index) {
    return index == std::string_view::npos ? -1 : static_cast<std::ptrdiff_t>(index);
}

// Appends the `l` element line for one lyric statement, or a single line feed when one of its
// four apostrophe-delimited fields cannot be found.
void AppendTranslatedLine(std::string_view line, std::string& out) {
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
    if (e4 == npos) {
        out.push_back('\n');
        return;
    }
    const std::string_view time1 = line.substr(q1 + 1, c1 - q1 - 1);
    const std::string_view time2 = line.substr(q2 + 1, c2 - q2 - 1);
    const std::string_view timing = line.substr(q4 + 1, e4 - q4 - 1);
    std::string text(line.substr(q3 + 1, c3 - q3 - 1));
    // Scripts double an apostrophe inside a text. Texts that begin with a Chinese character keep
    // theirs as they are: that is what the players of these documents expect.
    if (text.empty() || static_cast<unsigned char>(text.front()) < 0x80) {
        ReplaceAll(text, "'", "''");
    }

    out.append("  <l t=\"");
    out.append(time1).append(",").append(time2).append(",").append(timing);
    out.append("\">").append(text).append("</l>\n");
}

std::string_view LastPathComponent(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Collects the document in memory, exactly as it would reach the disk.
struct StringSink {
    std::string document;
    void WriteText(std::string_view text) { AppendCrLf(text, document); }
};

} // namespace

struct LyricConverter::ScriptValues {
    std::string title;
    std::string singer;
    std::string offset;
    std::string body; ///< the translated lyric lines, GBK
};

LyricConverter::LyricConverter(std::string author)
    : m_strXmlHeader("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"), m_strRootOpen("<kmc "),
      m_strRootClose("</kmc>\n"), m_strOffsetKey("karaoke.TimeOffset"),
      m_strSingerKey("karaoke.tag('\xB8\xE8\xCA\xD6'"), // 歌手 in GBK
      m_strTitleKey("karaoke.tag('\xB8\xE8\xC3\xFB'"),  // 歌名 in GBK
      m_strLineKey("karaoke.add('"), m_strAuthor(std::move(author)) {}

std::string LyricConverter::TranslateLine(const std::string& line) const {
    std::string out;
    AppendTranslatedLine(line, out);
    return out;
}

LyricConverter::ScriptValues LyricConverter::ReadScript(std::string_view script) const {
    ScriptValues values;
    LineReader reader(script);
    std::string_view line;
    while (reader.Next(line)) {
        // A statement counts only where it begins the line: indented or commented-out statements
        // are ignored.
        if (line.starts_with(m_strTitleKey)) {
            values.title = GetField(line, '\'', 3);
        } else if (line.starts_with(m_strSingerKey)) {
            values.singer = GetField(line, '\'', 3);
        } else if (line.starts_with(m_strOffsetKey)) {
            const std::ptrdiff_t equals = IndexOrMinusOne(line.rfind('='));
            const std::ptrdiff_t semicolon = IndexOrMinusOne(line.rfind(';'));
            values.offset = Trimmed(MidRange(line, equals + 1, semicolon - 1));
        } else if (line.starts_with(m_strLineKey)) {
            AppendTranslatedLine(line, values.body);
        }
    }
    return values;
}

template <typename Sink>
void LyricConverter::WriteDocument(const ScriptValues& values, std::string_view fileName,
                                   Sink& sink) const {
    std::string head(byteOrderMark);
    head.append(m_strXmlHeader).append(m_strRootOpen);

    // Each piece in its own encoding: script text is GBK, the author is UTF-8 already, and a file
    // name is UTF-8 unless it is not valid UTF-8.
    if (!values.title.empty()) {
        head.append("ti=\"").append(ToUtf8(values.title)).append("\" ");
    } else {
        // The file name up to its last '.'; a name without one gives no title.
        const std::size_t dot = fileName.rfind('.');
        const std::string_view name = fileName.substr(0, dot == std::string_view::npos ? 0 : dot);
        if (!name.empty()) {
            head.append("ti=\"").append(FileNameToUtf8(name)).append("\" ");
        }
    }
    head.append("ar=\"").append(ToUtf8(values.singer)).append("\" ");
    head.append("al=\"\" ");
    head.append("by=\"").append(m_strAuthor).append("\" ");
    if (!values.offset.empty()) {
        head.append("offset=\"").append(ToUtf8(values.offset)).append("\" ");
    }
    head.append(">\n");
    sink.WriteText(head);

    const std::string_view body = values.body;
    std::string piece;
    for (std::size_t pos = 0; pos < body.size();) {
        std::size_t end = body.size();
        if (end - pos > bodyPieceSize) {
            const std::size_t lineFeed = body.find('\n', pos + bodyPieceSize);
            end = lineFeed == std::string_view::npos ? body.size() : lineFeed + 1;
        }
        piece.clear();
        AppendUtf8(body.substr(pos, end - pos), piece);
        sink.WriteText(piece);
        pos = end;
    }
    sink.WriteText(m_strRootClose);
}

std::string LyricConverter::ConvertText(std::string script, std::string_view fileName) const {
    ApplyTextModeInput(script);
    const ScriptValues values = ReadScript(script);
    StringSink sink;
    WriteDocument(values, fileName, sink);
    return std::move(sink.document);
}

// The paths are taken by value, as the worker hands over copies that nothing else can change
// while a file is converted.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
ConvertResult LyricConverter::ConvertFile(std::string sourcePath, std::string targetPath) const {
    std::string script;
    struct stat source {};
    IoResult io = ReadWholeFile(sourcePath, script, source);
    if (!io.ok()) {
        return {ConvertStatus::SourceUnreadable, io.Describe("source")};
    }

    // Writing to the source itself (same folder, a hard link, a symbolic link) would replace the
    // script by its own document; Windows refuses that through its exclusive open, here we check.
    struct stat target {};
    if (stat(targetPath.c_str(), &target) == 0) {
        if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) {
            return {ConvertStatus::SameFile, "cannot write target: it is the source file"};
        }
        if (S_ISDIR(target.st_mode)) {
            return {ConvertStatus::TargetNotWritable,
                    IoResult::Failed("create", EISDIR).Describe("target")};
        }
        // A read-only document is one its owner protected; replacing it by a rename would
        // succeed, so honour the protection here, as opening it for writing would.
        if ((target.st_mode & S_IWUSR) == 0) {
            return {ConvertStatus::TargetNotWritable, "cannot write target: it is read-only"};
        }
    } else if (targetPath.empty()) {
        return {ConvertStatus::TargetNotWritable,
                IoResult::Failed("create", ENOENT).Describe("target")};
    }

    ApplyTextModeInput(script);
    ScriptValues values = ReadScript(script);
    std::string().swap(script); // the lines are copied into values; free the source now

    AtomicFileWriter writer(std::move(targetPath), syncBeforeCommit);
    io = writer.Open();
    if (!io.ok()) {
        return {ConvertStatus::TargetNotWritable, io.Describe("target")};
    }
    WriteDocument(values, LastPathComponent(sourcePath), writer);
    io = writer.Commit();
    if (!io.ok()) {
        return {ConvertStatus::WriteFailed, io.Describe("target")};
    }
    return {};
}

} // namespace tolvren
