#include "MonitorPane.h"

#include "Controls.h"
#include "KelMonitor.h"
#include "MivError.h"
#include "MonitorPaneRules.h"
#include "MonitorRecording.h"
#include "MonitorRowModel.h"
#include "MonitorStatsText.h"
#include "SessionRecorder.h"
#include "frmConn.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMainWindow>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// Ctrl+Shift and a letter, as the other items of the View menu have.
const QKeySequence kMonitorKey(Qt::CTRL | Qt::SHIFT | Qt::Key_M);
// The statistics follow the answers at most this often.
constexpr int kStatsMs = 200;
constexpr int kTimeWidth = 90;
constexpr int kSideWidth = 60;
constexpr int kKindWidth = 80;
constexpr int kPeerWidth = 140;
constexpr int kTextWidth = 220;
constexpr int kAnswerWidth = 80;
const char *const kRecordingItem = "mnuViewSP1";

} // namespace

MonitorPane::MonitorPane(SessionRecorder &recorder, QWidget *parent)
    : LazyDock(QStringLiteral("Monitor"), parent), m_monitor(std::make_unique<KelMonitor>()), m_model(new MonitorRowModel(this))
{
    setObjectName(QStringLiteral("dckMonitor"));
    // Owned by the recorder: it writes only while the recorder lives.
    new MonitorRecording(*m_monitor, recorder, &recorder);
    m_stats.setSingleShot(true);
    m_stats.setInterval(kStatsMs);
    connect(&m_stats, &QTimer::timeout, this, &MonitorPane::showStats);
    connect(m_monitor.get(), &KelMonitor::frame, this, &MonitorPane::showFrame);
    connect(m_monitor.get(), &KelMonitor::event, this, &MonitorPane::showMonitorEvent);
    connect(m_monitor.get(), &KelMonitor::finished, this, &MonitorPane::updateEnables);
}

MonitorPane::~MonitorPane()
{
    m_monitor->blockSignals(true);
    m_monitor->stop();
}

bool MonitorPane::isRunning() const
{
    return m_monitor->isRunning();
}

QString MonitorPane::hostAddress() const
{
    return m_monitor->hostAddress();
}

