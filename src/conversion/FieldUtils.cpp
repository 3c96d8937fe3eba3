#include "conversion/FieldUtils.h"

#include <algorithm>

namespace tolvren {

thread_local char g_fieldDelimiter = '|';

namespace {

std::ptrdiff_t Length(std::string_view text) {
    return static_cast<std::ptrdiff_t>(text.size());
}

std::string_view MidView(std::string_view text, std::ptrdiff_t first, std::ptrdiff_t count) {
    const std::ptrdiff_t n = Length(text);
    first = std::max<std::ptrdiff_t>(first, 0);
    count = std::max<std::ptrdiff_t>(count, 0);
    if (first >= n) {
        return {};
    }
    count = std::min(count, n - first);
    return text.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
}

} // namespace

std::string GetField(std::string_view text, char delimiter, std::ptrdiff_t index) {
    g_fieldDelimiter = delimiter;
    return GetFieldRange(text, index, index);
}

std::string GetFieldRange(std::string_view text, std::ptrdiff_t first, std::ptrdiff_t last) {
    const char d = g_fieldDelimiter;
    const std::ptrdiff_t n = Length(text);
    if (last < 0) {
        last = CountDelimiters(text);
    }
    const std::ptrdiff_t k = last - first + 1;
    if (first < 0 || k < 0) {
        return {};
    }

    // Start: just after the first-th delimiter, or the end when there are fewer.
    std::ptrdiff_t start = 0;
    for (std::ptrdiff_t passed = 0; passed < first;) {
        if (start >= n) {
            break;
        }
        if (text[static_cast<std::size_t>(start++)] == d) {
            ++passed;
        }
    }

    // End: the index of the k-th delimiter after start, or the end of the text with r fields
    // still outstanding.
    std::ptrdiff_t end = start;
    std::ptrdiff_t r = k;
    while (r > 0 && end < n) {
        if (text[static_cast<std::size_t>(end++)] == d) {
            --r;
        }
    }
    if (end > 0 && r == 0) {
        --end;
    }

    if (start >= n) {
        return k > 1 ? std::string(static_cast<std::size_t>(k - 1), d) : std::string();
    }
    if (end == 0) {
        return {};
    }
    if (end < n) {
        return std::string(MidView(text, start, end - start));
    }
    std::string result(text.substr(static_cast<std::size_t>(start)));
    if (r > 1) {
        result.append(static_cast<std::size_t>(r - 1), d);
    }
    return result;
}

std::ptrdiff_t CountDelimiters(std::string_view text) {
    return std::count(text.begin(), text.end(), g_fieldDelimiter);
}

std::ptrdiff_t ReplaceAll(std::string& text, std::string_view replacement, std::string_view find) {
    if (find.empty()) {
        return 0;
    }
    std::size_t p = text.find(find);
    if (p == std::string::npos) {
        return 0;
    }
    std::string result;
    result.reserve(text.size());
    std::ptrdiff_t count = 0;
    std::size_t rest = 0;
    while (p != std::string::npos) {
        result.append(text, rest, p - rest);
        result.append(replacement);
        rest = p + find.size();
        ++count;
        p = text.find(find, rest);
    }
    result.append(text, rest, std::string::npos);
    text = std::move(result);
    return count;
}

std::size_t ControlCharacterAt(std::string_view text, std::size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
        return 1;
    }
    const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                    (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
    return c1 ? 2 : 0;
}

void UndoubleApostrophes(std::string& text) {
    ReplaceAll(text, "'", "''");
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return lower;
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+')) {
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 12) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

std::string Trimmed(std::string_view text) {
    constexpr std::string_view whiteSpace = " \t\n\v\f\r";
    const std::size_t last = text.find_last_not_of(whiteSpace);
    if (last == std::string_view::npos) {
        return {};
    }
    const std::size_t first = text.find_first_not_of(whiteSpace);
    return std::string(text.substr(first, last - first + 1));
}

std::string Mid(std::string_view text, std::ptrdiff_t first, std::ptrdiff_t count) {
    return std::string(MidView(text, first, count));
}

std::string MidRange(std::string_view text, std::ptrdiff_t first, std::ptrdiff_t last) {
    return Mid(text, first, last - first + 1);
}

} // namespace tolvren
