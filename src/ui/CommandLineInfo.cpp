#include "ui/CommandLineInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <cstring>

namespace tolvren {

namespace {

// Written for help2man as well as for people: the manual page is made from it.
constexpr const char* kHelp =
    "Usage: tolvren [OPTION]... [FOLDER]\n"
    "Show the dialog that converts KSC lyric scripts into KMC documents.\n"
    "\n"
    "With FOLDER (a path or a file:// URL), the dialog starts with FOLDER as the\n"
    "source and its kmc subfolder as the target, as when the folder is browsed to.\n"
    "\n"
    "  -h, --help     display this help and exit\n"
    "  -V, --version  output version information and exit\n"
    "\n"
    "Qt's own options, such as -platform NAME or -style NAME, work as in every Qt\n"
    "program. The command-line tool tolvren-cli converts without a window.\n";

} // namespace

std::optional<int> AnswerHelpOrVersion(int argc, char** argv, std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) {
            return std::nullopt;
        }
        const bool help = std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0;
        const bool version = std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-V") == 0;
        if (help || version) {
            std::fputs(help ? kHelp : "tolvren " TOLVREN_VERSION "\n", out);
            if (std::fflush(out) != 0 || std::ferror(out) != 0) {
                std::fputs("tolvren: write error\n", stderr);
                return 1;
            }
            return 0;
        }
    }
    return std::nullopt;
}

CommandLineInfo ParseCommandLine(const QStringList& arguments) {
    CommandLineInfo info;
    bool optionsEnded = false;
    QString given;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg.startsWith(QLatin1Char('-'))) {
            // Qt has taken the options it knows by now; anything else is a typing mistake.
            info.usageError = QStringLiteral("unrecognized option '%1'").arg(arg);
            return info;
        } else if (!given.isNull()) {
            info.usageError = QStringLiteral("extra operand '%1'").arg(arg);
            return info;
        } else {
            given = arg;
        }
    }
    if (given.isNull()) {
        return info;
    }
    QFileInfo folder(given);
    // A file manager or a desktop launcher may hand over a URL instead of a path.
    if (!folder.isDir() && given.startsWith(QLatin1String("file:"))) {
        folder.setFile(QUrl(given).toLocalFile());
    }
    if (given.isEmpty() || !folder.isDir()) {
        info.notAFolder = given;
    } else {
        info.sourceFolder = QDir::cleanPath(folder.absoluteFilePath());
    }
    return info;
}

} // namespace tolvren
