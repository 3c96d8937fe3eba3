#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

// The command line of both dialog programs, tolvren and tolvren.exe: `PROGRAM [OPTION]...
// [FOLDER]`, read by the same rules and answered by the same texts.

namespace tolvren {

/// What the arguments ask of the dialog.
struct CommandLineInfo {
    enum class Action { ShowWindow, ShowHelp, ShowVersion, UsageError };
    Action action = Action::ShowWindow;
    std::optional<std::string> folder; ///< FOLDER as given, when one was
    std::string usageError;            ///< "unrecognized option '--x'", "extra operand 'b'"
};

/// Reads the arguments after the program's name. -h/--help or -V/--version anywhere before "--"
/// is answered whatever else is there; otherwise any other option, or a second FOLDER, is a usage
/// error. "--" ends the options.
CommandLineInfo ParseCommandLine(std::span<const std::string> arguments);

/// The path a file:// URL names (what file managers and launchers hand over), its %XX escapes
/// decoded; nothing when `text` is no such URL.
std::optional<std::string> PathOfFileUrl(std::string_view text);

/// The --help text of `program` ("tolvren", "tolvren.exe"); `more` follows the options.
std::string HelpText(std::string_view program, std::string_view more);
/// "tolvren 0.1.0".
std::string VersionText();
/// A usage error as GNU programs give it: "PROGRAM: ERROR" and a line that points to --help.
std::string UsageErrorText(std::string_view program, std::string_view error);
/// FOLDER named no folder, for standard error: "PROGRAM: FOLDER: not a folder".
std::string NotAFolderText(std::string_view program, std::string_view given);

} // namespace tolvren
