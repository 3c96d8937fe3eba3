#pragma once

#include <QApplication>

namespace tolvren {

/// The program: one dialog, shown until it is closed.
class ConverterApp : public QApplication {
    Q_OBJECT

public:
    ConverterApp(int& argc, char** argv);

    /// Shows the dialog, on the folder the command line names, and returns the exit status when
    /// it has closed (2 at once for a usage error).
    int InitInstance();
};

/// Loads Qt's own Chinese texts (the folder chooser, the text boxes' context menus) into `app`, so
/// that the whole window speaks one language. False when they are not installed; Qt then speaks
/// English.
bool LoadQtChineseTexts(QCoreApplication& app);

} // namespace tolvren
