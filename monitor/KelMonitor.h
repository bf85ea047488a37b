#pragma once

#include "KelLink.h"
#include "MonitorRows.h"
#include "MonitorSides.h"
#include "MonitorStats.h"

#include <QObject>

#include <map>
#include <memory>

class KelTransport;
class MonitorPair;

// The pass-through monitor: serves hosts on the host side and, for each host connection,
// opens one connection on the device side. Bytes pass both ways unchanged, in order and at
// once, read through the engine's own links in their pass-through mode; a copy of each side is
// framed for display (frame()), requests are paired with answers, and answer times are
// counted per command (stats()). One side closing closes the other.
//
// A serial device side serves one host connection at a time: another is refused as a full
// server refuses it. A serial host side is one pair, opened at start(). Lives on the thread
// that calls start(); its signals must not destroy it.
class KelMonitor : public QObject, private KelLinkSink
{
    Q_OBJECT
public:
    explicit KelMonitor(QObject *parent = nullptr);
    ~KelMonitor() override;

    // Opens the host side, and on a serial host line the device side for it. Throws MivError
    // with the reason; nothing stays open then.
    void start(const QString &hostOption, const QString &deviceOption);
    // Closes every pair and the host side.
    void stop();
    bool isRunning() const { return m_host != nullptr; }

    // The listening address, or the host line's device path.
    QString hostAddress() const;
    const MonitorSides &sides() const { return m_sides; }
    const MonitorStats &stats() const { return m_stats; }
    // The statistics count from now on (they go on across stop() and start() otherwise).
    void resetStats() { m_stats.reset(); }
    qsizetype pairCount() const { return qsizetype(m_pairs.size()); }
    // Bytes queued for either side of every pair.
    qint64 queuedBytes() const;

signals:
    void frame(const MonitorFrame &frame);
    void event(const MonitorEvent &event);
    void pairClosed(quint64 pair);
    // The host side has closed: nothing more comes (a serial host line's pair closed, or
    // stop()).
    void finished();

private:
    void linkOpened(KelLink &link) override;
    void linkReceived(KelLink &, const QList<KelFrameEvent> &) override {}
    void linkInputArrived(KelLink &link) override;
    void linkClosed(KelLink &link) override;
    void transportError(const QString &description) override;
    int framesWanted(const KelLink &link) const override;
    MivTap *linkTap() const override { return nullptr; }
    bool takesBytes() const override { return true; }
    qsizetype linkBytes(KelLink &link, const char *data, qsizetype size) override;
    void linkWritten(KelLink &link) override;

    MonitorPair *addPair(KelLink &host);
    void openDevice(MonitorPair &pair);
    MonitorPair *pairOf(const KelLink &link) const;
    // What the device side connects to: an address or a device path.
    QString deviceTarget() const;
    void pairDone(quint64 id);
    void emitEvent(quint64 pair, MonitorSide side, MivTapEventKind kind, const QString &peer, const QString &text);

    MonitorSides m_sides;
    KelTransport *m_host = nullptr; // a child; goes later, after its links' signals
    std::map<quint64, MonitorPair *> m_pairs; // children, by id
    MonitorStats m_stats;
    quint64 m_lastPair = 0;
    bool m_stopping = false;
};
