#include "ui/TextProgressCtrl.h"

#include <QApplication>
#include <QTest>

using tolvren::TextProgressCtrl;

namespace {

// A shown bar, its client area `width` pixels wide, its text unsmoothed so that every pixel is
// one of the two colours. When it repaints is the BarModel's, tested in tests/dialog.
class Bar : public TextProgressCtrl {
public:
    explicit Bar(int width) {
        QFont unsmoothed = font();
        unsmoothed.setStyleStrategy(QFont::NoAntialias);
        unsmoothed.setPixelSize(14);
        setFont(unsmoothed);
        resize(width + 2 * frameWidth(), 22);
        show();
        if (!QTest::qWaitForWindowExposed(this)) {
            qFatal("the bar is not shown");
        }
        QApplication::processEvents();
    }
    QImage Client() { return grab(contentsRect()).toImage().convertToFormat(QImage::Format_RGB32); }
};

} // namespace

class TextProgressCtrlTest : public QObject {
    Q_OBJECT

private slots:
    // Over the bar each pixel is the exact opposite of what an empty bar shows there; beyond the
    // edge it is the same. That pins both fill colours, both text colours and the split.
    void theTextChangesColourExactlyAtTheBarsEdge() {
        Bar bar(267);
        const QColor filled = bar.palette().color(QPalette::Highlight);
        const QColor empty = bar.palette().color(QPalette::Base);
        bar.SetWindowText(QStringLiteral("HHHHHHHHHHHHHHHHHHHH"));
        const QImage before = bar.Client();
        bar.SetPos(50);
        const QImage after = bar.Client();
        QCOMPARE(after.size(), QSize(267, before.height()));
        int textOverBar = 0;
        int textBeyond = 0;
        for (int y = 0; y < after.height(); ++y) {
            for (int x = 0; x < after.width(); ++x) {
                const QColor was = before.pixelColor(x, y);
                QVERIFY(was == empty || was == filled);
                QCOMPARE(after.pixelColor(x, y), x >= 133 ? was : was == empty ? filled : empty);
                textOverBar += x < 133 && was == filled ? 1 : 0;
                textBeyond += x >= 133 && was == filled ? 1 : 0;
            }
        }
        QVERIFY2(textOverBar > 0 && std::abs(textOverBar - textBeyond) <= textOverBar / 2,
                 "the text is not centred");
    }
};

QTEST_MAIN(TextProgressCtrlTest)
#include "TextProgressCtrlTest.moc"
