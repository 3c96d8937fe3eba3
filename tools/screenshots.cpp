// Writes pictures of the windows for a look by eye: the dialog idle, in the middle of a run, after
// a run with problems, the list of those problems, and the About box. Run it on a real display or
// under Xvfb:
//   xvfb-run -a -s '-screen 0 1024x768x24' build/dev/tools/tolvren_screenshots /tmp/shots
#include "ui/AboutDialog.h"
#include "ui/ControlIds.h"
#include "ui/ConverterApp.h"
#include "ui/ConverterDialog.h"
#include "ui/ProblemListDialog.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstdio>
#include <semaphore>

using namespace tolvren;

namespace {

std::binary_semaphore g_resume{0};

// Half a run, then a pause until the picture is taken, then an end with a problem of each kind.
RunSummary PausedRun(const RunRequest& request, const RunControl& /*control*/,
                     RunFrontEnd& frontEnd) {
    frontEnd.ShowProgress({5, 10, 50, "5/10  50% ", "1234毫秒"});
    g_resume.acquire();
    RunSummary summary;
    summary.count = summary.done = 10;
    summary.failed = summary.warned = 1;
    summary.finalText = "10/10  100% 完成（1 个文件失败）";
    auto problem = [&](RunProblem::Kind kind, const std::string& name) {
        RunProblem p;
        p.kind = kind;
        p.path = request.sourceDir + "/" + name + ".ksc";
        p.otherPath = request.sourceDir + "/旧/" + name + ".ksc";
        p.targetPath = request.targetDir + "/" + name + ".kmc";
        return p;
    };
    summary.problems.push_back(problem(RunProblem::Kind::Failed, "情歌"));
    summary.problems.back().io = IoResult::Failed(IoStep::WriteTarget, ENOSPC);
    summary.problems.push_back(problem(RunProblem::Kind::Warning, "老歌"));
    summary.problems.back().warning =
        ScriptWarning(ScriptWarning::Kind::InvalidBytes, 3, 2, 0, "GBK");
    summary.problems.push_back(problem(RunProblem::Kind::Overwritten, "夜曲"));
    frontEnd.ShowFinished(summary);
    return summary;
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
    LoadQtChineseTexts(app);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    // A home of its own, so that the run's folders exist and read as a user would type them.
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("歌曲"));
    qputenv("HOME", QFile::encodeName(home.path()));

    ConverterDialog dialog(&PausedRun);
    bool ok = Save(dialog, folder + QStringLiteral("/idle.png"));

    dialog.findChild<QLineEdit*>(ids::kSourceEdit)->setText(QStringLiteral("~/歌曲"));
    dialog.findChild<QLineEdit*>(ids::kTargetEdit)->setText(QStringLiteral("~/歌曲/kmc"));
    dialog.findChild<QLineEdit*>(ids::kAuthorEdit)->setText(QStringLiteral("张三"));
    dialog.findChild<QPushButton*>(ids::kStart)->click();
    ok = Save(dialog, folder + QStringLiteral("/running.png")) && ok;

    g_resume.release();
    while (dialog.Controller().IsRunActive()) {
        QTest::qWait(10);
    }
    ok = Save(dialog, folder + QStringLiteral("/finished.png")) && ok;

    dialog.findChild<QPushButton*>(ids::kDetails)->click();
    auto* problems = dialog.findChild<ProblemListDialog*>();
    ok = problems != nullptr && Save(*problems, folder + QStringLiteral("/problems.png")) && ok;

    AboutDialog about(&dialog);
    ok = Save(about, folder + QStringLiteral("/about.png")) && ok;
    return ok ? 0 : 1;
}
