#include "ui/ConverterApp.h"

#include "ui/ConverterDialog.h"
#include "ui/DialogUnits.h"

namespace tolvren {

ConverterApp::ConverterApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tolvren"));
    setApplicationVersion(QStringLiteral(TOLVREN_VERSION));
    // Lets the desktop match the window to its launcher and icon.
    setDesktopFileName(QStringLiteral("io.github.tolvren.Tolvren"));
    setWindowIcon(ProgramIcon());
}

int ConverterApp::InitInstance() {
    ConverterDialog dialog(&ConvertWorker);
    // The dialog closes only when no run is left (an Exit during a run waits for the worker), so
    // nothing is running when the event loop ends and the dialog is destroyed.
    connect(&dialog, &QDialog::finished, this, &QCoreApplication::quit);
    dialog.show();
    exec();
    return 0;
}

} // namespace tolvren
