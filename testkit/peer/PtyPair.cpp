#include "PtyPair.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

PtyPair::~PtyPair()
{
    if (m_socat.state() != QProcess::NotRunning) {
        m_socat.kill();
        m_socat.waitForFinished(3000);
    }
}

void PtyPair::stop()
{
    if (m_socat.state() == QProcess::NotRunning)
        return;
    m_socat.terminate(); // socat removes its link as it ends
    if (!m_socat.waitForFinished(3000)) {
        m_socat.kill();
        m_socat.waitForFinished(3000);
    }
}

bool PtyPair::start(int timeoutMs, const QString &firstLink)
{
    // socat reports each device as "... N PTY is /dev/pts/5" on stderr at -d -d.
    const QString pty = QStringLiteral("pty,raw,echo=0");
    m_socat.setReadChannel(QProcess::StandardError);
    m_socat.start(QStringLiteral("socat"),
                  {QStringLiteral("-d"), QStringLiteral("-d"),
                   firstLink.isEmpty() ? pty : pty + QStringLiteral(",link=") + firstLink, pty});
    if (!m_socat.waitForStarted(timeoutMs)) {
        m_error = m_socat.errorString();
        return false;
    }
    static const QRegularExpression ptyLine(QStringLiteral("PTY is (\\S+)"));
    QByteArray seen;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        m_socat.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        seen += m_socat.readAllStandardError();
        QStringList paths;
        auto it = ptyLine.globalMatch(QString::fromUtf8(seen));
        while (it.hasNext())
            paths << it.next().captured(1);
        // socat prints the pair before it starts transferring.
        if (paths.size() >= 2 && seen.contains("starting data transfer loop")) {
            m_first = firstLink.isEmpty() ? paths.at(0) : firstLink;
            m_second = paths.at(1);
            return true;
        }
        if (m_socat.state() == QProcess::NotRunning)
            break;
    }
    m_error = QStringLiteral("socat gave no pty pair: ") + QString::fromUtf8(seen);
    return false;
}
