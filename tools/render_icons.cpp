// Draws Tolvren's icon at 16, 32, 48 and 256 pixels into the current folder, with the same shapes
// as tolvren.svg, so that no build needs an SVG renderer: the PNGs are kept in src/ui/resources.
// Run it after changing the icon:
//   cmake --build --preset dev --target tolvren_render_icons
//   cd src/ui/resources && QT_QPA_PLATFORM=offscreen ../../../build/dev/tools/tolvren_render_icons
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

void DrawIcon(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xb8, 0x3a, 0x4b));
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 8, 8);

    p.setBrush(Qt::white);
    p.save();
    p.translate(16, 32);
    p.rotate(-20);
    p.drawEllipse(QPointF(0, 0), 6.5, 4.5);
    p.restore();
    p.drawRect(QRectF(19.5, 9, 3, 23));
    QPainterPath flag;
    flag.moveTo(22.5, 9);
    flag.lineTo(32, 14);
    flag.lineTo(32, 19);
    flag.lineTo(22.5, 14.5);
    flag.closeSubpath();
    p.drawPath(flag);

    p.setBrush(QColor(0xff, 0xd1, 0x66));
    QPainterPath arrow;
    arrow.moveTo(29, 31);
    arrow.lineTo(36, 31);
    arrow.lineTo(36, 27);
    arrow.lineTo(43, 33);
    arrow.lineTo(36, 39);
    arrow.lineTo(36, 35);
    arrow.lineTo(29, 35);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    for (int size : {16, 32, 48, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 48.0, size / 48.0);
        DrawIcon(painter);
        painter.end();
        image.save(QStringLiteral("tolvren-%1.png").arg(size));
    }
    return 0;
}
