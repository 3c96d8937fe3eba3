#include "ui/FolderPicker.h"

#include <QDir>
#include <QFileDialog>

namespace tolvren {

QString FolderPicker(QWidget* owner) {
    const QString folder = QFileDialog::getExistingDirectory(
        owner, QStringLiteral("请选择文件夹..."), QString(), QFileDialog::ShowDirsOnly);
    // Only local folders: a chooser may hand back a remote location it cannot map to a path.
    return folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

} // namespace tolvren
