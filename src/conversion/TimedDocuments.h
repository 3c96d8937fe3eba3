#pragma once

#include "conversion/Script.h"
#include "conversion/TextFile.h"

#include <string_view>
#include <vector>

// Documents that keep the timing of every sung unit: enhanced LRC and ASS karaoke subtitles.

namespace tolvren {

/// What every document names besides the lyrics.
struct DocumentHeader {
    std::string_view title;  ///< the script's title, or its file name
    std::string_view author; ///< who made the document
};

/// Writes the script as enhanced LRC to `sink` (when there is one); lines whose durations do not
/// match their units are written with line timing only and noted in `warnings`.
void WriteLrc(const Script& script, const DocumentHeader& header, TextSink* sink,
              std::vector<ScriptWarning>& warnings);

/// Writes the script as ASS subtitles with \kf karaoke tags, likewise.
void WriteAss(const Script& script, const DocumentHeader& header, TextSink* sink,
              std::vector<ScriptWarning>& warnings);

} // namespace tolvren
