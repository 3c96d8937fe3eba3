// The dialog's own behaviour, driven by a stand-in worker that converts nothing but makes the
// worker's calls in the worker's order and can be held before each file.
#include "ui/ConverterDialog.h"

#include "ui/AboutDialog.h"
#include "ui/CommandLineInfo.h"
#include "ui/TextProgressCtrl.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <memory>
#include <semaphore>

using namespace tolvren;

namespace {

struct FakeRun {
    int files = 3;
    bool held = false;
    std::counting_semaphore<1000> gate{0}; ///< one release lets one held file through
    std::atomic<int> converting{-1};       ///< index of the file being "converted"
    std::atomic<int> converted{0};
    std::atomic<bool> closeAfterRun{false};
    std::atomic<bool> finished{false};

    void Reset(int count, bool hold) {
        files = count;
        held = hold;
        while (gate.try_acquire()) {
        }
        converting = -1;
        converted = 0;
        closeAfterRun = false;
        finished = false;
    }
};

FakeRun g_fake;

int FakeWorker(RunState& run) {
    RunFrontEnd& ui = *run.m_pFrontEnd;
    ui.IsKmcChecked();
    ui.SetProgressRange(0, 100);
    int i = 0;
    for (; i < g_fake.files; ++i) {
        if (run.m_bRunning == 0 || run.m_bExitRequested != 0) {
            break;
        }
        g_fake.converting = i;
        if (g_fake.held) {
            g_fake.gate.acquire();
        }
        ++g_fake.converted;
        ui.SetProgressPos((i + 1) * 100 / g_fake.files);
        ui.SetProgressText(std::to_string(i + 1) + "/" + std::to_string(g_fake.files));
        ui.UpdateElapsed(std::to_string(i + 1) + "毫秒");
    }
    ui.SetProgressText(i == g_fake.files ? "done" : "stopped");
    ui.SetStartEnabled(true);
    ui.SetStopEnabled(false);
    run.m_bRunning = 0;
    ui.IsOpenTargetChecked();
    if (run.m_bExitRequested != 0) {
        g_fake.closeAfterRun = true;
        ui.CloseAfterRun();
    }
    g_fake.finished = true;
    return 0;
}

template <typename T>
T* Control(QWidget& dialog, const char* id) {
    return dialog.findChild<T*>(QString::fromLatin1(id), Qt::FindDirectChildrenOnly);
}

QString FakePickerResult;
QString FakePicker(QWidget* /*owner*/) {
    return FakePickerResult;
}

} // namespace

class ConverterDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ConverterDialog> m_dialog;

    ConverterDialog& Dialog() { return *m_dialog; }
    QLineEdit* Edit(const char* id) { return Control<QLineEdit>(Dialog(), id); }
    QPushButton* Button(const char* id) { return Control<QPushButton>(Dialog(), id); }
    TextProgressCtrl* Bar() { return Control<TextProgressCtrl>(Dialog(), "1010"); }

    void StartHeldRun(int files) {
        g_fake.Reset(files, true);
        Edit("1001")->setText(QStringLiteral("/in"));
        Edit("1002")->setText(QStringLiteral("/out"));
        QTest::mouseClick(Button("1005"), Qt::LeftButton);
        QTRY_COMPARE(g_fake.converting.load(), 0);
    }

