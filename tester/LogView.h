#pragma once

#include "FramePacer.h"

#include <QAbstractItemView>

// A list view for many uniform rows that come fast. Row i lies at i * row height, so laying out,
// hit-testing and scrolling cost the same for 10 lines as for 32,767. The model and the selection
// change at once; the view only catches up (scroll ranges, scrolling to the current row,
// repainting) at most once per screen frame, however many rows arrive in between.
class LogView : public QAbstractItemView
{
    Q_OBJECT
public:
    explicit LogView(QWidget *parent = nullptr);

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    void reset() override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &index) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;

    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

protected slots:
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;

private:
    int rowHeight() const;
    int rowCount() const;
    int firstVisibleRow() const;
    int fullyVisibleRows() const;
    void frame();

    FramePacer m_frame;
    bool m_scrollToCurrent = false;
    mutable int m_rowHeight = 0;
    // The widest row painted since the last reset: measuring every row as it comes would shape
    // every line's text.
    int m_contentWidth = 0;
};
