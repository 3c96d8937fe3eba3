#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <QStringList>

// Resources of a static library are registered by hand; this must happen outside any namespace.
static void InitTolvrenResources() {
    Q_INIT_RESOURCE(tolvren);
}

namespace tolvren {

QFont DialogFont() {
    QFont font;
    // The first family that is installed wins; fontconfig fills in any glyph that is still missing.
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
                      QStringLiteral("Droid Sans Fallback")});
    font.setPointSize(9);
    return font;
}

QIcon ProgramIcon() {
    InitTolvrenResources();
    QIcon icon;
    for (int size : {16, 32, 48}) {
        icon.addFile(QStringLiteral(":/tolvren/tolvren-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width over the Latin letters, rounded to the nearest pixel.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = (letters / 26 + 1) / 2;
    m_nBaseY = metrics.height();
}

int DialogUnits::X(int dlu) const {
    return dlu * m_nBaseX / 4;
}

int DialogUnits::Y(int dlu) const {
    return dlu * m_nBaseY / 8;
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    return {X(x), Y(y), X(width), Y(height)};
}

QSize DialogUnits::Size(int width, int height) const {
    return {X(width), Y(height)};
}

} // namespace tolvren
