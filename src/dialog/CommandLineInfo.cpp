#include "dialog/CommandLineInfo.h"

#include "batch/Messages.h"
#include "files/FileSystem.h"

#include <cctype>
#include <fmt/format.h>

namespace tolvren {

namespace {

bool IsHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

bool IsVersion(std::string_view arg) {
    return arg == "--version" || arg == "-V";
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

} // namespace

CommandLineInfo ParseCommandLine(std::span<const std::string> arguments) {
    CommandLineInfo info;
    for (const std::string& arg : arguments) {
        if (arg == "--") {
            break;
        }
        if (IsHelp(arg) || IsVersion(arg)) {
            info.action = IsHelp(arg) ? CommandLineInfo::Action::ShowHelp
                                      : CommandLineInfo::Action::ShowVersion;
            return info;
        }
    }
    bool optionsEnded = false;
    for (const std::string& arg : arguments) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
            info.usageError = fmt::format("unrecognized option '{}'", arg);
        } else if (info.folder) {
            info.usageError = fmt::format("extra operand '{}'", arg);
        } else {
            info.folder = arg;
            continue;
        }
        info.action = CommandLineInfo::Action::UsageError;
        info.folder.reset();
        return info;
    }
    return info;
}

std::optional<std::string> PathOfFileUrl(std::string_view text) {
    constexpr std::string_view kScheme = "file://";
    if (text.substr(0, kScheme.size()) != kScheme) {
        return std::nullopt;
    }
    std::string_view rest = text.substr(kScheme.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    std::string path;
    // file://server/share/x is a share's; file:///x and file://localhost/x are this computer's.
    if (const std::string_view host = rest.substr(0, slash); !host.empty() && host != "localhost") {
        path = fmt::format("//{}", host);
    }
    rest.remove_prefix(slash);
    // file:///C:/songs names C:/songs on Windows.
    if (kPathSeparator == '\\' && path.empty() && rest.size() >= 3 && rest[2] == ':' &&
        std::isalpha(static_cast<unsigned char>(rest[1])) != 0) {
        rest.remove_prefix(1);
    }
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const int high = i + 2 < rest.size() && rest[i] == '%' ? HexValue(rest[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(rest[i + 2]) : -1;
        if (low >= 0) {
            path += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            path += rest[i];
        }
    }
    return path;
}

std::string HelpText(std::string_view program, std::string_view more) {
    // Written for help2man as well as for people: the manual page is made from it.
    return fmt::format(
        "Usage: {0} [OPTION]... [FOLDER]\n"
        "Show the dialog that converts KSC lyric scripts into KMC documents.\n"
        "\n"
        "With FOLDER (a path or a file:// URL), the dialog starts with FOLDER, made\n"
        "absolute and without a trailing separator, as the source and its kmc subfolder\n"
        "as the target, as when the folder is browsed to; the other choices are as they\n"
        "were left. A FOLDER that is no folder is said in a message box. One FOLDER at\n"
        "most: an unknown option or a second FOLDER is a usage error (exit status 2);\n"
        "'--' ends the options.\n"
        "\n"
        "  -h, --help     display this help and exit\n"
        "  -V, --version  output version information and exit\n"
        "\n"
        "{1}",
        program, more);
}

std::string VersionText() {
    return "tolvren " TOLVREN_VERSION "\n";
}

std::string UsageErrorText(std::string_view program, std::string_view error) {
    return fmt::format("{0}: {1}\nTry '{0} --help' for more information.\n", program,
                       EscapeControls(error));
}

std::string NotAFolderText(std::string_view program, std::string_view given) {
    return fmt::format("{}: {}\n", program, DescribeNotAFolder(given, Language::English));
}

} // namespace tolvren
