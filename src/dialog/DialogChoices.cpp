#include "dialog/DialogChoices.h"

#include "batch/Messages.h"
#include "dialog/AssChoices.h"

#include <algorithm>
#include <charconv>

namespace tolvren {

namespace {

constexpr EncodingChoice kEncodings[] = {
    {"自动", "auto"}, {"GBK", "gbk"}, {"GB18030", "gb18030"}, {"Big5", "big5"}, {"UTF-8", "utf-8"}};

// The names the choices are kept under; the installer's tests and a user's .reg file know them.
constexpr std::string_view kSourceDir = "SourceDir";
constexpr std::string_view kTargetDir = "TargetDir";
constexpr std::string_view kAuthor = "Author";
constexpr std::string_view kFormat = "Format";
constexpr std::string_view kEncoding = "Encoding";
constexpr std::string_view kOpenTarget = "OpenTarget";
constexpr std::string_view kLrcStyle = "LrcStyle";
constexpr std::string_view kShift = "Shift";
constexpr std::string_view kChinese = "Chinese";

// What a list shows of each entry of `table`.
template <typename Table, typename Text>
std::vector<std::string> Texts(const Table& table, Text text) {
    std::vector<std::string> texts;
    texts.reserve(std::size(table));
    for (const auto& entry : table) {
        texts.emplace_back(text(entry));
    }
    return texts;
}

// Where in `table` the entry is that `chosen` holds; the first when none does.
template <typename Table, typename Chosen>
int IndexIn(const Table& table, Chosen chosen) {
    const auto found = std::find_if(std::begin(table), std::end(table), chosen);
    return found == std::end(table) ? 0 : static_cast<int>(found - std::begin(table));
}

} // namespace

std::span<const EncodingChoice> DialogEncodings() {
    return kEncodings;
}

std::vector<std::string> ListEntries(DialogList list) {
    switch (list) {
    case DialogList::Format:
        return Texts(DocumentFormats(), [](const FormatEntry& e) { return e.label; });
    case DialogList::LrcStyle:
        return Texts(kLrcStyles, &LrcStyleLabel);
    case DialogList::Encoding:
        return Texts(kEncodings, [](const EncodingChoice& e) { return e.text; });
    case DialogList::Chinese:
        return Texts(kChineseModes, &ChineseModeLabel);
    }
    return {};
}

int ListIndex(DialogList list, const DialogOptions& options) {
    switch (list) {
    case DialogList::Format:
        return IndexIn(DocumentFormats(),
                       [&options](const FormatEntry& e) { return e.format == options.format; });
    case DialogList::LrcStyle:
        return IndexIn(kLrcStyles, [&options](LrcStyle s) { return s == options.lrcStyle; });
    case DialogList::Encoding:
        return IndexIn(kEncodings,
                       [&options](const EncodingChoice& e) { return options.encoding == e.name; });
    case DialogList::Chinese:
        return IndexIn(kChineseModes, [&options](ChineseMode m) { return m == options.chinese; });
    }
    return 0;
}

void ChooseEntry(DialogList list, int index, DialogOptions& options) {
    if (index < 0 || static_cast<std::size_t>(index) >= ListEntries(list).size()) {
        return;
    }
    const auto i = static_cast<std::size_t>(index);
    switch (list) {
    case DialogList::Format:
        options.format = DocumentFormats()[i].format;
        break;
    case DialogList::LrcStyle:
        options.lrcStyle = kLrcStyles.at(i);
        break;
    case DialogList::Encoding:
        options.encoding = kEncodings[i].name;
        break;
    case DialogList::Chinese:
        options.chinese = kChineseModes.at(i);
        break;
    }
}

OptionStates OptionStatesFor(OutputFormat format) {
    return {HasLrcOptions(format), TimesCanMove(format), format == OutputFormat::Ass};
}

std::optional<std::int64_t> ShiftOfText(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+')) {
        text.remove_prefix(1);
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size() ||
        (error != std::errc() && error != std::errc::result_out_of_range)) {
        return std::nullopt;
    }
    if (error == std::errc::result_out_of_range || value > kMaxShift) {
        value = kMaxShift + 1;
    }
    return negative ? -value : value;
}

DialogChoices RestoreChoices(const ChoiceStore& store) {
    DialogChoices choices;
    choices.sourceDir = store.Read(kSourceDir).value_or("");
    choices.targetDir = store.Read(kTargetDir).value_or("");
    choices.author = store.Read(kAuthor).value_or("");
    DialogOptions& options = choices.options;
    if (const auto format = FormatFromName(store.Read(kFormat).value_or(""))) {
        options.format = *format;
    }
    const std::string encoding = store.Read(kEncoding).value_or("");
    if (std::any_of(std::begin(kEncodings), std::end(kEncodings),
                    [&encoding](const EncodingChoice& e) { return encoding == e.name; })) {
        options.encoding = encoding;
    }
    options.openTarget = store.Read(kOpenTarget) == "1";
    options.lrcStyle =
        LrcStyleFromName(store.Read(kLrcStyle).value_or("")).value_or(options.lrcStyle);
    options.chinese =
        ChineseModeFromName(store.Read(kChinese).value_or("")).value_or(options.chinese);
    const std::string shift = store.Read(kShift).value_or("");
    if (const auto ms = ShiftOfText(shift); ms && *ms >= -kMaxShift && *ms <= kMaxShift) {
        choices.shift = std::to_string(*ms);
    }
    choices.ass = RestoreAssOptions(store);
    return choices;
}

bool StoreChoices(const DialogChoices& choices, ChoiceStore& store) {
    const DialogOptions& options = choices.options;
    bool kept = store.Write(kSourceDir, choices.sourceDir);
    kept = store.Write(kTargetDir, choices.targetDir) && kept;
    kept = store.Write(kAuthor, choices.author) && kept;
    kept = store.Write(kFormat, std::string(ExtensionOf(options.format))) && kept;
    kept = store.Write(kEncoding, options.encoding) && kept;
    kept = store.Write(kOpenTarget, options.openTarget ? "1" : "0") && kept;
    kept = store.Write(kLrcStyle, std::string(LrcStyleName(options.lrcStyle))) && kept;
    kept = store.Write(kShift, choices.shift) && kept;
    kept = store.Write(kChinese, std::string(ChineseModeName(options.chinese))) && kept;
    kept = StoreAssOptions(choices.ass, store) && kept;
    return store.Flush() && kept;
}

} // namespace tolvren
