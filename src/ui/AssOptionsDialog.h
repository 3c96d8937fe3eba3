#pragma once

#include "dialog/AssChoices.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tolvren {

class AssSample;

/// The ASS 选项 window: the font (the system's font picker), its size, the sung and unsung
/// colours (the system's colour picker), the rows, lead-in and linger, the title card, and a
/// sample line drawn half sung in those choices. It shows and reports; the checks are the
/// controller's.
class AssOptionsDialog : public QDialog {
    Q_OBJECT

public:
    AssOptionsDialog(const AssChoices& choices, QWidget* parent);
    /// What the controls hold now.
    AssChoices Choices() const;

private:
    void PickFont();
    void PickColour(std::uint32_t& colour);
    /// The font and colour buttons and the sample show the choices.
    void ShowPicks();

    AssChoices m_choices; ///< the font and the colours, which the pickers change
    QPushButton* m_btnFont = nullptr;
    QPushButton* m_btnSung = nullptr;
    QPushButton* m_btnUnsung = nullptr;
    QSpinBox* m_spinSize = nullptr;
    QComboBox* m_comboRows = nullptr;
    QLineEdit* m_editLead = nullptr;
    QLineEdit* m_editLinger = nullptr;
    QCheckBox* m_checkTitle = nullptr;
    AssSample* m_sample = nullptr;
};

/// Shows `choices` in the ASS 选项 window over `parent`; true when it was closed with 确定, and
/// `choices` then holds what the user picked.
bool EditAssOptions(QWidget* parent, AssChoices& choices);

} // namespace tolvren
