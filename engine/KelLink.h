#pragma once

#include "KelFramer.h"
#include "MivMessage.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QAbstractSocket;
class QIODevice;
class QSerialPort;
class KelLink;

// What a link reports to the provider that owns it.
class KelLinkSink
{
public:
    virtual ~KelLinkSink() = default;
    virtual void linkOpened(KelLink &link) = 0;
    virtual void linkReceived(KelLink &link, const QList<KelFrameEvent> &events) = 0;
    virtual void linkClosed(KelLink &link) = 0;
    virtual void transportError(const QString &description) = 0;
};

// One byte stream to one peer (a TCP connection or the serial line) with its own framer.
// Owns the device. Reports frames and its closing to the sink; closes once.
class KelLink : public QObject
{
    Q_OBJECT
public:
    // Beyond this many unsent bytes a send is refused: a peer that does not read must not make
    // the queue grow without bound.
    static constexpr qint64 kMaxQueued = 1 << 20;

    KelLink(QAbstractSocket *socket, QString address, const KelPacketSettings &packet,
            KelLinkSink &sink, QObject *parent);
    KelLink(QSerialPort *port, QString address, const KelPacketSettings &packet, KelLinkSink &sink,
            QObject *parent);
    ~KelLink() override;

    const QString &address() const { return m_address; }
    bool isOpen() const { return !m_closed; }
    QIODevice *device() const { return m_device; }

    // Encodes and writes one frame now. Throws MivError when closed, unencodable or over the cap.
    void sendText(const QString &text);
    // Reads what has arrived and hands the frames to the sink.
    void drain();
    // Waits up to ms for input and hands what came to the sink (a closed peer closes the link).
    void waitAndDrain(int ms);
    // Drops unread input and the partial frame.
    void clearInput();
    // Closes the device and reports the closing (once).
    void close();

    qint64 lastActivityMs() const { return m_lastActivityMs; }
    const std::shared_ptr<MivReplyChannel> &replyChannel() const { return m_channel; }

    // Bookkeeping of the provider's requests on this link.
    quint64 connectSeq = 0;
    quint64 frameSeq = 0;
    int lateAnswers = 0;        // answers still owed to requests that timed out
    qint64 lateUntilMs = 0;     // ...awaited until this time (steady ms)
    bool waiting = false;       // a synchronous request waits for its answer
    std::optional<QString> answer;

signals:
    void closed();

private:
    void init();
    void flush();
    qsizetype writeDirect(const QByteArray &bytes); // bytes written, possibly none
    void take(const char *data, qsizetype size); // frames the bytes, then report()
    void report();                               // hands the framed events to the sink

    QIODevice *m_device;
    QAbstractSocket *m_socket = nullptr;
    QSerialPort *m_serial = nullptr;
    QString m_address;
    KelFramer m_framer;
    KelLinkSink &m_sink;
    QList<KelFrameEvent> m_events;
    std::shared_ptr<MivReplyChannel> m_channel;
    qint64 m_lastActivityMs = 0;
    bool m_closed = false;
    bool m_draining = false;
};

// Milliseconds of a steady clock, for idle and late-answer deadlines.
qint64 KelSteadyMs();
