// The Qt window's wiring: its controls in tab order, and keys, the folder picker, the bar and its
// settings reaching the controller, through one real run compared with the command-line
// tool's. What the window decides is the controller's, tested in tests/dialog.
#include "ui/ConverterDialog.h"

#include "batch/ConvertWorker.h"
#include "support/TestTree.h"
#include "support/WorkerRun.h"
#include "ui/ControlIds.h"
#include "ui/ConverterApp.h"
#include "ui/PathText.h"
#include "ui/ProblemListDialog.h"
#include "ui/TextProgressCtrl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tolvren;

class ConverterDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ConverterDialog> m_dialog;
    QTemporaryDir m_config;
    QString m_strPicked;

    template <typename Control = QWidget>
    Control* Find(const char* id) {
        return m_dialog->findChild<Control*>(QLatin1String(id), Qt::FindDirectChildrenOnly);
    }
    QString Shown(const char* id) { return Find<QLineEdit>(id)->text(); }
    bool IsIdle() { return Find(ids::kStart)->isEnabled() && !Find(ids::kStop)->isEnabled(); }
    void ShowDialog() {
        m_dialog = std::make_unique<ConverterDialog>(&ConvertWorker);
        m_dialog->SetFolderPicker([this](QWidget*, const QString&) { return m_strPicked; });
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    }

