// Wildcard matching on an arbitrary mask and name, split at the first NUL byte. Short inputs are
// checked against a plain table-filling matcher; long ones only have to finish quickly, which a
// backtracking matcher would not on masks such as "*a*a*a*...b".
#include "files/DirectorySearch.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

using namespace tolvren;

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

bool Reference(std::string_view mask, std::string_view name) {
    // can[j]: mask[0, i) matches name[0, j).
    std::vector<char> can(name.size() + 1, 0);
    can[0] = 1;
    for (const char m : mask) {
        std::vector<char> next(name.size() + 1, 0);
        for (std::size_t j = 0; j <= name.size(); ++j) {
            if (m == '*') {
                next[j] = static_cast<char>(can[j] || (j > 0 && next[j - 1]));
            } else if (j > 0 && can[j - 1] && (m == '?' || Upper(m) == Upper(name[j - 1]))) {
                next[j] = 1;
            }
        }
        can.swap(next);
    }
    return can[name.size()] != 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view mask = input.substr(0, split);
    const std::string_view name =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    const bool match = MatchesWildcard(mask, name);
    if (mask.size() * name.size() <= 1 << 16) {
        bool expected = Reference(mask, name);
        if (!expected && mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*") {
            expected = Reference(mask.substr(0, mask.size() - 2), name);
        }
        if (match != expected) {
            std::abort();
        }
    }
    return 0;
}
