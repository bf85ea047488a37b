#include "TrafficMonitor.h"

#include "Controls.h"
#include "MessageBox.h"
#include "MivController.h"
#include "MivReconnector.h"
#include "RecentFolder.h"
#include "TapRecord.h"
#include "TrafficModel.h"
#include "TrafficPane.h"
#include "TrafficText.h"

#include <QAbstractItemModel>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

namespace {

// Ctrl+Shift and a letter, as the menus beyond the described ones have: the described window
// takes no Ctrl keys, and the letters left (P, M, ...) serve panes still to come.
const QKeySequence kTrafficKey(Qt::CTRL | Qt::SHIFT | Qt::Key_T);
const QKeySequence kRecordKey(Qt::CTRL | Qt::SHIFT | Qt::Key_R);
const QKeySequence kStopRecordKey(Qt::CTRL | Qt::SHIFT | Qt::Key_S);

TrafficRow::Kind RowKind(MivTapEventKind kind)
{
    switch (kind) {
    case MivTapEventKind::Opened: return TrafficRow::Opened;
    case MivTapEventKind::Connected: return TrafficRow::Connected;
    case MivTapEventKind::Disconnected: return TrafficRow::Disconnected;
    case MivTapEventKind::Closed: return TrafficRow::Closed;
    case MivTapEventKind::Reconnecting: return TrafficRow::Reconnecting;
    case MivTapEventKind::Error: break;
    }
    return TrafficRow::Error;
}

LinkRole RecordRole(MivLinkRole role)
{
    switch (role) {
    case MivLinkRole::Client: return LinkRole::Client;
    case MivLinkRole::Server: return LinkRole::Server;
    case MivLinkRole::Serial: return LinkRole::Serial;
    case MivLinkRole::None: break;
    }
    return LinkRole::None;
}

bool IsTransportEvent(MivTapEventKind kind)
{
    return kind == MivTapEventKind::Opened || kind == MivTapEventKind::Closed;
}

} // namespace

TrafficMonitor::TrafficMonitor(QMainWindow *window, QAction *menuBefore)
    : QObject(window), m_window(window), m_model(new TrafficModel(this)), m_pane(new TrafficPane(m_model, window))
{
    m_menu = NameMenu(new QMenu(QStringLiteral("&View"), window), "mnuView");
    window->menuBar()->insertMenu(menuBefore, m_menu);
    QAction *traffic =
        DockHidden(window, m_pane, m_menu, "mnuViewTraffic", QStringLiteral("&Traffic"), kTrafficKey);
    MakeSeparator(m_menu, "mnuViewSP1");
    m_record = MakeAction(m_menu, "mnuViewRecord", QStringLiteral("&Record Session..."));
    m_record->setShortcut(kRecordKey);
    m_stop = MakeAction(m_menu, "mnuViewStopRecord", QStringLiteral("&Stop Recording"));
    m_stop->setShortcut(kStopRecordKey);
    m_stop->setEnabled(false);

    m_recordingLabel = Named(new QLabel(window->statusBar()), "lblRecording");
    window->statusBar()->addPermanentWidget(m_recordingLabel);
    m_recordingLabel->hide();

    connect(traffic, &QAction::toggled, this, &TrafficMonitor::updateTap);
    connect(m_pane, &QDockWidget::visibilityChanged, this, &TrafficMonitor::updateTap);
    connect(m_record, &QAction::triggered, this, &TrafficMonitor::askAndRecord);
    connect(m_stop, &QAction::triggered, this, &TrafficMonitor::stopRecording);
    connect(&m_recorder, &SessionRecorder::recordingChanged, this, &TrafficMonitor::recordingChanged);
    // The failure may come from within a synchronous wait: the box waits for the event loop.
    connect(&m_recorder, &SessionRecorder::failed, this,
            [this](const QString &description) { ShowMessageBox(m_window, description); }, Qt::QueuedConnection);
}

TrafficMonitor::~TrafficMonitor()
{
    setController(nullptr);
}

void TrafficMonitor::setController(MivController *controller)
{
    if (m_controller && m_tapped)
        m_controller->setTap(nullptr);
    m_tapped = false;
    m_paneTold = false;
    m_recordTold = false;
    m_paneHeardUntil.reset();
    m_controller = controller;
    updateTap();
}

bool TrafficMonitor::paneOpen() const
{
    return !m_pane->isHidden();
}

void TrafficMonitor::updateTap()
{
    const bool open = paneOpen();
    if (open != m_paneShown)
        paneShown(open);
    const bool pane = m_controller && open;
    const bool record = m_controller && isRecording();
    if (!pane && !record) {
        if (m_tapped && m_controller)
            m_controller->setTap(nullptr);
        m_tapped = false;
    } else if (!m_tapped || (pane && !m_paneTold) || (record && !m_recordTold)) {
        // Whoever listens anew first hears what is open.
        m_tellPane = pane && !m_paneTold;
        m_tellRecord = record && !m_recordTold;
        m_announcing = true;
        m_controller->setTap(this);
        m_announcing = false;
        m_tapped = true;
    }
    m_paneTold = pane;
    m_recordTold = record;
}

