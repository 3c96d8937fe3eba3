#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace tolvren {

/// Answers --help (-h) and --version (-V) from the raw arguments, before QApplication exists: it
/// aborts where there is no display, and these two must work everywhere (help2man, a terminal
/// over ssh). Prints the answer to `out` and returns the exit status (1 when `out` could not be
/// written); returns nothing when neither was asked for. Every other argument is left to Qt.
std::optional<int> AnswerHelpOrVersion(int argc, char** argv, std::FILE* out);

/// What the arguments that Qt has left (QCoreApplication::arguments()) ask of the dialog.
struct CommandLineInfo {
    QString sourceFolder; ///< absolute and clean; empty when no argument named a folder
    QString notAFolder;   ///< the argument as given, when it names no folder
    QString usageError;   ///< set: the program reports it and ends with status 2
};

/// Reads `tolvren [FOLDER]`; FOLDER may also be a file:// URL.
CommandLineInfo ParseCommandLine(const QStringList& arguments);

} // namespace tolvren
