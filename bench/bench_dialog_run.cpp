// Times whole runs through the dialog the way a user starts them, on the offscreen platform unless
// QT_QPA_PLATFORM names another (xcb under xvfb-run for a real X server):
//   bench_dialog_run SOURCE TARGET [RUNS]
// Prints one line per run: the milliseconds from the click on Start until the dialog is idle again.

#include "batch/ConvertWorker.h"
#include "ui/ControlIds.h"
#include "ui/ConverterDialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_dialog_run SOURCE TARGET [RUNS]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int runs = argc > 3 ? std::atoi(argv[3]) : 1;
    for (int r = 0; r < runs; ++r) {
        std::filesystem::remove_all(argv[2]);
        tolvren::ConverterDialog dialog(tolvren::ConvertWorker);
        dialog.show();
        // A real X server maps the window a moment later; the run is timed from a window on
        // the screen, as a user sees it.
        while (!dialog.windowHandle()->isExposed()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        using namespace tolvren::ids;
        dialog.findChild<QLineEdit*>(kSourceEdit)->setText(QString::fromLocal8Bit(argv[1]));
        dialog.findChild<QLineEdit*>(kTargetEdit)->setText(QString::fromLocal8Bit(argv[2]));
        QElapsedTimer timer;
        timer.start();
        dialog.findChild<QPushButton*>(kStart)->click();
        while (dialog.Controller().IsRunActive()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        std::printf("%lld\n", static_cast<long long>(timer.elapsed()));
        std::fflush(stdout);
    }
    return 0;
}
