#pragma once

#include <QFile>
#include <QString>

// The peak resident memory of a process (this one by default) since its last reset, in kB,
// -1 when unreadable. The reset is the system's, by /proc/<pid>/clear_refs.
inline qint64 PeakResidentKb(const QString &pid = QStringLiteral("self"))
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

inline bool ResetPeakResident(const QString &pid = QStringLiteral("self"))
{
    QFile refs(QStringLiteral("/proc/%1/clear_refs").arg(pid));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}
