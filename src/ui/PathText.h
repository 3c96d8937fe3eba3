#pragma once

#include <QFile>
#include <QString>
#include <string>

// Engine paths are file-system bytes; the windows show and take them as text.

namespace tolvren {

inline std::string ToPath(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

inline QString FromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace tolvren
