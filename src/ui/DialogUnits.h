#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>

namespace tolvren {

/// The dialogs' font: "宋体" 9 pt, or the first installed CJK font that can stand in for it.
QFont DialogFont();

/// The program's icon in all its sizes.
QIcon ProgramIcon();

/// Turns the dialog units of a window layout into pixels for a font, the way the layouts were
/// drawn: a horizontal unit is a quarter of the font's average character width, a vertical unit
/// an eighth of its height. The windows keep their proportions whatever font is found.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int dlu) const;
    int Y(int dlu) const;
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

private:
    int m_nBaseX; ///< average character width in pixels
    int m_nBaseY; ///< character height in pixels
};

} // namespace tolvren
