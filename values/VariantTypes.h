#pragma once

#include "MivVariant.h"

#include <QList>
#include <QString>
#include <QStringList>

// The long name of a type code given as text ("8" gives "VT_BSTR", "8200" gives
// "VT_ARRAY | VT_BSTR"); the code is read as the leading number, rounded half to even.
// Unknown codes give "(unknown)"; a code outside 32 bits throws MivError 6 "Overflow".
QString VTName(const QString &typeCode);

// The plain text of a scalar value, as log lines show it: numbers in decimal, text unchanged,
// Empty as "". Null and arrays have no text form: MivError 13 "Type mismatch".
QString ScalarText(const MivVariant &value);

// The reply type list: 23 entries, each with the type code it stands for (999 "(nothing)",
// 998 "(unknown)").
struct TypeListEntry
{
    QString text;
    qint32 value;
};
QList<TypeListEntry> VTTypeList();

// The short type list's 22 texts; a new list selects "BSTR", and "(Unkown)" has no type.
QStringList ShortTypeList();
constexpr int kShortBstrIndex = 10;
constexpr int kShortUnknownIndex = 21;

// Type code of a short type list index, or -1.
qint16 TypeCodeOfIndex(qint16 index);

// A value of the short type list's type at typeIndex from the text the user typed, through
// g_mivConverter. An index without a type gives Empty without calling the converter.
MivVariant MakeValue(const QString &valueText, qint32 typeIndex);
