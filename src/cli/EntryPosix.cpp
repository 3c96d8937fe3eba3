// tolvren-cli: converts one KSC script or every script under a folder into documents.

#include "cli/Cli.h"

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const tolvren::Terminal terminal;
    return tolvren::RunCli(argc, argv, terminal);
}