private slots:
    void init() {
        g_fake.Reset(3, false);
        m_dialog = std::make_unique<ConverterDialog>(&FakeWorker);
        Dialog().SetFolderPicker(&FakePicker);
        Dialog().show();
        QVERIFY(QTest::qWaitForWindowExposed(&Dialog()));
    }

    void cleanup() {
        for (int i = 0; i < 1000; ++i) {
            g_fake.gate.release(); // never leave a held worker behind
        }
        m_dialog.reset();
    }

    void startsIdleWithKmcChosen() {
        QCOMPARE(Dialog().windowTitle(), QStringLiteral("Tolvren 批量转换器"));
        QVERIFY(!Dialog().windowIcon().isNull());
        QVERIFY(Control<QRadioButton>(Dialog(), "1007")->isChecked());
        QVERIFY(!Control<QRadioButton>(Dialog(), "1008")->isChecked());
        QVERIFY(!Control<QCheckBox>(Dialog(), "1013")->isChecked());
        QVERIFY(Button("1005")->isEnabled());
        QVERIFY(!Button("1009")->isEnabled());
        QCOMPARE(Control<QLabel>(Dialog(), "1011")->text(), QString());
        QCOMPARE(Bar()->DisplayText(), QStringLiteral("0%"));
        QVERIFY(!Dialog().IsRunActive());
    }

    void controlsCarryTheirTextsInTabOrder() {
        const QStringList ids =
            QStringLiteral("1001 1002 1006 1007 1008 1013 1005 1009 2 1003 1004")
                .split(QLatin1Char(' '));
        const QStringList texts =
            QStringLiteral("|||KMC|XML|打开目标目录|开始(&S)|停止(&T)|退出(&X)|浏览|浏览")
                .split(QLatin1Char('|'));
        QStringList tabOrder;
        for (QWidget* w = Edit("1001"); tabOrder.size() < ids.size(); w = w->nextInFocusChain()) {
            if ((w->focusPolicy() & Qt::TabFocus) != 0) {
                tabOrder << w->objectName();
                if (auto* button = qobject_cast<QAbstractButton*>(w)) {
                    QCOMPARE(button->text(), texts[ids.indexOf(w->objectName())]);
                }
            }
        }
        QCOMPARE(tabOrder, ids);
        QCOMPARE(Edit("1001")->accessibleName(), QStringLiteral("KSC路径"));
        QCOMPARE(Edit("1002")->accessibleName(), QStringLiteral("KMC路径"));
        QCOMPARE(Edit("1006")->accessibleName(), QStringLiteral("作者"));
    }

    void controlsFitTheWindowWithoutOverlapping() {
        QList<QWidget*> controls;
        for (QWidget* child : Dialog().findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            bool numbered = false;
            child->objectName().toInt(&numbered);
            if (numbered) {
                controls << child;
            }
        }
        QCOMPARE(controls.size(), 14);
        for (QWidget* a : controls) {
            QVERIFY2(Dialog().rect().contains(a->geometry()), qPrintable(a->objectName()));
            for (QWidget* b : controls) {
                QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + " overlaps " + b->objectName()));
            }
        }
    }

    void browsingProposesATargetInsideTheSource() {
        struct Row {
            QString picked, source, target;
        };
        for (const Row& row : {Row{"/home/u/歌曲", "/home/u/歌曲/", "/home/u/歌曲/kmc"},
                               Row{"/", "/", "/kmc"}, Row{"", "typed source", "typed target"}}) {
            Edit("1001")->setText(QStringLiteral("typed source"));
            Edit("1002")->setText(QStringLiteral("typed target"));
            Edit("1006")->setText(QStringLiteral("typed author"));
            FakePickerResult = row.picked;
            QTest::mouseClick(Button("1003"), Qt::LeftButton);
            QCOMPARE(Edit("1001")->text(), row.source);
            QCOMPARE(Edit("1002")->text(), row.target);
            QCOMPARE(Edit("1006")->text(), QStringLiteral("typed author"));
            FakePickerResult = row.picked.isEmpty() ? QString() : QStringLiteral("/out/kmc");
            QTest::mouseClick(Button("1004"), Qt::LeftButton); // the target is taken as picked
            QCOMPARE(Edit("1002")->text(), row.picked.isEmpty() ? row.target : "/out/kmc");
            QCOMPARE(Edit("1001")->text(), row.source);
        }
    }

    void droppingAFolderOnTheSourceActsLikeBrowsing() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("a.ksc"));
        QFile(file).open(QIODevice::WriteOnly);

        auto drop = [this](const QString& path) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(path)});
            QLineEdit* edit = Edit("1001");
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(edit, &enter);
            QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(edit, &event);
            return enter.isAccepted();
        };
        QVERIFY(!drop(file));
        QCOMPARE(Edit("1001")->text(), QString());
        QVERIFY(drop(dir.path()));
        QCOMPARE(Edit("1001")->text(), dir.path() + "/");
        QCOMPARE(Edit("1002")->text(), dir.path() + "/kmc");
    }

    void aFolderNamedOnTheCommandLineActsLikeBrowsing() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("a.ksc"));
        QFile(file).open(QIODevice::WriteOnly);
        // As a launcher (%f) or a file manager's URL hands it over.
        for (const QString& given : {dir.path() + "/.", QUrl::fromLocalFile(dir.path()).url()}) {
            const CommandLineInfo info = ParseCommandLine({"tolvren", given});
            QCOMPARE(info.sourceFolder, dir.path());
            Dialog().SetSourceFolder(info.sourceFolder);
            QCOMPARE(Edit("1001")->text(), dir.path() + "/");
            QCOMPARE(Edit("1002")->text(), dir.path() + "/kmc");
        }
        QCOMPARE(ParseCommandLine({"tolvren", "--", file}).notAFolder, file);
        for (const char* extra : {"--bogus", "-x", "b"}) {
            QVERIFY(!ParseCommandLine({"tolvren", dir.path(), extra}).usageError.isEmpty());
        }
    }

    void startNeedsBothFolders() {
        for (const auto& [source, target] : {std::pair{"/in", ""}, std::pair{"", "/out"}}) {
            Edit("1001")->setText(QString::fromUtf8(source));
            Edit("1002")->setText(QString::fromUtf8(target));
            QTest::mouseClick(Button("1005"), Qt::LeftButton);
            QVERIFY(!Dialog().IsRunActive());
            QVERIFY(Button("1005")->isEnabled());
            QVERIFY(!Button("1009")->isEnabled());
            QCOMPARE(Bar()->DisplayText(), QStringLiteral("0%"));
        }
    }

    void exitClosesAtOnceWhenIdleAndAfterTheCurrentFileDuringARun_data() {
        QTest::addColumn<int>("way");
        QTest::addColumn<bool>("running");
        for (const bool running : {false, true}) {
            const char* when = running ? " during a run" : " when idle";
            QTest::newRow(QByteArray("button") + when) << 0 << running;
            QTest::newRow(QByteArray("Esc") + when) << 1 << running;
            QTest::newRow(QByteArray("close box") + when) << 2 << running;
        }
    }
    void exitClosesAtOnceWhenIdleAndAfterTheCurrentFileDuringARun() {
        QFETCH(int, way);
        QFETCH(bool, running);
        QSignalSpy rejected(&Dialog(), &QDialog::rejected);
        if (running) {
            StartHeldRun(5);
            QVERIFY(!Button("1005")->isEnabled());
            QVERIFY(Button("1009")->isEnabled());
        }
        if (way == 0) {
            QTest::mouseClick(Button("2"), Qt::LeftButton);
        } else if (way == 1) {
            QTest::keyClick(&Dialog(), Qt::Key_Escape);
        } else {
            Dialog().close();
        }
        if (running) {
            QApplication::processEvents();
            QVERIFY(Dialog().isVisible());
            QVERIFY(Dialog().IsRunActive());
            g_fake.gate.release();
            QTRY_VERIFY(!Dialog().isVisible());
            QCOMPARE(g_fake.converted.load(), 1);
            QVERIFY(g_fake.closeAfterRun);
        }
        QVERIFY(!Dialog().isVisible());
        QVERIFY(!Dialog().IsRunActive());
        QCOMPARE(rejected.size(), 1);
    }

    // The window goes away while the worker waits for it: the worker is released, finishes
    // its file and ends; nothing hangs.
    void destroyingTheDialogDuringARunEndsTheWorker() {
        StartHeldRun(5);
        g_fake.gate.release(); // the worker now calls into a window that does not answer
        m_dialog.reset();
        QVERIFY(g_fake.finished);
        QCOMPARE(g_fake.converted.load(), 1);
    }

    void aboutIsReachableFromF1AndTheContextMenu() {
        auto* about = Dialog().findChild<QAction*>(QStringLiteral("aboutAction"));
        QVERIFY(about != nullptr);
        QCOMPARE(about->text(), QStringLiteral("关于 Tolvren(&A)..."));
        QVERIFY(Dialog().actions().contains(about));
        QCOMPARE(Dialog().contextMenuPolicy(), Qt::ActionsContextMenu);

        QString title;
        QString name;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            title = box->windowTitle();
            for (auto* label : box->findChildren<QLabel*>()) {
                if (label->text().startsWith(QStringLiteral("Tolvren  "))) {
                    name = label->text();
                }
            }
            QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton);
        });
        QTest::keyClick(&Dialog(), Qt::Key_F1);
        QCOMPARE(title, QStringLiteral("关于 Tolvren"));
        QCOMPARE(name, QStringLiteral("Tolvren  批量转换器"));
        QVERIFY(Dialog().isVisible());
    }
};

QTEST_MAIN(ConverterDialogTest)
#include "ConverterDialogTest.moc"
