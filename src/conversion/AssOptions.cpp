#include "conversion/AssOptions.h"

#include "conversion/FieldUtils.h"

#include <charconv>
#include <cmath>

namespace tolvren {

namespace {

constexpr std::array<std::string_view, kAssStyleFields> kFieldNames = {
    "Fontname", "Fontsize", "PrimaryColour", "SecondaryColour", "OutlineColour", "BackColour",
    "Bold",     "Italic",   "Underline",     "StrikeOut",       "ScaleX",        "ScaleY",
    "Spacing",  "Angle",    "BorderStyle",   "Outline",         "Shadow",        "Alignment",
    "MarginL",  "MarginR",  "MarginV",       "Encoding"};

constexpr std::size_t IndexOf(AssStyleField field) {
    return static_cast<std::size_t>(field);
}

std::string_view Blankless(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::int64_t> WholeNumber(std::string_view text, std::int64_t min, std::int64_t max) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min ||
        value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> Number(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// "&HAABBGGRR", as styles and override tags write colours.
std::string HexColour(std::uint32_t aabbggrr) {
    constexpr std::string_view digits = "0123456789ABCDEF";
    std::string text = "&H";
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += digits[(aabbggrr >> shift) & 0xF];
    }
    return text;
}

// &HAABBGGRR or &HBBGGRR, with or without the closing '&', as libass reads it.
std::optional<std::uint32_t> RawColour(std::string_view text) {
    if (text.size() < 3 || text[0] != '&' || (text[1] != 'H' && text[1] != 'h')) {
        return std::nullopt;
    }
    std::string_view digits = text.substr(2);
    if (digits.ends_with('&')) {
        digits.remove_suffix(1);
    }
    std::uint32_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || digits.size() > 8 || error != std::errc() ||
        end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

// The value as the document writes it, or empty when `kind` does not take it.
std::string CheckedValue(AssValueKind kind, std::string_view value) {
    // Sizes, margins and the like beyond a million pixels are typing errors, and would overflow
    // what the rows are laid out with.
    constexpr std::int64_t kLargest = kAssLargestValue;
    std::optional<double> number = Number(value);
    if (number && std::abs(*number) > static_cast<double>(kLargest)) {
        number.reset();
    }
    bool fits = false;
    switch (kind) {
    case AssValueKind::FontName:
        fits = !value.empty();
        for (std::size_t i = 0; i < value.size() && fits; ++i) {
            fits = ControlCharacterAt(value, i) == 0;
        }
        break;
    case AssValueKind::Positive:
        fits = number && *number > 0;
        break;
    case AssValueKind::NonNegative:
        fits = number && *number >= 0;
        break;
    case AssValueKind::Number:
        fits = number.has_value();
        break;
    case AssValueKind::WholeNumber:
        fits = WholeNumber(value, -kLargest, kLargest).has_value();
        break;
    case AssValueKind::Margin:
        fits = WholeNumber(value, 0, kLargest).has_value();
        break;
    case AssValueKind::Alignment: {
        const std::optional<std::int64_t> alignment = WholeNumber(value, 1, 9);
        fits = alignment && (*alignment <= 3 || *alignment >= 7);
        break;
    }
    case AssValueKind::Colour:
        if (const std::optional<std::uint32_t> colour = RawColour(value)) {
            return HexColour(*colour);
        }
        return {};
    }
    return fits ? std::string(value) : std::string();
}

std::optional<AssOptionError> SetStyle(AssStyle& style, std::string_view text) {
    AssStyle chosen = style;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        const std::string_view item = Blankless(text.substr(from, comma - from));
        from = comma + 1;
        if (item.empty()) {
            continue;
        }
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos) {
            return AssOptionError{AssOptionError::Kind::NotAField, AssOption::Style,
                                  std::string(item)};
        }
        const std::string_view name = Blankless(item.substr(0, equals));
        const std::string_view value = Blankless(item.substr(equals + 1));
        const std::string lower = LowerAscii(name);
        std::size_t field = 0;
        while (field < kAssStyleFields && LowerAscii(kFieldNames[field]) != lower) {
            ++field;
        }
        if (field == kAssStyleFields) {
            return AssOptionError{AssOptionError::Kind::UnknownField, AssOption::Style,
                                  std::string(value), std::string(name)};
        }
        const AssValueKind kind = ValueKindOf(static_cast<AssStyleField>(field));
        std::string checked = CheckedValue(kind, value);
        if (checked.empty()) {
            return AssOptionError{AssOptionError::Kind::BadFieldValue, AssOption::Style,
                                  std::string(value), std::string(name), kind};
        }
        chosen[field] = std::move(checked);
    }
    style = std::move(chosen);
    return std::nullopt;
}

} // namespace

std::string_view NameOf(AssStyleField field) {
    return kFieldNames[IndexOf(field)];
}

AssValueKind ValueKindOf(AssStyleField field) {
    using Field = AssStyleField;
    switch (field) {
    case Field::Fontname:
        return AssValueKind::FontName;
    case Field::Fontsize:
    case Field::ScaleX:
    case Field::ScaleY:
        return AssValueKind::Positive;
    case Field::PrimaryColour:
    case Field::SecondaryColour:
    case Field::OutlineColour:
    case Field::BackColour:
        return AssValueKind::Colour;
    case Field::Spacing:
    case Field::Angle:
        return AssValueKind::Number;
    case Field::Outline:
    case Field::Shadow:
        return AssValueKind::NonNegative;
    case Field::Alignment:
        return AssValueKind::Alignment;
    case Field::MarginL:
    case Field::MarginR:
    case Field::MarginV:
        return AssValueKind::Margin;
    default:
        return AssValueKind::WholeNumber;
    }
}

std::optional<AssOptionError> SetAssOption(AssOptions& options, AssOption option,
                                           std::string_view value) {
    const std::string_view text = Blankless(value);
    const auto outOfRange = [&] {
        return AssOptionError{AssOptionError::Kind::OutOfRange, option, std::string(value)};
    };
    switch (option) {
    case AssOption::Rows:
        if (const auto rows = WholeNumber(text, kAssMinRows, kAssMaxRows)) {
            options.rows = static_cast<int>(*rows);
            return std::nullopt;
        }
        return outOfRange();
    case AssOption::Lead:
    case AssOption::Linger:
        if (const auto ms = WholeNumber(text, 0, kAssMaxAnimateMs)) {
            (option == AssOption::Lead ? options.leadMs : options.lingerMs) = *ms;
            return std::nullopt;
        }
        return outOfRange();
    case AssOption::Size: {
        const std::size_t x = std::min(text.find('x'), text.find('X'));
        const auto width = WholeNumber(text.substr(0, x), kAssMinFrameSide, kAssMaxFrameSide);
        const auto height =
            x == std::string_view::npos
                ? std::nullopt
                : WholeNumber(text.substr(x + 1), kAssMinFrameSide, kAssMaxFrameSide);
        if (!width || !height) {
            return AssOptionError{AssOptionError::Kind::NotASize, option, std::string(value)};
        }
        options.width = static_cast<int>(*width);
        options.height = static_cast<int>(*height);
        return std::nullopt;
    }
    case AssOption::Style:
        return SetStyle(options.style, value);
    }
    return outOfRange();
}

std::string FormatAssStyle(const AssStyle& style) {
    std::string text;
    for (std::size_t field = 0; field < kAssStyleFields; ++field) {
        if (!style[field].empty()) {
            text.append(text.empty() ? "" : ",").append(kFieldNames[field]).append("=");
            text.append(style[field]);
        }
    }
    return text;
}

std::string AssColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return HexColour((std::uint32_t{blue} << 16) | (std::uint32_t{green} << 8) | red);
}