private slots:
    // The dialog keeps its choices in QSettings: here in a folder of the test's own, never in the
    // user's.
    void initTestCase() {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }
    void init() { ShowDialog(); }
    void cleanup() {
        m_dialog.reset();
        QSettings("Tolvren", "Tolvren").clear();
    }

    // In tab order: the controls, and the buttons' texts with + when checked, - when disabled.
    void startsIdleWithItsControlsInTabOrderAndNamed() {
        const QStringList order = {
            ids::kSourceEdit,    ids::kTargetEdit,      ids::kAuthorEdit,    ids::kFormatCombo,
            ids::kLrcStyleCombo, ids::kAssOptions,      ids::kEncodingCombo, ids::kShiftSpin,
            ids::kChineseCombo,  ids::kOpenTargetCheck, ids::kStart,         ids::kStop,
            ids::kExit,          ids::kDetails,         ids::kBrowseSource,  ids::kBrowseTarget};
        const QStringList texts = QStringLiteral("|||||ASS 选项…-||||打开目标目录|开始(&S)|"
                                                 "停止(&T)-|退出(&X)|详情(&D)…-|浏览|浏览")
                                      .split('|');
        QWidget* w = Find(ids::kSourceEdit);
        for (int i = 0; i < order.size(); w = w->nextInFocusChain()) {
            // A spin box takes the focus through its own box inside it.
            if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->parentWidget() == m_dialog.get()) {
                auto* button = qobject_cast<QAbstractButton*>(w);
                QCOMPARE(w->objectName(), order[i]);
                QCOMPARE(button == nullptr ? QString()
                                           : button->text() + (button->isChecked() ? "+" : "") +
                                                 (button->isEnabled() ? "" : "-"),
                         texts[i++]);
                QVERIFY(button != nullptr || !w->accessibleName().isEmpty());
            }
        }
        QCOMPARE(Find<QComboBox>(ids::kEncodingCombo)->currentText(), QStringLiteral("GBK"));
        QCOMPARE(Find<QComboBox>(ids::kFormatCombo)->currentText(), QStringLiteral("KMC"));
        QVERIFY(!Find(ids::kLrcStyleCombo)->isEnabled() && !Find(ids::kShiftSpin)->isEnabled());
        QCOMPARE(Find<TextProgressCtrl>(ids::kProgress)->DisplayText(), QStringLiteral("0%"));
    }

    // 浏览 reaches the controller; typed keys and Enter start the real worker into a
    // relative target, in the format, shift and Chinese script chosen; the bar, its tooltip and
    // 详情… show the run; Esc closes the window and its choices are kept. The documents are those
    // the command-line tool writes with the same options.
    void aRunStartedByKeysWritesWhatTheCommandLineToolWrites() {
        test::TestTree tree;
        for (const char* name : {"src/a.ksc", "src/pop/情歌.ksc", "src/bad.ksc"}) {
            tree.Write(name, test::kSong);
        }
        tree.Write("src/empty.ksc", ""); // converted, with a warning
        tree.MakeFolder("out/bad.ttml"); // cannot be written over
        const test::WorkingFolder inside(tree.Root());
        const QString source = FromPath(tree.Path("src"));
        m_strPicked = source;
        QTest::mouseClick(Find<QAbstractButton>(ids::kBrowseSource), Qt::LeftButton);
        QCOMPARE(Shown(ids::kTargetEdit), source + "/kmc");

        Find(ids::kTargetEdit)->setFocus();
        Find<QLineEdit>(ids::kTargetEdit)->selectAll();
        QTest::keyClicks(Find(ids::kTargetEdit), QStringLiteral("out"));
        QTest::keyClick(Find(ids::kTargetEdit), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Tolvren"));
        auto* format = Find<QComboBox>(ids::kFormatCombo);
        format->setCurrentIndex(format->findText(QStringLiteral("TTML")));
        QVERIFY(Find(ids::kShiftSpin)->isEnabled() && !Find(ids::kLrcStyleCombo)->isEnabled());
        Find<QSpinBox>(ids::kShiftSpin)->setValue(-250);
        Find<QComboBox>(ids::kChineseCombo)->setCurrentIndex(1); // 简→繁
        QTest::keyClick(Find(ids::kAuthorEdit), Qt::Key_Return);
        QVERIFY(!IsIdle());
        QTRY_VERIFY_WITH_TIMEOUT(IsIdle(), 30000);
        auto* bar = Find<TextProgressCtrl>(ids::kProgress);
        QCOMPARE(bar->GetWindowText(), QStringLiteral("4/4  100% 完成（1 个文件失败）"));
        QCOMPARE(bar->GetPos(), 100);
        QCOMPARE(bar->toolTip(), QStringLiteral("1 个文件未能转换，1 个文件有警告。详见“详情…”。"));
        QVERIFY(Find<QLabel>(ids::kElapsed)->text().endsWith(QStringLiteral("毫秒")));

        QTest::mouseClick(Find<QAbstractButton>(ids::kDetails), Qt::LeftButton);
        auto* list = m_dialog->findChild<ProblemListDialog*>();
        QVERIFY(list != nullptr && list->isVisible());
        QTest::keyClick(list->findChild<QTableView*>(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text().count('\n'), 3);
        list->close();

        QProcess cli;
        cli.start(qEnvironmentVariable("TOLVREN_CLI"),
                  {"-q", "-a", "Tolvren", "-f", "ttml", "--shift", "-250", "--chinese", "s2t",
                   source, FromPath(tree.Path("cli"))});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        for (const std::string name : {"a", "情歌", "empty"}) {
            const std::string document = tree.Read(tree.Path("out/" + name + ".ttml"));
            QVERIFY2(!document.empty(), name.c_str());
            QCOMPARE(document, tree.Read(tree.Path("cli/" + name + ".ttml")));
        }

        QSignalSpy rejected(m_dialog.get(), &QDialog::rejected);
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        QCOMPARE(rejected.size(), 1);
        QCOMPARE(QSettings("Tolvren", "Tolvren").value("Author").toString(),
                 QStringLiteral("Tolvren"));
    }

    // ASS 选项… opens its window once ASS is chosen, and Esc closes it. With TOLVREN_SHOTS set,
    // both windows are kept there as pictures.
    void theAssOptionsOpenFromTheirButtonAndCloseOnEsc() {
        auto* format = Find<QComboBox>(ids::kFormatCombo);
        format->setCurrentIndex(format->findText(QStringLiteral("ASS")));
        const QString shots = qEnvironmentVariable("TOLVREN_SHOTS");
        QString shown;
        QTimer::singleShot(0, this, [&] {
            QWidget* window = QApplication::activeModalWidget();
            shown = window->objectName();
            if (!shots.isEmpty()) {
                window->grab().save(shots + "/qt-ass-options.png");
                m_dialog->grab().save(shots + "/qt-main.png");
            }
            QTest::keyClick(window, Qt::Key_Escape);
        });
        QTest::mouseClick(Find<QAbstractButton>(ids::kAssOptions), Qt::LeftButton);
        QCOMPARE(shown, QStringLiteral("assOptionsDialog"));
    }

    // Where QSettings cannot write (its folder is a file here), closing says so, and closes.
    void choicesThatCannotBeKeptAreSaid() {
        QTemporaryDir config;
        QFile blocker(config.filePath("config"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker.fileName()));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker.fileName());
        ShowDialog();
        QString said;
        QTimer::singleShot(0, this, [&said] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                said = box->text();
                box->accept();
            }
        });
        QSignalSpy rejected(m_dialog.get(), &QDialog::rejected);
        m_dialog->close();
        QVERIFY(said.startsWith(QStringLiteral("无法保存设置：")));
        QCOMPARE(rejected.size(), 1);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    }

    void qtSpeaksChinese() {
        QVERIFY(LoadQtChineseTexts(*qApp));
        QCOMPARE(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("复制(&C)"));
    }
};

QTEST_MAIN(ConverterDialogTest)
#include "ConverterDialogTest.moc"
