#pragma once

#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Simplified and Traditional Chinese: the conversions that OpenCC's configurations of the same
// names make (s2t.json, s2twp.json, …), from OpenCC's own dictionaries, which the build puts into
// the program, and matched the way OpenCC matches them. Every platform converts alike, and no file
// has to be found at run time.

namespace tolvren {

/// Whether and how a run converts the script of its lyrics, titles and singers.
enum class ChineseMode {
    Off,
    S2t,   ///< Simplified to Traditional (OpenCC's standard characters)
    S2tw,  ///< Simplified to Traditional, Taiwan's characters
    S2twp, ///< Simplified to Traditional, Taiwan's characters and words (软件 → 軟體)
    S2hk,  ///< Simplified to Traditional, Hong Kong's characters
    T2s,   ///< Traditional to Simplified
    Tw2s,  ///< Traditional (Taiwan's characters) to Simplified
    Tw2sp, ///< Traditional (Taiwan's characters and words) to Simplified (軟體 → 软件)
    Hk2s,  ///< Traditional (Hong Kong's characters) to Simplified
};

/// Every mode, in the order a choice of them lists them: Off first, then from Simplified, then to.
inline constexpr std::array kChineseModes = {
    ChineseMode::Off, ChineseMode::S2t,  ChineseMode::S2tw,  ChineseMode::S2twp, ChineseMode::S2hk,
    ChineseMode::T2s, ChineseMode::Tw2s, ChineseMode::Tw2sp, ChineseMode::Hk2s,
};

/// OpenCC's name of the mode ("s2twp"), as users of other tools know it; "" for Off.
std::string_view ChineseModeName(ChineseMode mode);
/// The mode a name names, in any case; empty for anything else ("" included).
std::optional<ChineseMode> ChineseModeFromName(std::string_view name);

/// One mode's conversion: a text is cut into the phrases of a dictionary, longest first, and each
/// piece goes through the mode's dictionaries in turn. Made once per mode and process, read by
/// any number of threads at once.
class ChineseConverter {
public:
    /// The converter of `mode`, made on first use (a few milliseconds); null for Off.
    static const ChineseConverter* Of(ChineseMode mode);

    ChineseMode Mode() const { return m_mode; }

    /// Appends `text` (UTF-8) converted to `out`. ASCII comes through as it is, but for the few
    /// regional words that hold it (U盘 → 隨身碟 in s2twp).
    void Convert(std::string_view text, std::string& out) const;

    /// Appends a sung text (the lyric of one timed line) converted to `out`, keeping its units
    /// (each character, or a bracketed group) and its ASCII. Where the regional words of s2twp or
    /// tw2sp would change them (内存 → 記憶體), the line is converted without them, by s2tw or
    /// tw2s, and the mode used is returned; otherwise this mode.
    ChineseMode ConvertSung(std::string_view text, std::string& out) const;

private:
    class Dictionary;
    /// One step of the conversion: the first of its dictionaries that matches decides.
    using Step = std::vector<const Dictionary*>;

    ChineseConverter(ChineseMode mode, std::string_view segmentation,
                     std::initializer_list<std::initializer_list<std::string_view>> steps,
                     ChineseMode withoutRegionalWords = ChineseMode::Off);
    /// Convert, saying whether a key was replaced by a value of another number of characters,
    /// or with ASCII in either.
    bool Apply(std::string_view text, std::string& out) const;
    /// OpenCC's dictionary of that name ("STPhrases"), read once from the program's own copy.
    static const Dictionary& DictionaryNamed(std::string_view name);

    ChineseMode m_mode;
    const Dictionary* m_pSegmentation;
    std::vector<Step> m_steps;
    ChineseMode m_withoutRegionalWords;
};

} // namespace tolvren
