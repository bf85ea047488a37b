#pragma once

#include "MivCollection.h"
#include "MivCommand.h"
#include "MivMessage.h"
#include "MivVariable.h"

#include <QObject>

#include <memory>

class MivProvider;
class MivTap;

// A connection to one peer through a provider. Created by MivWorkspace::AddController, which
// opens the transport; destroyed by Controllers().Remove, which closes it. After removal no
// further OnMessage is emitted.
class MivController : public QObject
{
    Q_OBJECT
public:
    MivController(qint32 index, QString name, std::unique_ptr<MivProvider> provider);
    ~MivController() override;

    qint32 Index() const { return m_index; }
    QString Name() const { return m_name; }

    // "Send" with a text parameter: sends it, answers arrive as messages.
    // "Clear": drops buffered input and queued answers. Anything else is refused.
    MivVariant Execute(const QString &command, const MivVariant &parameter = {});

    MivCommand *AddCommand(const QString &name, const QString &option);
    MivCollection<MivCommand> &Commands() { return m_commands; }

    MivVariable *AddVariable(const QString &name, const QString &option);
    MivCollection<MivVariable> &Variables() { return m_variables; }

    // One synchronous request as the provider's raw text, and its answer text, under the
    // rules of Execute(0).
    QString transact(const QString &request);
    // The same with a wait of its own (a test plan's timeout) instead of the connection's.
    QString transact(const QString &request, int timeoutMs);
    // The same without blocking: the outcome comes as transactDone() from the event loop, so a
    // window stays answering while a device is silent. timeoutMs 0: the connection's Timeout.
    void startTransact(const QString &request, int timeoutMs = 0);

    // Where this end is: "ip:port" of the listening server or the bound client socket, or the
    // serial device path. Lets tests find a port the system chose.
    QString localAddress() const;
    // The peer that requests go to (MivProvider::requestPeer).
    QString requestPeer() const;

    // The connection carries requests now (MivProvider::isOpen).
    bool isOpen() const;
    // Opens a lost client or serial connection again with the same options; commands,
    // variables and the listener stay. Throws MivError with the reason.
    void Reopen();

    MivProvider &provider() const { return *m_provider; }
    // Whoever watches this controller's frames and events; nullptr stops it. The listener must
    // outlive the controller or be taken off first.
    void setTap(MivTap *tap);

signals:
    void OnMessage(MivMessage *message);
    // code 0 and the answer, or the error's code and description (MivProvider::transactDone).
    void transactDone(const QString &answer, qint32 code, const QString &description);

private:
    qint32 m_index;
    QString m_name;
    std::unique_ptr<MivProvider> m_provider;
    MivCollection<MivCommand> m_commands;
    MivCollection<MivVariable> m_variables;
};
