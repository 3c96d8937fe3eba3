#pragma once

#include "conversion/DocumentFormat.h"

namespace tolvren {

/// SRT subtitles, as video editors read them: one numbered cue per lyric line with its text as
/// LRC shows it; UTF-8 with a byte-order mark, CR LF line ends.
std::unique_ptr<DocumentWriter> MakeSrtWriter(const DocumentOptions& options);

} // namespace tolvren
