#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

class QWidget;

// Runs a widget's catch-up work at most once per screen frame, however often it is asked for:
// after a quiet frame on the next event-loop pass, otherwise when the current frame is over.
class FramePacer
{
public:
    FramePacer(QWidget *widget, std::function<void()> work);

    void request();

private:
    QWidget *m_widget;
    std::function<void()> m_work;
    QTimer m_timer;
    QElapsedTimer m_sinceFrame;
};
