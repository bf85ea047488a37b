#pragma once

#include "KelDelivery.h"
#include "KelLink.h"
#include "KelSettings.h"
#include "MivProvider.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <optional>
#include <unordered_map>

class KelTransport;

// The KEL provider of one controller: the KEL texts of requests and answers, its transport,
// synchronous requests, and the delivery of messages from the event loop.
class KelProvider : public MivProvider, private KelLinkSink
{
    Q_OBJECT
public:
    static constexpr const char *kName = "MivProv.KEL";

    // Parses the option string and opens the transport. Throws MivError with the reason.
    explicit KelProvider(const QString &option);
    ~KelProvider() override;

    // Sends and waits (blocking, no event loop) for the next frame from the addressed peer.
    // Frames that were already there go out as messages first; one that comes in time and is
    // not owed to an earlier, timed-out request is the answer (KelRequestState::route). On a
    // timeout the answer stays owed for twice the Timeout, so that when it comes late it is a
    // message and not the answer to the next request.
    QString transact(const QString &request) override;
    QString transact(const QString &request, int timeoutMs) override;
    // Sends as transact() does and returns; the wait runs in the event loop and ends with the
    // answer, the link's closing or a timer, whichever comes first.
    void startTransact(const QString &request, int timeoutMs) override;
    void send(const QString &text) override;
    // Drops unread input, partial frames and queued answers.
    void clear() override;
    // The request is the parameters joined by ':'.
    MivVariant runCommand(const QStringList &parameters, MivExecuteMode::Mode mode) override;
    // GET:name: and a typed answer.
    MivVariant readVariable(const QString &name) override;
    // PUT:name:value text.
    void writeVariable(const QString &name, const MivVariant &value) override;
    QString localAddress() const override;
    QString requestPeer() const override;
    bool isOpen() const override;
    bool canReopen() const override { return m_role != MivLinkRole::Server; }
    // A new transport from the same settings; the old one, whose links have closed, goes
    // later, as one of its links may be on the stack.
    void reopen() override;
    QString reopenPath() const override;
    QString openedTo() const override { return m_openedTo; }

private:
    void linkOpened(KelLink &link) override;
    void linkReceived(KelLink &link, const QList<KelFrameEvent> &events) override;
    void linkInputArrived(KelLink &link) override;
    void linkClosed(KelLink &link) override;
    void transportError(const QString &description) override;
    int framesWanted(const KelLink &link) const override;
    MivTap *linkTap() const override { return tap(); }
    void tapAttached() override;
    void tapEvent(MivTapEventKind kind, const QString &peer, const QString &text, const MivTapTime &at = {}) const;
    // Opened or Closed, of the transport as a whole.
    void tapTransport(MivTapEventKind kind, const QString &text, const MivTapTime &at = {}) const;
    KelLink &requestLink();
    // Tells the listener and the messages of a transport that has just opened.
    void announceOpened();
    // Blocks until the request of startTransact() has its outcome, within its own deadline.
    void waitOutPending();
    // The pending request's outcome as it stands now, told from the event loop.
    void settlePending();

    KelSettings m_settings;
    KelDelivery m_delivery;
    std::unique_ptr<KelTransport> m_transport;
    quint64 m_frameSeq = 0;
    int m_syncCallDepth = 0; // inside a synchronous call: messages wait for the event loop
    QString m_option;
    MivTapTime m_openedAt;
    QString m_openedTo;    // the client's peer, or this end
    MivLinkRole m_role;
    QString m_requestPeer; // of the latest request
    bool m_tapToldOpen = false; // the listener heard Opened, so it hears Closed
    std::unordered_map<quint64, MivTapTime> m_connectedAt; // of the open links, by id, for a late tap
    // The request of startTransact() that waits for its answer.
    struct Pending
    {
        QPointer<KelLink> link;
        QString request;
        int timeoutMs = 0;
        QDeadlineTimer deadline;
    };
    std::optional<Pending> m_pending;
    QTimer m_pendingTimer;
};
