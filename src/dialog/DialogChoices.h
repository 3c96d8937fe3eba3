#pragma once

#include "conversion/LyricConverter.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

// What the dialogs keep between launches, and how a kept value is checked when it comes back:
// the same for the Qt dialog (QSettings) and the Windows dialog (the registry).

namespace tolvren {

/// An encoding the dialogs offer for scripts without a byte-order mark.
struct EncodingChoice {
    const char* text; ///< what the box shows
    const char* name; ///< what InputEncoding::FromName takes
};
/// In the order the box lists them.
std::span<const EncodingChoice> DialogEncodings();
/// GBK, as tolvren-cli reads scripts without -e.
inline constexpr std::string_view kDefaultEncoding = "gbk";

/// What a window offers besides its three boxes, one control each: what a run is asked to do.
struct DialogOptions {
    OutputFormat format = OutputFormat::Kmc;
    std::string encoding{kDefaultEncoding}; ///< a name of DialogEncodings()
    bool openTarget = false;                ///< 打开目标目录, read when a run ends
};

/// The choices a dialog was left with: what it shows when it opens again.
struct DialogChoices {
    std::string sourceDir; ///< as typed: file-system bytes, UTF-8 on Windows
    std::string targetDir;
    std::string author; ///< UTF-8
    DialogOptions options;
};

/// Where a dialog keeps its choices, as UTF-8 texts under names.
class ChoiceStore {
public:
    virtual ~ChoiceStore() = default;
    /// Empty when nothing is kept under `name`.
    virtual std::optional<std::string> Read(std::string_view name) const = 0;
    /// False when `value` could not be kept.
    virtual bool Write(std::string_view name, const std::string& value) = 0;
    /// Makes what was written last; false when it could not be.
    virtual bool Flush() { return true; }
    /// Where the choices are kept, as the dialog names it when they cannot be.
    virtual std::string Location() const = 0;
};

/// The choices kept in `store`. A value that is missing, or that names no format or encoding the
/// dialog offers, comes back as a dialog without settings starts. Folders and the author come
/// back as they were kept: Start checks them as it checks typed ones.
DialogChoices RestoreChoices(const ChoiceStore& store);
/// Keeps `choices` in `store` for the next launch; false when they could not all be kept.
bool StoreChoices(const DialogChoices& choices, ChoiceStore& store);

} // namespace tolvren
