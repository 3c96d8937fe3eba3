#include "batch/Messages.h"

#include "conversion/CodePage.h"
#include "conversion/FieldUtils.h"
#include "conversion/LegacyCodePage.h"
#include "conversion/XmlCheck.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fmt/format.h>
#include <fmt/ranges.h>

namespace tolvren {

namespace {

// One piece of a text to be shown: how many bytes, and whether they are shown as escapes.
struct Piece {
    std::size_t length = 1;
    bool escaped = false;
};

// The piece at byte `i`: a control character, or one byte; with `escapeNonUtf8`, a whole UTF-8
// character, and a byte that begins none is escaped.
Piece PieceAt(std::string_view text, std::size_t i, bool escapeNonUtf8) {
    if (const std::size_t control = ControlCharacterAt(text, i); control > 0) {
        return {control, true};
    }
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80 || !escapeNonUtf8) {
        return {1, false};
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (i + length <= text.size() && IsValidUtf8(text.substr(i, length))) {
        return {length, false};
    }
    return {1, true};
}

std::string Escaped(std::string_view text, bool escapeNonUtf8) {
    bool any = false;
    for (std::size_t i = 0; i < text.size() && !any;) {
        const Piece piece = PieceAt(text, i, escapeNonUtf8);
        any = piece.escaped;
        i += piece.length;
    }
    if (!any) {
        return std::string(text);
    }
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const Piece piece = PieceAt(text, i, escapeNonUtf8);
        for (std::size_t k = i; k < i + piece.length; ++k) {
            const char c = text[k];
            constexpr std::string_view named = "\a\b\t\n\v\f\r";
            if (!piece.escaped) {
                out += c == '\\' ? std::string_view("\\\\") : std::string_view(&text[k], 1);
            } else if (const std::size_t index = named.find(c); index != std::string_view::npos) {
                out += '\\';
                out += "abtnvfr"[index];
            } else {
                out += fmt::format("\\x{:02x}", static_cast<unsigned char>(c));
            }
        }
        i += piece.length;
    }
    return out;
}

// A name in a message: as the terminal shows bytes in English, as the dialog shows text in
// Chinese.
std::string Name(std::string_view name, Language language) {
    return language == Language::English ? EscapeControls(name) : NameForDisplay(name);
}

// The system's texts for the errors a run meets, as the C library words them in Chinese, so that
// the dialog speaks one language; anything rarer keeps the system's English text.
std::string ChineseErrorText(int error) {
    switch (error) {
    case EPERM:
        return "不允许的操作";
    case ENOENT:
        return "没有那个文件或目录";
    case EIO:
        return "输入/输出错误";
    case ENOMEM:
        return "无法分配内存";
    case EACCES:
        return "权限不够";
    case EBUSY:
        return "设备或资源忙";
    case EEXIST:
        return "文件已存在";
    case EXDEV:
        return "无效的跨设备链接";
    case ENOTDIR:
        return "不是目录";
    case EISDIR:
        return "是一个目录";
    case EINVAL:
        return "无效的参数";
    case EMFILE:
    case ENFILE:
        return "打开的文件过多";
    case EFBIG:
        return "文件过大";
    case ENOSPC:
        return "设备上没有空间";
    case EROFS:
        return "只读文件系统";
    case EMLINK:
        return "过多的链接";
    case ENAMETOOLONG:
        return "文件名过长";
    case ELOOP:
        return "符号连接的层数过多";
    case ETXTBSY:
        return "文本文件忙";
    default:
        return IsQuotaError(error) ? "超出磁盘限额" : ErrorText(error);
    }
}

// What Windows says of the Windows errors that ErrnoFromWin32 maps onto each errno value (and of
// the two the engine says itself there: a folder where a file was wanted, a name that is not
// text), in its English and Chinese words, shortened to a reason as the C library words one.
struct WindowsText {
    int error;
    std::string_view english;
    std::string_view chinese;
};
constexpr WindowsText kWindowsTexts[] = {
    {ENOENT, "the system cannot find the path specified", "系统找不到指定的路径"},
    {EACCES, "access is denied", "拒绝访问"},
    {EBUSY, "another program is using the file", "另一个程序正在使用此文件"},
    {EEXIST, "the file exists", "文件存在"},
    {ENOSPC, "there is not enough space on the disk", "磁盘空间不足"},
    {ENOTDIR, "the directory name is invalid", "目录名称无效"},
    {EISDIR, "it is a folder", "它是一个文件夹"},
    {ENAMETOOLONG, "the file name or extension is too long", "文件名或扩展名太长"},
    {EROFS, "the media is write protected", "介质受写入保护"},
    {ENOMEM, "not enough memory resources are available to process this command",
     "内存资源不足，无法处理此命令"},
    {EMFILE, "the system cannot open the file", "系统无法打开文件"},
    {EINVAL, "the file name, directory name, or volume label syntax is incorrect",
     "文件名、目录名或卷标语法不正确"},
    {EILSEQ, "no mapping for the Unicode character exists in the target multi-byte code page",
     "在多字节的目标代码页中，没有此 Unicode 字符可以映射到的字符"},
    {ENOTEMPTY, "the directory is not empty", "目录不是空的"},
    {EXDEV, "the system cannot move the file to a different disk drive",
     "系统无法将文件移到不同的磁盘驱动器"},
    {EIO, "the request could not be performed because of an I/O device error",
     "由于 I/O 设备错误，无法运行此项请求"},
};

std::string CauseText(const IoResult& io, Language language) {
    const bool english = language == Language::English;
    switch (io.cause) {
    case IoCause::SystemError:
        return DescribeSystemError(io.error, language);
    case IoCause::NotRegularFile:
        return english ? "not a regular file" : "不是普通文件";
    case IoCause::TargetIsSource:
        return english ? "it is the source file" : "它就是源文件";
    case IoCause::TargetReadOnly:
        return english ? "it is read-only" : "它是只读的";
    case IoCause::Cancelled:
        return english ? "the run was stopped" : "转换已停止";
    case IoCause::ReservedName:
        return english ? "Windows keeps this name for a device or cannot keep it as written"
                       : "Windows 把这个名字留给设备，或无法照写保存";
    case IoCause::BrokenName:
        return english ? "the name would end in half a character" : "名字会以半个字符结尾";
    }
    return {};
}

std::string_view StepText(IoStep step, Language language) {
    const bool english = language == Language::English;
    switch (step) {
    case IoStep::None:
        break;
    case IoStep::OpenSource:
        return english ? "open source" : "打开源文件";
    case IoStep::ReadSource:
        return english ? "read source" : "读取源文件";
    case IoStep::CreateTarget:
        return english ? "create target" : "创建目标文件";
    case IoStep::WriteTarget:
        return english ? "write target" : "写入目标文件";
    case IoStep::ReplaceTarget:
        return english ? "replace target" : "替换目标文件";
    case IoStep::CreateFolder:
        return english ? "create folder" : "创建文件夹";
    case IoStep::OpenFolder:
        return english ? "open folder" : "打开文件夹";
    case IoStep::ReadFolder:
        return english ? "read folder" : "读取文件夹";
    }
    return {};
}

// "1 unit", "2 units".
std::string Counted(std::size_t count, std::string_view noun) {
    return fmt::format("{} {}{}", count, noun, count == 1 ? "" : "s");
}

std::string_view LabelOf(OutputFormat format) {
    return FormatEntryOf(format).label;
}

// The name of the statement a script should use instead of an assignment we do not read.
std::string_view TagFor(const std::string& assignment) {
    return assignment == "karaoke.singer" ? "karaoke.tag('歌手', '…')" : "karaoke.tag('歌名', '…')";
}

// A number of rows, a lead-in or a linger that is none, for an option and for a script alike.
std::string NotRows(std::string_view value, bool english) {
    return english ? fmt::format("'{}' is not a number of rows from {} to {}", value, kAssMinRows,
                                 kAssMaxRows)
                   : fmt::format("“{}”不是 {} 到 {} 之间的行数", value, kAssMinRows, kAssMaxRows);
}
std::string NotAnimateTime(std::string_view value, bool english) {
    return english ? fmt::format("'{}' is not a time from 0 to {} ms", value, kAssMaxAnimateMs)
                   : fmt::format("“{}”不是 0 到 {} 毫秒之间的时间", value, kAssMaxAnimateMs);
}

// The warnings about the whole run rather than a file (the author's): they name no file.
long long RunWarnings(const RunSummary& summary) {
    return std::ranges::count_if(summary.problems, [](const RunProblem& problem) {
        return problem.kind == RunProblem::Kind::Warning && problem.path.empty();
    });
}

} // namespace

