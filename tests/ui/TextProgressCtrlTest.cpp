#include "ui/TextProgressCtrl.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QTest>

using tolvren::TextProgressCtrl;

namespace {

const QColor kHighlight(0, 0, 200);
const QColor kBase(255, 255, 255);

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return false;
    }
};

} // namespace

class TextProgressCtrlTest : public QObject {
    Q_OBJECT

private:
    // A shown bar whose client area is `clientWidth` pixels wide, with unsmoothed text so every
    // pixel is exactly one of the two colours.
    static void Prepare(TextProgressCtrl& bar, int clientWidth) {
        QFont font = bar.font();
        font.setStyleStrategy(QFont::NoAntialias);
        font.setPixelSize(14);
        bar.setFont(font);
        bar.resize(clientWidth + 2 * bar.frameWidth(), 22);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
    }

    static QImage Client(TextProgressCtrl& bar) {
        return bar.grab(bar.contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
    }

    static int CountColour(const QImage& image, int x0, int x1, QColor colour) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = x0; x < x1; ++x) {
                n += image.pixelColor(x, y) == colour ? 1 : 0;
            }
        }
        return n;
    }

private slots:
    void initTestCase() {
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Highlight, kHighlight);
        palette.setColor(QPalette::Base, kBase);
        QApplication::setPalette(palette);
    }

    // Both truncate: 29 of 100 shows 28%, and half of 267 pixels is 133.
    void textAndFilledWidthFollowThePosition() {
        struct Row {
            int pos;
            const char* text;
            int width;
        };
        const Row rows[] = {{0, "0%", 0},       {29, "28%", 77},  {50, "50%", 133},
                            {57, "56%", 152},   {58, "57%", 154}, {100, "100%", 267},
                            {250, "250%", 267}, {-5, "-5%", 0}}; // beyond and below the range
        for (const Row& row : rows) {
            TextProgressCtrl bar;
            bar.SetPos(row.pos);
            QCOMPARE(bar.DisplayText(), QString::fromLatin1(row.text));
            QCOMPARE(bar.FilledWidth(267), row.width);
        }
    }

    // Over the bar each pixel is the exact opposite of what an empty bar shows there; beyond the
    // edge it is the same. That pins both fill colours, both text colours and the split.
    void theTextChangesColourExactlyAtTheBarsEdge() {
        TextProgressCtrl bar;
        Prepare(bar, 267);
        bar.SetWindowText(QStringLiteral("HHHHHHHHHHHHHHHHHHHH"));
        QApplication::processEvents();
        const QImage empty = Client(bar);
        QCOMPARE(CountColour(empty, 0, 267, kBase) + CountColour(empty, 0, 267, kHighlight),
                 empty.width() * empty.height()); // an empty bar: base, text in highlight
        const int left = CountColour(empty, 0, 133, kHighlight);
        const int right = CountColour(empty, 134, 267, kHighlight);
        QVERIFY2(std::abs(left - right) <= (left + right) / 3, "text is not centred");
        bar.SetPos(50);
        const QImage half = Client(bar);
        QCOMPARE(half.width(), 267);

        int textPixelsOverBar = 0;
        int textPixelsBeyond = 0;
        for (int y = 0; y < half.height(); ++y) {
            for (int x = 0; x < half.width(); ++x) {
                const QColor before = empty.pixelColor(x, y);
                const QColor after = half.pixelColor(x, y);
                if (x < 133) {
                    QCOMPARE(after, before == kBase ? kHighlight : kBase);
                    textPixelsOverBar += after == kBase ? 1 : 0;
                } else {
                    QCOMPARE(after, before);
                    textPixelsBeyond += after == kHighlight ? 1 : 0;
                }
            }
        }
        QVERIFY(textPixelsOverBar > 0);
        QVERIFY(textPixelsBeyond > 0);
    }

    void setPosRepaintsOnlyWhenTheEdgeMoves() {
        TextProgressCtrl bar;
        Prepare(bar, 50); // 2 positions per pixel: 1 -> 0 px, 2 -> 1 px, 3 -> 1 px
        QApplication::processEvents();
        PaintCounter counter(&bar);

        bar.SetPos(0); // the first SetPos after showing always repaints
        QCOMPARE(counter.count, 1);
        bar.SetPos(1);
        QCOMPARE(counter.count, 1);
        bar.SetPos(2);
        QCOMPARE(counter.count, 2);
        bar.SetPos(3);
        QCOMPARE(counter.count, 2);
        QCOMPARE(bar.SetPos(4), 3);
        QCOMPARE(counter.count, 3);
        bar.resize(bar.width() + 1, bar.height()); // a resize makes the next SetPos repaint
        bar.resize(bar.width() - 1, bar.height());
        QApplication::processEvents();
        const int afterResize = counter.count;
        bar.SetPos(4);
        bar.SetPos(4);
        QCOMPARE(counter.count, afterResize + 1);
    }

    void onlyANewCaptionRepaints() {
        TextProgressCtrl bar;
        Prepare(bar, 267);
        QApplication::processEvents();
        PaintCounter counter(&bar);

        bar.SetWindowText(QString()); // already empty
        QApplication::processEvents();
        QCOMPARE(counter.count, 0);

        bar.SetWindowText(QStringLiteral("3/10  30% "));
        bar.SetWindowText(QStringLiteral("3/10  30% "));
        QApplication::processEvents();
        QCOMPARE(counter.count, 1);
        QCOMPARE(bar.GetWindowText(), QStringLiteral("3/10  30% "));
        QCOMPARE(bar.DisplayText(), QStringLiteral("3/10  30% "));

        bar.SetPos(70); // the caption hides the percentage
        QCOMPARE(bar.DisplayText(), QStringLiteral("3/10  30% "));
        bar.SetWindowText(QString());
        QApplication::processEvents();
        QCOMPARE(bar.DisplayText(), QStringLiteral("70%"));
    }
};

QTEST_MAIN(TextProgressCtrlTest)
#include "TextProgressCtrlTest.moc"
