#pragma once

#include "ConnSettings.h"
#include "MivController.h"
#include "RoleRules.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class MivMessage;
class MivVariable;
class TesterOutput;

// A variable added to the connected controller for a performance check. The controller may go
// while the variable is in use; its variables go with it.
struct SessionVariable
{
    QPointer<MivController> owner;
    qint32 index = 0;
};

// The tester's connection without its window: the controller and the settings it was opened
// with, the role, the automatic reply, and what happens on Send, Clear and each message.
// Everything runs on the thread that owns the controller; what it shows goes to its output.
class TesterSession : public QObject
{
    Q_OBJECT
public:
    explicit TesterSession(TesterOutput &output, QObject *parent = nullptr);
    ~TesterSession() override;

    // The connected controller, or none. Assigning subscribes to its OnMessage, clearing
    // unsubscribes; the settings stay as they are.
    MivController *mivCtrl() const;
    void setMivCtrl(MivController *controller);
    bool isOpen() const { return !m_mivCtrl.isNull(); }
    // The connected controller; MivError "No controller is connected" without one.
    MivController &connectedController() const;
    // The settings of the last Open, and so the role (a ConnType) while open.
    const ConnSettings &settings() const { return m_settings; }
    int role() const { return m_settings.connType; }

    // Adds a controller for the settings and keeps both; returns what the role turns on.
    // Throws MivError; any controller held before must have been removed.
    RolePanels Open(const ConnSettings &settings);
    // Removes the controller from the engine, logging the outcome; passes a failure on.
    void RemoveController();

    // The parameters are the top command and the four fields.
    void Send(const QStringList &parameters);
    void Clear();
    // Stores and logs the automatic reply and its delay.
    void SetReply(const QString &autoReply, const QString &replyDelay);
    void m_mivCtrl_OnMessage(MivMessage *pIMivMess); // TesterSessionMessages.cpp

    SessionVariable AddVariable(const QString &name); // throws MivError
    static MivVariable *Variable(const SessionVariable &variable);
    void RemoveVariable(const SessionVariable &variable);

    // 1 after opening as a client, 0 as a server; kept after the controller goes.
    qint32 m_lClient = 0;
    QString m_strAutoReply, m_strReplyDelay;

signals:
    // The controller came or went (null); the role is settings().connType.
    void controllerChanged(MivController *controller);

private:
    void LogAnswer(MivMessage &message);
    void ReplyTo(MivMessage &message);

    TesterOutput &m_output;
    QPointer<MivController> m_mivCtrl;
    ConnSettings m_settings;
};
