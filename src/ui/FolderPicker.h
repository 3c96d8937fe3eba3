#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tolvren {

/// Lets the user choose a folder in the desktop's folder chooser, titled "请选择文件夹...", modal
/// to `owner`. Returns the folder's path, without a trailing separator except for the root "/",
/// or "" when the user cancelled.
QString FolderPicker(QWidget* owner);

/// Anything that answers like FolderPicker; tests put their own in place of the real chooser.
using FolderPickerFunction = std::function<QString(QWidget* owner)>;

} // namespace tolvren