std::string EscapeControls(std::string_view text) {
    return Escaped(text, false);
}

std::string NameForDisplay(std::string_view name) {
    if (IsValidUtf8(name)) {
        return Escaped(name, false);
    }
    if (const std::string gbk = ToUtf8(name);
        gbk.find(kReplacementCharacter) == std::string::npos) {
        return Escaped(gbk, false);
    }
    return Escaped(name, true);
}

std::string DescribeSystemError(int error, Language language, ErrorWording wording) {
    if (wording == ErrorWording::Windows) {
        for (const WindowsText& text : kWindowsTexts) {
            if (text.error == error) {
                return std::string(language == Language::English ? text.english : text.chinese);
            }
        }
    }
    return language == Language::English ? ErrorText(error) : ChineseErrorText(error);
}

std::string DescribeIo(const IoResult& io, Language language) {
    if (language == Language::English) {
        return fmt::format("cannot {}: {}", StepText(io.step, language), CauseText(io, language));
    }
    return fmt::format("无法{}：{}", StepText(io.step, language), CauseText(io, language));
}

std::string DescribeWarning(const ScriptWarning& warning, Language language) {
    using Kind = ScriptWarning::Kind;
    const bool english = language == Language::English;
    // A script's own text, which may hold anything.
    const std::string detail = EscapeControls(warning.detail);
    switch (warning.kind) {
    case Kind::LooksLikeUtf8:
        return english ? "looks like UTF-8; read as GBK; try --encoding auto"
                       : "看起来是 UTF-8 编码，却按 GBK 读取；请把编码选为“自动”";
    case Kind::LooksLikeUtf16:
        return english ? "looks like UTF-16; read as GBK; try --encoding auto"
                       : "看起来是 UTF-16 编码，却按 GBK 读取；请把编码选为“自动”";
    case Kind::LooksLikeBig5:
        return english ? "looks like Big5; read as GBK; try --encoding big5"
                       : "看起来是 Big5 编码，却按 GBK 读取；请把编码选为“Big5”";
    case Kind::LooksLikeGb18030:
        return english ? "looks like GB18030; read as GBK; try --encoding gb18030"
                       : "看起来是 GB18030 编码，却按 GBK 读取；请把编码选为“GB18030”";
    case Kind::InvalidBytes:
        return english ? fmt::format("{} not valid in {}, replaced by U+FFFD",
                                     Counted(warning.count, "byte"), warning.detail)
                       : fmt::format("{} 个字节不是有效的 {}，已替换为 U+FFFD", warning.count,
                                     warning.detail);
    case Kind::MoreInvalidBytes:
        return english ? fmt::format("{} more {} not valid in {} on {} more {}", warning.count,
                                     warning.count == 1 ? "byte" : "bytes", warning.detail,
                                     warning.expected, warning.expected == 1 ? "line" : "lines")
                       : fmt::format("另有 {} 行共 {} 个字节不是有效的 {}", warning.expected,
                                     warning.count, warning.detail);
    case Kind::IncompleteLyric:
        return english ? "lyric statement not read: it needs karaoke.add(' and four quoted fields"
                       : "歌词语句未能读取：它需要以 karaoke.add(' 开头并有四个带引号的字段";
    case Kind::MoreIncompleteLyric:
        return english ? fmt::format("{} more not read", Counted(warning.count, "lyric statement"))
                       : fmt::format("另有 {} 行歌词语句未能读取", warning.count);
    case Kind::UnreadAssignment:
        return english
                   ? fmt::format("{} is not read; use {}", warning.detail, TagFor(warning.detail))
                   : fmt::format("不读取 {}；请用 {}", warning.detail, TagFor(warning.detail));
    case Kind::NoLyricLines:
        return english ? "no lyric lines" : "没有歌词行";
    case Kind::BareCarriageReturn:
    case Kind::MoreBareCarriageReturn: {
        const bool more = warning.kind == Kind::MoreBareCarriageReturn;
        const std::size_t lost = more ? warning.expected : warning.count;
        std::string text =
            more ? (english ? fmt::format("CR alone ends lines on {} more {}", warning.count,
                                          warning.count == 1 ? "line" : "lines")
                            : fmt::format("另有 {} 行中有只以 CR 结尾的行", warning.count))
                 : (english
                        ? "a line ends in CR alone here; only LF and CR LF end lines, so the "
                          "lines run together"
                        : "这一行的行尾只有 CR；只有 LF 和 CR LF 才结束一行，所以几行连在了一起");
        if (lost > 0) {
            text += english ? fmt::format(", and {} in them {} not read",
                                          Counted(lost, "lyric line"), lost == 1 ? "is" : "are")
                            : fmt::format("，其中 {} 行歌词未读取", lost);
        }
        return text;
    }
    case Kind::DurationMismatch:
        return english ? fmt::format("{} for {}; written without word timing",
                                     Counted(warning.count, "duration"),
                                     Counted(warning.expected, "unit"))
                       : fmt::format("{} 个时长对应 {} 个字，写出时不带逐字时间", warning.count,
                                     warning.expected);
    case Kind::BadTime:
        return english ? fmt::format("'{}' is no time; line left out", detail)
                       : fmt::format("“{}”不是时间，这一行未写出", detail);
    case Kind::MoreDurationMismatch:
        return english ? fmt::format("{} more written without word timing",
                                     Counted(warning.count, "line"))
                       : fmt::format("另有 {} 行写出时不带逐字时间", warning.count);
    case Kind::NotDurations:
        return english ? fmt::format("'{}' is not a list of durations; written without word timing",
                                     detail)
                       : fmt::format("“{}”不是时长列表，写出时不带逐字时间", detail);
    case Kind::BadRows:
        return english ? fmt::format("{}; {} used", NotRows(detail, english), warning.count)
                       : fmt::format("{}，按 {} 行处理", NotRows(detail, english), warning.count);
    case Kind::BadAnimateTime:
        return english
                   ? fmt::format("{}; {} ms used", NotAnimateTime(detail, english), warning.count)
                   : fmt::format("{}，按 {} 毫秒处理", NotAnimateTime(detail, english),
                                 warning.count);
    case Kind::BadLineColour:
        return english
                   ? fmt::format("'{}' is not RGB(r, g, b), each from 0 to 255; sung in the "
                                 "usual colour",
                                 detail)
                   : fmt::format("“{}”不是 RGB(r, g, b)（各 0 到 255），按平常的颜色演唱", detail);
    case Kind::MoreBadLineColour:
        return english
                   ? fmt::format("{} more sung in the usual colour", Counted(warning.count, "line"))
                   : fmt::format("另有 {} 行按平常的颜色演唱", warning.count);
    case Kind::NoFreeRow:
        return english ? "sung while every row is taken; shown on an extra row while it is sung"
                       : "演唱时每一行都有歌词，只在演唱时显示在另加的一行上";
    case Kind::MoreNoFreeRow:
        return english
                   ? fmt::format("{} more shown on an extra row", Counted(warning.count, "line"))
                   : fmt::format("另有 {} 行显示在另加的一行上", warning.count);
    case Kind::NotWellFormedXml: {
        // The whole run's author spoils every document, a script's value its own.
        const auto where = static_cast<KmcValue>(warning.count);
        const bool author = where == KmcValue::Author;
        constexpr std::array<std::string_view, 6> places = {"title",       "singer", "author",
                                                            "time offset", "timing", "lyric"};
        constexpr std::array<std::string_view, 6> chinesePlaces = {"标题",     "歌手", "作者",
                                                                   "时间偏移", "时间", "歌词"};
        const auto place = static_cast<std::size_t>(where) % places.size();
        const bool named = warning.detail.starts_with("U+");
        if (english) {
            return fmt::format("{} in the {}: the {} not well-formed XML",
                               named ? detail : fmt::format("'{}'", detail), places[place],
                               author ? "documents are" : "document is");
        }
        return fmt::format("{}中有{}，{}不是格式正确的 XML", chinesePlaces[place],
                           named ? detail : fmt::format("“{}”", detail),
                           author ? "所有文档因此都" : "文档因此");
    }
    case Kind::TextAfterCtrlZ:
        if (warning.count == 0) {
            return english ? "input ends at this Ctrl-Z (text mode); what follows it is not read"
                           : "输入在这一行的 Ctrl-Z 处结束（文本模式），其后的内容未读取";
        }
        return english ? fmt::format("input ends at this Ctrl-Z (text mode); {} after it {} not "
                                     "read",
                                     Counted(warning.count, "lyric line"),
                                     warning.count == 1 ? "is" : "are")
                       : fmt::format("输入在这一行的 Ctrl-Z 处结束（文本模式），其后的 {} "
                                     "行歌词未读取",
                                     warning.count);
    case Kind::WithoutRegionalWords:
        return english ? fmt::format("converted by {} without regional words: they would change "
                                     "the line's sung units",
                                     warning.detail)
                       : fmt::format("已按 {} 转换，未用地区用词：它们会改变这一行的字，逐字时间"
                                     "将对不上",
                                     warning.detail);
    case Kind::MoreWithoutRegionalWords:
        return english ? fmt::format("{} more converted without regional words",
                                     Counted(warning.count, "line"))
                       : fmt::format("另有 {} 行转换时未用地区用词", warning.count);
    case Kind::TimeBeforeZero:
        return english ? "times moved before 0:00 are written as 0:00"
                       : "平移到 0:00 之前的时间写为 0:00";
    case Kind::MoreTimeBeforeZero:
        return english ? fmt::format("{} more with times moved before 0:00",
                                     Counted(warning.count, "line"))
                       : fmt::format("另有 {} 行的时间平移到了 0:00 之前", warning.count);
    case Kind::OffsetNotANumber:
        return english ? fmt::format("time offset '{}' is no number of milliseconds; not applied",
                                     detail)
                       : fmt::format("时间偏移“{}”不是毫秒数，未应用", detail);
    case Kind::OffsetNotKept:
        return english
                   ? fmt::format("time offset of {} ms not applied, and SRT cannot name it; "
                                 "--apply-offset moves the times by it",
                                 detail)
                   : fmt::format("时间偏移 {} 毫秒未应用，SRT 也无法记录它；可选择把偏移算进时间",
                                 detail);
    case Kind::ControlsLeftOut:
        if (warning.line == 0) {
            return english ? fmt::format("{} in the title or singer left out: XML cannot hold them",
                                         Counted(warning.count, "control character"))
                           : fmt::format("歌名或歌手中的 {} 个控制字符已略去：XML 无法容纳",
                                         warning.count);
        }
        return english ? fmt::format("{} left out: XML cannot hold them",
                                     Counted(warning.count, "control character"))
                       : fmt::format("{} 个控制字符已略去：XML 无法容纳", warning.count);
    case Kind::MoreControlsLeftOut:
        return english ? fmt::format("control characters left out on {} more",
                                     Counted(warning.count, "line"))
                       : fmt::format("另有 {} 行的控制字符已略去", warning.count);
    }
    return {};
}