void TrafficMonitor::paneShown(bool shown)
{
    m_paneShown = shown;
    const MivTapTime now;
    if (!shown) {
        if (m_paneTold)
            m_paneHeardUntil = now.steady;
        m_paneHiddenAt = now;
        return;
    }
    m_paneShownAt = now;
    if (m_paneHiddenAt)
        m_model->add(TrafficRow{TrafficRow::Gap, now.wall, {}, GapText(m_paneHiddenAt->wall, now.wall), {}});
}

void TrafficMonitor::watchLog(QAbstractItemModel *log)
{
    connect(log, &QAbstractItemModel::rowsInserted, this, [this, log](const QModelIndex &, int first, int last) {
        if (!isRecording())
            return;
        for (int row = first; row <= last; ++row)
            m_recorder.addLog(log->index(row, 0).data().toString());
    });
}

void TrafficMonitor::tapFrame(const MivTapFrame &frame)
{
    if (paneOpen())
        m_model->add(TrafficRow{frame.incoming ? TrafficRow::In : TrafficRow::Out, frame.at.wall, frame.peer,
                                frame.text, frame.wire});
    if (isRecording())
        m_recorder.addFrame(RecordedFrame{frame.incoming ? FrameDirection::In : FrameDirection::Out, frame.peer,
                                          frame.text, frame.wire, frame.at.steady, frame.at.wall});
}

void TrafficMonitor::tapEvent(const MivTapEvent &event)
{
    if (paneOpen() && (!m_announcing || m_tellPane))
        showEvent(event);
    if (isRecording() && (!m_announcing || m_tellRecord))
        recordEvent(event);
}

void TrafficMonitor::showEvent(const MivTapEvent &event)
{
    TrafficRow row{RowKind(event.kind), event.at.wall, event.peer, event.text, {}};
    if (IsTransportEvent(event.kind))
        row.peer = OpenedPeerText(event.target, event.peer);
    if (event.kind == MivTapEventKind::Reconnecting)
        row.text = MivReconnector::describe(event.attempt, event.text);
    if (m_announcing && event.at.steady < m_paneShownAt.steady) {
        if (m_paneHeardUntil && event.at.steady <= *m_paneHeardUntil)
            return; // the pane shows it already
        row.wall = m_paneShownAt.wall;
        row.text = OpenSinceText(event.at.wall);
    }
    m_model->add(std::move(row));
}

void TrafficMonitor::recordEvent(const MivTapEvent &event)
{
    RecordedEvent record{RecordedKind(event.kind), event.peer, event.text, event.at.steady, event.at.wall,
                         RecordRole(event.role), {}};
    record.attempt = event.attempt;
    if (IsTransportEvent(event.kind) && !event.target.isEmpty()) {
        record.peer = event.target;
        record.local = event.peer;
    }
    if (m_announcing && event.at.steady < m_recorder.startedSteady()) {
        record.text = OpenSinceText(event.at.wall);
        record.steady = m_recorder.startedSteady();
        record.wall = m_recorder.startedWall();
    }
    m_recorder.addEvent(record);
}

void TrafficMonitor::addFailure(const QString &description)
{
    tapEvent(MivTapEvent{MivTapEventKind::Error, m_controller ? m_controller->requestPeer() : QString(), description,
                         MivTapTime(), {}, MivLinkRole::None});
}

void TrafficMonitor::addPerf(const RecordedPerf &perf)
{
    m_recorder.addPerf(perf);
}

void TrafficMonitor::addPlan(const RecordedPlan &plan)
{
    m_recorder.addPlan(plan);
}

void TrafficMonitor::askAndRecord()
{
    QFileDialog dialog(m_window, QStringLiteral("Record Session"));
    dialog.setObjectName(QStringLiteral("dlgRecordSession"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("JSON Lines (*.jsonl)"), QStringLiteral("All files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("jsonl"));
    if (!RecentFolder().isEmpty())
        dialog.setDirectory(RecentFolder());
    dialog.selectFile(QStringLiteral("session.jsonl"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    NoteRecentFile(dialog.selectedFiles().constFirst());
    startRecording(dialog.selectedFiles().constFirst());
}

bool TrafficMonitor::startRecording(const QString &path)
{
    if (m_recorder.start(path))
        return true;
    ShowMessageBox(m_window, m_recorder.errorString());
    return false;
}

void TrafficMonitor::stopRecording()
{
    m_recorder.stop();
}

void TrafficMonitor::recordingChanged(bool recording)
{
    m_record->setEnabled(!recording);
    m_stop->setEnabled(recording);
    m_recordingLabel->setText(recording ? QStringLiteral("Recording to %1").arg(QFileInfo(m_recorder.path()).fileName())
                                        : QString());
    m_recordingLabel->setToolTip(recording ? m_recorder.path() : QString());
    m_recordingLabel->setVisible(recording);
    updateTap();
}
