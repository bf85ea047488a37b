#include "MonitorRowModel.h"

#include "TrafficText.h"

#include <QBrush>

namespace {

constexpr double kNsPerMs = 1e6;
constexpr int kAnswerDecimals = 2;

MonitorRow::Kind RowKind(MonitorFrame::Role role)
{
    switch (role) {
    case MonitorFrame::Request: return MonitorRow::Request;
    case MonitorFrame::Answer: return MonitorRow::Answer;
    case MonitorFrame::Stray: return MonitorRow::Stray;
    case MonitorFrame::Error: break;
    }
    return MonitorRow::Error;
}

MonitorRow::Kind RowKind(MivTapEventKind kind)
{
    switch (kind) {
    case MivTapEventKind::Opened: return MonitorRow::Opened;
    case MivTapEventKind::Connected: return MonitorRow::Connected;
    case MivTapEventKind::Disconnected: return MonitorRow::Disconnected;
    case MivTapEventKind::Closed: return MonitorRow::Closed;
    case MivTapEventKind::Reconnecting: return MonitorRow::Reconnecting;
    case MivTapEventKind::Error: break;
    }
    return MonitorRow::Error;
}

QString KindText(MonitorRow::Kind kind)
{
    static const char *const kNames[] = {"request", "answer", "stray", "error", "opened", "connected", "disconnected",
                                         "closed", "reconnecting"};
    return QLatin1StringView(kNames[kind]);
}

} // namespace

MonitorRow MonitorRowOf(const MonitorFrame &frame)
{
    return MonitorRow{RowKind(frame.role), frame.side, frame.at.wall, frame.peer, frame.text, frame.wire,
                      frame.answerTime};
}

MonitorRow MonitorRowOf(const MonitorEvent &event)
{
    return MonitorRow{RowKind(event.kind), event.side, event.at.wall, event.peer, event.text, {}, {}};
}

int MonitorRowModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MonitorRowModel::data(const QModelIndex &index, int role) const
{
    const MonitorRow *found = rowAt(index);
    if (!found)
        return {};
    const MonitorRow &row = *found;
    if (role == Qt::ForegroundRole)
        return row.kind == MonitorRow::Error ? QVariant(QBrush(Qt::red)) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Time: return TrafficTimeText(row.wall);
    case Side: return QLatin1StringView(MonitorSideName(row.side));
    case Kind: return KindText(row.kind);
    case Peer: return row.peer;
    case Text: return EscapedText(row.text);
    case AnswerMs:
        return row.answerTime ? QString::number(double(row.answerTime->count()) / kNsPerMs, 'f', kAnswerDecimals)
                              : QString();
    case Hex: return HexText(row.wire);
    default: return {};
    }
}

QVariant MonitorRowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Time: return QStringLiteral("Time");
    case Side: return QStringLiteral("Side");
    case Kind: return QStringLiteral("What");
    case Peer: return QStringLiteral("Peer");
    case Text: return QStringLiteral("Text");
    case AnswerMs: return QStringLiteral("Answer ms");
    case Hex: return QStringLiteral("Bytes");
    default: return {};
    }
}
