#pragma once

#include <QProcess>
#include <QStringList>

// The simulated peer ($KELPEER) as a child process, with its stdout protocol parsed:
//   "ready <address>"  -> address(), port()
//   "< <text>"         -> received()   (only with --verbose)
//   "> <text>"         -> sent()       (only with --verbose)
//   "= <text>"         -> answers()    (host role)
//   "~ <text>"         -> unsolicited() (host role: a frame that answers no request)
//   "connected <address>", "disconnected <address>" -> links() (only with --verbose)
// A leading "HH:MM:SS.mmm " time stamp (--verbose) is dropped.
// Texts come unescaped (KelPeerText.h). Output is read when pump() or a wait function runs. Waits are bounded and run the caller's
// event loop (so that an engine or window on this thread keeps working while kelpeer talks to
// it); setBlockingWaits(true) makes them block without it. Killed in the destructor.
class PeerProcess
{
public:
    PeerProcess() = default;
    ~PeerProcess();
    PeerProcess(const PeerProcess &) = delete;
    PeerProcess &operator=(const PeerProcess &) = delete;

    // The kelpeer executable: $KELPEER.
    static QString program();

    // Starts kelpeer with args; with readyTimeoutMs > 0 waits for its "ready" line and
    // returns false when it does not come. extraEnv: "NAME=value" entries added to the
    // process environment (MIV_COM<n> for serial lines).
    bool start(const QStringList &args, int readyTimeoutMs = 5000,
               const QStringList &extraEnv = {});

    QString address() const { return m_address; }
    quint16 port() const; // the part after the last ':' of address(), 0 when none
    QStringList received() const { return m_received; }
    QStringList sent() const { return m_sent; }
    QStringList answers() const { return m_answers; }
    QStringList unsolicited() const { return m_unsolicited; }
    QStringList links() const { return m_links; }
    QString errorOutput() const { return m_stderr; } // everything seen on stderr so far
    QString startError() const { return m_process.errorString(); } // why start() failed

    void pump(); // reads what is available, without waiting
    bool waitForReady(int timeoutMs);
    bool waitForReceived(int count, int timeoutMs);
    bool waitForAnswers(int count, int timeoutMs);
    bool waitForFinished(int timeoutMs);
    int exitCode() const;
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    // SIGTERM (the clean way out), then a kill when it does not end within 3 s.
    void stop();
    void terminate() { m_process.terminate(); }
    qint64 processId() const { return m_process.processId(); }
    void setBlockingWaits(bool blocking) { m_blocking = blocking; }

private:
    template<typename Done>
    bool waitUntil(int timeoutMs, Done done);
    void takeLine(const QByteArray &line);

    QProcess m_process;
    QByteArray m_partial;
    QString m_address;
    QStringList m_received;
    QStringList m_sent;
    QStringList m_answers;
    QStringList m_unsolicited;
    QStringList m_links;
    QString m_stderr;
    bool m_blocking = false;
};
