#include "LogView.h"

#include <QAccessible>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include <algorithm>

namespace {
constexpr int kHorizontalStep = 20;
} // namespace

LogView::LogView(QWidget *parent) : QAbstractItemView(parent), m_frame(this, [this] { frame(); }) {}

int LogView::rowHeight() const
{
    if (m_rowHeight <= 0) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        m_rowHeight = std::max(1, itemDelegate()->sizeHint(option, QModelIndex()).height());
    }
    return m_rowHeight;
}

int LogView::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int LogView::firstVisibleRow() const
{
    return verticalScrollBar()->value();
}

int LogView::fullyVisibleRows() const
{
    return std::max(1, viewport()->height() / rowHeight());
}

QRect LogView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex())
        return {};
    const int width = std::max(m_contentWidth, viewport()->width());
    return QRect(-horizontalOffset(), index.row() * rowHeight() - verticalOffset(), width, rowHeight());
}

void LogView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    updateGeometries(); // the range may still lack the newest rows
    const int row = index.row();
    const int top = firstVisibleRow();
    const int shown = fullyVisibleRows();
    int wanted = top;
    switch (hint) {
    case EnsureVisible:
        if (row < top)
            wanted = row;
        else if (row >= top + shown)
            wanted = row - shown + 1;
        break;
    case PositionAtTop:
        wanted = row;
        break;
    case PositionAtBottom:
        wanted = row - shown + 1;
        break;
    case PositionAtCenter:
        wanted = row - shown / 2;
        break;
    }
    verticalScrollBar()->setValue(wanted);
}

QModelIndex LogView::indexAt(const QPoint &point) const
{
    const int y = point.y() + verticalOffset();
    if (!model() || y < 0)
        return {};
    const int row = y / rowHeight();
    return row < rowCount() ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

QModelIndex LogView::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int rows = rowCount();
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    int next = row;
    switch (action) {
    case MoveUp:
    case MovePrevious:
        next = row - 1;
        break;
    case MoveDown:
    case MoveNext:
        next = current.isValid() ? row + 1 : 0;
        break;
    case MovePageUp:
        next = row - fullyVisibleRows();
        break;
    case MovePageDown:
        next = row + fullyVisibleRows();
        break;
    case MoveHome:
        next = 0;
        break;
    case MoveEnd:
        next = rows - 1;
        break;
    case MoveLeft:
    case MoveRight:
        horizontalScrollBar()->triggerAction(action == MoveLeft ? QAbstractSlider::SliderSingleStepSub
                                                                : QAbstractSlider::SliderSingleStepAdd);
        return current;
    }
    return model()->index(std::clamp(next, 0, rows - 1), 0, rootIndex());
}

int LogView::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int LogView::verticalOffset() const
{
    return verticalScrollBar()->value() * rowHeight();
}

bool LogView::isIndexHidden(const QModelIndex &) const
{
    return false;
}

void LogView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    const QRect area = rect.normalized();
    const int last = rowCount() - 1;
    const int first = std::max(0, (area.top() + verticalOffset()) / rowHeight());
    const int end = std::min(last, (area.bottom() + verticalOffset()) / rowHeight());
    QItemSelection selection;
    if (model() && first <= end && area.bottom() + verticalOffset() >= 0)
        selection.select(model()->index(first, 0, rootIndex()), model()->index(end, 0, rootIndex()));
    selectionModel()->select(selection, command);
}

QRegion LogView::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    for (const QItemSelectionRange &range : selection) {
        if (range.isValid() && range.parent() == rootIndex())
            region += visualRect(range.topLeft()).united(visualRect(range.bottomRight()));
    }
    return region;
}

void LogView::updateGeometries()
{
    const int shown = fullyVisibleRows();
    verticalScrollBar()->setRange(0, std::max(0, rowCount() - shown));
    verticalScrollBar()->setPageStep(shown);
    verticalScrollBar()->setSingleStep(1);
    const int width = viewport()->width();
    horizontalScrollBar()->setRange(0, std::max(0, m_contentWidth - width));
    horizontalScrollBar()->setPageStep(width);
    horizontalScrollBar()->setSingleStep(kHorizontalStep);
    QAbstractItemView::updateGeometries();
}

void LogView::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy * rowHeight());
}

void LogView::paintEvent(QPaintEvent *event)
{
    if (!model())
        return;
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QRect area = event->rect();
    const int first = std::max(0, (area.top() + verticalOffset()) / rowHeight());
    const int last = std::min(rowCount() - 1, (area.bottom() + verticalOffset()) / rowHeight());
    const QModelIndex current = currentIndex();
    const bool focused = hasFocus();
    int widest = m_contentWidth;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        option.rect = visualRect(index);
        option.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        if (selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (focused && index == current)
            option.state |= QStyle::State_HasFocus;
        itemDelegate()->paint(&painter, option, index);
        widest = std::max(widest, itemDelegate()->sizeHint(option, index).width());
    }
    if (widest > m_contentWidth) {
        m_contentWidth = widest;
        m_frame.request();
    }
}

void LogView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_rowHeight = 0;
        m_contentWidth = 0;
        m_frame.request();
    }
    QAbstractItemView::changeEvent(event);
}

void LogView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    m_frame.request();
}

void LogView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
    // Rows going from above keep the lines in view where they are.
    const int top = firstVisibleRow();
    if (start < top)
        verticalScrollBar()->setValue(top - (std::min(end, top - 1) - start + 1));
    m_frame.request();
}

void LogView::reset()
{
    QAbstractItemView::reset();
    m_contentWidth = 0;
    m_frame.request();
}

void LogView::currentChanged(const QModelIndex &current, const QModelIndex &)
{
    // Not the base's: it scrolls and repaints for every change, where one frame covers them all.
    m_scrollToCurrent = current.isValid() && hasAutoScroll();
    if (QAccessible::isActive() && current.isValid() && hasFocus()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(current.row());
        QAccessible::updateAccessibility(&focus);
    }
    m_frame.request();
}

void LogView::selectionChanged(const QItemSelection &selected, const QItemSelection &)
{
    if (QAccessible::isActive() && !selected.isEmpty()) {
        QAccessibleEvent added(this, QAccessible::SelectionAdd);
        added.setChild(selected.first().top());
        QAccessible::updateAccessibility(&added);
    }
    m_frame.request();
}

void LogView::frame()
{
    updateGeometries();
    if (m_scrollToCurrent) {
        m_scrollToCurrent = false;
        scrollTo(currentIndex());
    }
    viewport()->update();
}
