// The window's own behaviour, driven by a stand-in worker that shows one step per file and can be
// held before each; what a run does is the engine's to test. The
// last test runs the real worker once, to prove the wiring against the command-line tool.
#include "ui/ConverterDialog.h"

#include "batch/ConvertWorker.h"
#include "batch/Messages.h"
#include "support/TestTree.h"
#include "ui/CommandLineInfo.h"
#include "ui/ControlIds.h"
#include "ui/ConverterApp.h"
#include "ui/ProblemListDialog.h"
#include "ui/TextProgressCtrl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <chrono>
#include <semaphore>

using namespace tolvren;

namespace {

struct FakeWorker {
    bool held = false;
    RunSummary outcome;                  ///< the counts and problems the run ends with
    std::counting_semaphore<64> gate{0}; ///< one release lets one held file through
    std::binary_semaphore returning{0};
    std::atomic<int> begun{0};
    bool finishHeldOnExit = false; ///< a held file ends by itself once the window asks to exit
    RunRequest request;            ///< what the window gave, read once the run has been joined

    RunSummary Run(const RunRequest& given, const RunControl& control, RunFrontEnd& window) {
        request = given;
        RunSummary summary = outcome;
        summary.target = given.targetDir;
        while (summary.done < 3 && !control.StopRequested()) {
            ++begun;
            while (held && !gate.try_acquire_for(std::chrono::milliseconds(1))) {
                if (finishHeldOnExit && control.ExitRequested()) {
                    break;
                }
            }
            const int done = ++summary.done;
            window.ShowProgress({done, 3, done * 100 / 3, std::to_string(done) + "/3",
                                 std::to_string(done) + "毫秒"});
        }
        summary.finalText = summary.done == 3 ? "done" : "stopped";
        window.ShowFinished(summary);
        returning.release();
        return summary;
    }
};

enum class EndWay { Stop, ExitButton, Escape, CloseBox };

// 歌名 and 第一行 in GBK.
const std::string kSong = "karaoke.tag('\xB8\xE8\xC3\xFB', 'Song');\r\n"
                          "karaoke.add('00:01.000', '00:03.000', '\xB5\xDA\xD2\xBB\xD0\xD0', "
                          "'500,800,700');\r\n";

} // namespace

Q_DECLARE_METATYPE(EndWay)

class ConverterDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeWorker> m_fake;
    std::unique_ptr<ConverterDialog> m_dialog;
    QTemporaryDir m_config;
    QString m_strPicked;
    QString m_strOpened;

    template <typename Control = QWidget>
    Control* Find(const char* id) {
        return m_dialog->findChild<Control*>(QLatin1String(id), Qt::FindDirectChildrenOnly);
    }
    void Click(const char* id) { QTest::mouseClick(Find<QAbstractButton>(id), Qt::LeftButton); }
    void Type(const char* id, const QString& text) { Find<QLineEdit>(id)->setText(text); }
    QString Shown(const char* id) { return Find<QLineEdit>(id)->text(); }
    QString Elapsed() { return Find<QLabel>(ids::kElapsed)->text(); }
    TextProgressCtrl* Bar() { return Find<TextProgressCtrl>(ids::kProgress); }
    bool IsIdle() { return Find(ids::kStart)->isEnabled() && !Find(ids::kStop)->isEnabled(); }

    void Start(const QString& source = "/", const QString& target = "/out") {
        Type(ids::kSourceEdit, source);
        Type(ids::kTargetEdit, target);
        Click(ids::kStart);
    }
    void StartHeldOnTheFirstFile() {
        m_fake->held = true;
        Start();
        QTRY_COMPARE(m_fake->begun.load(), 1);
    }
    void ShowDialog(ConverterDialog::RunFunction run) {
        m_dialog = std::make_unique<ConverterDialog>(std::move(run));
        m_dialog->SetFolderPicker([this](QWidget*) { return m_strPicked; });
        m_dialog->SetFolderOpener([this](const QString& folder) {
            m_strOpened = folder;
            return !folder.endsWith(QStringLiteral("unopenable"));
        });
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    }

