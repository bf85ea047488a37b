#pragma once

#include "MivController.h"
#include "MivMessage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>

#include <functional>

// Keeps a copy of every message a controller delivers; waits run the event loop, bounded.
class MessageLog : public QObject
{
    Q_OBJECT
public:
    explicit MessageLog(MivController *controller)
    {
        connect(controller, &MivController::OnMessage, this, &MessageLog::take);
    }

    QList<MivMessage> messages;
    std::function<void(const MivMessage &)> onMessage; // runs inside the slot

    QList<MivMessage> ofKind(qint32 kind) const
    {
        QList<MivMessage> found;
        for (const MivMessage &m : messages) {
            if (m.Kind() == kind)
                found << m;
        }
        return found;
    }
    QStringList valuesOfKind(qint32 kind) const
    {
        QStringList values;
        for (const MivMessage &m : ofKind(kind))
            values << m.Value().bstr();
        return values;
    }
    bool waitForKind(qint32 kind, qsizetype count, int timeoutMs = 3000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (ofKind(kind).size() < count) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        }
        return true;
    }

private slots:
    void take(MivMessage *message)
    {
        messages << *message;
        if (onMessage)
            onMessage(*message);
    }
};

// Runs the event loop for ms milliseconds.
inline void Pump(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, int(qMax<qint64>(1, deadline.remainingTime())));
}
