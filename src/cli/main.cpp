// The command-line tool: its options, the checks before a run, the run, the exit status.

#include "batch/ConvertWorker.h"
#include "batch/Messages.h"
#include "batch/RunState.h"
#include "cli/Cli.h"
#include "cli/CliFrontEnd.h"
#include "cli/StopSignals.h"
#include "conversion/FieldUtils.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fmt/format.h>

namespace {

enum ExitStatus { ExitOk = 0, ExitFailures = 1, ExitUsage = 2, ExitSignal = 128 };

constexpr std::string_view kProgram = "tolvren-cli";

int UsageError(const std::string& message, const tolvren::Terminal& terminal,
               const std::string& path = {}) {
    terminal.Write(stderr, fmt::format("{}: ", kProgram));
    tolvren::PrintLine(stderr, terminal, message, path);
    terminal.Write(stderr, fmt::format("Try '{} --help' for more information.\n", kProgram));
    return ExitUsage;
}

// Standard output that cannot be written is an error, as for any GNU tool: the status the user
// asked for is lost.
int CloseStdout(int status, const tolvren::Terminal& terminal) {
    const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    const int error = errno;
    if (std::fclose(stdout) != 0 || failed) {
        terminal.Write(stderr, fmt::format("{}: write error: {}\n", kProgram,
                                           tolvren::ErrorText(failed ? error : errno)));
        return status == ExitOk ? ExitFailures : status;
    }
    return status;
}

constexpr const char* kDescription =
    "Converts KSC lyric scripts into KMC documents (or XML, LRC, ASS, TTML, SRT).\n"
    "SOURCE is a folder (every *.ksc* file under it, at any depth) or one file; the documents\n"
    "go side by side into TARGET_DIR, which is created if it is missing (one level).\n"
    "With --check, TARGET_DIR may be left out; given, it need not exist, and the documents\n"
    "that exist there and would be replaced are named. A TARGET_DIR that is an existing\n"
    "file, or a third operand, is a usage error.\n"
    "Times: --shift 500 shows every line half a second later, --shift -500 sooner; a time\n"
    "that would fall before 0 is 0, with a warning. KMC and XML keep the script's times.";

constexpr const char* kFooter =
    "Encodings:\n"
    "  A script that starts with a byte-order mark is read as UTF-8, UTF-16LE or UTF-16BE.\n"
    "  Without one it is read as GBK (code page 936), unless --encoding says otherwise, and a\n"
    "  warning names the encoding it looks like. 'auto' reads UTF-16 when every other byte is\n"
    "  NUL; then, the script's tag names (歌名, 歌手) deciding first, UTF-8 when nearly all\n"
    "  bytes beyond ASCII form UTF-8, GB18030 when it holds four-byte sequences, Big5 when its\n"
    "  tag names or lyrics are Big5, and GBK otherwise (also for a short script that cannot be\n"
    "  told apart). gb2312 is read as GBK, which holds it, as files so labelled mean;\n"
    "  shift_jis and euc-kr as Windows has them (Windows-31J, Unified Hangul Code).\n"
    "\n"
    "Warnings (on stderr as PATH:LINE: warning: TEXT; the file is still converted):\n"
    "  a script read as GBK that looks like UTF-8, UTF-16, Big5 or GB18030, bytes not valid in\n"
    "  the encoding (replaced by U+FFFD), a Ctrl-Z that ends the input before the end of the\n"
    "  file, a lyric statement without its four fields, karaoke.songname/karaoke.singer\n"
    "  assignments (not read for KMC), no lyric lines at all, lines that end in CR alone (with\n"
    "  the lyric lines lost there), for KMC and XML a value written as it stands that no XML\n"
    "  reader takes ('&', '<', '\"', control characters: once per document, and once for the\n"
    "  author), for the other formats a line whose durations do not match its units or whose\n"
    "  time is no time, a time moved before 0 and an offset --apply-offset cannot read, for ASS\n"
    "  a karaoke.rows or lead-in or linger that makes no sense, a fifth argument of karaoke.add\n"
    "  that is no RGB(r, g, b), and a line sung while every row is taken, for SRT an offset it\n"
    "  cannot name, for TTML control characters it cannot hold, and with --chinese s2twp or\n"
    "  tw2sp a lyric line whose units the regional words would change (converted without them,\n"
    "  by s2tw or tw2s). A FIFO, socket or device named like a script is skipped with a warning.\n"
    "  Control characters in file names are printed as escapes (\\n, \\x1b).\n"
    "\n"
    "Exit status: 0 all converted (also when none was found); 1 a file or folder failed, the\n"
    "target folder could not be opened (--open), standard output could not be written, or a\n"
    "check found a warning, a failure, a skipped file or two scripts for one document (the\n"
    "documents it would replace are notes); 2 usage error; 128+N stopped by signal N (130\n"
    "Ctrl-C).";

} // namespace