private slots:
    // The dialogs keep their choices in QSettings: here in a folder of the test's own, never in
    // the user's.
    void initTestCase() {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QVERIFY(QSettings("Tolvren", "Tolvren").fileName().startsWith(m_config.path() + "/"));
    }
    void init() {
        m_fake = std::make_unique<FakeWorker>();
        ShowDialog([this](const RunRequest& r, const RunControl& c, RunFrontEnd& f) {
            return m_fake->Run(r, c, f);
        });
    }
    void cleanup() {
        m_fake->gate.release(64); // never leave a held worker behind
        m_dialog.reset();
        QSettings("Tolvren", "Tolvren").clear();
    }

    // In tab order: the controls, and the buttons' texts with + when checked, - when disabled.
    void startsIdleWithItsControlsInTabOrderAndNamed() {
        const QStringList order = {ids::kSourceEdit, ids::kTargetEdit,    ids::kAuthorEdit,
                                   ids::kKmcRadio,   ids::kXmlRadio,      ids::kLrcRadio,
                                   ids::kAssRadio,   ids::kEncodingCombo, ids::kOpenTargetCheck,
                                   ids::kStart,      ids::kStop,          ids::kExit,
                                   ids::kDetails,    ids::kBrowseSource,  ids::kBrowseTarget};
        const QStringList texts =
            QStringLiteral("|||KMC+|XML|LRC|ASS||打开目标目录|开始(&S)|停止(&T)-|"
                           "退出(&X)|详情(&D)…-|浏览|浏览")
                .split('|');
        QWidget* w = Find(ids::kSourceEdit);
        for (int i = 0; i < order.size(); w = w->nextInFocusChain()) {
            if ((w->focusPolicy() & Qt::TabFocus) != 0) {
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
        QCOMPARE(Bar()->DisplayText() + Elapsed(), QStringLiteral("0%"));
    }

    void browsingASourceProposesATargetInsideIt() {
        for (const auto& [picked, shown] :
             {std::pair{"/home/u/歌曲", "/home/u/歌曲/ /home/u/歌曲/kmc"},
              {"/", "/ /kmc"},
              {"", "typed typed"}}) {
            Type(ids::kSourceEdit, QStringLiteral("typed"));
            Type(ids::kTargetEdit, QStringLiteral("typed"));
            m_strPicked = QString::fromUtf8(picked);
            Click(ids::kBrowseSource);
            QCOMPARE(Shown(ids::kSourceEdit) + " " + Shown(ids::kTargetEdit),
                     QString::fromUtf8(shown));
        }
        m_strPicked = QStringLiteral("/out/kmc"); // a target is taken as picked
        Click(ids::kBrowseTarget);
        QCOMPARE(Shown(ids::kTargetEdit), m_strPicked);
        // A folder named on the command line, as a path or as a file manager's URL, acts alike.
        const QString folder = QDir::tempPath();
        for (const QString& given : {folder + "/.", QUrl::fromLocalFile(folder).url()}) {
            m_dialog->SetSourceFolder(ParseCommandLine({"tolvren", given}).sourceFolder);
            QCOMPARE(Shown(ids::kSourceEdit) + " " + Shown(ids::kTargetEdit),
                     folder + "/ " + folder + "/kmc");
        }
        QVERIFY(!ParseCommandLine({"tolvren", folder, "--bogus"}).usageError.isEmpty());
    }

    void startSaysWhatIsMissingAndStartsNothing() {
        for (const auto& [source, target, author, said] :
             {std::tuple{"", "/out", "", "请填写 KSC 路径"},
              {"/", "", "", "请填写 KMC 路径"},
              {"/no/such\x1b[2J", "/out", "", "KSC 路径不存在：/no/such\\x1b[2J"},
              {"/", "/out", "某人\n[00:00.00]", "作者中不能有控制字符（如换行）"}}) {
            Type(ids::kAuthorEdit, QString::fromUtf8(author));
            Start(QString::fromUtf8(source), QString::fromUtf8(target));
            QCOMPARE(Bar()->GetWindowText(), QString::fromUtf8(said));
            QVERIFY(!m_dialog->IsRunActive() && IsIdle());
        }
        QCOMPARE(m_fake->begun.load(), 0);
    }

    // The format from the radios, the encoding from the box, "~" as the home folder, and the
    // folder to open when "打开目标目录" is checked.
    void theRunGetsTheWindowsChoices() {
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", "/tmp");
        for (const auto& [radio, format, encoding, open] :
             {std::tuple{ids::kXmlRadio, OutputFormat::Xml, "auto", true},
              {ids::kLrcRadio, OutputFormat::Lrc, "gb18030", false},
              {ids::kAssRadio, OutputFormat::Ass, "big5", true},
              {ids::kKmcRadio, OutputFormat::Kmc, "utf-8", false}}) {
            Click(radio);
            auto* combo = Find<QComboBox>(ids::kEncodingCombo);
            combo->setCurrentIndex(combo->findData(QString::fromLatin1(encoding)));
            Find<QAbstractButton>(ids::kOpenTargetCheck)->setChecked(open);
            m_strOpened.clear();
            Start(QStringLiteral("~"), QStringLiteral("~/out"));
            QTRY_VERIFY(!m_dialog->IsRunActive());
            QCOMPARE(m_fake->request.format, format);
            QCOMPARE(m_fake->request.encoding.Name(), InputEncoding::FromName(encoding)->Name());
            QCOMPARE(m_fake->request.encoding.IsAutomatic(), encoding == std::string("auto"));
            QCOMPARE(m_fake->request.sourceDir + " " + m_fake->request.targetDir, "/tmp /tmp/out");
            QCOMPARE(m_strOpened, open ? QStringLiteral("/tmp/out") : QString());
        }
        qputenv("HOME", home);
        QVERIFY(m_dialog->findChild<QMessageBox*>() == nullptr);
        Find<QAbstractButton>(ids::kOpenTargetCheck)->setChecked(true);
        Start(QStringLiteral("/"), QStringLiteral("/unopenable"));
        QTRY_VERIFY(m_dialog->findChild<QMessageBox*>() != nullptr);
        QCOMPARE(m_dialog->findChild<QMessageBox*>()->text(),
                 QStringLiteral("无法打开目标目录：/unopenable"));
    }

    // The window's thread does nothing while the worker runs through; the window then shows the
    // last step and the final text exactly and gives the buttons back.
    void theWorkerNeverWaitsForTheWindow() {
        Start();
        QVERIFY(!IsIdle());
        QVERIFY(m_fake->returning.try_acquire_for(std::chrono::seconds(10)));
        QTRY_VERIFY(!m_dialog->IsRunActive());
        QCOMPARE(Bar()->GetWindowText() + " " + Elapsed() + " " + QString::number(Bar()->GetPos()),
                 QStringLiteral("done 3毫秒 100"));
        QVERIFY(IsIdle() && !Find(ids::kDetails)->isEnabled() && Bar()->toolTip().isEmpty());
    }

    void problemsAreCountedAndListedForCopying() {
        using Kind = RunProblem::Kind;
        m_fake->outcome.failed = m_fake->outcome.unreadableFolders = m_fake->outcome.warned = 1;
        for (const Kind kind : {Kind::Failed, Kind::FolderUnreadable, Kind::Warning, Kind::Warning,
                                Kind::Overwritten}) {
            const std::string n = std::to_string(m_fake->outcome.problems.size() + 1);
            m_fake->outcome.problems.push_back({kind, "/in/" + n + ".ksc", "", "/out/" + n + ".kmc",
                                                IoResult::Failed(IoStep::OpenSource, EACCES),
                                                ScriptWarning(ScriptWarning::Kind::NoLyricLines)});
        }
        // Names from Windows archives are GBK; what is neither GBK nor UTF-8 shows its bytes.
        m_fake->outcome.problems[4].path = "/in/\xC7\xE9\xB8\xE8\n.ksc";
        m_fake->outcome.problems[4].targetPath = "/out/a\\\x81.kmc";
        Start();
        QTRY_VERIFY(!m_dialog->IsRunActive());
        QCOMPARE(Bar()->toolTip(), QStringLiteral("1 个文件未能转换，1 个文件夹无法读取，1 个文件有"
                                                  "警告，1 个文档被覆盖。详见“详情…”。"));
        Click(ids::kDetails);
        auto* list = m_dialog->findChild<ProblemListDialog*>();
        QVERIFY(list != nullptr && list->isVisible());
        QCOMPARE(list->CopiedText().count('\n'), 6); // the heading and every problem
        list->findChild<QTableView*>()->selectRow(4);
        QTest::keyClick(list->findChild<QTableView*>(), Qt::Key_C, Qt::ControlModifier);
        const std::string reason = DescribeReason(m_fake->outcome.problems[4], Language::Chinese);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 "源路径\t目标路径\t原因\n/in/情歌\\n.ksc\t/out/a\\\\\\x81.kmc\t" +
                     QString::fromStdString(reason) + "\n");
    }

    void eachWayToEndAsksTheWorkerAndTheWindowFollows_data() {
        QTest::addColumn<EndWay>("way");
        QTest::addColumn<bool>("running");
        for (const bool running : {false, true}) {
            for (const auto& [way, name] : {std::pair{EndWay::Stop, "Stop"},
                                            {EndWay::ExitButton, "Exit"},
                                            {EndWay::Escape, "Esc"},
                                            {EndWay::CloseBox, "close box"}}) {
                QTest::addRow("%s %s", name, running ? "during a run" : "when idle")
                    << way << running;
            }
        }
    }
    // Stop keeps the window; the others close it, during a run once the current file is done.
    // Meanwhile the window shows what the worker has done.
    void eachWayToEndAsksTheWorkerAndTheWindowFollows() {
        QFETCH(EndWay, way);
        QFETCH(bool, running);
        QSignalSpy rejected(m_dialog.get(), &QDialog::rejected);
        if (running) {
            StartHeldOnTheFirstFile();
            m_fake->gate.release();
            QTRY_COMPARE(Bar()->GetWindowText() + " " + Elapsed(), QStringLiteral("1/3 1毫秒"));
        }
        if (way == EndWay::Stop || way == EndWay::ExitButton) {
            Click(way == EndWay::Stop ? ids::kStop : ids::kExit);
        } else if (way == EndWay::Escape) {
            QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        } else {
            m_dialog->close();
        }
        if (running) {
            QApplication::processEvents();
            QVERIFY(m_dialog->isVisible() && m_dialog->IsRunActive());
            m_fake->gate.release();
            QTRY_VERIFY(!m_dialog->IsRunActive());
            QCOMPARE(m_fake->begun.load(), 2);
            QCOMPARE(Bar()->GetWindowText() + QString::number(Bar()->GetPos()),
                     QStringLiteral("stopped66"));
        }
        QCOMPARE(m_dialog->isVisible(), way == EndWay::Stop);
        QCOMPARE(rejected.size(), way == EndWay::Stop ? 0 : 1);
        QVERIFY(IsIdle());
    }

    // Closed and opened again, the window shows what it was left with, a restored folder selected
    // so that typing replaces it; a folder named on the command line replaces the folders only. A
    // kept value the window does not offer is not taken.
    void comesBackAsItWasLeft() {
        Type(ids::kSourceEdit, QStringLiteral("/歌曲/"));
        Type(ids::kTargetEdit, QStringLiteral("/歌曲/kmc"));
        Type(ids::kAuthorEdit, QStringLiteral("作者"));
        Click(ids::kAssRadio);
        auto* combo = Find<QComboBox>(ids::kEncodingCombo);
        combo->setCurrentIndex(combo->findData(QStringLiteral("big5")));
        Click(ids::kOpenTargetCheck);
        Click(ids::kExit);
        const QString folder = QDir::tempPath();
        for (const QString& given : {QString(), folder}) {
            init();
            if (!given.isEmpty()) {
                m_dialog->SetSourceFolder(given);
            }
            QCOMPARE(Shown(ids::kSourceEdit) + " " + Shown(ids::kTargetEdit),
                     given.isEmpty() ? QStringLiteral("/歌曲/ /歌曲/kmc")
                                     : folder + "/ " + folder + "/kmc");
            QCOMPARE(Find<QLineEdit>(ids::kSourceEdit)->selectedText(), Shown(ids::kSourceEdit));
            QCOMPARE(Shown(ids::kAuthorEdit), QStringLiteral("作者"));
            QVERIFY(Find<QAbstractButton>(ids::kAssRadio)->isChecked());
            QCOMPARE(Find<QComboBox>(ids::kEncodingCombo)->currentText(), QStringLiteral("Big5"));
            QVERIFY(Find<QAbstractButton>(ids::kOpenTargetCheck)->isChecked());
        }
        m_dialog.reset();
        QSettings settings("Tolvren", "Tolvren");
        settings.setValue("Format", "doc");
        settings.setValue("Encoding", "ebcdic");
        init();
        QVERIFY(Find<QAbstractButton>(ids::kKmcRadio)->isChecked());
        QCOMPARE(Find<QComboBox>(ids::kEncodingCombo)->currentText(), QStringLiteral("GBK"));
    }

    void destroyingTheWindowDuringARunEndsTheWorker() {
        m_fake->finishHeldOnExit = true;
        StartHeldOnTheFirstFile();
        m_dialog.reset(); // asks to exit and joins the worker, which ends after its file
        QCOMPARE(m_fake->begun.load(), 1);
    }

    void qtSpeaksChinese() {
        QVERIFY(LoadQtChineseTexts(*qApp));
        QCOMPARE(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("复制(&C)"));
    }

    // The real worker into a relative target: the buttons, the bar, the problems and the folder
    // to open come through, and the documents are what the command-line tool writes.
    void aRealRunWritesWhatTheCommandLineToolWrites() {
        test::TestTree tree;
        for (const char* name : {"src/a.ksc", "src/pop/情歌.ksc", "src/bad.ksc"}) {
            tree.Write(name, kSong);
        }
        tree.Write("src/empty.ksc", ""); // converted, with a warning
        tree.MakeFolder("out/bad.kmc");  // cannot be written over
        const test::WorkingFolder inside(tree.Root());
        ShowDialog(&ConvertWorker);
        Type(ids::kAuthorEdit, QStringLiteral("作者"));
        Click(ids::kOpenTargetCheck);
        Start(QString::fromStdString(tree.Path("src")), QStringLiteral("out"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_dialog->IsRunActive(), 30000);
        QCOMPARE(Bar()->GetWindowText(), QStringLiteral("4/4  100% 完成（1 个文件失败）"));
        QCOMPARE(Bar()->toolTip(),
                 QStringLiteral("1 个文件未能转换，1 个文件有警告。详见“详情…”。"));
        QVERIFY(IsIdle() && Elapsed().endsWith(QStringLiteral("毫秒")));
        QCOMPARE(m_strOpened, QString::fromStdString(tree.Path("out")));

        QProcess cli;
        cli.start(qEnvironmentVariable("TOLVREN_CLI"),
                  {"-q", "-a", "作者", QString::fromStdString(tree.Path("src")),
                   QString::fromStdString(tree.Path("cli"))});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        for (const std::string name : {"a", "情歌", "empty"}) {
            const std::string document = tree.Read(tree.Path("out/" + name + ".kmc"));
            QVERIFY2(!document.empty(), name.c_str());
            QCOMPARE(document, tree.Read(tree.Path("cli/" + name + ".kmc")));
        }
    }
};

QTEST_MAIN(ConverterDialogTest)
#include "ConverterDialogTest.moc"
