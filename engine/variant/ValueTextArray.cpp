#include "ValueTextArray.h"

#include "ValueTextError.h"

namespace ValueText {

namespace {

bool needsQuotes(const QString &element)
{
    return element.isEmpty() || element.front().isSpace() || element.back().isSpace()
           || element.contains(u',') || element.contains(u'"');
}

} // namespace

QString quoteElement(const QString &element)
{
    if (!needsQuotes(element))
        return element;
    QString quoted = element;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QStringList splitElements(QStringView valuePart, quint16 arrayType)
{
    QStringList elements;
    if (valuePart.isEmpty())
        return elements;
    const qsizetype n = valuePart.size();
    qsizetype pos = 0;
    while (true) {
        qsizetype first = pos;
        while (first < n && valuePart[first].isSpace())
            ++first;
        if (first < n && valuePart[first] == u'"') {
            QString element;
            qsizetype i = first + 1;
            bool closed = false;
            while (i < n) {
                if (valuePart[i] == u'"') {
                    if (i + 1 < n && valuePart[i + 1] == u'"') {
                        element += u'"';
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                element += valuePart[i++];
            }
            while (closed && i < n && valuePart[i].isSpace())
                ++i;
            if (!closed || (i < n && valuePart[i] != u','))
                throw mismatch(valuePart, arrayType,
                               closed ? QStringLiteral("text after a closing quote")
                                      : QStringLiteral("a quote is not closed"));
            elements.append(element);
            pos = i;
        } else {
            qsizetype comma = valuePart.indexOf(u',', pos);
            if (comma < 0)
                comma = n;
            elements.append(valuePart.sliced(pos, comma - pos).toString());
            pos = comma;
        }
        if (pos == n)
            return elements;
        ++pos; // the comma
    }
}

} // namespace ValueText
