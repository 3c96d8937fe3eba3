#include "dialog/DialogChoices.h"

#include <algorithm>

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

} // namespace

std::span<const EncodingChoice> DialogEncodings() {
    return kEncodings;
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
    return store.Flush() && kept;
}

} // namespace tolvren
