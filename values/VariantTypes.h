#pragma once

#include "MivVariant.h"

#include <QString>

class QComboBox;

// The long name of a type code given as text ("8" gives "VT_BSTR", "8200" gives
// "VT_ARRAY | VT_BSTR"); the code is read as the leading number, rounded half to even.
// Unknown codes give "(unknown)"; a code outside 32 bits throws MivError 6 "Overflow".
QString VTName(const QString &typeCode);

// The plain text of a scalar value, as log lines show it: numbers in decimal, text unchanged,
// Empty as "". Null and arrays have no text form: MivError 13 "Type mismatch".
QString ScalarText(const MivVariant &value);

// The reply type list: 23 entries with their item values (Qt::UserRole), index 0 selected.
void FillVTTypeList(QComboBox *combo);

// The short type list: emptied, then 22 entries, index 10 ("BSTR") selected.
void FillShortTypeList(QComboBox *combo);

// Type code of a short type list index, or -1.
qint16 TypeCodeOfIndex(qint16 index);

// A value of the short type list's type at typeIndex from the text the user typed, through
// g_mivConverter. An index without a type gives Empty without calling the converter.
MivVariant MakeValue(const QString &valueText, qint32 typeIndex);
