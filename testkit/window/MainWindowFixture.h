#pragma once

#include "ConnectDialog.h"
#include "ShownWindow.h"
#include "frmKELTester.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

// A log line taken apart: its caption (tabs kept) and its value; the time is dropped.
struct LogEntry
{
    QString caption;
    QString value;
    friend bool operator==(const LogEntry &, const LogEntry &) = default;
};

// The main window for one test, with its log read back as entries. Disconnects before it goes.
class MainWindowFixture : public ShownWindow<frmKELTester>
{
public:
    ~MainWindowFixture();

    // Through the dialog as a user would; true when the window then holds a controller.
    bool connect(const ConnChoice &settings);
    // "TOP|field0|field1|field2|field3" into the Request panel.
    void fillRequest(const QString &request) const;
    // The Reply panel's fields by type list index, then Set.
    void setAutoReply(const QString &hresult, int typeIndex, const QString &value, const QString &delay);

    QList<LogEntry> log(int fromRow = 0) const;
    int logCount() const;
    QString describeLog(int fromRow = 0) const; // for failure messages
    QString status() const { return window->statusText(); }
    // The port the window's server listens on, when it was connected with port 0.
    quint16 serverPort() const;
};

// The base of the main-window tests: a fresh fixture for every test function. A test with more
// to prepare calls these from its own init() and cleanup().
class MainWindowTest : public QObject
{
    Q_OBJECT
protected slots:
    void init();
    void cleanup() { m_ui.reset(); }

protected:
    MainWindowFixture &fixture() { return *m_ui; }

private:
    std::optional<MainWindowFixture> m_ui;
};
