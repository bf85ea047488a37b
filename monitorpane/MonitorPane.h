#pragma once

#include "LazyDock.h"
#include "MonitorRows.h"

#include <QTimer>

#include <memory>

class KelMonitor;
class MonitorRowModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPushButton;
class QTableView;
class SessionRecorder;
class frmConn;

// The Monitor pane: a pass-through monitor between a real host and a real device, beside the
// tester's own connection. Its two sides are option strings, each set in a connection dialog of
// its own (the connection dialog of File > Connect keeps its settings). Rows as in the Traffic
// pane with their side, the bytes in hex on demand, the answer times per command; the session
// recording records it. Its controls are made when it is first shown.
class MonitorPane : public LazyDock
{
    Q_OBJECT
public:
    MonitorPane(SessionRecorder &recorder, QWidget *parent);
    ~MonitorPane() override;

    bool isRunning() const;
    // Where the host side listens (empty while stopped).
    QString hostAddress() const;
    MonitorRowModel *model() const { return m_model; }

    void start();
    void stop();

private:
    void build() override;
    void chooseSide(MonitorSide side);
    void updateEnables();
    void showFrame(const MonitorFrame &frame);
    void showMonitorEvent(const MonitorEvent &event);
    void showStatus(const QString &text, bool error);
    void showStats();
    void showHex(bool on);

    std::unique_ptr<KelMonitor> m_monitor;
    MonitorRowModel *m_model;
    QTimer m_stats;
    frmConn *m_hostDialog = nullptr;
    frmConn *m_deviceDialog = nullptr;
    QLineEdit *m_host = nullptr;
    QLineEdit *m_device = nullptr;
    QPushButton *m_hostSet = nullptr;
    QPushButton *m_deviceSet = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QCheckBox *m_hex = nullptr;
    QLabel *m_status = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_statsLabel = nullptr;
};

// View > Monitor: the pane as a dock of the window, hidden at start, its menu item before the
// recording's items of the View menu.
MonitorPane *AddMonitorPane(QMainWindow *window, QMenu *viewMenu, SessionRecorder &recorder);
