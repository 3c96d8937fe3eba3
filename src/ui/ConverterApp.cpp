#include "ui/ConverterApp.h"

#include "ui/ConverterDialog.h"
#include "ui/DialogUnits.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tolvren {

ConverterApp::ConverterApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tolvren"));
    setApplicationVersion(QStringLiteral(TOLVREN_VERSION));
    // Lets the desktop match the window to its launcher and icon.
    setDesktopFileName(QStringLiteral("io.github.tolvren.Tolvren"));
    setWindowIcon(ProgramIcon());
    LoadQtChineseTexts(*this);
}

bool LoadQtChineseTexts(QCoreApplication& app) {
    // The window is Chinese whatever the desktop's locale is, so Qt's part of it is too.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
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
