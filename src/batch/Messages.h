#pragma once

#include "batch/RunState.h"

#include <string>

// Every text the engine has for its users, worded once for both front ends: in English for the
// command line (GNU style, like the system's own error texts) and in Chinese for the dialog.

namespace tolvren {

enum class Language { English, Chinese };

/// `text` (a name as the file system holds it, or any text) with its control characters (C0,
/// DEL, C1) as escapes: `\n`, `\t` and their kin by name, any other as `\x1b`. Once anything is
/// escaped, backslashes are doubled, so that the escapes cannot be mistaken. Text without control
/// characters is returned exactly as it is: a name cannot write into a terminal or split a line,
/// and every other name prints as the bytes it is.
std::string EscapeControls(std::string_view text);

/// A name (file-system bytes) as the dialog shows it, in UTF-8: UTF-8 as it is; else decoded as
/// GBK (names from Windows archives) when it is valid GBK; else with the bytes that are not
/// UTF-8 as `\xHH`. Control characters are escaped as by EscapeControls.
std::string NameForDisplay(std::string_view name);

/// "cannot open source: Permission denied" / "无法打开源文件：权限不够".
std::string DescribeIo(const IoResult& io, Language language);

/// A warning without its path and line: "no lyric lines" / "没有歌词行".
std::string DescribeWarning(const ScriptWarning& warning, Language language);

/// What is wrong, for a list that shows the paths beside it: the warning or failure text, with
/// the line ("第 3 行：…") for warnings in Chinese.
std::string DescribeReason(const RunProblem& problem, Language language);

/// The whole line a terminal shows for a problem: "PATH: cannot …", "PATH:LINE: warning: …",
/// "PATH: note: …". Paths are bytes as the file system holds them, control characters escaped.
/// Every name in the texts here is escaped likewise, in English, and shown by NameForDisplay in
/// Chinese.
std::string DescribeProblemLine(const RunProblem& problem, Language language);

/// Why a request cannot start: "no SOURCE given" / "请填写 KSC 路径".
std::string DescribeRequestError(const RequestCheck& check, const RunRequest& request,
                                 Language language);

/// The folder of a run could not be shown in the file browser (`why`, if known).
std::string DescribeOpenFailure(const std::string& folder, const std::string& why,
                                Language language);

/// The status while the scan runs: "正在查找：12 个文件夹，340 个文件".
std::string ScanStatusText(int folders, int files);

} // namespace tolvren
