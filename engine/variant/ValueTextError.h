#pragma once

#include "MivError.h"

#include <QString>
#include <QStringView>

// The converter's two kinds of refusal, worded the same way everywhere.
namespace ValueText {

// "Type mismatch: 'abc' is not a VT_I4 value", with an optional note in parentheses.
MivError mismatch(QStringView text, quint16 type, const QString &note = QString());

// "Type mismatch: <what>", for faults that are not about one type's value.
MivError mismatchAbout(const QString &what);

// "Overflow: 70000 does not fit VT_I2".
MivError overflow(QStringView text, quint16 type);

// The text as it appears in a description: long texts are cut so a message stays readable.
QString shown(QStringView text);

} // namespace ValueText
