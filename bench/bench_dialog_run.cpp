// Times whole runs through the dialog on the offscreen platform, the way a user starts them:
//   bench_dialog_run SOURCE TARGET [RUNS]
// Prints one line per run: the milliseconds from the click on Start until the dialog is idle again.

#include "ui/ConverterDialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_dialog_run SOURCE TARGET [RUNS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 3 ? std::atoi(argv[3]) : 1;
    for (int r = 0; r < runs; ++r) {
        std::filesystem::remove_all(argv[2]);
        tolvren::ConverterDialog dialog(tolvren::ConvertWorker);
        dialog.show();
        dialog.findChild<QLineEdit*>("1001")->setText(QString::fromLocal8Bit(argv[1]));
        dialog.findChild<QLineEdit*>("1002")->setText(QString::fromLocal8Bit(argv[2]));
        QElapsedTimer timer;
        timer.start();
        dialog.findChild<QPushButton*>("1005")->click();
        while (dialog.IsRunActive()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        std::printf("%lld\n", static_cast<long long>(timer.elapsed()));
        std::fflush(stdout);
    }
    return 0;
}
