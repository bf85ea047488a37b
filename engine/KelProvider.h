#pragma once

#include "KelLink.h"
#include "KelSettings.h"
#include "MivMessage.h"

#include <QObject>

#include <deque>
#include <memory>

class KelTransport;

// The KEL provider of one controller: its transport, synchronous requests and the queue of
// messages delivered from the event loop.
//
// Messages are delivered one at a time in arrival order. A slot that opens a nested event loop
// holds back later messages until it returns, so they never re-enter out of order.
//
// A request that times out leaves its answer owed: the next frame from that peer within
// twice the Timeout after the timeout is taken as that late answer and delivered as a Kind 1
// message, never as the answer to a later request. After that the debt expires, so a peer that
// never answers does not make every later request fail.
class KelProvider : public QObject, private KelLinkSink
{
    Q_OBJECT
public:
    static constexpr const char *kName = "MivProv.KEL";
    static constexpr qint64 kDeliverySliceMs = 10;

    // Parses the option string and opens the transport. Throws MivError with the reason.
    explicit KelProvider(const QString &option);
    ~KelProvider() override;

    const KelSettings &settings() const { return m_settings; }
    QString localAddress() const;

    // Sends and waits (blocking, no event loop) for the next frame from the addressed peer.
    QString transact(const QString &request);
    void send(const QString &text);
    // Drops unread input, partial frames and queued answers.
    void clear();

signals:
    void message(MivMessage *message);

private:
    void linkOpened(KelLink &link) override;
    void linkReceived(KelLink &link, const QList<KelFrameEvent> &events) override;
    void linkClosed(KelLink &link) override;
    void transportError(const QString &description) override;

    void enqueue(qint32 kind, const QString &value, const KelLink *link = nullptr);
    void deliver();

    KelSettings m_settings;
    std::unique_ptr<KelTransport> m_transport;
    std::deque<MivMessage> m_queue;
    quint64 m_frameSeq = 0;
    bool m_deliveryPosted = false;
    bool m_delivering = false;
};
