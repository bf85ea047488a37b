#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class frmKELTester;
class PeerProcess;

// Shared steps of the messaging tests: connecting through the real dialog, reading the log
// back as (caption, value) pairs, watching message boxes and waiting on a peer process while
// the window's event loop keeps running.
namespace Messaging {

enum ConnType { ComClient = 0, ComServer = 1, EtherClient = 2, EtherServer = 3 };

struct ConnSettings
{
    ConnType type = EtherClient;
    QString ip = QStringLiteral("127.0.0.1");
    quint16 port = 0;
    int comPort = 1;
    bool sync = true; // applied only where the dialog lets the box be changed
    int timeoutMs = 1000;
    int connMax = 10;
};

// Opens File > Connect, fills the dialog and presses OK while its exec() runs.
// True when the window then holds a controller.
bool ConnectThroughDialog(frmKELTester &window, const ConnSettings &settings);

// The Reply panel's fields, then Set.
void SetAutoReply(frmKELTester &window, const QString &hresult, int typeIndex, const QString &value,
                  const QString &delay);

struct LogEntry
{
    QString caption;
    QString value;
    friend bool operator==(const LogEntry &, const LogEntry &) = default;
};
QList<LogEntry> LogEntries(const frmKELTester &window, int fromRow = 0);
int LogCount(const frmKELTester &window);
QString Describe(const QList<LogEntry> &entries); // for failure messages

// The port the window's server listens on (it was connected with port 0).
quint16 ServerPort(const frmKELTester &window);

// Option strings for kelpeer.
QString EtherServerOption(quint16 port, int timeoutMs = 500);
QString EtherClientOption(quint16 port, int timeoutMs = 2000);
QString ComOption(int comPort, int timeoutMs = 2000);

// Waits with the event loop running (the window must handle messages meanwhile).
bool WaitFor(const std::function<bool()> &done, int timeoutMs);
bool WaitForAnswers(PeerProcess &peer, int count, int timeoutMs);
bool WaitForExit(PeerProcess &peer, int timeoutMs);

// Records every message box text while alive; no box is ever shown.
class MessageBoxSpy
{
public:
    MessageBoxSpy();
    ~MessageBoxSpy();
    MessageBoxSpy(const MessageBoxSpy &) = delete;
    MessageBoxSpy &operator=(const MessageBoxSpy &) = delete;

    QStringList texts() const;
    void clear();
};

} // namespace Messaging
