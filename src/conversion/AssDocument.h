#pragma once

#include "conversion/DocumentFormat.h"

namespace tolvren {

/// ASS subtitles with \kf karaoke tags, CR LF line ends. A line without word timing is sung as
/// one piece, over its whole time.
std::unique_ptr<DocumentWriter> MakeAssWriter(const DocumentOptions& options);

} // namespace tolvren
