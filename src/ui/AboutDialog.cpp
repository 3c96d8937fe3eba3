#include "ui/AboutDialog.h"

#include "ui/DialogUnits.h"

#include <QLabel>
#include <QPushButton>

namespace tolvren {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于 Tolvren"));
    setFont(DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(239, 52));

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    icon->setGeometry(du.Rect(7, 19, 21, 21));

    auto* name = new QLabel(QStringLiteral("Tolvren  批量转换器"), this);
    name->setTextFormat(Qt::PlainText);
    name->setGeometry(du.Rect(40, 10, 119, 8));

    auto* notice =
        new QLabel(QStringLiteral("Tolvren 版本 %1").arg(QStringLiteral(TOLVREN_VERSION)), this);
    notice->setTextFormat(Qt::PlainText);
    notice->setGeometry(du.Rect(36, 27, 119, 8));

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setGeometry(du.Rect(182, 7, 50, 14));
    ok->setDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace tolvren