std::string DescribeReason(const RunProblem& problem, Language language) {
    const bool english = language == Language::English;
    switch (problem.kind) {
    case RunProblem::Kind::Failed:
    case RunProblem::Kind::FolderUnreadable:
    case RunProblem::Kind::TargetFolder:
        return DescribeIo(problem.io, language);
    case RunProblem::Kind::Overwritten:
        return english ? fmt::format("overwrote {}, converted earlier from {}",
                                     Name(problem.targetPath, language),
                                     Name(problem.otherPath, language))
                       : fmt::format("覆盖了先由 {} 转换的 {}", Name(problem.otherPath, language),
                                     Name(problem.targetPath, language));
    case RunProblem::Kind::NotRegularFile:
        return english ? "not a regular file; skipped" : "不是普通文件，已跳过";
    case RunProblem::Kind::WouldReplace:
        return english ? fmt::format("{} exists and would be replaced",
                                     Name(problem.targetPath, language))
                       : "已存在，转换时会被替换";
    case RunProblem::Kind::Warning:
        if (!english && problem.warning.line > 0) {
            return fmt::format("第 {} 行：{}", problem.warning.line,
                               DescribeWarning(problem.warning, language));
        }
        return DescribeWarning(problem.warning, language);
    }
    return {};
}

std::string DescribeProblemLine(const RunProblem& problem, Language language) {
    const std::string path = Name(problem.path, language);
    switch (problem.kind) {
    case RunProblem::Kind::Warning:
        if (problem.path.empty()) {
            return fmt::format("warning: {}", DescribeWarning(problem.warning, language));
        }
        if (problem.warning.line > 0) {
            return fmt::format("{}:{}: warning: {}", path, problem.warning.line,
                               DescribeWarning(problem.warning, language));
        }
        return fmt::format("{}: warning: {}", path, DescribeWarning(problem.warning, language));
    case RunProblem::Kind::NotRegularFile:
        return fmt::format("{}: warning: {}", path, DescribeReason(problem, language));
    case RunProblem::Kind::Overwritten:
    case RunProblem::Kind::WouldReplace:
        return fmt::format("{}: note: {}", path, DescribeReason(problem, language));
    default:
        return fmt::format("{}: {}", path, DescribeReason(problem, language));
    }
}

