// Whole runs of the real worker through the dialog, compared with the command-line tool.
#include "conversion/LyricConverter.h"
#include "support/TestTree.h"
#include "ui/ConverterDialog.h"
#include "ui/TextProgressCtrl.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <memory>

using namespace tolvren;
using tolvren::test::TestTree;

namespace {

// 歌名 and 第一行 in GBK.
const std::string kScript = "karaoke.tag('\xB8\xE8\xC3\xFB', 'Song');\r\n"
                            "karaoke.TimeOffset := 200;\r\n"
                            "karaoke.add('00:01.000', '00:03.000', '\xB5\xDA\xD2\xBB\xD0\xD0', "
                            "'500,800,700');\r\n";

} // namespace

class ConverterRunTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ConverterDialog> m_dialog;

    QLineEdit* Edit(const char* id) { return m_dialog->findChild<QLineEdit*>(id); }
    QPushButton* Button(const char* id) { return m_dialog->findChild<QPushButton*>(id); }
    TextProgressCtrl* Bar() { return m_dialog->findChild<TextProgressCtrl*>("1010"); }

    void Start(const std::string& source, const std::string& target) {
        Edit("1001")->setText(QString::fromStdString(source));
        Edit("1002")->setText(QString::fromStdString(target));
        Edit("1006")->setText(QStringLiteral("作者"));
        QTest::mouseClick(Button("1005"), Qt::LeftButton);
        QVERIFY(m_dialog->IsRunActive());
    }

    // Many files, so that a run is still going when the test acts on it.
    static void WriteMany(const TestTree& tree, int count) {
        for (int i = 0; i < count; ++i) {
            tree.Write("src/d" + std::to_string(i % 10) + "/s" + std::to_string(i) + ".ksc",
                       kScript);
        }
    }

    // What the command-line tool writes for src/ into cli/. ThreadSanitizer cannot start a
    // process from a threaded one, so there the converter itself writes the reference.
    static void WriteReference(const TestTree& tree, const std::string& format) {
#if defined(__SANITIZE_THREAD__)
        const LyricConverter converter("作者");
        std::filesystem::create_directory(tree.Path("cli"));
        for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.Path("src"))) {
            if (entry.is_regular_file()) {
                const std::string stem = entry.path().stem().string();
                QVERIFY(
                    converter
                        .ConvertFile(entry.path().string(), tree.Path("cli/" + stem + "." + format))
                        .ok());
            }
        }
#else
        const QByteArray cli = qgetenv("TOLVREN_CLI");
        QVERIFY2(!cli.isEmpty(), "TOLVREN_CLI names the command-line tool");
        QProcess process;
        process.start(QString::fromLocal8Bit(cli),
                      {QStringLiteral("-q"), QStringLiteral("-a"), QStringLiteral("作者"),
                       QStringLiteral("-f"), QString::fromStdString(format),
                       QString::fromStdString(tree.Path("src")),
                       QString::fromStdString(tree.Path("cli"))});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
#endif
    }

private slots:
    void init() {
        m_dialog = std::make_unique<ConverterDialog>(&ConvertWorker);
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    }
    void cleanup() {
        m_dialog.reset();
    }

    void aRunWritesWhatTheCommandLineToolWrites_data() {
        QTest::addColumn<bool>("xml");
        QTest::newRow("kmc") << false;
        QTest::newRow("xml") << true;
    }
    void aRunWritesWhatTheCommandLineToolWrites() {
        QFETCH(bool, xml);
        TestTree tree;
        tree.Write("src/a.ksc", kScript);
        tree.Write("src/pop/情歌.ksc",
                   kScript + "karaoke.add('00:04.000', '00:05.000', 'x', '1');\r\n");
        tree.Write("src/pop/deep/b.ksc", "karaoke.tag('\xB8\xE8\xC3\xFB', 'B');\r\n");
        m_dialog->findChild<QRadioButton*>(xml ? "1008" : "1007")->setChecked(true);
        const std::string ext = xml ? ".xml" : ".kmc";

        Start(tree.Path("src"), tree.Path("gui"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_dialog->IsRunActive(), 30000);

        QCOMPARE(Bar()->GetWindowText(), QStringLiteral("3/3  100% 完成"));
        QVERIFY(Button("1005")->isEnabled());
        QVERIFY(!Button("1009")->isEnabled());
        QCOMPARE(Edit("1001")->text(), QString::fromStdString(tree.Path("src")));
        QCOMPARE(Edit("1006")->text(), QStringLiteral("作者"));
        QVERIFY(m_dialog->findChild<QLabel*>("1011")->text().endsWith(QStringLiteral("毫秒")));
        QVERIFY(Bar()->toolTip().isEmpty());

        WriteReference(tree, xml ? "xml" : "kmc");
        if (QTest::currentTestFailed()) {
            return;
        }
        QCOMPARE(static_cast<int>(tree.Names("gui").size()), 3);
        for (const std::string name : {"a", "情歌", "b"}) {
            const std::string gui = TestTree::Read(tree.Path("gui/" + name + ext));
            QVERIFY2(!gui.empty(), name.c_str());
            QCOMPARE(gui, TestTree::Read(tree.Path("cli/" + name + ext)));
        }
    }

    void aFailedFileIsNamedInTheBarsTooltip() {
        TestTree tree;
        const std::string bad = tree.Write("src/bad.ksc", kScript);
        tree.Write("src/fine.ksc", kScript);
        tree.MakeFolder("out/bad.kmc"); // the output cannot be written over a folder
        Start(tree.Path("src"), tree.Path("out"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_dialog->IsRunActive(), 30000);
        QVERIFY2(Bar()->GetWindowText().startsWith(QStringLiteral("2/2  100% 完成")),
                 qPrintable(Bar()->GetWindowText()));
        QVERIFY2(Bar()->toolTip().contains(QString::fromStdString(bad)),
                 qPrintable(Bar()->toolTip()));
        QVERIFY(!TestTree::Read(tree.Path("out/fine.kmc")).empty());
    }

    void stopDuringARunEndsWithStop() {
        TestTree tree;
        WriteMany(tree, 3000);
        Start(tree.Path("src"), tree.Path("out"));
        QTRY_VERIFY_WITH_TIMEOUT(!Bar()->GetWindowText().isEmpty(), 30000);
        QTest::mouseClick(Button("1009"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_dialog->IsRunActive(), 30000);

        const QString text = Bar()->GetWindowText();
        QVERIFY2(text.endsWith(QStringLiteral("% 停止")), qPrintable(text));
        const int converted = static_cast<int>(tree.Names("out").size());
        QVERIFY(converted < 3000);
        QCOMPARE(text.section(QLatin1Char('/'), 0, 0).toInt(), converted + 1);
        QVERIFY(Button("1005")->isEnabled());
        QVERIFY(m_dialog->isVisible());
    }
};

QTEST_MAIN(ConverterRunTest)
#include "ConverterRunTest.moc"
