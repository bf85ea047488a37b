#pragma once

#include <QDir>
#include <QFile>

#include <ctime>

// What the process holds, read from the system, to tell a leak or a busy loop from normal work.

// Entries of /proc/self/fd (the listing itself holds one while it runs; it cancels out).
inline int OpenDescriptorCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

// VmRSS of /proc/PID/status in kB (this process by default), -1 when unreadable.
inline qint64 ResidentKb(const QString &pid = QStringLiteral("self"))
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// CPU time of the whole process (all threads), in ms.
inline qint64 ProcessCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
