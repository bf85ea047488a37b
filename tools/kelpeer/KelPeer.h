#pragma once

#include "KelResponder.h"
#include "KelPeerConfig.h"
#include "KelPeerReconnect.h"
#include "MivEngine.h"

#include <QObject>
#include <QTimer>

class MivController;
class MivMessage;

// The simulated peer on the engine: the device role answers requests, the host role (--send)
// sends requests and collects answers. Lives on the thread that calls start().
//
// The host sends each request through the engine's synchronous path, so the engine's rules
// hold: a frame that arrives while no request is in flight is never an answer, and goes out
// as a line of its own. With --no-wait it sends without waiting, and a frame answers the
// oldest request in flight, if any.
class KelPeer : public QObject
{
    Q_OBJECT
public:
    explicit KelPeer(KelPeerConfig config, QObject *parent = nullptr);
    ~KelPeer() override;

    // Opens the connection and emits the "ready" line. Throws MivError with the reason.
    void start();
    QString address() const { return m_address; }
    // Reads the rules file again (SIGHUP), keeping the stored values.
    void reloadRules();

signals:
    void output(const QString &line);      // one stdout line, without the newline
    void failure(const QString &line);     // one stderr line
    void finished(int exitCode);           // the host is done (0: every answer came), or the line went

private:
    void onMessage(MivMessage *message);
    void answerRequest(const MivMessage &message);
    void sendAnswer(const MivMessage &message, const QString &answer);
    void sendReply(const MivMessage &message, const KelReply &reply);
    void writePieces(std::shared_ptr<MivReplyChannel> channel, QByteArray frame, int parts, int gapMs, bool close);
    void takeFrame(const QString &text);
    void lineGone(const QString &address);
    void sendRequest();
    void lineBack();
    void transactRequest();
    void sendWithoutWaiting();
    void noWaitTimedOut();
    void finish(int code);
    void noClientCame();
    void verbose(const QString &line);
    QString requestText() const; // the next request's

    KelPeerConfig m_config;
    KelResponder m_responder;
    MivEngine m_engine;
    MivController *m_controller = nullptr;
    QString m_address;
    int m_timeoutMs = 500;
    bool m_server = false;
    // host role
    bool m_hostStarted = false;
    bool m_done = false;
    qint64 m_total = 0; // requests in all: every send text, count times
    qint64 m_sent = 0;
    qint64 m_answered = 0;
    QTimer m_answerTimer; // --no-wait: the rest of the answers
    QTimer m_intervalTimer;
    QTimer m_clientTimer; // --wait-client
    KelPeerReconnect m_reconnect;
    bool m_waitingForLine = false; // the host's next request waits for the line to open again
};