int tolvren::RunCli(int argc, char** argv, const Terminal& terminal) {

    CLI::App app{kDescription, std::string(kProgram)};
    app.set_help_flag("-h,--help", "Print this help and exit");
    // "/songs" is a folder, also on Windows: options are GNU's everywhere.
    app.allow_windows_style_options(false);
    app.footer(kFooter);
    std::string source;
    std::string target;
    std::string author;
    std::string format = "kmc";
    std::string encoding = "gbk";
    std::string chinese;
    std::string lrcStyle{tolvren::LrcStyleName(tolvren::LrcStyle::Enhanced)};
    std::string lrcPrecision = "2";
    std::string shift = "0";
    bool applyOffset = false;
    bool quiet = false;
    bool noWarnings = false;
    bool open = false;
    bool keepTree = false;
    bool check = false;
    bool version = false;
    app.add_option("SOURCE", source, "Folder to search, or one KSC file")->required();
    app.add_option("TARGET_DIR", target,
                   "Folder that receives the documents (with --check: where they would go)");
    app.add_option("-a,--author", author, "Author written into every document");
    app.add_option("-f,--format", format,
                   fmt::format("Output: {} (kmc by default)", tolvren::FormatNames()));
    app.add_option("-e,--encoding", encoding,
                   "Encoding of scripts without a byte-order mark: gbk (default), auto, or any "
                   "name such as gb18030, big5, big5-hkscs, utf-8, utf-16le, shift_jis, euc-kr");
    app.add_option("--chinese", chinese,
                   "Convert lyrics, titles and singers: s2t, s2tw, s2twp, s2hk (Simplified to "
                   "Traditional: standard, Taiwan, Taiwan with its words, Hong Kong), t2s, tw2s, "
                   "tw2sp, hk2s (back to Simplified)");
    app.add_option("--lrc-style", lrcStyle,
                   "LRC: enhanced (default: word by word) or plain (line by line, for players that "
                   "show word tags as text)")
        ->type_name("STYLE");
    app.add_option("--lrc-precision", lrcPrecision,
                   "LRC: 2 (default) or 3 digits of a second ([mm:ss.xx] or [mm:ss.xxx])")
        ->type_name("DIGITS");
    app.add_option("--shift", shift,
                   "Move every time by MS milliseconds, later when positive (not for kmc, xml)")
        ->type_name("MS");
    app.add_flag("--apply-offset", applyOffset,
                 "Move the times by karaoke.TimeOffset as LRC players apply [offset:], and name "
                 "no offset (not for kmc, xml)");
    app.add_flag("--keep-tree", keepTree,
                 "Put each document into the same subfolder of TARGET_DIR as its source has "
                 "under SOURCE");
    app.add_flag("--open", open, "Open the target folder in the file browser at the end");
    app.add_flag("--check", check,
                 "Read every script and print its warnings and failures; write nothing");
    app.add_flag("-q,--quiet", quiet, "Print nothing but failures");
    app.add_flag("--no-warnings", noWarnings, "Do not print warnings");
    app.add_flag("-V,--version", version, "Print the version and exit");
    // Karaoke ASS: each choice overrides the script's own (karaoke.rows, …) and the defaults.
    struct AssChoice {
        tolvren::AssOption option;
        const char* name;
        const char* help;
        std::string value;
    };
    std::array<AssChoice, 5> assChoices = {{
        {tolvren::AssOption::Rows,
         "--ass-rows",
         "ASS: rows on screen, 1 to 4 (default: the script's karaoke.rows, else 2)",
         {}},
        {tolvren::AssOption::Lead,
         "--ass-lead",
         "ASS: milliseconds a line is shown before it is sung (default: the script's "
         "karaoke.TimeBeforeAnimate, else 1000)",
         {}},
        {tolvren::AssOption::Linger,
         "--ass-linger",
         "ASS: milliseconds a line stays after it is sung (default: the script's "
         "karaoke.TimeAfterAnimate, else 500)",
         {}},
        {tolvren::AssOption::Size,
         "--ass-size",
         "ASS: the frame, WIDTHxHEIGHT (default 1920x1080)",
         {}},
        {tolvren::AssOption::Style,
         "--ass-style",
         "ASS: style fields in ffmpeg's force_style syntax, such as 'Fontname=Microsoft YaHei,"
         "Fontsize=72,PrimaryColour=&H00FF8000' (PrimaryColour sung, SecondaryColour unsung)",
         {}},
    }};
    for (AssChoice& choice : assChoices) {
        app.add_option(choice.name, choice.value, choice.help);
    }
    bool assNoTitle = false;
    app.add_flag("--ass-no-title", assNoTitle,
                 "ASS: no title card (the title and singer shown before the first line)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        terminal.Write(stdout, app.help());
        return CloseStdout(ExitOk, terminal);
    } catch (const CLI::ParseError& e) {
        if (version) {
            terminal.Write(stdout, fmt::format("{} {}\n", kProgram, TOLVREN_VERSION));
            return CloseStdout(ExitOk, terminal);
        }
        // An unknown option says more than the SOURCE that it may have kept from being seen;
        // what the user typed is quoted with its control characters escaped.
        const std::vector<std::string> unexpected = app.remaining();
        return UsageError(tolvren::EscapeControls(
                              unexpected.empty() ? e.what() : CLI::ExtrasError(unexpected).what()),
                          terminal);
    }
    if (version) {
        terminal.Write(stdout, fmt::format("{} {}\n", kProgram, TOLVREN_VERSION));
        return CloseStdout(ExitOk, terminal);
    }

    tolvren::RunRequest request;
    request.sourceDir = source;
    request.targetDir = target;
    request.keepTree = keepTree;
    request.checkOnly = check;
    const std::optional<std::string> authorText = terminal.ToUtf8(author);
    if (!authorText) {
        return UsageError("--author: not valid text in the terminal's encoding", terminal);
    }
    request.author = *authorText;
    const std::optional<tolvren::OutputFormat> outputFormat = tolvren::FormatFromName(format);
    if (!outputFormat) {
        return UsageError(fmt::format("--format: '{}' is none of {}",
                                      tolvren::EscapeControls(format), tolvren::FormatNames()),
                          terminal);
    }
    for (const AssChoice& choice : assChoices) {
        if (app.count(choice.name) == 0) {
            continue;
        }
        if (*outputFormat != tolvren::OutputFormat::Ass) {
            return UsageError(fmt::format("{}: for ASS documents only (-f ass)", choice.name),
                              terminal);
        }
        const std::optional<std::string> text = terminal.ToUtf8(choice.value);
        if (!text) {
            return UsageError(
                fmt::format("{}: not valid text in the terminal's encoding", choice.name),
                terminal);
        }
        if (const auto error = SetAssOption(request.document.ass, choice.option, *text)) {
            return UsageError(
                fmt::format("{}: {}", choice.name,
                            DescribeAssOptionError(*error, tolvren::Language::English)),
                terminal);
        }
    }
    if (assNoTitle && *outputFormat != tolvren::OutputFormat::Ass) {
        return UsageError("--ass-no-title: for ASS documents only (-f ass)", terminal);
    }
    request.document.ass.titleCard = !assNoTitle;
    const std::optional<tolvren::InputEncoding> inputEncoding =
        tolvren::InputEncoding::FromName(encoding);
    if (!inputEncoding) {
        return UsageError(tolvren::DescribeUnknownEncoding(encoding, tolvren::Language::English),
                          terminal);
    }
    request.encoding = *inputEncoding;
    if (app.count("--chinese") > 0) {
        const std::optional<tolvren::ChineseMode> mode = tolvren::ChineseModeFromName(chinese);
        if (!mode) {
            std::string modes;
            for (const tolvren::ChineseMode known : tolvren::kChineseModes) {
                if (known != tolvren::ChineseMode::Off) {
                    modes.append(modes.empty() ? "" : ", ").append(ChineseModeName(known));
                }
            }
            return UsageError(fmt::format("--chinese: '{}' is none of {}",
                                          tolvren::EscapeControls(chinese), modes),
                              terminal);
        }
        request.chinese = *mode;
    }
    request.format = *outputFormat;
    const std::optional<tolvren::LrcStyle> style = tolvren::LrcStyleFromName(lrcStyle);
    if (!style) {
        return UsageError(fmt::format("--lrc-style: '{}' is neither enhanced nor plain",
                                      tolvren::EscapeControls(lrcStyle)),
                          terminal);
    }
    request.document.lrc.style = *style;
    const std::optional<std::int64_t> digits = tolvren::ParseInteger(lrcPrecision);
    const std::optional<std::int64_t> ms = tolvren::ParseInteger(shift);
    if (!digits || !ms) {
        return UsageError(digits ? fmt::format("--shift: '{}' is no whole number of milliseconds",
                                               tolvren::EscapeControls(shift))
                                 : fmt::format("--lrc-precision: '{}' is neither 2 nor 3",
                                               tolvren::EscapeControls(lrcPrecision)),
                          terminal);
    }
    // Any number but 2 and 3 is refused with the rest of the request, as it stands.
    request.document.lrc.fractionDigits =
        static_cast<int>(std::clamp<std::int64_t>(*digits, -1, 100));
    request.document.timing = {*ms, applyOffset};
    if (const tolvren::RequestCheck valid = tolvren::ValidateRequest(request); !valid.ok()) {
        const bool aboutTarget = valid.problem == tolvren::RequestError::TargetNotAFolder;
        return UsageError(tolvren::DescribeRequestError(valid, request, tolvren::Language::English),
                          terminal, aboutTarget ? request.targetDir : request.sourceDir);
    }

    tolvren::CliFrontEnd::Options options;
    options.quiet = quiet;
    options.warnings = !noWarnings;
    options.progressLine = !quiet && terminal.IsTerminal(stderr);
    options.program = kProgram;
    tolvren::CliFrontEnd frontEnd(options, terminal, stdout, stderr);

    tolvren::RunControl control;
    tolvren::InstallStopSignals(control);
    const tolvren::RunSummary summary = tolvren::ConvertWorker(request, control, frontEnd);
    tolvren::RunHasEnded();
    // The target is shown however the run ended, also when nothing was found.
    const bool shown = !open || check || frontEnd.OpenFolder(summary.target);

    int status = ExitOk;
    if (summary.stopped && tolvren::FirstStopSignal() != 0) {
        status = ExitSignal + tolvren::FirstStopSignal();
    } else if (summary.failed > 0 || summary.unreadableFolders > 0 || !shown ||
               (check && std::ranges::any_of(summary.problems, [](const auto& problem) {
                    // A rerun check of a library finds its documents: a note, not a finding.
                    return problem.kind != tolvren::RunProblem::Kind::WouldReplace;
                }))) {
        status = ExitFailures;
    }
    return CloseStdout(status, terminal);
}
