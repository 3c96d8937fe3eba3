#include "ui/TextProgressCtrl.h"

#include <QPainter>
#include <QResizeEvent>

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

int TextProgressCtrl::SetPos(int pos) {
    const int previous = m_model.GetPos();
    if (m_model.SetPos(pos, contentsRect().width())) {
        repaint();
    }
    return previous;
}

void TextProgressCtrl::SetWindowText(const QString& text) {
    if (m_model.SetCaption(text.toStdString())) {
        update();
    }
}

QSize TextProgressCtrl::sizeHint() const {
    const int frame = 2 * frameWidth();
    return {fontMetrics().horizontalAdvance(QStringLiteral("0000/0000  100% 完成")) + frame,
            fontMetrics().height() + 4 + frame};
}

void TextProgressCtrl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect rc = contentsRect();
    const QRect filled(rc.left(), rc.top(), m_model.FilledWidth(rc.width()), rc.height());
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
    m_model.Resized();
}

} // namespace tolvren
