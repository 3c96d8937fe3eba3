#pragma once

#include <cstddef>
#include <string_view>

// A best guess at the language of a song's lyrics from the characters they are written in: what
// a TTML document names as its xml:lang, so that a player picks fonts and line breaking for it.

namespace tolvren {

/// Counts the characters of texts by the scripts they belong to, text by text, and names the
/// language they most likely are.
class LanguageGuess {
public:
    /// Counts the characters of `text` (UTF-8).
    void Add(std::string_view text);

    /// The language tag (BCP 47) of what was counted:
    /// - "en" for Latin letters alone, or more Latin words than CJK characters;
    /// - "ko" where Hangul outnumbers the other CJK characters;
    /// - "ja" where kana make up a fifth of the Han and kana characters or more;
    /// - "zh-Hant" where more characters are Traditional-only than Simplified-only (們, 這, 愛
    ///   against 们, 这, 爱), else "zh-Hans" for any Han;
    /// - "und" (undetermined) when there is nothing to go by.
    std::string_view Tag() const;

private:
    std::size_t m_nHan = 0;
    std::size_t m_nKana = 0;
    std::size_t m_nHangul = 0;
    std::size_t m_nLatinWords = 0;
    std::size_t m_nSimplified = 0;
    std::size_t m_nTraditional = 0;
};

} // namespace tolvren
