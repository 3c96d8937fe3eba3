#pragma once

#include <string>
#include <string_view>

namespace tolvren {

/// Outcome of one ConvertFile call. `Written` is the only success.
enum class ConvertStatus {
    Written,           ///< the document is complete at the target path
    SourceUnreadable,  ///< the source could not be opened or read; nothing was written
    TargetNotWritable, ///< the target (or its temporary beside it) could not be created
    WriteFailed,       ///< writing or committing the document failed; an older target is intact
    SameFile,          ///< the target names the source itself; nothing was opened for writing
};

struct ConvertResult {
    ConvertStatus status = ConvertStatus::Written;
    std::string reason; ///< human-readable cause ("cannot open source: Permission denied"), empty
                        ///< on success

    bool ok() const { return status == ConvertStatus::Written; }
};

/// Turns KSC lyric scripts (GBK text) into KMC documents (UTF-8 XML, CR LF line ends).
/// One converter serves a whole run: nothing carries over from one file to the next.
class LyricConverter {
public:
    /// `author` is UTF-8 and goes into every document's `by` attribute unchanged.
    explicit LyricConverter(std::string author);
    virtual ~LyricConverter() = default;

    /// Converts the script at `sourcePath` into a document at `targetPath`, replacing a file of
    /// that name only once the new document is complete. Never throws; says what happened.
    ConvertResult ConvertFile(std::string sourcePath, std::string targetPath) const;

    /// One `karaoke.add(...)` statement (GBK, no line end) to one `l` element line ending in a line
    /// feed, still in GBK; a single line feed when the statement's fields cannot all be found.
    std::string TranslateLine(const std::string& line) const;

    /// The document for the script bytes `script` exactly as ConvertFile writes it to disk
    /// (byte-order mark, CR LF line ends). `fileName` is the source's last path component, used
    /// for the title when the script names none.
    std::string ConvertText(std::string script, std::string_view fileName) const;

private:
    struct ScriptValues;
    ScriptValues ReadScript(std::string_view script) const;
    template <typename Sink>
    void WriteDocument(const ScriptValues& values, std::string_view fileName, Sink& sink) const;

    std::string m_strXmlHeader;
    std::string m_strRootOpen;
    std::string m_strRootClose;
    std::string m_strOffsetKey;
    std::string m_strSingerKey;
    std::string m_strTitleKey;
    std::string m_strLineKey;
    std::string m_strAuthor;
};

} // namespace tolvren
