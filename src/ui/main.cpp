#include "dialog/CommandLineInfo.h"
#include "ui/ConverterApp.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Qt's own options, which QApplication takes before the dialog reads the rest.
constexpr const char* kQtOptions =
    "Qt's own options, such as -platform NAME or -style NAME, work as in every Qt\n"
    "program. The command-line tool tolvren-cli converts without a window.\n";

} // namespace

int main(int argc, char** argv) {
    // --help and --version are answered before QApplication exists: it aborts where there is no
    // display, and these two must work everywhere (help2man, a terminal over ssh).
    const std::vector<std::string> args(argv + 1, argv + argc);
    const tolvren::CommandLineInfo info = tolvren::ParseCommandLine(args);
    using Action = tolvren::CommandLineInfo::Action;
    if (info.action == Action::ShowHelp || info.action == Action::ShowVersion) {
        const std::string text = info.action == Action::ShowHelp
                                     ? tolvren::HelpText("tolvren", kQtOptions)
                                     : tolvren::VersionText();
        std::fputs(text.c_str(), stdout);
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
            std::fputs("tolvren: write error\n", stderr);
            return 1;
        }
        return 0;
    }
    tolvren::ConverterApp app(argc, argv);
    return app.InitInstance();
}
