#pragma once

#include "cli/Terminal.h"

namespace tolvren {

/// The command-line tool, once its arguments are in hand (UTF-8 on Windows, the terminal's bytes
/// on Linux); returns its exit status.
int RunCli(int argc, char** argv, const Terminal& terminal);

} // namespace tolvren
