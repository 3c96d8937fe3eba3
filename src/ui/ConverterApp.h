#pragma once

#include <QApplication>

namespace tolvren {

/// The program: one dialog, shown until it is closed.
class ConverterApp : public QApplication {
    Q_OBJECT

public:
    ConverterApp(int& argc, char** argv);

    /// Shows the dialog and returns when it has closed.
    int InitInstance();
};

} // namespace tolvren
