// The table of formats: a new format is one row here and a writer in a file of its own.

#include "conversion/AssDocument.h"
#include "conversion/DocumentFormat.h"
#include "conversion/FieldUtils.h"
#include "conversion/KmcDocument.h"
#include "conversion/LrcDocument.h"
#include "conversion/SrtDocument.h"
#include "conversion/TtmlDocument.h"

#include <algorithm>
#include <array>

namespace tolvren {

namespace {

constexpr auto kAsMeant = ScriptReading::AsMeant;
constexpr auto kRead = ScriptTimes::Read;
constexpr std::array kFormats = {
    FormatEntry{OutputFormat::Kmc, "kmc", "KMC", ScriptReading::Kmc, ScriptTimes::Copied,
                &MakeKmcWriter},
    FormatEntry{OutputFormat::Xml, "xml", "XML", ScriptReading::Kmc, ScriptTimes::Copied,
                &MakeKmcWriter},
    FormatEntry{OutputFormat::Lrc, "lrc", "LRC", kAsMeant, kRead, &MakeLrcWriter},
    FormatEntry{OutputFormat::Ass, "ass", "ASS", kAsMeant, kRead, &MakeAssWriter},
    FormatEntry{OutputFormat::Ttml, "ttml", "TTML", kAsMeant, kRead, &MakeTtmlWriter},
    FormatEntry{OutputFormat::Srt, "srt", "SRT", kAsMeant, kRead, &MakeSrtWriter},
};

constexpr std::array<std::string_view, kLrcStyles.size()> kLrcStyleNames = {"enhanced", "plain"};

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

bool TimesCanMove(OutputFormat format) {
    return FormatEntryOf(format).times == ScriptTimes::Read;
}

bool HasLrcOptions(OutputFormat format) {
    return format == OutputFormat::Lrc;
}

DocumentOptions OptionsFor(OutputFormat format, const DocumentOptions& chosen) {
    DocumentOptions options;
    if (TimesCanMove(format)) {
        options.timing = chosen.timing;
    }
    if (HasLrcOptions(format)) {
        options.lrc = chosen.lrc;
    }
    if (format == OutputFormat::Ass) {
        options.ass = chosen.ass;
    }
    return options;
}

std::string_view LrcStyleName(LrcStyle style) {
    return kLrcStyleNames[static_cast<std::size_t>(style)];
}

std::optional<LrcStyle> LrcStyleFromName(std::string_view name) {
    const std::string lower = LowerAscii(name);
    for (const LrcStyle style : kLrcStyles) {
        if (lower == LrcStyleName(style)) {
            return style;
        }
    }
    return std::nullopt;
}

} // namespace tolvren
