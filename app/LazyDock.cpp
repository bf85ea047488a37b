#include "LazyDock.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>

void LazyDock::setVisible(bool visible)
{
    if (visible)
        build();
    QDockWidget::setVisible(visible);
}

QAction *DockHidden(QMainWindow *window, QDockWidget *pane, QMenu *viewMenu, QAnyStringView name,
                    const QString &caption, const QKeySequence &key, QAnyStringView before)
{
    window->addDockWidget(Qt::BottomDockWidgetArea, pane);
    pane->hide();
    QAction *item = pane->toggleViewAction();
    item->setObjectName(name.toString());
    item->setText(caption);
    item->setShortcut(key);
    if (!viewMenu)
        return item;
    QAction *next = nullptr;
    if (!before.isEmpty()) {
        for (QAction *action : viewMenu->actions()) {
            if (action->objectName() == before)
                next = action;
        }
    }
    viewMenu->insertAction(next, item);
    return item;
}
