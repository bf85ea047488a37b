#include "frmKELTester.h"

#include "LogModel.h"
#include "VariantTypes.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QTime>
#include <QTimer>

void frmKELTester::AddLog(const QString &caption, const MivVariant &value)
{
    if (!chkLog->isChecked())
        return;
    AddLog(caption, ScalarText(value));
}

void frmKELTester::AddLog(const QString &caption, const QString &value)
{
    if (!chkLog->isChecked())
        return;
    const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    m_logModel->append(caption + u'(' + time + QStringLiteral(") : ") + value);
    // Selecting and scrolling cost a layout of the view: do it once per event-loop pass however
    // many lines arrive in it.
    if (!m_selectPending) {
        m_selectPending = true;
        QTimer::singleShot(0, this, &frmKELTester::selectLastLine);
    }
}

void frmKELTester::selectLastLine()
{
    if (!m_selectPending)
        return;
    m_selectPending = false;
    const int last = m_logModel->count() - 1;
    if (last < 0)
        return;
    const QModelIndex index = m_logModel->index(last);
    lstLog->setCurrentIndex(index);
    lstLog->scrollTo(index);
}

QString frmKELTester::selectedLogLine()
{
    selectLastLine();
    const QModelIndexList selected = lstLog->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : m_logModel->line(selected.first().row());
}

bool frmKELTester::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lstLog && event->type() == QEvent::KeyPress) {
        // The keyboard's way to the same menu, at the current line.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            const QRect line = lstLog->visualRect(lstLog->currentIndex());
            const QPoint at = line.isValid() ? line.center() : QPoint(0, 0);
            lstLog_MouseUp(Qt::RightButton, lstLog->viewport()->mapToGlobal(at));
            return true;
        }
    }
    if (watched == lstLog->viewport()) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick
            || type == QEvent::MouseButtonRelease) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::RightButton) {
                // A right click opens the menu and leaves the selection alone.
                if (type == QEvent::MouseButtonRelease)
                    lstLog_MouseUp(mouse->button(), mouse->globalPosition().toPoint());
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmKELTester::lstLog_MouseUp(Qt::MouseButton button, const QPoint &pos)
{
    if (button != Qt::RightButton)
        return;
    const bool any = m_logModel->count() > 0;
    mnuRightCopy->setEnabled(any);
    mnuRightCopyAll->setEnabled(any);
    mnuRightClear->setEnabled(any);
    mnuRight->popup(pos);
}

void frmKELTester::mnuRightCopy_Click()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(selectedLogLine());
}

void frmKELTester::mnuRightCopyAll_Click()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_logModel->joined());
}

void frmKELTester::mnuRightClear_Click()
{
    m_selectPending = false;
    m_logModel->clear();
}
