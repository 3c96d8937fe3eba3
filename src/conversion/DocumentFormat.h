#pragma once

#include "conversion/AssOptions.h"
#include "conversion/Script.h"
#include "conversion/TextFile.h"

#include <array>
#include <cstdint>
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
    Kmc,  ///< the KMC document, with the extension "kmc"
    Xml,  ///< the same document with the extension "xml"
    Lrc,  ///< LRC, enhanced (word by word) or plain
    Ass,  ///< ASS subtitles with karaoke tags
    Ttml, ///< word-timed TTML, as syllable-synced players read it
    Srt,  ///< SRT subtitles, one cue per line
};

/// How every time of a document moves, in the formats that read the script's times.
struct TimingOptions {
    /// Milliseconds every time moves, later when positive (--shift); at most kMaxShift either
    /// way. A time that would fall before 0 is 0, and a warning names its line.
    std::int64_t shift = 0;
    /// The script's karaoke.TimeOffset moves the times as LRC players apply [offset:] (a positive
    /// offset makes every line come sooner), and the document no longer names it.
    bool applyOffset = false;
};

/// A day: more than any shift a song needs, and what a choice of it offers either way.
inline constexpr std::int64_t kMaxShift = std::int64_t{24} * 60 * 60 * 1000;

enum class LrcStyle {
    Enhanced, ///< "[00:27.49]<00:27.49>一<00:27.83>时…", word by word
    Plain,    ///< "[00:27.49]一时…", for players that show word tags as text
};
/// Every style, in the order a choice of them lists them.
inline constexpr std::array kLrcStyles = {LrcStyle::Enhanced, LrcStyle::Plain};
/// "enhanced" or "plain".
std::string_view LrcStyleName(LrcStyle style);
/// The style a name names, without regard to case; empty when it names none.
std::optional<LrcStyle> LrcStyleFromName(std::string_view name);
/// The digits of a second an LRC time may have: [mm:ss.xx] or [mm:ss.xxx].
inline constexpr std::array kLrcFractionDigits = {2, 3};

struct LrcOptions {
    LrcStyle style = LrcStyle::Enhanced;
    int fractionDigits = 2; ///< one of kLrcFractionDigits
};

/// How the user wants the documents written, beyond their format; each writer reads what
/// concerns it. A dialog or the command line fills it; the defaults give today's documents.
struct DocumentOptions {
    AssOptions ass;       ///< karaoke ASS: rows, lead-in, linger, title card, frame, style
    TimingOptions timing; ///< only for formats whose times can move (TimesCanMove)
    LrcOptions lrc;       ///< only for LRC
};

/// How a format reads the script's names.
enum class ScriptReading {
    /// Byte for byte as KMC has always taken them (`Script::Title`, `Script::Singer`); the
    /// `karaoke.songname` and `karaoke.singer` assignments are not read, and a warning says so.
    Kmc,
    /// As their author meant them (`Script::TitleAsMeant`, `Script::SingerAsMeant`).
    AsMeant,
};

/// What a format does with the script's times.
enum class ScriptTimes {
    Copied, ///< carried byte for byte, as KMC has always carried them: they cannot move
    Read,   ///< read as times, so that they can move (TimingOptions)
};

/// What every document names besides the lyrics.
struct DocumentHeader {
    std::string_view title;  ///< the script's title, or its file name
    std::string_view singer; ///< empty when the script names none
    std::string_view author; ///< who made the document
    /// The script's time offset as the document names it; empty when the times carry it
    /// (TimingOptions::applyOffset) or the script gives none.
    std::string_view offset;
};

/// One script on its way into a document.
struct DocumentInput {
    const Script& script;
    DocumentHeader header;
    /// Milliseconds every time moves: the shift asked for, less an offset the times carry. The
    /// shared reading of the times (TimedLines.h) applies it.
    std::int64_t shift = 0;
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
    std::string_view name;  ///< what the user chooses it by, and the documents' extension
    std::string_view label; ///< what a list of formats shows: "KMC", "TTML"
    ScriptReading reading;
    ScriptTimes times;
    /// The writer of a run with `options`.
    std::unique_ptr<DocumentWriter> (*makeWriter)(const DocumentOptions& options);
};

/// Every format, in the order the command line's help and the dialogs list them.
std::span<const FormatEntry> DocumentFormats();
/// The row of `format`.
const FormatEntry& FormatEntryOf(OutputFormat format);
/// "kmc, xml, lrc, ass, ttml, srt": the names, as help and error texts list them.
std::string FormatNames();

/// "kmc", "xml", "lrc", …: the extension of the documents of `format`.
std::string_view ExtensionOf(OutputFormat format);
/// The format a name or an extension names, without regard to case; empty when it names none.
std::optional<OutputFormat> FormatFromName(std::string_view name);
/// Whether the documents of `format` can have their times moved (TimingOptions); KMC and XML
/// keep the script's times as they stand, and their players apply its offset themselves.
bool TimesCanMove(OutputFormat format);
/// Whether `format` has LRC's options (LrcOptions): LRC alone.
bool HasLrcOptions(OutputFormat format);
/// What of `chosen` the documents of `format` take, the rest as a run without options has it: what
/// a dialog, which keeps every choice, asks a run for.
DocumentOptions OptionsFor(OutputFormat format, const DocumentOptions& chosen);

} // namespace tolvren
