#pragma once

#include "files/AtomicFileWriter.h"

#include <string>
#include <string_view>

// Text the way the converter needs it: input cut into lines as Windows text mode does, output
// written with CR LF line ends.

namespace tolvren {

/// How a lyric statement begins, read or not.
inline constexpr std::string_view kLyricStatementStart = "karaoke.add(";

/// Where text mode cut the input short at a Ctrl-Z that had more than blanks after it.
struct TextModeCut {
    std::size_t line = 0;       ///< the line (from 1) of the Ctrl-Z; 0 when nothing was lost
    std::size_t lyricLines = 0; ///< lines after it that began with kLyricStatementStart
};

/// What Windows text mode delivers of raw file bytes, in place: the input ends at the first Ctrl-Z
/// (0x1A), and NUL bytes are dropped so that they never cut a line or the document short. Says
/// what the Ctrl-Z cut off, unless only blanks, NULs and more Ctrl-Z bytes (old editors pad
/// files with them) followed it.
TextModeCut ApplyTextModeInput(std::string& bytes);

/// Cuts text-mode input into lines without their line ends: LF ends a line, and so does CR LF as
/// one pair; a CR not followed by LF stays in the line. A last line without a line end is
/// delivered; nothing follows a final line end.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    /// The next line in `line`; false when there is none left.
    bool Next(std::string_view& line);
    /// The number (from 1) of the line Next delivered last.
    std::size_t LineNumber() const { return m_nLine; }

private:
    std::string_view m_text;
    std::size_t m_nPos = 0;
    std::size_t m_nLine = 0;
};

/// Appends `text` to `out` with every LF written as CR LF; nothing else changes.
void AppendCrLf(std::string_view text, std::string& out);

/// Where a document goes.
class TextSink {
public:
    virtual ~TextSink() = default;
    /// Text whose every LF reaches the document as CR LF.
    virtual void WriteText(std::string_view text) = 0;
    /// Bytes exactly as they reach the document (lines already ending in CR LF).
    virtual void Write(std::string_view bytes) = 0;
};

/// A document collected in memory, exactly as it would reach the disk.
class StringSink : public TextSink {
public:
    void WriteText(std::string_view text) override { AppendCrLf(text, document); }
    void Write(std::string_view bytes) override { document.append(bytes); }
    std::string document;
};

/// A document written into a file, where nobody sees it until it is complete.
class FileSink : public TextSink {
public:
    explicit FileSink(AtomicFileWriter& writer) : m_writer(writer) {}
    void WriteText(std::string_view text) override;
    void Write(std::string_view bytes) override { m_writer.Write(bytes); }

private:
    AtomicFileWriter& m_writer;
};

} // namespace tolvren
