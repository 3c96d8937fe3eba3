#include "dialog/AssChoices.h"

#include "batch/Messages.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace tolvren {

namespace {

// The names the ASS choices are kept under, beside the dialog's others.
constexpr std::string_view kStyle = "AssStyle";
constexpr std::string_view kRows = "AssRows";
constexpr std::string_view kLead = "AssLead";
constexpr std::string_view kLinger = "AssLinger";
constexpr std::string_view kTitleCard = "AssTitleCard";

// The rows list's entries after 按脚本.
constexpr int kRowChoices[] = {1, 2};

std::string RgbText(std::uint32_t rgb) {
    return AssColour(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                     static_cast<std::uint8_t>(rgb));
}

std::string Milliseconds(const std::optional<std::int64_t>& ms) {
    return ms ? std::to_string(*ms) : std::string();
}

// A lead-in or linger as typed: empty is as the script says.
std::optional<AssOptionError> SetMilliseconds(AssOptions& options, AssOption option,
                                              const std::string& typed) {
    if (typed.empty()) {
        (option == AssOption::Lead ? options.leadMs : options.lingerMs).reset();
        return std::nullopt;
    }
    return SetAssOption(options, option, typed);
}

} // namespace

std::vector<std::string> AssRowEntries() {
    std::vector<std::string> entries{std::string(AssByScriptText())};
    for (const int rows : kRowChoices) {
        entries.push_back(std::to_string(rows));
    }
    return entries;
}

AssChoices AssChoicesOf(const AssOptions& options) {
    const AssSampleLook look = AssSampleLookOf(options);
    AssChoices choices;
    choices.font = look.fontName;
    choices.size = static_cast<int>(std::lround(look.fontSize));
    choices.sung = look.sung.rgb;
    choices.unsung = look.unsung.rgb;
    for (std::size_t i = 0; i < std::size(kRowChoices); ++i) {
        if (options.rows == kRowChoices[i]) {
            choices.rows = static_cast<int>(i) + 1;
        }
    }
    choices.lead = Milliseconds(options.leadMs);
    choices.linger = Milliseconds(options.lingerMs);
    choices.titleCard = options.titleCard;
    return choices;
}

std::variant<AssOptions, std::string> AssOptionsOf(const AssChoices& choices,
                                                   const AssOptions& current) {
    const AssChoices shown = AssChoicesOf(current);
    AssOptions options = current;
    std::string style;
    const auto add = [&style](std::string_view field, const std::string& value) {
        if (!style.empty()) {
            style += ',';
        }
        style.append(field).append("=").append(value);
    };
    if (choices.font != shown.font) {
        add("Fontname", choices.font);
    }
    if (choices.size != shown.size) {
        add("Fontsize", std::to_string(choices.size));
    }
    if (choices.sung != shown.sung) {
        add("PrimaryColour", RgbText(choices.sung));
    }
    if (choices.unsung != shown.unsung) {
        add("SecondaryColour", RgbText(choices.unsung));
    }
    std::optional<AssOptionError> error;
    if (!style.empty()) {
        error = SetAssOption(options, AssOption::Style, style);
    }
    if (!error) {
        error = SetMilliseconds(options, AssOption::Lead, choices.lead);
    }
    if (!error) {
        error = SetMilliseconds(options, AssOption::Linger, choices.linger);
    }
    if (error) {
        return DescribeAssOptionError(*error, Language::Chinese);
    }
    options.rows.reset();
    if (choices.rows > 0 && static_cast<std::size_t>(choices.rows) <= std::size(kRowChoices)) {
        options.rows = kRowChoices[choices.rows - 1];
    }
    options.titleCard = choices.titleCard;
    return options;
}

AssSampleLook SampleLookOf(const AssChoices& choices) {
    AssOptions options;
    AssChoices look = AssChoicesOf(options);
    look.font = choices.font;
    look.size = choices.size;
    look.sung = choices.sung;
    look.unsung = choices.unsung;
    if (auto picked = AssOptionsOf(look, options); std::holds_alternative<AssOptions>(picked)) {
        options = std::get<AssOptions>(std::move(picked));
    }
    return AssSampleLookOf(options);
}

SampleSize SampleSizeOf(const AssSampleLook& look, int height) {
    constexpr double kDefaultSize = 80; // the writer's at 1080 lines
    const double scale =
        look.fontSize > 0 ? std::min(height / (2 * kDefaultSize), 0.8 * height / look.fontSize) : 0;
    return {look.fontSize * scale, look.outlineWidth * scale};
}

AssOptions RestoreAssOptions(const ChoiceStore& store) {
    AssOptions options;
    for (const auto& [name, option] : {std::pair{kStyle, AssOption::Style},
                                       {kLead, AssOption::Lead},
                                       {kLinger, AssOption::Linger}}) {
        // A value that is refused leaves the options as they were: the default.
        if (const auto kept = store.Read(name); kept && !kept->empty()) {
            (void)SetAssOption(options, option, *kept);
        }
    }
    const std::string rows = store.Read(kRows).value_or("");
    for (const int choice : kRowChoices) {
        if (rows == std::to_string(choice)) {
            options.rows = choice;
        }
    }
    options.titleCard = store.Read(kTitleCard) != "0";
    return options;
}

bool StoreAssOptions(const AssOptions& options, ChoiceStore& store) {
    bool kept = store.Write(kStyle, FormatAssStyle(options.style));
    kept = store.Write(kRows, options.rows ? std::to_string(*options.rows) : "") && kept;
    kept = store.Write(kLead, Milliseconds(options.leadMs)) && kept;
    kept = store.Write(kLinger, Milliseconds(options.lingerMs)) && kept;
    return store.Write(kTitleCard, options.titleCard ? "1" : "0") && kept;
}

} // namespace tolvren
