#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The choices a karaoke ASS document is made with: how many rows, how long a line is shown before
// and after it is sung, the title card, the frame and the look of the text. The command line and
// the dialogs read and check every choice here, so that they accept the same values, refuse the
// same ones with the same words, and draw a sample line in the colours the document will have.

namespace tolvren {

/// The fields of an ASS style, in the order of its format line, named as ffmpeg's force_style
/// names them.
enum class AssStyleField {
    Fontname,
    Fontsize,
    PrimaryColour,   ///< sung
    SecondaryColour, ///< not sung yet
    OutlineColour,
    BackColour, ///< the shadow
    Bold,
    Italic,
    Underline,
    StrikeOut,
    ScaleX,
    ScaleY,
    Spacing,
    Angle,
    BorderStyle,
    Outline,
    Shadow,
    Alignment,
    MarginL,
    MarginR,
    MarginV,
    Encoding,
};
inline constexpr std::size_t kAssStyleFields = 22;

/// "Fontname", "Fontsize", …: the field's name in a style's format line.
std::string_view NameOf(AssStyleField field);

/// Style fields, each as a document writes it; an empty one is not chosen (the default holds).
using AssStyle = std::array<std::string, kAssStyleFields>;

inline constexpr int kAssMinRows = 1;
inline constexpr int kAssMaxRows = 4;
inline constexpr int kAssDefaultRows = 2;
/// Lead-in and linger, in milliseconds: from 0 to this.
inline constexpr std::int64_t kAssMaxAnimateMs = 30000;
inline constexpr std::int64_t kAssDefaultLeadMs = 1000;
inline constexpr std::int64_t kAssDefaultLingerMs = 500;
/// Each side of the frame, in pixels.
inline constexpr int kAssMinFrameSide = 32;
inline constexpr int kAssMaxFrameSide = 8192;
/// The largest size, margin or other number a style field takes, either way.
inline constexpr std::int64_t kAssLargestValue = 1'000'000;
/// The font the rows are written in unless the user names another.
inline constexpr std::string_view kAssDefaultFont = "Noto Sans CJK SC";

/// How the user wants karaoke ASS laid out; what is empty is taken from the script, then from the
/// defaults.
struct AssOptions {
    std::optional<int> rows;              ///< how many rows (karaoke.rows)
    std::optional<std::int64_t> leadMs;   ///< shown before its start (karaoke.TimeBeforeAnimate)
    std::optional<std::int64_t> lingerMs; ///< shown after its end (karaoke.TimeAfterAnimate)
    bool titleCard = true;                ///< the title and singer shown before the first line
    int width = 1920;
    int height = 1080;
    AssStyle style; ///< what the user chose of the rows' style
    friend bool operator==(const AssOptions&, const AssOptions&) = default;
};

/// The ASS choices a user gives as text: on the command line, or kept by a dialog.
enum class AssOption {
    Rows,   ///< "2"
    Lead,   ///< "4000"
    Linger, ///< "2000"
    Size,   ///< "1920x1080"
    Style,  ///< "Fontname=…,Fontsize=72,PrimaryColour=&H00FF8000", as ffmpeg's force_style
};

/// What a style field takes.
enum class AssValueKind {
    FontName,    ///< a name without control characters
    Positive,    ///< a number above 0 (all numbers: at most kAssLargestValue either way)
    NonNegative, ///< a number, 0 or more
    Number,      ///< any number
    WholeNumber, ///< a whole number
    Margin,      ///< a whole number, 0 or more
    Colour,      ///< &HAABBGGRR (or &HBBGGRR)
    Alignment,   ///< 1 to 3 (at the bottom) or 7 to 9 (at the top)
};
AssValueKind ValueKindOf(AssStyleField field);

/// Why a choice was refused.
struct AssOptionError {
    enum class Kind {
        OutOfRange,    ///< `value` is no whole number in the option's range
        NotASize,      ///< `value` is not WIDTHxHEIGHT with sides in range
        NotAField,     ///< `value` is no FIELD=VALUE
        UnknownField,  ///< `field` is no style field
        BadFieldValue, ///< `value` is not what `field` takes
    };
    Kind kind;
    AssOption option;
    std::string value = {};
    std::string field = {}; ///< UnknownField, BadFieldValue: the field as the user wrote it
    AssValueKind takes = AssValueKind::Number; ///< BadFieldValue: what the field takes
};

/// Reads `value` as the user gave `option` into `options`: a style's fields are set over those
/// chosen before. Says what is wrong with a value it refuses, leaving `options` as they were.
std::optional<AssOptionError> SetAssOption(AssOptions& options, AssOption option,
                                           std::string_view value);

/// `style` in force_style's syntax, the fields in their format line's order: what a dialog keeps
/// and gives back to SetAssOption.
std::string FormatAssStyle(const AssStyle& style);

/// "&H00BBGGRR": the colour (r, g, b) as a style field and an override tag write it.
std::string AssColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

/// Every field of the rows' style for `options`: the defaults for the frame with the user's
/// fields over them. The writer writes each row's style from it; a dialog draws its sample line
/// with AssSampleLookOf.
AssStyle AssRowStyle(const AssOptions& options);

/// An RGB colour, 0xRRGGBB, and its opacity (255 opaque).
struct AssRgb {
    std::uint32_t rgb = 0;
    std::uint8_t opacity = 255;
};

/// How a line of the document looks, for a sample drawn half sung: the part already sung in
/// `sung`, the rest in `unsung`, both outlined, split at one edge as the progress bar is.
struct AssSampleLook {
    std::string fontName;
    double fontSize = 0; ///< pixels of a line's height, in a frame of the document's size
    bool bold = true;
    bool italic = false;
    AssRgb sung;
    AssRgb unsung;
    AssRgb outline;
    double outlineWidth = 0; ///< pixels, in the same frame
};
AssSampleLook AssSampleLookOf(const AssOptions& options);

/// `text` as an ASS colour (&HAABBGGRR, &HBBGGRR, with or without the closing '&').
std::optional<AssRgb> ParseAssColour(std::string_view text);

} // namespace tolvren
