#pragma once

#include "conversion/LyricConverter.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

/// What a window offers besides its boxes, one control each: what a run is asked to do.
struct DialogOptions {
    OutputFormat format = OutputFormat::Kmc;
    std::string encoding{kDefaultEncoding}; ///< a name of DialogEncodings()
    bool openTarget = false;                ///< 打开目标目录, read when a run ends
    LrcStyle lrcStyle = LrcStyle::Enhanced; ///< read for LRC only
    ChineseMode chinese = ChineseMode::Off; ///< 简繁转换
};

/// The drop-down lists of a window, each filled from a table of the engine.
enum class DialogList { Format, LrcStyle, Encoding, Chinese };
inline constexpr std::array kDialogLists = {DialogList::Format, DialogList::LrcStyle,
                                            DialogList::Encoding, DialogList::Chinese};
/// What `list` shows, in its order: every format of the table, every LRC style, …
std::vector<std::string> ListEntries(DialogList list);
/// The entry of `list` that `options` have chosen.
int ListIndex(DialogList list, const DialogOptions& options);
/// `options` with entry `index` of `list` chosen; an index outside the list changes nothing.
void ChooseEntry(DialogList list, int index, DialogOptions& options);

/// Which of a window's controls for a format's options can be used: what the format takes.
struct OptionStates {
    bool lrcStyle = false;   ///< LRC 样式
    bool shift = false;      ///< 时间平移
    bool assOptions = false; ///< ASS 选项…
    friend bool operator==(const OptionStates&, const OptionStates&) = default;
};
OptionStates OptionStatesFor(OutputFormat format);

/// 时间平移's text as milliseconds, a whole number with an optional sign and blanks around it;
/// one too large for any shift comes back as one beyond kMaxShift, which the request's check
/// refuses as too far. Empty when the text is no number.
std::optional<std::int64_t> ShiftOfText(std::string_view text);

/// The choices a dialog was left with: what it shows when it opens again.
struct DialogChoices {
    std::string sourceDir; ///< as typed: file-system bytes, UTF-8 on Windows
    std::string targetDir;
    std::string author;     ///< UTF-8
    std::string shift{"0"}; ///< 时间平移 as typed: milliseconds
    DialogOptions options;
    AssOptions ass; ///< ASS 选项…
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

/// The choices kept in `store`. A value that is missing, or that names no format, encoding, style
/// or mode the dialog offers, or a shift that is no whole number of milliseconds within kMaxShift,
/// comes back as a dialog without settings starts. Folders and the author come
/// back as they were kept: Start checks them as it checks typed ones.
DialogChoices RestoreChoices(const ChoiceStore& store);
/// Keeps `choices` in `store` for the next launch; false when they could not all be kept.
bool StoreChoices(const DialogChoices& choices, ChoiceStore& store);

} // namespace tolvren
