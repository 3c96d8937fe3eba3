// TranslateLine and the field operations on arbitrary bytes and indexes.
#include "conversion/FieldUtils.h"
#include "conversion/LyricConverter.h"

#include <algorithm>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    // Small signed indexes, so that padding with delimiters stays small.
    const auto first = static_cast<std::ptrdiff_t>(static_cast<int8_t>(data[0]) % 40);
    const auto last = static_cast<std::ptrdiff_t>(static_cast<int8_t>(data[1]) % 40);
    const char delimiter = static_cast<char>(data[2]);
    std::size_t split = data[3] % 8;
    const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);
    split = std::min(split, text.size());

    static const tolvren::LyricConverter converter("");
    const std::string line = converter.TranslateLine(text);
    if (line.empty() || line.back() != '\n') {
        std::abort();
    }

    const std::string field = tolvren::GetField(text, delimiter, first);
    if (tolvren::g_fieldDelimiter != delimiter || field.size() > text.size()) {
        std::abort();
    }
    if (tolvren::GetFieldRange(text, 0, -1) != text) {
        std::abort(); // all fields joined again give the text back
    }
    (void)tolvren::GetFieldRange(text, first, last);
    (void)tolvren::CountDelimiters(text);

    std::string replaced = text;
    const std::string find = text.substr(0, split);
    const std::string replacement = text.substr(split, split / 2);
    const std::ptrdiff_t count = tolvren::ReplaceAll(replaced, replacement, find);
    const auto expectedSize = static_cast<std::ptrdiff_t>(text.size()) +
                              count * (static_cast<std::ptrdiff_t>(replacement.size()) -
                                       static_cast<std::ptrdiff_t>(find.size()));
    if (static_cast<std::ptrdiff_t>(replaced.size()) != expectedSize) {
        std::abort();
    }

    const std::string trimmed = tolvren::Trimmed(text);
    if (trimmed.size() > text.size() || text.find(trimmed) == std::string::npos) {
        std::abort();
    }
    if (tolvren::MidRange(text, first, last).size() > text.size() ||
        tolvren::Mid(text, first, last).size() > text.size()) {
        std::abort();
    }
    return 0;
}
