#pragma once

#include <QString>
#include <QStringList>

// The element list of an array's value text: elements separated by commas, an element that
// is empty or holds a comma, a double quote or an outer blank written in double quotes with
// its quotes doubled.
namespace ValueText {

QString quoteElement(const QString &element);

// The element texts, unquoted; the empty text is the empty list. Throws a type mismatch that
// names arrayType for a quote that is not closed or is followed by more than blanks.
QStringList splitElements(QStringView valuePart, quint16 arrayType);

} // namespace ValueText
