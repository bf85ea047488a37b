#include "TrafficPane.h"

#include "Controls.h"
#include "TrafficModel.h"
#include "TrafficText.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kTimeWidth = 90;
constexpr int kKindWidth = 90;
constexpr int kPeerWidth = 140;
constexpr int kTextWidth = 260;
} // namespace

TrafficPane::TrafficPane(TrafficModel *model, QWidget *parent)
    : LazyDock(QStringLiteral("Traffic"), parent), m_model(model)
{
    setObjectName(QStringLiteral("dckTraffic"));
}

void TrafficPane::build()
{
    if (m_view)
        return;
    auto *body = new QWidget(this);
    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);

    auto *bar = new QHBoxLayout;
    m_hex = MakeCheckBox(body, "chkTrafficHex", QStringLiteral("Bytes in hex"));
    m_copy = MakeButton(body, "cmdTrafficCopy", QStringLiteral("Copy"));
    m_clear = MakeButton(body, "cmdTrafficClear", QStringLiteral("Clear"));
    bar->addWidget(m_hex);
    bar->addStretch(1);
    bar->addWidget(m_copy);
    bar->addWidget(m_clear);
    column->addLayout(bar);

    m_view = Named(new QTableView(body), "lvTraffic");
    m_view->setAccessibleName(QStringLiteral("Traffic"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->setShowGrid(false);
    m_view->verticalHeader()->hide();
    // Rows of one height: laying out does not ask every row for its size.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(TrafficModel::Time, kTimeWidth);
    m_view->setColumnWidth(TrafficModel::Kind, kKindWidth);
    m_view->setColumnWidth(TrafficModel::Peer, kPeerWidth);
    m_view->setColumnWidth(TrafficModel::Text, kTextWidth);
    column->addWidget(m_view, 1);
    setWidget(body);
    showHex(false);

    // Whole rows, as Copy gives them, rather than the view's copy of one cell.
    auto *copyRows = new QAction(m_view);
    copyRows->setShortcut(QKeySequence::Copy);
    copyRows->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(copyRows);
    connect(copyRows, &QAction::triggered, this, &TrafficPane::copy);
    auto *selectAll = new QAction(m_view);
    selectAll->setShortcut(QKeySequence::SelectAll);
    selectAll->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(selectAll);
    connect(selectAll, &QAction::triggered, m_view, &QTableView::selectAll);

    connect(m_hex, &QCheckBox::toggled, this, &TrafficPane::showHex);
    connect(m_copy, &QPushButton::clicked, this, &TrafficPane::copy);
    connect(m_clear, &QPushButton::clicked, this, &TrafficPane::clear);
    QScrollBar *scroll = m_view->verticalScrollBar();
    connect(scroll, &QScrollBar::valueChanged, this, [this, scroll](int value) {
        m_atEnd = value >= scroll->maximum();
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_atEnd && !m_followPending) {
            m_followPending = true;
            QTimer::singleShot(0, this, &TrafficPane::follow);
        }
    });
}

void TrafficPane::follow()
{
    m_followPending = false;
    m_view->scrollToBottom();
    m_atEnd = true;
}

void TrafficPane::showHex(bool on)
{
    m_view->setColumnHidden(TrafficModel::Hex, !on);
}

QString TrafficPane::copyText()
{
    build();
    // Every row with a selected cell, whether or not its hidden columns count as selected.
    QList<int> rows;
    for (const QModelIndex &index : m_view->selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.isEmpty()) {
        for (int row = 0; row < m_model->rowCount(); ++row)
            rows << row;
    }
    QString text;
    for (int row : rows)
        text += TrafficLine(m_model->row(row), m_hex->isChecked()) + QLatin1String("\r\n");
    return text;
}

void TrafficPane::copy()
{
    m_model->publish();
    QGuiApplication::clipboard()->setText(copyText());
}

void TrafficPane::clear()
{
    m_model->clear();
}
