#include "frmKELTester.h"

#include "LogModel.h"
#include "LogView.h"
#include "VariantTypes.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

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
    m_logModel->append(caption + u'(' + m_timeOfDay.now() + QStringLiteral(") : ") + value);
    // The model and the selection take the line now; the view scrolls and repaints with its
    // next frame.
    lstLog->setCurrentIndex(m_logModel->index(m_logModel->count() - 1));
}

QString frmKELTester::selectedLogLine() const
{
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
    m_logModel->clear();
}
