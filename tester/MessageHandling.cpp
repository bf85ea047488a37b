#include "frmKELTester.h"

#include "LeadingNumber.h"
#include "MessageBox.h"
#include "MivController.h"
#include "MivConverter.h"
#include "MivError.h"
#include "VariantTypes.h"
#include "frmConn.h"
#include "modAPI.h"
#include "modMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRegularExpression>
#include <QtNumeric>

namespace {

// The runtime's own codes for the two ways a received answer cannot be taken apart.
constexpr qint32 kSubscriptOutOfRange = 9;
constexpr qint32 kTypeMismatch = 13;

// A type code field is a number only when the whole field, blanks around it aside, is a plain
// decimal number: "3", " -1.5e2 ". Anything else ("x", "3x", "&H3", "") is a type mismatch.
double StrictNumber(const QString &text)
{
    static const QRegularExpression decimal(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    if (!decimal.match(text).hasMatch())
        throw MivError(kTypeMismatch, QStringLiteral("Type mismatch"));
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok && qIsInf(number))
        throw MivError(MivCode::BasicOverflow, QStringLiteral("Overflow"));
    return number;
}

// "hresult[,type,value]" as "HRESULT=h[, Type=name, Value=v]".
QString InterpretedAnswer(const QString &text)
{
    if (text.isEmpty())
        throw MivError(kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    const qsizetype first = text.indexOf(u',');
    const QString hresult = QStringLiteral("HRESULT=") + text.left(first);
    if (first < 0)
        return hresult;
    const qsizetype second = text.indexOf(u',', first + 1);
    const QString type = text.mid(first + 1, second < 0 ? -1 : second - first - 1);
    if (StrictNumber(type) == 0)
        return hresult;
    if (second < 0)
        throw MivError(kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    return hresult + QStringLiteral(", Type=") + VTName(type) + QStringLiteral(", Value=")
        + text.mid(second + 1);
}

} // namespace

void frmKELTester::m_mivCtrl_OnMessage(MivMessage *pIMivMess)
{
    bool replying = false;
    QString failure;
    try {
        SetStatus(QStringLiteral("Receiving..."));
        const qint32 kind = pIMivMess->Kind();
        if (kind == 3 || kind == 4)
            return;
        if (kind != 2) {
            if (m_lClient == 1) {
                if ((chkInterp->checkState() & chkLog->checkState()) != 0)
                    AddLog(QStringLiteral("[ Receive ]\t"), InterpretedAnswer(ScalarText(pIMivMess->Value())));
                else
                    AddLog(QStringLiteral("[ Receive ]\t"), pIMivMess->Value());
            } else {
                replying = true;
                AddLog(QStringLiteral("[ Receive ]\t"), pIMivMess->Value());

                // A negative delay waits not at all.
                const double delay = LeadingNumber(m_strReplyDelay);
                if (delay != 0) {
                    const qint32 milliseconds = RoundToLong(delay);
                    if (milliseconds > 0)
                        modAPI::Sleep(quint32(milliseconds));
                }

                const MivVariant reply(m_strAutoReply);
                if (frmConn::instance()->cmbConnType->currentIndex() == 1) {
                    MivController *controller = mivCtrl();
                    if (!controller)
                        throw MivError(MivCode::NotConnected, QStringLiteral("No controller is connected"));
                    controller->Execute(QStringLiteral("Send"), reply);
                } else {
                    pIMivMess->Reply(reply);
                }
                AddLog(QStringLiteral("[ Reply ]\t\t"), m_strAutoReply);
            }
            SetStatus(QStringLiteral("Ready."));
            return;
        }
    } catch (const MivError &error) {
        failure = error.description();
    }
    AddLog(replying ? QStringLiteral("[ Reply ]\t\t") : QStringLiteral("[ Receive ]\t"),
           QStringLiteral("Failed"));
    ShowMessageBox(this, failure);
    SetStatus(QStringLiteral("Ready."));
}
