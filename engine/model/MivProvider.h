#pragma once

#include "MivError.h"
#include "MivMessage.h"
#include "MivTap.h"
#include "MivVariant.h"

#include <QObject>
#include <QStringList>

// How MivCommand.Execute runs its request.
namespace MivExecuteMode {
enum Mode : qint32 {
    Wait = 0,     // send and wait for the answer; Result then holds it
    SendOnly = 1, // send; the answer arrives as a message
};
} // namespace MivExecuteMode

// What the object model asks of a provider; it knows no provider's wire texts. Every call
// throws MivError on failure. Messages from the peer come through message(), from the event
// loop of the thread that created the provider.
class MivProvider : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // One synchronous request: sends it and returns the answer text.
    virtual QString transact(const QString &request) = 0;
    // The same, waiting at most timeoutMs instead of the connection's Timeout.
    virtual QString transact(const QString &request, int timeoutMs) = 0;
    // One request whose wait is left to the event loop: sends it and returns. Its outcome comes
    // once, from the event loop, as transactDone(). A request made meanwhile, waiting or not,
    // first waits out this one. Throws MivError when it cannot be sent.
    virtual void startTransact(const QString &, int)
    {
        throw MivError(MivCode::NotImpl, QStringLiteral("This connection has no requests that wait in the event loop"));
    }
    // Sends without waiting; answers arrive as messages.
    virtual void send(const QString &text) = 0;
    // Drops buffered input and the answers waiting for delivery.
    virtual void clear() = 0;
    // A command's parameters, run in the given mode; the result (Empty for SendOnly).
    virtual MivVariant runCommand(const QStringList &parameters, MivExecuteMode::Mode mode) = 0;
    virtual MivVariant readVariable(const QString &name) = 0;
    virtual void writeVariable(const QString &name, const MivVariant &value) = 0;
    // Where this end is, for logs and tests: an address or a device path.
    virtual QString localAddress() const = 0;
    // The peer that requests go to now or, when none is open, the one the latest went to;
    // empty when there is neither. Names the link a failure concerns.
    virtual QString requestPeer() const { return {}; }

    // Whether the connection carries requests now: a client or serial line whose peer went
    // does not; a server does while it listens.
    virtual bool isOpen() const { return true; }
    // Whether reopen() can bring a lost connection back (a client or a serial line).
    virtual bool canReopen() const { return false; }
    // Opens the connection again with the same options, when it is not open. Throws MivError
    // with the reason when it cannot open now.
    virtual void reopen() { throw MivError(MivCode::NotImpl, QStringLiteral("This connection cannot be reopened")); }
    // Where the connection opened to: a client's peer, a server's or serial line's own address.
    virtual QString openedTo() const { return localAddress(); }
    // A device path that must exist before reopen() can succeed, or empty.
    virtual QString reopenPath() const { return {}; }

    // Whoever watches the traffic (none: nullptr, and then nothing is spent on it).
    void setTap(MivTap *tap)
    {
        m_tap = tap;
        if (tap)
            tapAttached();
    }
    MivTap *tap() const { return m_tap; }
    // Tells the listener, if any, of an event that is not the provider's own (a reconnect try).
    void tapNotice(const MivTapEvent &event) const
    {
        if (m_tap)
            m_tap->tapEvent(event);
    }

signals:
    void message(MivMessage *message);
    // The outcome of startTransact(): code 0 and the answer, or the code and description of the
    // error the synchronous request would have thrown (a timeout, the connection closed).
    void transactDone(const QString &answer, qint32 code, const QString &description);

protected:
    // Tells a new listener what is open already.
    virtual void tapAttached() {}

private:
    MivTap *m_tap = nullptr;
};
