#pragma once

#include "KelDevice.h"
#include "KelPeerConfig.h"
#include "MivEngine.h"

#include <QObject>
#include <QTimer>

class MivController;
class MivMessage;

// The simulated peer on the engine: the device role answers requests, the host role (--send)
// sends requests and collects answers. Lives on the thread that calls start().
class KelPeer : public QObject
{
    Q_OBJECT
public:
    explicit KelPeer(KelPeerConfig config, QObject *parent = nullptr);
    ~KelPeer() override;

    // Opens the connection and emits the "ready" line. Throws MivError with the reason.
    void start();
    QString address() const { return m_address; }

signals:
    void output(const QString &line);      // one stdout line, without the newline
    void failure(const QString &line);     // one stderr line
    void finished(int exitCode);           // host role: all answered (0) or not (1)

private:
    void onMessage(MivMessage *message);
    void answerRequest(const MivMessage &message);
    void sendAnswer(const MivMessage &message, const QString &answer);
    void sendRequest();
    void takeAnswer(const QString &text);
    void hostTimedOut();
    void finish(int code);
    bool isServer() const;

    KelPeerConfig m_config;
    KelDevice m_device;
    MivEngine m_engine;
    MivController *m_controller = nullptr;
    QString m_address;
    int m_timeoutMs = 500;
    bool m_server = false;
    // host role
    bool m_hostStarted = false;
    bool m_done = false;
    int m_sent = 0;
    int m_answered = 0;
    QTimer m_answerTimer;
    QTimer m_intervalTimer;
};
