#pragma once

#include "ConnSettings.h"
#include "MivController.h"
#include "MivReconnector.h"
#include "MivTap.h"
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
    // Removes the controller from the engine, logging the outcome; passes a failure on. A
    // line that went and waits to be reopened is let go instead, and with nothing connected
    // the tries for such a line stop and it is closed, with no line logged.
    void RemoveController();

    // Reconnect Automatically (off at start). Off: tries under way stop at once and the line
    // they were for is closed.
    void setReconnect(bool on);
    bool reconnects() const { return m_reconnector.isEnabled(); }
    // A line that went is being opened again.
    bool isReopening() const { return !m_lost.isNull(); }
    // Reconnect is on and the line is away: gone (maybe not yet told) or being opened again.
    bool lineAway() const;
    // What the reopened connection's role turns on; it is the connected controller by now.
    RolePanels reopenedPanels() const { return PanelsFor(m_settings); }

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
    // The controller whose traffic shows: the connected one, or a line being opened again.
    void linkChanged(MivController *controller);
    // With reconnect on, the line went: the window runs its disconnect flow, after which the
    // tries begin.
    void lineLost(const QString &reason);
    // The line is open again and connected: the window shows it as a Connect does.
    void lineReopened();
    // An outage is over: the line to peer was away from since for lengthMs.
    void outageEnded(const QString &peer, const MivTapTime &since, qint64 lengthMs);

private:
    void LogAnswer(MivMessage &message);
    // TesterSessionReconnect.cpp
    void LineWent(const QString &address);
    void Reopened();
    void DropLost();
    void updateLink();

    void ReplyTo(MivMessage &message);

    TesterOutput &m_output;
    QPointer<MivController> m_mivCtrl;
    ConnSettings m_settings;
    MivReconnector m_reconnector;
    QPointer<MivController> m_lost; // a line that went, kept with its variables for reopening
    MivTapTime m_lostAt;
    // As linkChanged told it; only compared, as it may have gone since.
    const MivController *m_link = nullptr;
};
