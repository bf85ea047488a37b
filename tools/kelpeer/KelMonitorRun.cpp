#include "KelMonitorRun.h"

#include "KelMonitor.h"
#include "KelMonitorSummary.h"
#include "KelPeerText.h"
#include "MivError.h"
#include "MivReconnector.h"
#include "MonitorRecording.h"
#include "SessionRecorder.h"

#include <chrono>

namespace {

constexpr double kNsPerMs = 1e6;
constexpr int kAnswerDecimals = 2;

} // namespace

KelMonitorRun::KelMonitorRun(KelPeerConfig config, QObject *parent)
    : QObject(parent), m_config(std::move(config)), m_monitor(std::make_unique<KelMonitor>()),
      m_recorder(std::make_unique<SessionRecorder>())
{
    connect(m_monitor.get(), &KelMonitor::frame, this, &KelMonitorRun::showFrame);
    connect(m_monitor.get(), &KelMonitor::event, this, &KelMonitorRun::showEvent);
    connect(m_monitor.get(), &KelMonitor::finished, this, &KelMonitorRun::hostGone);
    m_reopenTimer.setSingleShot(true);
    connect(&m_reopenTimer, &QTimer::timeout, this, &KelMonitorRun::reopen);
}

KelMonitorRun::~KelMonitorRun() = default;

void KelMonitorRun::start()
{
    if (!m_config.recordPath.isEmpty()) {
        if (!m_recorder->start(m_config.recordPath, QLatin1StringView(MonitorRecording::kVia)))
            throw MivError(MivCode::Fail, m_recorder->errorString());
        new MonitorRecording(*m_monitor, *m_recorder, this);
    }
    m_monitor->start(m_config.option, m_config.monitorOption);
    m_started = true;
    m_hostAddress = m_monitor->hostAddress();
    emit output(QStringLiteral("ready ") + m_hostAddress);
}

void KelMonitorRun::stop()
{
    if (!m_started)
        return;
    m_started = false;
    m_reopenTimer.stop();
    m_monitor->stop();
    m_recorder->stop();
    for (const QString &line : KelMonitorSummary(m_monitor->stats()).split(u'\n', Qt::SkipEmptyParts))
        emit output(line);
}

void KelMonitorRun::showFrame(const MonitorFrame &frame)
{
    switch (frame.role) {
    case MonitorFrame::Request:
        emit output(StampedLine(QStringLiteral("> ") + frame.text));
        break;
    case MonitorFrame::Answer:
        // One pass of arg(): a "%1" in the answer's text stays as it is. Untimed: past the
        // pairing's depth.
        emit output(StampedLine(frame.answerTime
                                    ? QStringLiteral("< %1 (%2 ms)")
                                          .arg(frame.text, QString::number(double(frame.answerTime->count()) / kNsPerMs,
                                                                           'f', kAnswerDecimals))
                                    : QStringLiteral("< ") + frame.text));
        break;
    case MonitorFrame::Stray:
        emit output(StampedLine(QStringLiteral("~ ") + frame.text));
        break;
    case MonitorFrame::Error:
        emit failure(QStringLiteral("kelpeer: %1 side: %2").arg(QLatin1StringView(MonitorSideName(frame.side)), frame.text));
        break;
    }
}

void KelMonitorRun::showEvent(const MonitorEvent &event)
{
    const QString side = QLatin1StringView(MonitorSideName(event.side));
    switch (event.kind) {
    case MivTapEventKind::Connected:
        emit output(StampedLine(QStringLiteral("connected %1 %2").arg(side, event.peer)));
        break;
    case MivTapEventKind::Disconnected:
        emit output(StampedLine(QStringLiteral("disconnected %1 %2: %3").arg(side, event.peer, event.text)));
        break;
    case MivTapEventKind::Error:
        emit failure(QStringLiteral("kelpeer: %1 side: %2").arg(side, event.text));
        break;
    case MivTapEventKind::Reconnecting:
        emit failure(QStringLiteral("kelpeer: %1 side: %2").arg(side, MivReconnector::describe(event.attempt, event.text)));
        break;
    case MivTapEventKind::Opened:
    case MivTapEventKind::Closed:
        break;
    }
}

// A serial host line is the monitor's one pair: when it has gone there is nothing to serve.
void KelMonitorRun::hostGone()
{
    if (!m_started)
        return;
    emit failure(QStringLiteral("kelpeer: the host line has gone"));
    if (m_config.reconnect) {
        m_reopenTries = 0;
        m_reopenReason = QStringLiteral("the host line has gone");
        m_reopenTimer.start(MivReconnector::backOffMs(0));
        return;
    }
    stop();
    QMetaObject::invokeMethod(this, [this] { emit finished(KelPeerExit::Failure); }, Qt::QueuedConnection);
}

void KelMonitorRun::reopen()
{
    if (!m_started)
        return;
    ++m_reopenTries;
    emit failure(QStringLiteral("kelpeer: reconnecting to %1: %2")
                     .arg(m_hostAddress, MivReconnector::describe(m_reopenTries, m_reopenReason)));
    try {
        m_monitor->start(m_config.option, m_config.monitorOption);
    } catch (const MivError &e) {
        m_reopenReason = e.description();
        m_reopenTimer.start(MivReconnector::backOffMs(m_reopenTries));
        return;
    }
    emit failure(QStringLiteral("kelpeer: reopened ") + m_monitor->hostAddress());
}