std::string RequestErrorHeadline(const RequestCheck& check) {
    switch (check.problem) {
    case RequestError::None:
        break;
    case RequestError::NoSource:
        return "请填写 KSC 路径";
    case RequestError::NoTarget:
        return "请填写 KMC 路径";
    case RequestError::SourceMissing:
        return "KSC 路径不存在";
    case RequestError::SourceUnreadable:
        return "无法读取 KSC 路径";
    case RequestError::SourceNotAFileOrFolder:
        return "KSC 路径既不是文件夹也不是文件";
    case RequestError::TargetNotAFolder:
        return "KMC 路径不是文件夹";
    case RequestError::AuthorHasControl:
        return "作者中不能有控制字符（如换行）";
    case RequestError::TimesKept:
        return "此格式不能平移时间";
    case RequestError::ShiftOutOfRange:
        return "时间平移超过了一天";
    case RequestError::LrcOptionsWithoutLrc:
        return "LRC 样式只用于 LRC";
    case RequestError::LrcPrecision:
        return "LRC 时间只能有 2 位或 3 位小数";
    }
    return {};
}

std::string DescribeRequestError(const RequestCheck& check, const RunRequest& request,
                                 Language language) {
    const bool english = language == Language::English;
    const std::string source = Name(request.sourceDir, language);
    const std::string headline = RequestErrorHeadline(check);
    switch (check.problem) {
    case RequestError::None:
        break;
    case RequestError::NoSource:
        return english ? "no SOURCE given" : headline;
    case RequestError::NoTarget:
        return english ? "no TARGET_DIR given" : headline;
    case RequestError::SourceMissing:
        return english ? fmt::format("{}: no such file or folder", source)
                       : fmt::format("{}：{}", headline, source);
    case RequestError::SourceUnreadable:
        return english ? fmt::format("{}: cannot read: {}", source,
                                     DescribeSystemError(check.error, language))
                       : fmt::format("{} {}：{}", headline, source,
                                     DescribeSystemError(check.error, language));
    case RequestError::SourceNotAFileOrFolder:
        return english ? fmt::format("{}: neither a folder nor a regular file", source)
                       : fmt::format("{}：{}", headline, source);
    case RequestError::TargetNotAFolder:
        return english ? fmt::format("{}: not a folder", Name(request.targetDir, language))
                       : fmt::format("{}：{}", headline, Name(request.targetDir, language));
    case RequestError::AuthorHasControl:
        return english ? fmt::format("--author: control characters are not allowed: '{}'",
                                     EscapeControls(request.author))
                       : fmt::format("{}：{}", headline, EscapeControls(request.author));
    case RequestError::TimesKept:
        return english
                   ? fmt::format("{}: {} documents keep the script's times as they stand "
                                 "(their players apply offset=)",
                                 request.document.timing.shift != 0 ? "--shift" : "--apply-offset",
                                 LabelOf(request.format))
                   : fmt::format("{} 文件保留脚本原有的时间（播放器自己应用 offset），不能平移",
                                 LabelOf(request.format));
    case RequestError::ShiftOutOfRange:
        return english ? fmt::format("--shift: {} ms is more than a day either way",
                                     request.document.timing.shift)
                       : fmt::format("时间平移 {} 毫秒超过了一天", request.document.timing.shift);
    case RequestError::LrcOptionsWithoutLrc:
        return english ? fmt::format("{}: for LRC documents only (-f lrc)",
                                     request.document.lrc.style != LrcOptions{}.style
                                         ? "--lrc-style"
                                         : "--lrc-precision")
                       : fmt::format("{} 文件没有 LRC 样式和精度", LabelOf(request.format));
    case RequestError::LrcPrecision:
        return english ? fmt::format("--lrc-precision: {} is neither 2 nor 3",
                                     request.document.lrc.fractionDigits)
                       : "LRC 时间只能有 2 位或 3 位小数";
    }
    return {};
}

