#pragma once

#include "dialog/BarModel.h"

#include <QColor>
#include <QFrame>
#include <QString>

namespace tolvren {

/// A progress bar that paints itself from a BarModel: the filled part in the highlight colour,
/// the rest in the base colour, and one centred line of text (the caption, or the percentage
/// while there is no caption) in the colour that contrasts with whatever lies under each piece of
/// it. It repaints only when the model says the eye would see a change.
class TextProgressCtrl : public QFrame {
    Q_OBJECT

public:
    explicit TextProgressCtrl(QWidget* parent = nullptr);

    /// Stores `pos` and repaints at once if the filled width in pixels changed. Returns the
    /// previous position.
    int SetPos(int pos);
    int GetPos() const { return m_model.GetPos(); }

    /// The caption drawn instead of the percentage; "" brings the percentage back.
    void SetWindowText(const QString& text);
    QString GetWindowText() const { return QString::fromStdString(m_model.Caption()); }
    /// The text the bar shows right now.
    QString DisplayText() const { return QString::fromStdString(m_model.DisplayText()); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    BarModel m_model;

    // Read once: the text colours are the fill colours swapped, so they always contrast.
    QColor m_crBar;
    QColor m_crBack;
    QColor m_crTextOnBack;
    QColor m_crTextOnBar;
};

} // namespace tolvren
