// tolvren-cli.exe: its arguments arrive as UTF-16 and go on as UTF-8.

#include "cli/Cli.h"
#include "files/Win32Text.h"

#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(tolvren::Narrow(argv[i]));
    }
    std::vector<char*> pointers;
    pointers.reserve(arguments.size() + 1);
    for (std::string& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    const tolvren::Terminal terminal;
    return tolvren::RunCli(argc, pointers.data(), terminal);
}