void MonitorPane::build()
{
    if (m_view)
        return;
    auto *body = new QWidget(this);
    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);

    auto *sides = new QGridLayout;
    m_host = MakeTextBox(body, "txtMonHost", QStringLiteral("The host side's option string: where the host connects"));
    m_hostSet = MakeButton(body, "cmdMonHostSet", QStringLiteral("Set..."));
    m_device = MakeTextBox(body, "txtMonDevice", QStringLiteral("The device side's option string: how to reach the device"));
    m_deviceSet = MakeButton(body, "cmdMonDeviceSet", QStringLiteral("Set..."));
    sides->addWidget(MakeLabel(body, "lblMonHost", QStringLiteral("Host side")), 0, 0);
    sides->addWidget(m_host, 0, 1);
    sides->addWidget(m_hostSet, 0, 2);
    sides->addWidget(MakeLabel(body, "lblMonDevice", QStringLiteral("Device side")), 1, 0);
    sides->addWidget(m_device, 1, 1);
    sides->addWidget(m_deviceSet, 1, 2);
    column->addLayout(sides);

    auto *bar = new QHBoxLayout;
    m_start = MakeButton(body, "cmdMonStart", QStringLiteral("Start"));
    m_stop = MakeButton(body, "cmdMonStop", QStringLiteral("Stop"));
    m_hex = MakeCheckBox(body, "chkMonHex", QStringLiteral("Bytes in hex"));
    m_status = Named(new QLabel(QStringLiteral("Stopped"), body), "lblMonStatus");
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bar->addWidget(m_start);
    bar->addWidget(m_stop);
    bar->addWidget(m_hex);
    bar->addWidget(m_status, 1);
    column->addLayout(bar);

    auto *rows = new QHBoxLayout;
    m_view = Named(new QTableView(body), "tblMon");
    m_view->setAccessibleName(QStringLiteral("Monitor"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->setShowGrid(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(MonitorRowModel::Time, kTimeWidth);
    m_view->setColumnWidth(MonitorRowModel::Side, kSideWidth);
    m_view->setColumnWidth(MonitorRowModel::Kind, kKindWidth);
    m_view->setColumnWidth(MonitorRowModel::Peer, kPeerWidth);
    m_view->setColumnWidth(MonitorRowModel::Text, kTextWidth);
    m_view->setColumnWidth(MonitorRowModel::AnswerMs, kAnswerWidth);
    m_statsLabel = Named(new QLabel(body), "lblMonStats");
    m_statsLabel->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_statsLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_statsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rows->addWidget(m_view, 1);
    rows->addWidget(m_statsLabel);
    column->addLayout(rows, 1);
    setWidget(body);
    showHex(false);
    showStats();

    connect(m_host, &QLineEdit::textChanged, this, &MonitorPane::updateEnables);
    connect(m_device, &QLineEdit::textChanged, this, &MonitorPane::updateEnables);
    connect(m_hostSet, &QPushButton::clicked, this, [this] { chooseSide(MonitorSide::Host); });
    connect(m_deviceSet, &QPushButton::clicked, this, [this] { chooseSide(MonitorSide::Device); });
    connect(m_start, &QPushButton::clicked, this, &MonitorPane::start);
    connect(m_stop, &QPushButton::clicked, this, &MonitorPane::stop);
    connect(m_hex, &QCheckBox::toggled, this, &MonitorPane::showHex);
    updateEnables();
}

// Each side has a connection dialog of its own (a child of the pane), made when first asked for:
// File > Connect's dialog keeps its settings, and each side keeps what its dialog last accepted.
void MonitorPane::chooseSide(MonitorSide side)
{
    const bool host = side == MonitorSide::Host;
    frmConn *&dialog = host ? m_hostDialog : m_deviceDialog;
    if (!dialog) {
        dialog = new frmConn(this);
        dialog->setObjectName(host ? QStringLiteral("frmConnMonHost") : QStringLiteral("frmConnMonDevice"));
        dialog->setWindowTitle(host ? QStringLiteral("Monitor Host Side") : QStringLiteral("Monitor Device Side"));
        QLineEdit *field = host ? m_host : m_device;
        connect(dialog, &QDialog::finished, this, [dialog, field] {
            if (dialog->isAccepted())
                field->setText(dialog->connectOption());
        });
    }
    dialog->open();
}

void MonitorPane::updateEnables()
{
    if (!m_view)
        return;
    const MonitorPaneEnables enables = MonitorPaneEnablesFor(m_monitor->isRunning(), !m_host->text().trimmed().isEmpty(),
                                                             !m_device->text().trimmed().isEmpty());
    for (QWidget *control : {static_cast<QWidget *>(m_host), static_cast<QWidget *>(m_device),
                             static_cast<QWidget *>(m_hostSet), static_cast<QWidget *>(m_deviceSet)})
        control->setEnabled(enables.sides);
    m_start->setEnabled(enables.start);
    m_stop->setEnabled(enables.stop);
    if (!m_monitor->isRunning() && !m_status->property("error").toBool())
        showStatus(QStringLiteral("Stopped"), false);
}

void MonitorPane::start()
{
    build();
    showStatus({}, false);
    // Each run's statistics are its own.
    m_monitor->resetStats();
    try {
        m_monitor->start(m_host->text().trimmed(), m_device->text().trimmed());
        showStatus(QStringLiteral("Host side on %1").arg(m_monitor->hostAddress()), false);
    } catch (const MivError &e) {
        m_model->add(MonitorRow{MonitorRow::Error, MonitorSide::Host, std::chrono::system_clock::now(), {},
                                e.description(), {}, {}});
        showStatus(e.description(), true);
    }
    updateEnables();
    showStats();
}

void MonitorPane::stop()
{
    m_monitor->stop();
    m_model->publish();
    updateEnables();
    showStats();
}

void MonitorPane::showFrame(const MonitorFrame &frame)
{
    m_model->add(MonitorRowOf(frame));
    if (!m_stats.isActive())
        m_stats.start();
}

void MonitorPane::showMonitorEvent(const MonitorEvent &event)
{
    m_model->add(MonitorRowOf(event));
    if (event.kind == MivTapEventKind::Error && m_view)
        showStatus(QStringLiteral("%1 side: %2").arg(QLatin1StringView(MonitorSideName(event.side)), event.text), true);
}

void MonitorPane::showStatus(const QString &text, bool error)
{
    if (!m_status)
        return;
    m_status->setText(text);
    m_status->setProperty("error", error);
    m_status->setStyleSheet(error ? QStringLiteral("color: red") : QString());
}

void MonitorPane::showStats()
{
    m_stats.stop();
    if (m_statsLabel)
        m_statsLabel->setText(MonitorStatsText(m_monitor->stats()));
}

void MonitorPane::showHex(bool on)
{
    m_view->setColumnHidden(MonitorRowModel::Hex, !on);
}

MonitorPane *AddMonitorPane(QMainWindow *window, QMenu *viewMenu, SessionRecorder &recorder)
{
    auto *pane = new MonitorPane(recorder, window);
    DockHidden(window, pane, viewMenu, "mnuViewMonitor", QStringLiteral("&Monitor"), kMonitorKey,
               kRecordingItem);
    return pane;
}
