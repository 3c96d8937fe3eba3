#pragma once

#include "conversion/DocumentFormat.h"

namespace tolvren {

/// LRC with a byte-order mark and LF line ends: enhanced, word by word
/// (`[00:27.49]<00:27.49>一<00:27.83>时…`; a line without word timing is written with its line
/// time only, and warned), or plain (`[00:27.49]一时…`); times with two or three digits of a
/// second (DocumentOptions::lrc).
std::unique_ptr<DocumentWriter> MakeLrcWriter(const DocumentOptions& options);

} // namespace tolvren
