// Whole scripts through the converter, in memory, in every output format (those whose times move
// also moved) and with every way of choosing the encoding, converted into the other script of
// Chinese or not: any bytes must give a complete, well-formed document, never a crash or a hang,
// and a check must say exactly what the conversion says; a sung text keeps its units in every
// mode. The first byte picks the format, the encoding and the mode. Writing documents to disk is
// the atomic writer's, tested on real file systems by the unit and fault tests.
#include "conversion/CodePage.h"
#include "conversion/LyricConverter.h"
#include "conversion/TimedLines.h"

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Whether every line that follows the line holding the first `after` (every line after the
// byte-order mark when `after` is empty) starts with `start`.
bool EveryLineAfter(std::string_view document, std::string_view after, std::string_view start) {
    std::size_t pos = 3;
    if (!after.empty()) {
        const std::size_t found = document.find(after);
        pos = found == std::string_view::npos ? found : document.find('\n', found + after.size());
        if (pos == std::string_view::npos) {
            return false;
        }
        ++pos;
    }
    while (pos < document.size()) {
        if (!document.substr(pos).starts_with(start)) {
            return false;
        }
        const std::size_t lineFeed = document.find('\n', pos);
        pos = lineFeed == std::string_view::npos ? document.size() : lineFeed + 1;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    using tolvren::LyricConverter;
    using tolvren::OutputFormat;
    struct Case {
        LyricConverter converter;
        OutputFormat format;
    };
    // Every format in every encoding, and those whose times move once more, moved.
    static const std::vector<Case> cases = [] {
        std::vector<Case> all;
        tolvren::DocumentOptions moved;
        moved.timing = {-1500, true};
        for (const char* encoding :
             {"gbk", "auto", "utf-8", "big5", "gb18030", "shift_jis", "euc-jp"}) {
            for (const tolvren::FormatEntry& entry : tolvren::DocumentFormats()) {
                const auto input = *tolvren::InputEncoding::FromName(encoding);
                const auto chinese = [&all] {
                    return tolvren::kChineseModes[all.size() % tolvren::kChineseModes.size()];
                };
                all.push_back(
                    {LyricConverter("fuzz & <author>", entry.format, input, {}, chinese()),
                     entry.format});
                if (tolvren::TimesCanMove(entry.format)) {
                    tolvren::DocumentOptions options = moved;
                    if (entry.format == OutputFormat::Lrc) {
                        options.lrc = {tolvren::LrcStyle::Plain, 3};
                    }
                    all.push_back(
                        {LyricConverter("fuzz & <author>", entry.format, input, options, chinese()),
                         entry.format});
                }
            }
        }
        return all;
    }();
    const Case& chosen = cases[data[0] % cases.size()];
    const OutputFormat format = chosen.format;
    const LyricConverter& converter = chosen.converter;
    const std::string script(reinterpret_cast<const char*>(data + 1), size - 1);
    // A script without a title is named after its file: this name must not start a line.
    constexpr std::string_view fileName = "so\nng\x1b.ksc";

    std::vector<tolvren::ScriptWarning> warnings;
    const std::string document = converter.ConvertText(script, fileName, &warnings);
    Check(converter.CheckText(script, fileName) == warnings);

    Check(document.starts_with("\xEF\xBB\xBF") == (format != OutputFormat::Ttml));
    Check(tolvren::IsValidUtf8(document) && document.find('\0') == std::string::npos);
    if (format == OutputFormat::Lrc) {
        Check(EveryLineAfter(document, {}, "[")); // tags and lyric lines, LF each
    } else if (format == OutputFormat::Ttml) {
        // Well-formed whatever the script holds: every '<' and '&' is the document's own, and no
        // character XML cannot hold is there.
        Check(document.ends_with("</tt>\n"));
        for (std::size_t i = 0; i < document.size(); ++i) {
            const auto c = static_cast<unsigned char>(document[i]);
            const std::string_view rest = std::string_view(document).substr(i);
            Check(c >= 0x20 || c == '\t' || c == '\n' || c == '\r');
            Check(!rest.starts_with("\xEF\xBF\xBE") && !rest.starts_with("\xEF\xBF\xBF"));
            Check(c != '<' || (rest.size() > 1 &&
                               std::string_view("abcdefghijklmnopqrstuvwxyz/!?").find(rest[1]) !=
                                   std::string_view::npos));
            Check(c != '&' || rest.starts_with("&amp;") || rest.starts_with("&lt;") ||
                  rest.starts_with("&gt;") || rest.starts_with("&quot;") ||
                  rest.starts_with("&apos;"));
        }
    } else {
        for (std::size_t i = document.find('\n'); i != std::string::npos;
             i = document.find('\n', i + 1)) {
            Check(i > 0 && document[i - 1] == '\r'); // every line feed reaches the disk as CR LF
        }
    }
    if (format == OutputFormat::Kmc || format == OutputFormat::Xml) {
        Check(document.starts_with(
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<kmc "));
        Check(document.ends_with("</kmc>\r\n"));
    }
    if (format == OutputFormat::Ass) {
        Check(EveryLineAfter(document, "\r\nFormat: Layer,", "Dialogue: 0,"));
    }

    // The table of code page 936 pairs decodes exactly as ICU does.
    Check(tolvren::ToUtf8(script) == tolvren::ToUtf8ThroughPlatform(script));
    std::vector<std::string_view> units;
    tolvren::SplitUnits(script, units);
    std::size_t unitBytes = 0;
    for (const std::string_view unit : units) {
        Check(unit.data() >= script.data() && unit.data() + unit.size() <= script.data() + size);
        unitBytes += unit.size();
    }
    Check(unitBytes <= script.size());
    (void)tolvren::ParseTime(script);

    const tolvren::ChineseMode mode = tolvren::kChineseModes[1 + data[0] % 8];
    std::string converted;
    tolvren::ChineseConverter::Of(mode)->ConvertSung(script, converted);
    std::vector<std::string_view> convertedUnits;
    tolvren::SplitUnits(converted, convertedUnits);
    Check(!tolvren::IsValidUtf8(script) ||
          (tolvren::IsValidUtf8(converted) && convertedUnits.size() == units.size()));
    return 0;
}
