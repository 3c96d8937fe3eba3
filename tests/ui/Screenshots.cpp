// Writes pictures of the dialog for a look by eye: idle, and in the middle of a run with the bar
// half full. Not a test; run it on a real display or under Xvfb:
//   xvfb-run -a -s '-screen 0 1024x768x24' build/dev/tests/ui/tolvren_screenshots /tmp/shots
#include "ui/AboutDialog.h"
#include "ui/ConverterDialog.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <cstdio>

using namespace tolvren;

namespace {

int NoRun(RunState& /*run*/) {
    return 0;
}

bool Save(QWidget& window, const QString& path) {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return false;
    }
    QTest::qWait(200);
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);

    ConverterDialog dialog(&NoRun);
    bool ok = Save(dialog, folder + QStringLiteral("/idle.png"));

    // What the worker's calls leave on the screen halfway through a run.
    dialog.findChild<QLineEdit*>(QStringLiteral("1001"))
        ->setText(QStringLiteral("/home/user/歌曲/"));
    dialog.findChild<QLineEdit*>(QStringLiteral("1002"))
        ->setText(QStringLiteral("/home/user/歌曲/kmc"));
    dialog.findChild<QLineEdit*>(QStringLiteral("1006"))->setText(QStringLiteral("张三"));
    dialog.UpdateData(true);
    dialog.SetStartEnabled(false);
    dialog.SetStopEnabled(true);
    dialog.SetProgressPos(50);
    dialog.SetProgressText("5/10  50% ");
    dialog.UpdateElapsed("1234毫秒");
    ok = Save(dialog, folder + QStringLiteral("/running.png")) && ok;

    AboutDialog about(&dialog);
    ok = Save(about, folder + QStringLiteral("/about.png")) && ok;
    return ok ? 0 : 1;
}