std::string DescribeOpenFailure(const std::string& folder, const OpenFolderResult& result,
                                Language language) {
    using Outcome = OpenFolderResult::Outcome;
    const bool english = language == Language::English;
    std::string why;
    switch (result.outcome) {
    case Outcome::Shown:
        break;
    case Outcome::NoDisplay:
        why = english ? "no display" : "没有可显示它的桌面";
        break;
    case Outcome::CannotStart:
        why = fmt::format(english ? fmt::runtime("cannot start {}: {}")
                                  : fmt::runtime("无法启动 {}：{}"),
                          result.program, DescribeSystemError(result.error, language));
        break;
    case Outcome::Failed:
        why = english ? fmt::format("{} failed with exit status {}", result.program, result.error)
                      : fmt::format("{} 以退出状态 {} 结束", result.program, result.error);
        break;
    case Outcome::EndedBySignal:
        why = english ? fmt::format("{} ended by signal {}", result.program, result.error)
                      : fmt::format("{} 被信号 {} 终止", result.program, result.error);
        break;
    }
    const std::string name = Name(folder, language);
    return english ? fmt::format("{}: cannot open folder: {}", name, why)
                   : fmt::format("无法打开目标目录 {}：{}", name, why);
}

std::string DescribeChoicesNotKept(const std::string& location, Language language) {
    const std::string name = Name(location, language);
    return language == Language::English ? fmt::format("{}: cannot keep the settings", name)
                                         : fmt::format("无法保存设置：{}", name);
}

