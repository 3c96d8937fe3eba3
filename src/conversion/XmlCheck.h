#pragma once

#include "conversion/DocumentFormat.h"

#include <optional>
#include <string>
#include <string_view>

// KMC documents carry their values unescaped, as their players read them. Some values then make
// a document that no XML reader takes: this finds them, so that the user hears of it.

namespace tolvren {

/// Where in a KMC document a value stands.
enum class KmcValue { Title, Singer, Author, Offset, Timing, Lyric };

/// The first character of `value` that keeps a document holding it unescaped at `where` from
/// being well-formed XML: "&" that begins no reference, "<", "\"" in an attribute, "]]>" in a
/// lyric, a control character XML has no place for ("U+001B"), "U+FFFE" or "U+FFFF". Empty when
/// there is none.
std::string XmlFault(std::string_view value, KmcValue where);

/// The first value of the KMC document of `input` that is not well-formed XML, as a
/// NotWellFormedXml warning; the author, which every document of a run shares, aside.
std::optional<ScriptWarning> FindXmlFault(const DocumentInput& input);

} // namespace tolvren
