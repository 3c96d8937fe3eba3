#pragma once

#include "conversion/DocumentFormat.h"

#include <string>
#include <string_view>

namespace tolvren {

/// The KMC document (the same for the extensions "kmc" and "xml"): UTF-8 with a byte-order mark,
/// CR LF line ends, values written as they stand, without XML escaping, as its players expect.
std::unique_ptr<DocumentWriter> MakeKmcWriter(const DocumentOptions& options);

/// Appends the `l` element line of one lyric statement, or an empty line when one of its four
/// fields cannot be found; the line ends in `lineEnd`.
void AppendElementLine(const LyricStatement& statement, std::string& out, std::string_view lineEnd);

} // namespace tolvren
