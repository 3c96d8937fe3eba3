#include "ui/FolderPicker.h"

#include <QDir>
#include <QFileDialog>

namespace tolvren {

QString FolderPicker(QWidget* owner) {
    const QString folder = QFileDialog::getExistingDirectory(
        owner, QStringLiteral("请选择文件夹..."), QString(), QFileDialog::ShowDirsOnly);
    // One spelling for every chooser: no trailing separator except on the root "/".
    return folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

} // namespace tolvren
