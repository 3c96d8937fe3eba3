#pragma once

#include "conversion/AssOptions.h"
#include "dialog/DialogChoices.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// The karaoke ASS choices of the dialogs' ASS 选项 window: what its controls show for the options
// a run is made with, what the user's picks make of them, what the sample line looks like, and
// how they are kept between launches. The window draws and reports; every check is here.

namespace tolvren {

/// What the ASS 选项 window's controls hold.
struct AssChoices {
    std::string font;         ///< the family name, UTF-8
    int size = 0;             ///< Fontsize: pixels of a line, in the document's frame
    std::uint32_t sung = 0;   ///< 0xRRGGBB
    std::uint32_t unsung = 0; ///< 0xRRGGBB
    int rows = 0;             ///< an entry of AssRowEntries()
    std::string lead, linger; ///< milliseconds as typed; empty: as the script says
    bool titleCard = true;    ///< 片头（歌名与歌手）
    friend bool operator==(const AssChoices&, const AssChoices&) = default;
};

/// The largest size the window's size box offers: a line as high as the largest frame.
inline constexpr int kAssMaxFontSize = kAssMaxFrameSide;

/// The rows list: "按脚本", "1", "2".
std::vector<std::string> AssRowEntries();

/// What the window shows for `options`.
AssChoices AssChoicesOf(const AssOptions& options);

/// `current` with the user's picks over it, only what was changed (so that a window opened and
/// closed leaves the options as they were); or why a pick is refused, in Chinese.
std::variant<AssOptions, std::string> AssOptionsOf(const AssChoices& choices,
                                                   const AssOptions& current);

/// How the sample line looks in `choices`; a size or a font that could not be used looks as the
/// document's default.
AssSampleLook SampleLookOf(const AssChoices& choices);

/// The sample line's font and outline in pixels, for a sample `height` pixels high: a line of the
/// default size half as high, other sizes in proportion, none higher than most of the sample.
struct SampleSize {
    double font = 0;
    double outline = 0;
};
SampleSize SampleSizeOf(const AssSampleLook& look, int height);

/// The ASS options kept in `store`; each value that is missing or refused is the default.
AssOptions RestoreAssOptions(const ChoiceStore& store);
/// Keeps `options` in `store`: the style as force_style text, and the numbers.
bool StoreAssOptions(const AssOptions& options, ChoiceStore& store);

} // namespace tolvren
