#include "FramePacer.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {
constexpr qreal kFallbackRefreshHz = 60;
constexpr qreal kMsPerSecond = 1000;
} // namespace

FramePacer::FramePacer(QWidget *widget, std::function<void()> work) : m_widget(widget), m_work(std::move(work))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, widget, [this] {
        m_sinceFrame.start();
        m_work();
    });
}

void FramePacer::request()
{
    if (m_timer.isActive())
        return;
    const QScreen *screen = m_widget->screen();
    const qreal hz = screen && screen->refreshRate() > 0 ? screen->refreshRate() : kFallbackRefreshHz;
    const qint64 frameMs = qRound64(kMsPerSecond / hz);
    const qint64 wait = m_sinceFrame.isValid() ? frameMs - m_sinceFrame.elapsed() : 0;
    m_timer.start(int(std::clamp<qint64>(wait, 0, frameMs)));
}