std::optional<AssRgb> ParseAssColour(std::string_view text) {
    const std::optional<std::uint32_t> value = RawColour(text);
    if (!value) {
        return std::nullopt;
    }
    const std::uint32_t rgb = ((*value & 0xFF) << 16) | (*value & 0xFF00) | ((*value >> 16) & 0xFF);
    return AssRgb{rgb, static_cast<std::uint8_t>(255 - (*value >> 24))};
}

AssStyle AssRowStyle(const AssOptions& options) {
    // Sizes for a frame of 1920x1080, scaled to the frame's.
    const auto scaled = [](int side, int value, int reference) {
        return std::to_string(std::max(1, (side * value + reference / 2) / reference));
    };
    const int w = options.width;
    const int h = options.height;
    AssStyle style = {std::string(kAssDefaultFont),
                      scaled(h, 80, 1080),
                      AssColour(0, 120, 255), // a KTV blue, sung
                      AssColour(255, 255, 255),
                      AssColour(16, 16, 24),
                      "&H80000000",
                      "-1",
                      "0",
                      "0",
                      "0",
                      "100",
                      "100",
                      "0",
                      "0",
                      "1",
                      scaled(h, 4, 1080),
                      scaled(h, 2, 1080),
                      "2",
                      scaled(w, 60, 1920),
                      scaled(w, 60, 1920),
                      scaled(h, 60, 1080),
                      "1"};
    for (std::size_t field = 0; field < kAssStyleFields; ++field) {
        if (!options.style[field].empty()) {
            style[field] = options.style[field];
        }
    }
    return style;
}

AssSampleLook AssSampleLookOf(const AssOptions& options) {
    const AssStyle style = AssRowStyle(options);
    const auto field = [&style](AssStyleField f) -> const std::string& {
        return style[IndexOf(f)];
    };
    AssSampleLook look;
    look.fontName = field(AssStyleField::Fontname);
    look.fontSize = Number(field(AssStyleField::Fontsize)).value_or(0);
    look.bold = field(AssStyleField::Bold) != "0";
    look.italic = field(AssStyleField::Italic) != "0";
    look.sung = ParseAssColour(field(AssStyleField::PrimaryColour)).value_or(AssRgb{});
    look.unsung = ParseAssColour(field(AssStyleField::SecondaryColour)).value_or(AssRgb{});
    look.outline = ParseAssColour(field(AssStyleField::OutlineColour)).value_or(AssRgb{});
    look.outlineWidth = Number(field(AssStyleField::Outline)).value_or(0);
    return look;
}

} // namespace tolvren
