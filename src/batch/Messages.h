#pragma once

#include "batch/RunState.h"
#include "files/FileBrowser.h"

#include <cstdint>
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

/// The system's text for the errno value `error` as a user of the platform reads it: on Windows
/// in Windows' own words ("another program is using the file" / "另一个程序正在使用此文件"), on
/// Linux in the C library's ("Permission denied" / "权限不够"). The platform's wording unless a
/// test asks for the other's.
std::string DescribeSystemError(int error, Language language, ErrorWording wording = kErrorWording);

/// "cannot open source: Permission denied" / "无法打开源文件：权限不够".
std::string DescribeIo(const IoResult& io, Language language);

/// A warning without its path and line: "no lyric lines" / "没有歌词行".
std::string DescribeWarning(const ScriptWarning& warning, Language language);

/// What is wrong, for a list that shows the paths beside it: the warning or failure text, with
/// the line ("第 3 行：…") for warnings in Chinese.
std::string DescribeReason(const RunProblem& problem, Language language);

/// The whole line a terminal shows for a problem: "PATH: cannot …", "PATH:LINE: warning: …",
/// "PATH: note: …", and "warning: …" for a warning about the whole run, which names no file. Paths
/// are bytes as the file system holds them, control characters escaped. Every name in the texts
/// here is escaped likewise, in English, and shown by NameForDisplay in Chinese.
std::string DescribeProblemLine(const RunProblem& problem, Language language);

/// Why a request cannot start: "no SOURCE given" / "请填写 KSC 路径", with the path, the cause and
/// the author as they are concerned: "KSC 路径不存在：/songs".
std::string DescribeRequestError(const RequestCheck& check, const RunRequest& request,
                                 Language language);
/// The same in short, for the dialog's bar: "KSC 路径不存在".
std::string RequestErrorHeadline(const RequestCheck& check);

/// The folder of a run could not be shown in the file browser: "FOLDER: cannot open folder: no
/// display" / "无法打开目标目录 FOLDER：没有可显示它的桌面".
std::string DescribeOpenFailure(const std::string& folder, const OpenFolderResult& result,
                                Language language);

/// A dialog's choices could not be kept for its next launch: "无法保存设置：LOCATION".
std::string DescribeChoicesNotKept(const std::string& location, Language language);

/// A folder named on the dialog's command line that is none: "FOLDER: not a folder" /
/// "不是文件夹：FOLDER".
std::string DescribeNotAFolder(std::string_view name, Language language);

/// A karaoke ASS choice that was refused, without the option's name: "'0' is not a number of
/// rows from 1 to 4", "Fontsize=abc: not a number above 0" / "“0”不是 1 到 4 之间的行数".
std::string DescribeAssOptionError(const AssOptionError& error, Language language);

/// An encoding that cannot be used: "--encoding: unknown encoding 'x' (try auto, gbk, …)" /
/// "无法使用编码 x".
std::string DescribeUnknownEncoding(std::string_view name, Language language);

/// A choice of the dialogs' 简繁转换 list: "不转换", "简→繁（台湾用词）", … (kChineseModes gives
/// their order).
std::string_view ChineseModeLabel(ChineseMode mode);

/// A choice of the dialogs' LRC 样式 list: "逐字" (enhanced), "逐行" (plain).
std::string_view LrcStyleLabel(LrcStyle style);

/// What the ASS 选项 window shows for a choice left to the script: "按脚本".
std::string_view AssByScriptText();
/// The ASS 选项 window's sample line, drawn half sung.
std::string_view AssSampleText();

/// The dialogs' 时间平移 holds no whole number of milliseconds: "时间平移须是整数毫秒：abc".
std::string DescribeShiftNotANumber(std::string_view typed);

/// The status while the scan runs: "正在查找：12 个文件夹，340 个文件".
std::string ScanStatusText(int folders, int files);

/// The status after a file: "3/10  30% " (two blanks after the fraction, one at the end).
std::string ProgressText(int done, int count, int percentage);
/// The time since the first file began: "1234毫秒".
std::string ElapsedText(std::int32_t milliseconds);
/// The final status of a run that went through: "10/10  100% 完成".
std::string CompletedText(int done, int count, int percentage);
/// The final status of a run that was stopped: "4/10  30% 停止", where 4 is the number of the
/// file that would have come next.
std::string StoppedText(int next, int count, int percentage);
/// The final status of a check: "10 个文件已检查，2 个有警告", then what else it found, if
/// anything: "，1 个已跳过，1 个将被覆盖，3 个将被替换".
std::string CheckedText(const RunSummary& summary);
/// What follows a final status when files failed or folders could not be read:
/// "（1 个文件失败，2 个文件夹无法读取）"; empty when none did.
std::string FailureSuffix(int failedFiles, int unreadableFolders);
/// The counts of a run's problems for the window's bar: "1 个文件未能转换，2 个文件有警告。详见
/// “详情…”。"; empty when there were none.
std::string ProblemCountsText(const RunSummary& summary);

/// The columns of the dialogs' list of a run's problems.
enum class ProblemColumn { Source, Target, Reason };
inline constexpr int kProblemColumnCount = 3;
/// A column's heading: "源路径", "目标路径", "原因".
std::string ProblemHeading(ProblemColumn column);
/// What the list shows of `problem` in `column`: the names by NameForDisplay, the reason by
/// DescribeReason in Chinese. A target folder that cannot be made is the run's target, not a
/// source.
std::string ProblemCell(const RunProblem& problem, ProblemColumn column);
/// What a copy of the list puts on the clipboard: the heading line, then one line per problem,
/// the columns separated by tabs, so that a spreadsheet or an editor takes it apart again.
std::string ProblemListText(const std::vector<const RunProblem*>& problems);

} // namespace tolvren
