#include "frmKELTester.h"

#include "LeadingNumber.h"
#include "MessageBox.h"
#include "MivError.h"
#include "modMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>

#include <cmath>

namespace {

// The decimal text of a number as the delay is stored: whole numbers in plain digits (up to
// 15 of them), anything else in its shortest form.
QString DecimalText(double value)
{
    if (std::trunc(value) == value && std::abs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// Rewrites the field as a whole number; an overflow is shown and the field keeps its text.
// The focus may leave either way.
bool NormaliseField(QWidget *window, QLineEdit *field)
{
    try {
        field->setText(QString::number(LeadingLong(field->text())));
    } catch (const MivError &error) {
        ShowMessageBox(window, QString::number(quint32(error.code()), 16).toUpper() + u':'
                                   + error.description());
    }
    return true;
}

} // namespace

void frmKELTester::cmbVTType_Click()
{
    SetCtlEnabled(txtValue, cmbVTType->currentIndex() != 0);
}

bool frmKELTester::txtDelay_Validate()
{
    return NormaliseField(this, txtDelay);
}

bool frmKELTester::txtHRESULT_Validate()
{
    return NormaliseField(this, txtHRESULT);
}

void frmKELTester::cmdSet_Click()
{
    if (cmbVTType->currentText() != QLatin1String("(nothing)")) {
        const QVariant code = cmbVTType->currentData();
        if (cmbVTType->currentIndex() < 0 || !code.isValid())
            throw MivError(MivCode::InvalidArg, QStringLiteral("No reply type is selected"));
        m_strAutoReply = txtHRESULT->text() + u',' + QString::number(code.toInt()) + u','
                         + txtValue->text();
    } else {
        m_strAutoReply = txtHRESULT->text();
    }
    m_strReplyDelay = DecimalText(LeadingNumber(txtDelay->text()));
    AddLog(QStringLiteral("Set\t\t"),
           QStringLiteral("AutoReply\"") + m_strAutoReply + QStringLiteral("\", Delay=") + m_strReplyDelay);
}

void frmKELTester::cmdSetButton_Click()
{
    try {
        cmdSet_Click();
    } catch (const MivError &error) {
        reportFailure(QStringLiteral("Set\t\t"), error.description());
    }
}
