#include "KelPeer.h"

#include "KelOptions.h"
#include "MivController.h"
#include "MivError.h"
#include "MivMessage.h"

KelPeer::KelPeer(KelPeerConfig config, QObject *parent)
    : QObject(parent), m_config(std::move(config)), m_device(m_config.failPrefixes),
      m_answerTimer(this), m_intervalTimer(this)
{
    m_answerTimer.setSingleShot(true);
    m_intervalTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, &KelPeer::hostTimedOut);
    connect(&m_intervalTimer, &QTimer::timeout, this, &KelPeer::sendRequest);
}

KelPeer::~KelPeer() = default;

bool KelPeer::isServer() const
{
    return m_server;
}

void KelPeer::start()
{
    const KelSettings settings = ParseKelOptions(m_config.option);
    m_timeoutMs = settings.timeoutMs;
    m_server = settings.kind == KelConnKind::TcpServer;
    m_answerTimer.setInterval(m_timeoutMs);
    m_controller = m_engine.Workspaces().Item(0)->AddController(
        QString(), QStringLiteral("MivProv.KEL"), QStringLiteral("localhost"), m_config.option);
    connect(m_controller, &MivController::OnMessage, this, &KelPeer::onMessage);
    m_address = m_controller->localAddress();
    emit output(QStringLiteral("ready ") + m_address);
    // A host on a server line waits for its first client.
    if (m_config.sendText && !m_server) {
        m_hostStarted = true;
        QMetaObject::invokeMethod(this, &KelPeer::sendRequest, Qt::QueuedConnection);
    }
}

void KelPeer::onMessage(MivMessage *message)
{
    switch (message->Kind()) {
    case 0:
    case 1: {
        const QString text = message->Value().bstr();
        if (m_config.verbose)
            emit output(QStringLiteral("< ") + text);
        if (m_config.sendText)
            takeAnswer(text);
        else
            answerRequest(*message);
        break;
    }
    case 2:
        emit failure(QStringLiteral("kelpeer: ") + message->Value().bstr());
        break;
    case 3:
        if (m_config.sendText && !m_hostStarted) {
            m_hostStarted = true;
            sendRequest();
        }
        break;
    default:
        break;
    }
}

void KelPeer::answerRequest(const MivMessage &message)
{
    const QString answer = m_device.answer(message.Value().bstr());
    if (m_config.delayMs <= 0) {
        sendAnswer(message, answer);
        return;
    }
    // A timer, not a sleep: other clients are answered meanwhile.
    QTimer::singleShot(m_config.delayMs, this, [this, message, answer] { sendAnswer(message, answer); });
}

void KelPeer::sendAnswer(const MivMessage &message, const QString &answer)
{
    try {
        if (m_server)
            message.Reply(answer);
        else
            m_controller->Execute(QStringLiteral("Send"), answer);
        if (m_config.verbose)
            emit output(QStringLiteral("> ") + answer);
    } catch (const MivError &e) {
        emit failure(QStringLiteral("kelpeer: ") + e.description());
    }
}

void KelPeer::sendRequest()
{
    if (m_done)
        return;
    try {
        m_controller->Execute(QStringLiteral("Send"), *m_config.sendText);
    } catch (const MivError &e) {
        emit failure(QStringLiteral("kelpeer: ") + e.description());
        finish(1);
        return;
    }
    ++m_sent;
    if (m_config.verbose)
        emit output(QStringLiteral("> ") + *m_config.sendText);
    if (m_config.noWait && m_sent < m_config.count) {
        m_intervalTimer.start(m_config.intervalMs);
        return;
    }
    if (!m_config.noWait || m_answered < m_sent)
        m_answerTimer.start();
}

void KelPeer::takeAnswer(const QString &text)
{
    if (m_done || m_answered >= m_sent)
        return;
    ++m_answered;
    emit output(QStringLiteral("= ") + text);
    if (m_answered >= m_config.count) {
        finish(0);
        return;
    }
    if (m_config.noWait) {
        if (m_sent >= m_config.count)
            m_answerTimer.start(); // each answer gives the rest another Timeout
        return;
    }
    m_answerTimer.stop();
    m_intervalTimer.start(m_config.intervalMs);
}

void KelPeer::hostTimedOut()
{
    emit failure(QStringLiteral("kelpeer: %1 of %2 answers came, then none within %3 ms")
                     .arg(m_answered)
                     .arg(m_config.count)
                     .arg(m_timeoutMs));
    finish(1);
}

void KelPeer::finish(int code)
{
    if (m_done)
        return;
    m_done = true;
    m_answerTimer.stop();
    m_intervalTimer.stop();
    emit finished(code);
}
