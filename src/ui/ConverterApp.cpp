#include "ui/ConverterApp.h"

#include "dialog/CommandLineInfo.h"
#include "ui/ConverterDialog.h"
#include "ui/DialogUnits.h"
#include "ui/PathText.h"

#include <QLibraryInfo>
#include <QLocale>
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
    std::vector<std::string> args;
    for (const QString& arg : arguments().mid(1)) {
        args.push_back(ToPath(arg));
    }
    // Qt has taken the options it knows by now; anything else is a typing mistake.
    const CommandLineInfo info = ParseCommandLine(args);
    if (info.action == CommandLineInfo::Action::UsageError) {
        std::fputs(UsageErrorText("tolvren", info.usageError).c_str(), stderr);
        return kExitUsage;
    }
    ConverterDialog dialog;
    // The dialog closes only when no run is left (an Exit during a run waits for the worker), so
    // nothing is running when the event loop ends and the dialog is destroyed.
    connect(&dialog, &QDialog::finished, this, &QCoreApplication::quit);
    dialog.show();
    if (info.folder) {
        // Started from a launcher, nobody sees stderr: the window says it as well.
        if (!ConverterController::FolderOfArgument(*info.folder)) {
            std::fputs(NotAFolderText("tolvren", *info.folder).c_str(), stderr);
        }
        dialog.Controller().OpenFolder(*info.folder);
    }
    exec();
    return 0;
}

} // namespace tolvren
