#pragma once

#include <QFile>
#include <QString>
#include <string>

// Engine paths are file-system bytes and its texts UTF-8; the windows show and take them as text.

namespace tolvren {

inline std::string ToPath(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

inline QString FromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

/// The engine's texts (UTF-8) as the windows show them.
inline QString FromText(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace tolvren
