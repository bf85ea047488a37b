#include "PeerProcess.h"

#include "KelPeerText.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcessEnvironment>

#include <csignal>
#include <sys/prctl.h>

PeerProcess::~PeerProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString PeerProcess::program()
{
    return qEnvironmentVariable("KELPEER");
}

bool PeerProcess::start(const QStringList &args, int readyTimeoutMs, const QStringList &extraEnv)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : extraEnv) {
        const qsizetype eq = entry.indexOf(u'=');
        env.insert(entry.left(eq), entry.mid(eq + 1));
    }
    m_process.setProcessEnvironment(env);
    // A peer must not outlive a test or tour that was killed: it would keep its port.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(program(), args);
    if (!m_process.waitForStarted(5000))
        return false;
    return readyTimeoutMs <= 0 || waitForReady(readyTimeoutMs);
}

quint16 PeerProcess::port() const
{
    const qsizetype colon = m_address.lastIndexOf(u':');
    return colon < 0 ? 0 : m_address.mid(colon + 1).toUShort();
}

void PeerProcess::takeLine(const QByteArray &raw)
{
    const QString line = WithoutStamp(UnescapeLine(QString::fromUtf8(raw)));
    if (line.startsWith(QLatin1String("ready ")))
        m_address = line.mid(6);
    else if (line.startsWith(QLatin1String("< ")))
        m_received << line.mid(2);
    else if (line.startsWith(QLatin1String("> ")))
        m_sent << line.mid(2);
    else if (line.startsWith(QLatin1String("= ")))
        m_answers << line.mid(2);
    else if (line.startsWith(QLatin1String("~ ")))
        m_unsolicited << line.mid(2);
    else if (line.startsWith(QLatin1String("connected ")) || line.startsWith(QLatin1String("disconnected ")))
        m_links << line;
}

void PeerProcess::pump()
{
    m_partial += m_process.readAllStandardOutput();
    m_stderr += QString::fromUtf8(m_process.readAllStandardError());
    qsizetype start = 0;
    for (qsizetype nl = m_partial.indexOf('\n'); nl >= 0; nl = m_partial.indexOf('\n', start)) {
        takeLine(m_partial.mid(start, nl - start));
        start = nl + 1;
    }
    m_partial.remove(0, start);
}

template<typename Done>
bool PeerProcess::waitUntil(int timeoutMs, Done done)
{
    QDeadlineTimer deadline(timeoutMs);
    pump();
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        if (m_process.state() == QProcess::NotRunning) {
            pump();
            return done();
        }
        const int slice = int(qBound<qint64>(qint64(1), deadline.remainingTime(), qint64(50)));
        if (m_blocking)
            m_process.waitForReadyRead(slice);
        else
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, slice);
        pump();
    }
    return true;
}

bool PeerProcess::waitForReady(int timeoutMs)
{
    return waitUntil(timeoutMs, [this] { return !m_address.isEmpty(); });
}

bool PeerProcess::waitForReceived(int count, int timeoutMs)
{
    return waitUntil(timeoutMs, [this, count] { return m_received.size() >= count; });
}

bool PeerProcess::waitForAnswers(int count, int timeoutMs)
{
    return waitUntil(timeoutMs, [this, count] { return m_answers.size() >= count; });
}

bool PeerProcess::waitForFinished(int timeoutMs)
{
    if (m_blocking) {
        const bool done = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
        pump();
        return done;
    }
    waitUntil(timeoutMs, [this] { return m_process.state() == QProcess::NotRunning; });
    return m_process.state() == QProcess::NotRunning;
}

int PeerProcess::exitCode() const
{
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

void PeerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    pump();
}
