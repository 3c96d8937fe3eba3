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
    dialog.show();
    exec();
    return 0;
}

} // namespace tolvren
