#include "ui/TextProgressCtrl.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

namespace tolvren {

TextProgressCtrl::TextProgressCtrl(QWidget* parent)
    : QFrame(parent), m_crBar(palette().color(QPalette::Highlight)),
      m_crBack(palette().color(QPalette::Base)), m_crTextOnBack(m_crBar), m_crTextOnBar(m_crBack) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    // Every pixel is painted by paintEvent, so Qt need not clear the area first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TextProgressCtrl::SetRange(int lower, int upper) {
    m_nLower = lower;
    m_nUpper = upper;
}

int TextProgressCtrl::SetPos(int pos) {
    const int previous = m_nPosition;
    m_nPosition = pos;
    const int width = FilledWidth(contentsRect().width());
    if (width != m_nLastBarWidth) {
        m_nLastBarWidth = width;
        repaint();
    }
    return previous;
}

void TextProgressCtrl::SetWindowText(const QString& text) {
    if (text == m_strCaption) {
        return;
    }
    m_strCaption = text;
    update();
}

double TextProgressCtrl::Fraction() const {
    return static_cast<double>(m_nPosition - m_nLower) / static_cast<double>(m_nUpper - m_nLower);
}

int TextProgressCtrl::FilledWidth(int width) const {
    if (m_nLower >= m_nUpper) {
        return 0;
    }
    // A position outside the range would otherwise paint beyond the bar or backwards.
    const double f = std::clamp(Fraction(), 0.0, 1.0);
    return static_cast<int>(static_cast<double>(width) * f);
}

QString TextProgressCtrl::DisplayText() const {
    if (!m_strCaption.isEmpty()) {
        return m_strCaption;
    }
    if (m_nLower >= m_nUpper) {
        return QString();
    }
    // Truncated, not rounded: 29 of 100 shows 28%, as the worker's own percentage does.
    return QStringLiteral("%1%").arg(static_cast<int>(Fraction() * 100.0));
}

QSize TextProgressCtrl::sizeHint() const {
    const int frame = 2 * frameWidth();
    return {fontMetrics().horizontalAdvance(QStringLiteral("0000/0000  100% 完成")) + frame,
            fontMetrics().height() + 4 + frame};
}

void TextProgressCtrl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect rc = contentsRect();
    const QRect filled(rc.left(), rc.top(), FilledWidth(rc.width()), rc.height());
    const QRect empty(filled.right() + 1, rc.top(), rc.width() - filled.width(), rc.height());

    painter.fillRect(filled, m_crBar);
    painter.fillRect(empty, m_crBack);

    // The same line is drawn twice, each time clipped to one part, so the colour change falls
    // exactly on the bar's edge, even in the middle of a glyph.
    const QString text = DisplayText();
    constexpr int flags = Qt::AlignCenter | Qt::TextSingleLine;
    if (!filled.isEmpty()) {
        painter.setClipRect(filled);
        painter.setPen(m_crTextOnBar);
        painter.drawText(rc, flags, text);
    }
    if (!empty.isEmpty()) {
        painter.setClipRect(empty);
        painter.setPen(m_crTextOnBack);
        painter.drawText(rc, flags, text);
    }
    painter.setClipping(false);
    drawFrame(&painter);
}

void TextProgressCtrl::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    m_nLastBarWidth = -1;
}

} // namespace tolvren
