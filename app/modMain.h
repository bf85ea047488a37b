#pragma once

#include <QString>

class QWidget;
class QLineEdit;

// The application's title: the caption of every message box.
inline const QString kAppTitle = QStringLiteral("KEL Tester");

// True when the text is not empty and holds only the ASCII digits 0-9.
bool IsAllDigits(const QString &text);

// True when the text holds an ASCII digit and is a plain decimal number (blanks around, sign,
// fraction, exponent) inside the signed 32-bit range after rounding; the text is then rewritten
// as that whole number (ties to even). Otherwise, also when the number has no 32-bit whole
// form, the result is false and the text is left as it was.
bool IsNumberText(QString &text);

void SelectAllText(QLineEdit *textBox);

// Enabled: window background and window text colours; disabled: button face and grey text.
// Properties a kind of control lacks are skipped.
void SetCtlEnabled(QWidget *control, bool enabled);

// Text box: enabled, background and read-only lock; button or combo box: enabled only;
// any other control: nothing.
void SetCtlEditable(QWidget *control, bool editable);