std::string DescribeUnknownEncoding(std::string_view name, Language language) {
    if (language == Language::Chinese) {
        return fmt::format("无法使用编码 {}", EscapeControls(name));
    }
    return fmt::format("--encoding: unknown encoding '{}' (try auto, gbk, gb18030, big5, utf-8, "
                       "utf-16le, utf-16be{})",
                       EscapeControls(name), LegacyEncodingsHint());
}

std::string DescribeNotAFolder(std::string_view name, Language language) {
    if (language == Language::Chinese) {
        return fmt::format("不是文件夹：{}", Name(name, language));
    }
    return fmt::format("{}: not a folder", Name(name, language));
}

std::string_view ChineseModeLabel(ChineseMode mode) {
    switch (mode) {
    case ChineseMode::Off:
        return "不转换";
    case ChineseMode::S2t:
        return "简→繁";
    case ChineseMode::S2tw:
        return "简→繁（台湾）";
    case ChineseMode::S2twp:
        return "简→繁（台湾用词）";
    case ChineseMode::S2hk:
        return "简→繁（香港）";
    case ChineseMode::T2s:
        return "繁→简";
    case ChineseMode::Tw2s:
        return "繁（台湾）→简";
    case ChineseMode::Tw2sp:
        return "繁（台湾用词）→简";
    case ChineseMode::Hk2s:
        return "繁（香港）→简";
    }
    return {};
}

