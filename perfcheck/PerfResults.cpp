#include "frmPerfChk.h"

#include "MessageBox.h"
#include "TimeStamp.h"
#include "modAPI.h"

#include <QTreeWidget>

QString TimeStampText(const modAPI::SYSTEMTIME &time)
{
    return QString::asprintf("%02u/%02u %02u:%02u:%02u.%03u", unsigned(time.wMonth),
                             unsigned(time.wDay), unsigned(time.wHour), unsigned(time.wMinute),
                             unsigned(time.wSecond), unsigned(time.wMilliseconds));
}

namespace {

QString FailureMessage(qint32 resultCode)
{
    switch (resultCode) {
    case 1:
        return QStringLiteral("'IMivVariable->put_Value' is failed.");
    case 2:
        return QStringLiteral("'IMivVariable->get_Value' is failed.");
    default:
        return QStringLiteral("Write data and read data are different.");
    }
}

} // namespace

void frmPerfChk::AddStartRow(const QString &timeStamp)
{
    auto *row = new QTreeWidgetItem(lvResult, {QStringLiteral("START"), timeStamp, QStringLiteral(" ")});
    row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    lvResult->scrollToItem(row);
}

QTreeWidgetItem *frmPerfChk::AddEndRow()
{
    auto *row = new QTreeWidgetItem(lvResult);
    row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    return row;
}

void frmPerfChk::FillEndRow(QTreeWidgetItem *row, qint32 resultCode, const QString &timeStamp,
                            quint32 elapsed)
{
    row->setText(0, resultCode == 0 ? QStringLiteral("END") : QStringLiteral("ERROR"));
    // Once the window has been closed nobody is there to read the box.
    if (resultCode != 0 && !m_bUnloaded)
        ShowMessageBox(this, FailureMessage(resultCode));
    row->setText(1, timeStamp);
    row->setText(2, QString::number(elapsed));
    lvResult->scrollToItem(row);
}

void frmPerfChk::WriteDebugLine(const QString &text)
{
    modAPI::OutputDebugStringA(text.toLocal8Bit());
}
