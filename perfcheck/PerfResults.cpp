#include "frmPerfChk.h"

#include "MessageBox.h"
#include "modAPI.h"

#include <QTreeWidget>

namespace {

QString FailureMessage(qint32 resultCode)
{
    switch (resultCode) {
    case ResultWrite:
        return QStringLiteral("'IMivVariable->put_Value' is failed.");
    case ResultRead:
        return QStringLiteral("'IMivVariable->get_Value' is failed.");
    default:
        return QStringLiteral("Write data and read data are different.");
    }
}

} // namespace

void frmPerfChk::AddStartRow(const QString &timeStamp)
{
    auto *row = new QTreeWidgetItem(lvResult, {QStringLiteral("START"), timeStamp, QStringLiteral(" ")});
    row->setTextAlignment(kElapsedColumn, Qt::AlignRight | Qt::AlignVCenter);
    lvResult->scrollToItem(row);
}

QTreeWidgetItem *frmPerfChk::AddEndRow()
{
    auto *row = new QTreeWidgetItem(lvResult);
    row->setTextAlignment(kElapsedColumn, Qt::AlignRight | Qt::AlignVCenter);
    return row;
}

void frmPerfChk::FillEndRow(QTreeWidgetItem *row, qint32 resultCode, const QString &timeStamp,
                            quint32 elapsed)
{
    row->setText(kActionColumn, EndAction(resultCode));
    // Once the window has been closed nobody is there to read the box.
    if (resultCode != ResultNone && !m_bUnloaded)
        ShowMessageBox(this, FailureMessage(resultCode));
    row->setText(kTimeColumn, timeStamp);
    row->setText(kElapsedColumn, QString::number(elapsed));
    lvResult->scrollToItem(row);
}

void frmPerfChk::WriteDebugLine(const QString &text)
{
    modAPI::OutputDebugStringA(text.toLocal8Bit());
}
