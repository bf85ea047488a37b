#include "frmKELTester.h"

#include "Captions.h"
#include "LeadingNumber.h"
#include "MessageBox.h"
#include "MivError.h"
#include "ReplyText.h"
#include "TesterSession.h"
#include "modMain.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

// Rewrites the field as a whole number; an overflow is shown and the field keeps its text.
// The focus may leave either way.
bool NormaliseField(QWidget *window, QLineEdit *field)
{
    try {
        field->setText(QString::number(LeadingInt32(field->text())));
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
    std::optional<qint32> typeCode;
    if (cmbVTType->currentText() != QLatin1String("(nothing)")) {
        const QVariant code = cmbVTType->currentData();
        if (cmbVTType->currentIndex() < 0 || !code.isValid())
            throw MivError(MivCode::InvalidArg, QStringLiteral("No reply type is selected"));
        typeCode = code.toInt();
    }
    m_session->SetReply(ReplyText(txtHRESULT->text(), typeCode, txtValue->text()),
                        ReplyDelayText(txtDelay->text()));
}

void frmKELTester::cmdSetButton_Click()
{
    try {
        cmdSet_Click();
    } catch (const MivError &error) {
        reportFailure(LogCaption::Set, error.description());
    }
}