std::string_view LrcStyleLabel(LrcStyle style) {
    return style == LrcStyle::Plain ? "逐行" : "逐字";
}

std::string_view AssByScriptText() {
    return "按脚本";
}

std::string_view AssSampleText() {
    return "卡拉OK 示例歌词";
}

std::string DescribeShiftNotANumber(std::string_view typed) {
    return fmt::format("时间平移须是整数毫秒：{}", EscapeControls(typed));
}

std::string ScanStatusText(int folders, int files) {
    return fmt::format("正在查找：{} 个文件夹，{} 个文件", folders, files);
}

std::string ProgressText(int done, int count, int percentage) {
    return fmt::format("{}/{}  {}% ", done, count, percentage);
}

std::string ElapsedText(std::int32_t milliseconds) {
    return fmt::format("{}毫秒", milliseconds);
}

std::string CompletedText(int done, int count, int percentage) {
    return fmt::format("{}/{}  {}% 完成", done, count, percentage);
}

std::string StoppedText(int next, int count, int percentage) {
    return fmt::format("{}/{}  {}% 停止", next, count, percentage);
}

std::string CheckedText(const RunSummary& summary) {
    std::string text = fmt::format("{} 个文件已检查，{} 个有警告", summary.count, summary.warned);
    const auto add = [&](long long n, std::string_view what) {
        if (n > 0) {
            text += fmt::format("，{} {}", n, what);
        }
    };
    const auto count = [&](RunProblem::Kind kind) {
        return std::ranges::count(summary.problems, kind, &RunProblem::kind);
    };
    add(RunWarnings(summary), "个关于作者的警告");
    add(summary.skipped, "个已跳过");
    add(count(RunProblem::Kind::Overwritten), "个将被覆盖");
    add(count(RunProblem::Kind::WouldReplace), "个将被替换");
    return text;
}

std::string FailureSuffix(int failedFiles, int unreadableFolders) {
    if (failedFiles > 0 && unreadableFolders > 0) {
        return fmt::format("（{} 个文件失败，{} 个文件夹无法读取）", failedFiles,
                           unreadableFolders);
    }
    if (failedFiles > 0) {
        return fmt::format("（{} 个文件失败）", failedFiles);
    }
    if (unreadableFolders > 0) {
        return fmt::format("（{} 个文件夹无法读取）", unreadableFolders);
    }
    return {};
}

std::string ProblemCountsText(const RunSummary& summary) {
    const auto overwritten =
        std::count_if(summary.problems.begin(), summary.problems.end(),
                      [](const RunProblem& p) { return p.kind == RunProblem::Kind::Overwritten; });
    std::vector<std::string> counts;
    const auto add = [&counts](long long n, std::string_view what) {
        if (n > 0) {
            counts.push_back(fmt::format("{} {}", n, what));
        }
    };
    add(summary.failed, "个文件未能转换");
    add(summary.unreadableFolders, "个文件夹无法读取");
    add(summary.warned, "个文件有警告");
    add(RunWarnings(summary), "个关于作者的警告");
    add(summary.skipped, "个文件已跳过");
    add(overwritten, "个文档被覆盖");
    if (counts.empty()) {
        return {};
    }
    return fmt::format("{}。详见“详情…”。", fmt::join(counts, "，"));
}

