#include "ui/FolderPicker.h"

#include <QFileDialog>

namespace tolvren {

QString FolderPicker(QWidget* owner, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(owner, QStringLiteral("请选择文件夹..."), startFolder,
                                             QFileDialog::ShowDirsOnly);
}

} // namespace tolvren
