#pragma once

#include "conversion/DocumentFormat.h"

namespace tolvren {

/// Word-timed TTML as the syllable-synced players read it (Apple Music's dialect): one `p` per
/// lyric line keyed L1, L2, …, one `span` per sung unit, times to the millisecond, the language
/// guessed from the lyrics and the title; UTF-8 without a byte-order mark, LF line ends. Every
/// value is escaped, and the control characters XML cannot hold are left out and warned.
std::unique_ptr<DocumentWriter> MakeTtmlWriter(const DocumentOptions& options);

} // namespace tolvren