std::string ProblemHeading(ProblemColumn column) {
    switch (column) {
    case ProblemColumn::Source:
        return "源路径";
    case ProblemColumn::Target:
        return "目标路径";
    default:
        return "原因";
    }
}

std::string ProblemCell(const RunProblem& problem, ProblemColumn column) {
    const bool targetFolder = problem.kind == RunProblem::Kind::TargetFolder;
    switch (column) {
    case ProblemColumn::Source:
        return targetFolder ? std::string() : NameForDisplay(problem.path);
    case ProblemColumn::Target:
        return NameForDisplay(targetFolder ? problem.path : problem.targetPath);
    default:
        return DescribeReason(problem, Language::Chinese);
    }
}

std::string ProblemListText(const std::vector<const RunProblem*>& problems) {
    const auto line = [](auto cell) {
        std::vector<std::string> cells;
        cells.reserve(kProblemColumnCount);
        for (int column = 0; column < kProblemColumnCount; ++column) {
            cells.push_back(cell(static_cast<ProblemColumn>(column)));
        }
        return fmt::format("{}\n", fmt::join(cells, "\t"));
    };
    std::string text = line(&ProblemHeading);
    for (const RunProblem* problem : problems) {
        text += line([problem](ProblemColumn column) { return ProblemCell(*problem, column); });
    }
    return text;
}

std::string DescribeAssOptionError(const AssOptionError& error, Language language) {
    using Kind = AssOptionError::Kind;
    const bool english = language == Language::English;
    const std::string value = EscapeControls(error.value);
    switch (error.kind) {
    case Kind::OutOfRange:
        return error.option == AssOption::Rows ? NotRows(value, english)
                                               : NotAnimateTime(value, english);
    case Kind::NotASize:
        return english ? fmt::format("'{}' is not WIDTHxHEIGHT, each from {} to {}", value,
                                     kAssMinFrameSide, kAssMaxFrameSide)
                       : fmt::format("“{}”不是“宽x高”（各 {} 到 {}）", value, kAssMinFrameSide,
                                     kAssMaxFrameSide);
    case Kind::NotAField:
        return english ? fmt::format("'{}' is not FIELD=VALUE", value)
                       : fmt::format("“{}”不是“字段=值”", value);
    case Kind::UnknownField: {
        std::string fields;
        for (std::size_t field = 0; field < kAssStyleFields; ++field) {
            fields.append(field == 0 ? "" : ", ").append(NameOf(static_cast<AssStyleField>(field)));
        }
        return english
                   ? fmt::format("'{}' is no style field ({})", EscapeControls(error.field), fields)
                   : fmt::format("“{}”不是样式字段（{}）", EscapeControls(error.field), fields);
    }
    case Kind::BadFieldValue:
        break;
    }
    const auto takes = [english](AssValueKind kind) -> std::string {
        const std::int64_t most = kAssLargestValue;
        switch (kind) {
        case AssValueKind::FontName:
            return english ? "not a font name" : "不是字体名称";
        case AssValueKind::Positive:
            return english ? fmt::format("not a number above 0, at most {}", most)
                           : fmt::format("不是大于 0、至多 {} 的数", most);
        case AssValueKind::NonNegative:
            return english ? fmt::format("not a number from 0 to {}", most)
                           : fmt::format("不是 0 到 {} 之间的数", most);
        case AssValueKind::Number:
            return english ? fmt::format("not a number from -{0} to {0}", most)
                           : fmt::format("不是 -{0} 到 {0} 之间的数", most);
        case AssValueKind::WholeNumber:
            return english ? fmt::format("not a whole number from -{0} to {0}", most)
                           : fmt::format("不是 -{0} 到 {0} 之间的整数", most);
        case AssValueKind::Margin:
            return english ? fmt::format("not a whole number from 0 to {}", most)
                           : fmt::format("不是 0 到 {} 之间的整数", most);
        case AssValueKind::Colour:
            return english ? "not a colour &HAABBGGRR (such as &H00FF8000)"
                           : "不是 &HAABBGGRR 形式的颜色（如 &H00FF8000）";
        case AssValueKind::Alignment:
            return english ? "not 1 to 3 (at the bottom) or 7 to 9 (at the top)"
                           : "不是 1 到 3（底部）或 7 到 9（顶部）";
        }
        return {};
    };
    return fmt::format("{}={}{}{}", EscapeControls(error.field), value, english ? ": " : "：",
                       takes(error.takes));
}

} // namespace tolvren
