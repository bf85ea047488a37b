#pragma once

#include <QDockWidget>
#include <QKeySequence>

class QMainWindow;
class QMenu;

// A pane of the main window that makes its contents when first shown: the window starts sooner,
// and a pane nobody opens costs nothing.
class LazyDock : public QDockWidget
{
public:
    using QDockWidget::QDockWidget;
    void setVisible(bool visible) override;

protected:
    // Makes the contents; called on every show, so it returns at once once they exist.
    virtual void build() = 0;
};

// Docks the pane at the window's bottom, hidden, and puts its show/hide item (named, with its
// caption and key) into the View menu, if there is one, before the item named `before` (at the
// end when none is).
QAction *DockHidden(QMainWindow *window, QDockWidget *pane, QMenu *viewMenu, QAnyStringView name,
                    const QString &caption, const QKeySequence &key, QAnyStringView before = {});
