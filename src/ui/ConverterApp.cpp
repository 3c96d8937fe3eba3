#include "ui/ConverterApp.h"

#include "batch/ConvertWorker.h"
#include "batch/Messages.h"
#include "ui/CommandLineInfo.h"
#include "ui/ConverterDialog.h"
#include "ui/DialogUnits.h"
#include "ui/PathText.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <cstdio>

namespace tolvren {

namespace {

constexpr int kExitUsage = 2;

} // namespace

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
    const CommandLineInfo info = ParseCommandLine(arguments());
    if (!info.usageError.isEmpty()) {
        std::fprintf(stderr, "tolvren: %s\nTry 'tolvren --help' for more information.\n",
                     EscapeControls(info.usageError.toLocal8Bit().toStdString()).c_str());
        return kExitUsage;
    }
    ConverterDialog dialog(&ConvertWorker);
    if (!info.sourceFolder.isEmpty()) {
        dialog.SetSourceFolder(info.sourceFolder);
    }
    // The dialog closes only when no run is left (an Exit during a run waits for the worker), so
    // nothing is running when the event loop ends and the dialog is destroyed.
    connect(&dialog, &QDialog::finished, this, &QCoreApplication::quit);
    dialog.show();
    if (!info.notAFolder.isEmpty()) {
        const std::string name = ToPath(info.notAFolder);
        std::fprintf(stderr, "tolvren: %s\n", DescribeNotAFolder(name, Language::English).c_str());
        // Started from a launcher, nobody sees stderr: the window says it as well.
        auto* box = new QMessageBox(QMessageBox::Warning, dialog.windowTitle(),
                                    FromText(DescribeNotAFolder(name, Language::Chinese)),
                                    QMessageBox::Ok, &dialog);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    exec();
    return 0;
}

} // namespace tolvren
