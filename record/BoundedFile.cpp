#include "BoundedFile.h"

#include <QFile>
#include <QFileInfo>

namespace {
constexpr qint64 kBytesPerMiB = 1024 * 1024;

QString SizeText(qint64 bytes)
{
    return bytes % kBytesPerMiB == 0 ? QStringLiteral("%1 MiB").arg(bytes / kBytesPerMiB)
                                     : QStringLiteral("%1 bytes").arg(bytes);
}
} // namespace

std::optional<QByteArray> ReadBoundedFile(const QString &path, QString *why, qint64 maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return std::nullopt;
    }
    // Checked on the open file, so that what is checked is what is read.
    if (!QFileInfo(file).isFile()) {
        *why = QStringLiteral("not a regular file");
        return std::nullopt;
    }
    // A file that grows while it is read is still cut at the bound.
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *why = file.errorString();
        return std::nullopt;
    }
    if (bytes.size() > maxBytes) {
        *why = QStringLiteral("larger than %1").arg(SizeText(maxBytes));
        return std::nullopt;
    }
    return bytes;
}
