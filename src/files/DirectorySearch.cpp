#include "files/DirectorySearch.h"

#include <algorithm>

namespace tolvren {

namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Greedy matching that remembers only the last '*': when a later literal fails, that star takes
// one byte more. Every earlier star is already satisfied, so no deeper backtracking is needed and
// hostile masks like "*a*a*a*a*b" cannot make it exponential.
bool MatchesPlain(std::string_view mask, std::string_view name) {
    std::size_t m = 0;
    std::size_t n = 0;
    std::size_t starMask = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() &&
                   (mask[m] == '?' || UpperAscii(mask[m]) == UpperAscii(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') {
        ++m;
    }
    return m == mask.size();
}

} // namespace

// Names compared as the user's eye sees them on a case-blind file system; the raw bytes only
// break ties between names that differ in case alone, so the order never depends on readdir.
void SortByName(std::vector<DirectoryEntry>& entries) {
    std::vector<std::pair<std::string, std::size_t>> keys;
    keys.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::string key = entries[i].name;
        std::transform(key.begin(), key.end(), key.begin(), [](char c) { return UpperAscii(c); });
        keys.emplace_back(std::move(key), i);
    }
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first) {
            return a.first < b.first;
        }
        return entries[a.second].name < entries[b.second].name;
    });
    std::vector<DirectoryEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto& key : keys) {
        sorted.push_back(std::move(entries[key.second]));
    }
    entries = std::move(sorted);
}

bool MatchesWildcard(std::string_view mask, std::string_view name) {
    if (MatchesPlain(mask, name)) {
        return true;
    }
    return mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
           MatchesPlain(mask.substr(0, mask.size() - 2), name);
}

} // namespace tolvren
