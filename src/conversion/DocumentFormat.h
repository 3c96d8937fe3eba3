#pragma once

#include "conversion/AssOptions.h"
#include "conversion/Script.h"
#include "conversion/TextFile.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The kinds of document a script can become, each written by a writer of its own behind one small
// interface, and the one table that lists them. A new format is a file with its writer and a row
// in the table (DocumentFormats.cpp); the worker, the checks, the warnings, the collision rules
// and the atomic writing are the same for every format.

namespace tolvren {

/// The kinds of document a script can become, in the order the table lists them.
enum class OutputFormat {
    Kmc, ///< the KMC document, with the extension "kmc"
    Xml, ///< the same document with the extension "xml"
    Lrc, ///< enhanced LRC, word by word
    Ass, ///< ASS subtitles with karaoke tags
};

/// How the user wants the documents written, beyond their format; each writer reads what
/// concerns it. A dialog or the command line fills it; the defaults give today's documents.
struct DocumentOptions {
    AssOptions ass; ///< karaoke ASS: rows, lead-in, linger, title card, frame, style
};

/// How a format reads the script's names.
enum class ScriptReading {
    /// Byte for byte as KMC has always taken them (`Script::Title`, `Script::Singer`); the
    /// `karaoke.songname` and `karaoke.singer` assignments are not read, and a warning says so.
    Kmc,
    /// As their author meant them (`Script::TitleAsMeant`, `Script::SingerAsMeant`).
    AsMeant,
};

/// What every document names besides the lyrics.
struct DocumentHeader {
    std::string_view title;  ///< the script's title, or its file name
    std::string_view singer; ///< empty when the script names none
    std::string_view author; ///< who made the document
};

/// One script on its way into a document.
struct DocumentInput {
    const Script& script;
    DocumentHeader header;
};

/// Writes one format. One writer serves a whole run, on any number of threads at once.
class DocumentWriter {
public:
    virtual ~DocumentWriter() = default;
    /// Writes the document to `sink`; with no sink (a check), only says what writing it would
    /// say. Adds to `warnings` what the user should know about this format's reading.
    virtual void Write(const DocumentInput& input, TextSink* sink,
                       std::vector<ScriptWarning>& warnings) const = 0;
    /// What the run should say once about `author`, which every document carries; nothing,
    /// unless the format says otherwise.
    virtual std::optional<ScriptWarning> AuthorWarning(std::string_view /*author*/) const {
        return std::nullopt;
    }
};

/// One row of the table of formats.
struct FormatEntry {
    OutputFormat format;
    std::string_view name; ///< what the user chooses it by, and the documents' extension
    ScriptReading reading;
    /// The writer of a run with `options`.
    std::unique_ptr<DocumentWriter> (*makeWriter)(const DocumentOptions& options);
};

/// Every format, in the order the command line's help and the dialogs list them.
std::span<const FormatEntry> DocumentFormats();
/// The row of `format`.
const FormatEntry& FormatEntryOf(OutputFormat format);
/// "kmc, xml, lrc, ass": the names, as help and error texts list them.
std::string FormatNames();

/// "kmc", "xml", "lrc" or "ass": the extension of the documents of `format`.
std::string_view ExtensionOf(OutputFormat format);
/// The format a name or an extension names, without regard to case; empty when it names none.
std::optional<OutputFormat> FormatFromName(std::string_view name);

} // namespace tolvren
