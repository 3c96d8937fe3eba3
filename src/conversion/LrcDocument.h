#pragma once

#include "conversion/DocumentFormat.h"

namespace tolvren {

/// Enhanced LRC, word by word (`[00:27.49]<00:27.49>一<00:27.83>时…`), with a byte-order mark and
/// LF line ends; a line without word timing is written with its line time only, and warned.
std::unique_ptr<DocumentWriter> MakeLrcWriter(const DocumentOptions& options);

} // namespace tolvren
