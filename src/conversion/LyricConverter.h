#pragma once

#include "conversion/CodePage.h"
#include "conversion/DocumentFormat.h"
#include "conversion/Script.h"
#include "conversion/TextFile.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvren {

/// Outcome of converting (or checking) one file.
struct ConvertResult {
    IoResult io;                         ///< what failed, if anything
    std::vector<ScriptWarning> warnings; ///< what the user should know about the script

    bool ok() const { return io.ok(); }
};

/// A script to convert: its path, and its last component (the title when the script names none).
struct ScriptFile {
    std::string path;
    std::string name;
};

/// A document that is written completely but not visible yet; Commit gives it its name.
class PreparedDocument {
public:
    ConvertResult result; ///< a failure so far, and the script's warnings

    /// Makes the document visible under the target name (see AtomicFileWriter::Commit); the
    /// outcome lands in `result` too. A failed preparation stays failed.
    const ConvertResult& Commit();

private:
    friend class LyricConverter;
    std::unique_ptr<AtomicFileWriter> m_pWriter;
    FileIdentity m_source;
};

/// Turns KSC lyric scripts into documents of one format. One converter
/// serves a whole run, on any number of threads at once: nothing carries over from one file to the
/// next.
class LyricConverter {
public:
    /// `author` is UTF-8 and goes into every document unchanged; `chinese` converts the lyrics,
    /// titles and singers of every script before any document is written (see Script).
    explicit LyricConverter(std::string author, OutputFormat format = OutputFormat::Kmc,
                            InputEncoding encoding = {}, const DocumentOptions& options = {},
                            ChineseMode chinese = ChineseMode::Off);
    virtual ~LyricConverter() = default;

    /// Converts the script at `sourcePath` into a document at `targetPath`, replacing a file of
    /// that name only once the new document is complete. Never throws; says what happened.
    ConvertResult ConvertFile(std::string sourcePath, std::string targetPath) const;

    /// Reads the script `source` and writes its document into `folder` unnamed, to be called
    /// `name` on Commit. Stops early, failed, once `*cancel` is true.
    PreparedDocument Prepare(const ScriptFile& source, FolderHandlePtr folder, std::string name,
                             const std::atomic<bool>* cancel = nullptr) const;

    /// Reads the script `source` and says exactly what converting it into this converter's
    /// format would say, writing nothing.
    ConvertResult Check(const ScriptFile& source) const;

    /// What the run should say once about the author, which every document carries: a
    /// NotWellFormedXml warning when it keeps KMC documents from being well-formed XML.
    std::optional<ScriptWarning> AuthorWarning() const;

    /// One `karaoke.add(...)` statement (no line end) to one `l` element line ending in a line
    /// feed; a single line feed when the statement's fields cannot all be found.
    std::string TranslateLine(const std::string& line) const;

    /// The document for the script bytes `script` exactly as ConvertFile writes it to disk.
    /// `fileName` is the source's last path component, the title when the script names none.
    std::string ConvertText(std::string script, std::string_view fileName,
                            std::vector<ScriptWarning>* warnings = nullptr) const;
    /// What Check says of the script bytes `script`.
    std::vector<ScriptWarning> CheckText(std::string script, std::string_view fileName) const;

private:
    /// Decodes and reads `bytes`, then writes the document to `sink` (when there is one).
    void Convert(std::string bytes, std::string_view fileName, TextSink* sink,
                 std::vector<ScriptWarning>& warnings) const;
    /// Says what `decoded` holds and writes its document to `sink` (when there is one).
    void Write(const DecodedScript& decoded, std::string_view fileName, TextSink* sink,
               std::vector<ScriptWarning>& warnings) const;

    std::string m_strAuthor;
    const FormatEntry* m_pFormat;
    InputEncoding m_encoding;
    TimingOptions m_timing;
    std::shared_ptr<const DocumentWriter> m_pWriter; ///< one for the run, shared by its copies
    ChineseMode m_chinese; ///< its converter made on the first script that needs it
};

} // namespace tolvren
