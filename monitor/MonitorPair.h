#pragma once

#include "MonitorCopyQueue.h"
#include "MonitorFramedCopy.h"
#include "MonitorPairing.h"
#include "MonitorRows.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <memory>

class KelLink;
class KelTransport;
class MonitorStats;
struct KelSettings;

// One host connection and the device connection opened for it. Passes each side's bytes to
// the other as they come, frames a copy of them for display, pairs requests with answers, and
// closes one side when the other has closed, once what it still has to send has gone.
//
// The copy is framed at most kCopyTurnBytes a turn of the event loop: beyond that the bytes
// wait, already passed on, and the other pairs take their turns between; while kCopyQueueBytes
// wait, neither side is read.
class MonitorPair : public QObject
{
    Q_OBJECT
public:
    // Beyond this many bytes queued for a side, the other side is not read: the system's
    // buffers then hold its sender back.
    static constexpr qint64 kForwardQueueBytes = 256 * 1024;
    // A side whose other side closed gets this long to send what is queued for it.
    static constexpr int kCloseLingerMs = 2000;
    // What a pair frames of its copy in one turn: measured against 256 and 2048 under a burst,
    // the other pairs' round trips stay closest to idle here.
    static constexpr qsizetype kCopyTurnBytes = 512;
    static constexpr qsizetype kCopyQueueBytes = 64 * 1024;

    // Answers are waited for as long as the device side's Timeout.
    MonitorPair(quint64 id, KelLink &host, const KelSettings &hostSettings, const KelSettings &deviceSettings,
                MonitorStats &stats, QObject *parent);
    ~MonitorPair() override;

    quint64 id() const { return m_id; }
    const QString &name() const { return m_name; }
    // Takes the open device transport; its link is the device side.
    void setDevice(std::unique_ptr<KelTransport> device);
    KelLink *link(MonitorSide side) const;
    // Whether the link is one of the pair's, and on which side.
    bool has(const KelLink &link) const { return &link == m_host || &link == m_device; }
    MonitorSide sideOf(const KelLink &link) const { return &link == m_host ? MonitorSide::Host : MonitorSide::Device; }
    bool isClosed() const { return m_closed; }
    qint64 queuedBytes() const;

    // Whether bytes read from the link are taken now.
    bool takes(const KelLink &from) const;
    // As much of the copy waits as may: the links are read again once it is framed.
    bool copyFull() const { return m_queued.size() >= kCopyQueueBytes; }
    // The link's bytes are not taken now. One that has ended waits at most kCloseLingerMs for
    // the other side to take the rest of them.
    void stalled(const KelLink &from);
    // Writes the bytes to the other side, then frames their copy, or queues it.
    void pass(KelLink &from, const char *data, qsizetype size);
    // The link has written queued bytes. Returns the other side's link when it was held back
    // and may be read again.
    KelLink *written(KelLink &link);
    // The link has closed: the other side follows.
    void linkClosed(KelLink &link);
    // Closes both sides now, with the reason shown for each that is open.
    void close(const QString &why);

signals:
    void frame(const MonitorFrame &frame);
    void event(const MonitorEvent &event);
    // Both sides have closed.
    void closed(quint64 pair);

private:
    void observe(MonitorSide side, const char *data, qsizetype size, const MivTapTime &at);
    // Frames a turn's worth of the queued copy, and reads on a side that was held back for it.
    void copyTurn();
    // Frames all that is queued: before a close, so that its frames come first.
    void copyAll();
    void scheduleCopy();
    void request(MonitorFrame &row);
    void answer(MonitorFrame &row);
    void giveUp(const MonitorPairing::GivenUp &givenUp, const QString &why);
    void giveUpExpired(std::chrono::steady_clock::time_point at);
    void expire();
    void armExpiry();
    KelLink *other(const KelLink &link) const;
    void closeAfterQueue(KelLink &link, const QString &why);
    void closeNow(KelLink &link);
    void emitEvent(MonitorSide side, MivTapEventKind kind, const QString &peer, const QString &text);
    void checkClosed();

    quint64 m_id;
    QString m_name;
    int m_waitLimitMs;
    QPointer<KelLink> m_host;
    QPointer<KelLink> m_device;
    KelTransport *m_deviceTransport = nullptr; // a child; goes later, after its link's signals
    MonitorFramedCopy m_hostCopy;
    MonitorFramedCopy m_deviceCopy;
    MonitorCopyQueue m_queued;
    bool m_copyScheduled = false;
    MonitorPairing m_pairing;
    MonitorStats &m_stats;
    QTimer m_expiry;
    QTimer m_linger;
    QPointer<KelLink> m_lingering; // closes once its queue is empty
    QString m_closeWhy;            // why this end closes a side
    bool m_closing[2] = {false, false}; // by side: closed from this end
    bool m_closed = false;
};
