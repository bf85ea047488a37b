#pragma once

#include <QProcess>
#include <QString>

// Two connected pseudo-terminals made by socat, for serial-line tests. Bytes written to one
// end are read at the other. The socat process is killed in the destructor.
//
//   PtyPair pty;
//   QVERIFY(pty.start());
//   qputenv("MIV_COM7", pty.first().toUtf8());   // engine side
//   peer.start({"--option", "Conn=com:1:...", ...}) with MIV_COM1 = pty.second()
class PtyPair
{
public:
    PtyPair() = default;
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // Starts socat and waits (bounded) until both device paths are known. With firstLink,
    // first() is that path, a link socat makes to its device (as a udev name is), gone when
    // socat ends: a pair started again with it is the same device re-plugged.
    bool start(int timeoutMs = 5000, const QString &firstLink = {});
    // Ends socat as an unplugged adapter goes: both devices hang up, the link goes.
    void stop();
    QString first() const { return m_first; }
    QString second() const { return m_second; }
    QString errorString() const { return m_error; }

private:
    QProcess m_socat;
    QString m_first;
    QString m_second;
    QString m_error;
};
