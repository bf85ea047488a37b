#include "KelPeer.h"

#include "KelOptions.h"
#include "KelProvider.h"
#include "MivController.h"
#include "MivError.h"
#include "MivMessage.h"
#include "KelPeerText.h"

KelPeer::KelPeer(KelPeerConfig config, QObject *parent)
    : QObject(parent), m_config(std::move(config)), m_responder(m_config),
      m_answerTimer(this), m_intervalTimer(this), m_clientTimer(this), m_reconnect(m_config.reconnect)
{
    connect(&m_reconnect, &KelPeerReconnect::failure, this, &KelPeer::failure);
    connect(&m_reconnect, &KelPeerReconnect::opened, this, &KelPeer::lineBack);
    m_answerTimer.setSingleShot(true);
    m_intervalTimer.setSingleShot(true);
    m_clientTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, &KelPeer::noWaitTimedOut);
    connect(&m_intervalTimer, &QTimer::timeout, this, &KelPeer::sendRequest);
    connect(&m_clientTimer, &QTimer::timeout, this, &KelPeer::noClientCame);
}

KelPeer::~KelPeer() = default;

void KelPeer::start()
{
    const KelSettings settings = ParseKelOptions(m_config.option);
    // A bad rules file or record is refused before anything opens.
    for (const QString &note : m_responder.load())
        emit failure(note);
    m_timeoutMs = settings.timeoutMs;
    m_total = qint64(m_config.count) * m_config.sendTexts.size();
    m_server = settings.kind == KelConnKind::TcpServer;
    m_answerTimer.setInterval(m_timeoutMs);
    m_controller = m_engine.Workspaces().Item(0)->AddController(
        QString(), QLatin1String(KelProvider::kName), QStringLiteral("localhost"), m_config.option);
    connect(m_controller, &MivController::OnMessage, this, &KelPeer::onMessage);
    m_reconnect.watch(m_controller);
    m_address = m_controller->localAddress();
    emit output(QStringLiteral("ready ") + m_address);
    // A host on a server line waits for its first client.
    if (m_config.isHost() && !m_server) {
        m_hostStarted = true;
        QMetaObject::invokeMethod(this, &KelPeer::sendRequest, Qt::QueuedConnection);
    } else if (m_config.isHost() && m_config.waitClientMs) {
        m_clientTimer.start(*m_config.waitClientMs);
    }
}

void KelPeer::noClientCame()
{
    emit failure(QStringLiteral("kelpeer: no client connected within %1 s").arg(*m_config.waitClientMs / 1000.0));
    finish(1);
}

void KelPeer::verbose(const QString &line)
{
    if (m_config.verbose)
        emit output(StampedLine(line));
}

QString KelPeer::requestText() const
{
    return m_config.sendTexts.at(m_sent % m_config.sendTexts.size());
}

void KelPeer::onMessage(MivMessage *message)
{
    switch (message->Kind()) {
    case MivMessageKind::Request:
    case MivMessageKind::Unsolicited: {
        const QString text = message->Value().bstr();
        verbose(QStringLiteral("< ") + text);
        if (m_config.isHost())
            takeFrame(text);
        else
            answerRequest(*message);
        break;
    }
    case MivMessageKind::Error:
        emit failure(QStringLiteral("kelpeer: ") + message->Value().bstr());
        break;
    case MivMessageKind::Connected:
        verbose(QStringLiteral("connected ") + message->Value().bstr());
        if (m_config.isHost() && !m_hostStarted) {
            m_hostStarted = true;
            m_clientTimer.stop();
            sendRequest();
        }
        break;
    case MivMessageKind::Disconnected:
        verbose(QStringLiteral("disconnected ") + message->Value().bstr());
        lineGone(message->Value().bstr());
        break;
    default:
        break;
    }
}

void KelPeer::reloadRules()
{
    if (m_config.rulesPath.isEmpty())
        return;
    QString error;
    if (m_responder.reload(&error))
        emit output(QStringLiteral("reloaded %1: %2 rules").arg(m_config.rulesPath).arg(m_responder.ruleCount()));
    else
        emit failure(QStringLiteral("kelpeer: not reloaded, the old rules stay: ") + error);
}

void KelPeer::answerRequest(const MivMessage &message)
{
    const KelReply reply = m_responder.reply(message.Value().bstr(), message.replyChannel());
    for (const QString &report : reply.reports)
        emit failure(report);
    if (reply.delayMs <= 0) {
        sendReply(message, reply);
        return;
    }
    // A timer, not a sleep: other clients are answered meanwhile.
    QTimer::singleShot(reply.delayMs, this, [this, message, reply] { sendReply(message, reply); });
}

