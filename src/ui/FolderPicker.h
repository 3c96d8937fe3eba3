#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tolvren {

/// Lets the user choose a folder in the desktop's folder chooser, titled "请选择文件夹...", modal
/// to `owner`, opening in `startFolder` (or where the chooser last was, when that is ""). Returns
/// the folder's path, or "" when the user cancelled.
QString FolderPicker(QWidget* owner, const QString& startFolder);

/// Anything that answers like FolderPicker; tests put their own in place of the real chooser.
using FolderPickerFunction = std::function<QString(QWidget* owner, const QString& startFolder)>;

} // namespace tolvren
