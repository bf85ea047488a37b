#include "PlanFileReader.h"

#include <QFile>
#include <QFileInfo>

std::optional<QByteArray> ReadBoundedFile(const QString &path, qint64 maxBytes, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("%1: no such file").arg(path);
        return std::nullopt;
    }
    if (!info.isFile()) {
        *error = QStringLiteral("%1: not a regular file").arg(path);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    // The size is checked again on what is read: the file may grow meanwhile.
    const QByteArray bytes = info.size() > maxBytes ? QByteArray() : file.read(maxBytes + 1);
    if (info.size() > maxBytes || bytes.size() > maxBytes) {
        *error = QStringLiteral("%1: larger than %2 bytes").arg(path).arg(maxBytes);
        return std::nullopt;
    }
    return bytes;
}
