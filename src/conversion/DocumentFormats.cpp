// The table of formats: a new format is one row here and a writer in a file of its own.

#include "conversion/AssDocument.h"
#include "conversion/DocumentFormat.h"
#include "conversion/FieldUtils.h"
#include "conversion/KmcDocument.h"
#include "conversion/LrcDocument.h"

#include <algorithm>
#include <array>

namespace tolvren {

namespace {

constexpr std::array kFormats = {
    FormatEntry{OutputFormat::Kmc, "kmc", ScriptReading::Kmc, &MakeKmcWriter},
    FormatEntry{OutputFormat::Xml, "xml", ScriptReading::Kmc, &MakeKmcWriter},
    FormatEntry{OutputFormat::Lrc, "lrc", ScriptReading::AsMeant, &MakeLrcWriter},
    FormatEntry{OutputFormat::Ass, "ass", ScriptReading::AsMeant, &MakeAssWriter},
};

} // namespace

std::span<const FormatEntry> DocumentFormats() {
    return kFormats;
}

const FormatEntry& FormatEntryOf(OutputFormat format) {
    const auto* entry = std::find_if(kFormats.begin(), kFormats.end(),
                                     [format](const FormatEntry& e) { return e.format == format; });
    return entry != kFormats.end() ? *entry : kFormats.front();
}

std::string FormatNames() {
    std::string names;
    for (const FormatEntry& entry : kFormats) {
        names.append(names.empty() ? "" : ", ").append(entry.name);
    }
    return names;
}

std::string_view ExtensionOf(OutputFormat format) {
    return FormatEntryOf(format).name;
}

std::optional<OutputFormat> FormatFromName(std::string_view name) {
    const std::string lower = LowerAscii(name);
    for (const FormatEntry& entry : kFormats) {
        if (lower == entry.name) {
            return entry.format;
        }
    }
    return std::nullopt;
}

} // namespace tolvren
