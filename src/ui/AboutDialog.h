#pragma once

#include <QDialog>

namespace tolvren {

/// The About box: the program's name and version, closed by "确定", Esc or the close box.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace tolvren
