#include "frmPerfChk.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace {

// A number field's value, or the fallback while its text fails the field's check.
int FieldNumber(const QLineEdit *field, int low, int high, int fallback)
{
    bool ok = false;
    const int value = field->text().toInt(&ok);
    return ok && value >= low && value <= high ? value : fallback;
}

} // namespace

PerfSettings frmPerfChk::settings() const
{
    PerfSettings s;
    s.pattern = m_nPattern;
    s.hours = FieldNumber(txtHour, 0, PerfSettings::kMaxHours, m_startSettings.hours);
    s.minutes = FieldNumber(txtMinute, 0, PerfSettings::kMaxMinutes, m_startSettings.minutes);
    s.count = FieldNumber(txtPatternCount, PerfSettings::kMinCount, PerfSettings::kMaxCount, m_startSettings.count);
    s.mode = m_nReadWrite;
    s.dataCheck = chkDataCheck->isChecked();
    s.valueType = cmbValueType->currentText();
    s.value = txtValue->text();
    s.ignoreError = chkIgnore->isChecked();
    s.outputDebug = chkOutput->isChecked();
    return s;
}

// As a user would set them, so that every enable rule runs; the type before the mode, as at load.
void frmPerfChk::setSettings(const PerfSettings &s)
{
    m_startSettings = s;
    txtHour->setText(QString::number(s.hours));
    txtMinute->setText(QString::number(s.minutes));
    txtPatternCount->setText(QString::number(s.count));
    udPatternCount->setValue(s.count);
    optPattern[s.pattern]->setChecked(true);
    optPattern_Click(s.pattern); // Qt signals nothing for the option already selected
    cmbValueType->setCurrentIndex(cmbValueType->findText(s.valueType));
    cmbValueType_Click();
    txtValue->setText(s.value);
    optReadWrite[s.mode]->setChecked(true);
    optReadWrite_Click(s.mode);
    chkDataCheck->setChecked(s.dataCheck);
    chkIgnore->setChecked(s.ignoreError);
    chkOutput->setChecked(s.outputDebug);
}