void KelPeer::sendReply(const MivMessage &message, const KelReply &reply)
{
    const std::shared_ptr<MivReplyChannel> &channel = message.replyChannel();
    if (reply.splitParts <= 1 || !reply.text || !channel) {
        if (reply.text)
            sendAnswer(message, *reply.text);
        if (reply.close && channel)
            channel->close();
        return;
    }
    verbose(QStringLiteral("> ") + *reply.text);
    writePieces(channel, channel->frame(*reply.text), reply.splitParts, reply.splitGapMs, reply.close);
}

// The frame's bytes in pieces of about the same size, gapMs apart.
void KelPeer::writePieces(std::shared_ptr<MivReplyChannel> channel, QByteArray frame, int parts, int gapMs, bool close)
{
    const qsizetype size = (frame.size() + parts - 1) / parts;
    try {
        channel->writeRaw(frame.left(size));
    } catch (const MivError &e) {
        emit failure(QStringLiteral("kelpeer: ") + e.description());
        return;
    }
    frame.remove(0, size);
    if (frame.isEmpty() || parts <= 1) {
        if (close)
            channel->close();
        return;
    }
    QTimer::singleShot(gapMs, this, [this, channel, frame, parts, gapMs, close] {
        writePieces(channel, frame, parts - 1, gapMs, close);
    });
}

void KelPeer::sendAnswer(const MivMessage &message, const QString &answer)
{
    try {
        if (m_server)
            message.Reply(answer);
        else
            m_controller->Execute(QStringLiteral("Send"), answer);
        verbose(QStringLiteral("> ") + answer);
    } catch (const MivError &e) {
        emit failure(QStringLiteral("kelpeer: ") + e.description());
    }
}

// A frame that reached the host outside a synchronous request.
void KelPeer::takeFrame(const QString &text)
{
    if (!m_config.noWait || m_done || m_answered >= m_sent) {
        emit output(QStringLiteral("~ ") + text);
        return;
    }
    ++m_answered;
    emit output(QStringLiteral("= ") + text);
    if (m_answered >= m_total)
        finish(0);
    else if (m_sent >= m_total)
        m_answerTimer.start(); // each answer gives the rest another Timeout
}

// The peer, the server or the serial line has gone. A server's clients come and go.
void KelPeer::lineGone(const QString &address)
{
    if (m_done || (m_server && !m_config.isHost()))
        return;
    emit failure(QStringLiteral("kelpeer: the line to %1 has gone").arg(address));
    if (!m_server && m_reconnect.lineGone(QStringLiteral("the line to %1 has gone").arg(address)))
        return;
    finish(1);
}

void KelPeer::lineBack()
{
    if (m_waitingForLine) {
        m_waitingForLine = false;
        sendRequest();
    }
}

void KelPeer::sendRequest()
{
    if (m_done)
        return;
    if (m_config.reconnect && !m_server && !m_controller->isOpen()) {
        m_waitingForLine = true; // lineBack() sends it
        return;
    }
    if (m_config.noWait)
        sendWithoutWaiting();
    else
        transactRequest();
}

void KelPeer::transactRequest()
{
    const QString text = requestText();
    ++m_sent;
    verbose(QStringLiteral("> ") + text);
    try {
        const QString answer = m_controller->transact(text);
        ++m_answered;
        verbose(QStringLiteral("< ") + answer);
        emit output(QStringLiteral("= ") + answer);
    } catch (const MivError &e) {
        emit failure(QStringLiteral("kelpeer: request %1 of %2: %3").arg(m_sent).arg(m_total).arg(e.description()));
        // With --reconnect the rest waits for the line; this one stays unanswered.
        if (e.code() != MivCode::Timeout && !(m_config.reconnect && !m_server)) {
            finish(1); // the line cannot carry the rest
            return;
        }
    }
    if (m_sent < m_total) {
        m_intervalTimer.start(m_config.intervalMs);
        return;
    }
    if (m_answered < m_sent)
        emit failure(QStringLiteral("kelpeer: %1 of %2 answers came, none within %3 ms for the rest")
                         .arg(m_answered)
                         .arg(m_total)
                         .arg(m_timeoutMs));
    finish(m_answered < m_sent ? 1 : 0);
}

void KelPeer::sendWithoutWaiting()
{
    const QString text = requestText();
    try {
        m_controller->Execute(QStringLiteral("Send"), text);
    } catch (const MivError &e) {
        emit failure(QStringLiteral("kelpeer: ") + e.description());
        finish(1);
        return;
    }
    ++m_sent;
    verbose(QStringLiteral("> ") + text);
    if (m_sent < m_total)
        m_intervalTimer.start(m_config.intervalMs);
    else if (m_answered < m_sent)
        m_answerTimer.start();
}

void KelPeer::noWaitTimedOut()
{
    emit failure(QStringLiteral("kelpeer: %1 of %2 answers came, then none within %3 ms")
                     .arg(m_answered)
                     .arg(m_total)
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
    m_clientTimer.stop();
    // After the messages already on their way, so that their lines come first.
    QMetaObject::invokeMethod(this, [this, code] { emit finished(code); }, Qt::QueuedConnection);
}
