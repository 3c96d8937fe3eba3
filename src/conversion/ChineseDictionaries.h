#pragma once

#include <string_view>

namespace tolvren {

/// The OpenCC dictionary `name` ("STPhrases") in OpenCC's text form, a line per entry: the key, a
/// tab, its values separated by blanks, a line feed. Built into the program from the build
/// machine's copy (cmake/ChineseDictionaries.cmake); empty for a name it does not hold.
std::string_view ChineseDictionaryText(std::string_view name);

} // namespace tolvren
