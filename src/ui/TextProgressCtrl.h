#pragma once

#include <QColor>
#include <QFrame>
#include <QString>

namespace tolvren {

/// A progress bar that paints itself: the filled part in the highlight colour, the rest in the
/// base colour, and one centred line of text (the caption, or the percentage while there is no
/// caption) in the colour that contrasts with whatever lies under each piece of it.
///
/// Repaints are kept to what the eye can see: a new position repaints only when the filled
/// width moves by at least one pixel, a caption only when it changes.
class TextProgressCtrl : public QFrame {
    Q_OBJECT

public:
    explicit TextProgressCtrl(QWidget* parent = nullptr);

    /// Stores the bounds; nothing is redrawn. Painting needs lower < upper.
    void SetRange(int lower, int upper);
    /// Stores `pos` and repaints at once if the filled width in pixels changed. Returns the
    /// previous position.
    int SetPos(int pos);
    int GetPos() const { return m_nPosition; }

    /// The caption drawn instead of the percentage; "" brings the percentage back.
    void SetWindowText(const QString& text);
    QString GetWindowText() const { return m_strCaption; }

    /// The text the bar shows right now.
    QString DisplayText() const;
    /// Width in pixels of the filled part for a bar (client area) `width` pixels wide.
    int FilledWidth(int width) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    double Fraction() const;

    int m_nPosition = 0;
    int m_nUpper = 100;
    int m_nLower = 0;
    QString m_strCaption;
    int m_nLastBarWidth = -1; ///< filled width at the last repaint request; -1: none yet

    // Read once: the text colours are the fill colours swapped, so they always contrast.
    QColor m_crBar;
    QColor m_crBack;
    QColor m_crTextOnBack;
    QColor m_crTextOnBar;
};

} // namespace tolvren
