#include "conversion/XmlCheck.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>

namespace tolvren {

namespace {

// Whether `text` begins with a reference XML knows: one of the five entities it predefines, or a
// character it allows by number.
bool BeginsWithReference(std::string_view text) {
    for (const std::string_view entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
        if (text.starts_with(entity)) {
            return true;
        }
    }
    const bool hex = text.starts_with("&#x");
    if (!hex && !text.starts_with("&#")) {
        return false;
    }
    const std::size_t digits = hex ? 3 : 2;
    const std::size_t end = text.find(';', digits);
    std::uint32_t c = 0;
    if (end == std::string_view::npos || end == digits) {
        return false;
    }
    const auto [next, error] =
        std::from_chars(text.data() + digits, text.data() + end, c, hex ? 16 : 10);
    return error == std::errc() && next == text.data() + end &&
           (c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
            (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF));
}

std::string CodePointName(unsigned c) {
    constexpr std::string_view digits = "0123456789ABCDEF";
    std::string name = "U+";
    for (int shift = 12; shift >= 0; shift -= 4) {
        name += digits[(c >> shift) & 0xF];
    }
    return name;
}

// The bytes that may begin a fault.
constexpr std::array<bool, 256> kFaultStarts = [] {
    std::array<bool, 256> starts{};
    for (unsigned c = 0; c < 0x20; ++c) {
        starts[c] = c != '\t' && c != '\n' && c != '\r';
    }
    for (const unsigned char c : std::string_view("&<\"]\xEF")) {
        starts[c] = true;
    }
    return starts;
}();

// Whether `text` may hold a fault anywhere; most scripts hold none, and their lyrics need not be
// read again. ']' and 0xEF begin common characters ("[a][b]" units, full-width punctuation), so
// what they begin is looked for as a whole.
bool MayHoldFault(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) {
                           return c != ']' && c != '\xEF' &&
                                  kFaultStarts[static_cast<unsigned char>(c)];
                       }) ||
           text.find("]]>") != std::string_view::npos ||
           text.find("\xEF\xBF\xBE") != std::string_view::npos ||
           text.find("\xEF\xBF\xBF") != std::string_view::npos;
}

} // namespace

std::string XmlFault(std::string_view value, KmcValue where) {
    const bool attribute = where != KmcValue::Lyric;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (!kFaultStarts[c]) {
            continue;
        }
        const std::string_view rest = value.substr(i);
        if (c < 0x20) {
            return CodePointName(c);
        }
        if ((c == '&' && !BeginsWithReference(rest)) || c == '<' || (c == '"' && attribute)) {
            return std::string(1, static_cast<char>(c));
        }
        if (!attribute && rest.starts_with("]]>")) {
            return "]]>";
        }
        if (rest.starts_with("\xEF\xBF\xBE") || rest.starts_with("\xEF\xBF\xBF")) {
            return CodePointName(rest[2] == '\xBE' ? 0xFFFE : 0xFFFF);
        }
    }
    return {};
}

std::optional<ScriptWarning> FindXmlFault(const DocumentInput& input) {
    std::optional<ScriptWarning> fault;
    const auto check = [&fault](std::string_view value, KmcValue where, std::size_t line) {
        if (std::string found = XmlFault(value, where); !fault && !found.empty()) {
            fault.emplace(ScriptWarning::Kind::NotWellFormedXml, line,
                          static_cast<std::size_t>(where), 0, std::move(found));
        }
    };
    check(input.header.title, KmcValue::Title, 0);
    if (fault || !MayHoldFault(input.script.Text())) {
        return fault;
    }
    check(input.header.singer, KmcValue::Singer, 0);
    check(input.script.Offset(), KmcValue::Offset, 0);
    input.script.ForEachLyric([&](const LyricStatement& statement) {
        if (!fault && statement.complete) {
            for (const std::string_view timing :
                 {statement.start, statement.end, statement.durations}) {
                check(timing, KmcValue::Timing, statement.line);
            }
            check(statement.text, KmcValue::Lyric, statement.line);
        }
    });
    return fault;
}

} // namespace tolvren
