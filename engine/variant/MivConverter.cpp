#include "MivConverter.h"

#include "ValueTextArray.h"
#include "ValueTextDate.h"
#include "ValueTextError.h"
#include "ValueTextNumbers.h"

#include <algorithm>
#include <limits>

using namespace ValueText;

namespace {

// Room for a type code and its comma.
constexpr qsizetype kMaxCodeText = 8;
// A type code has at most five digits (0xFFFF).
constexpr qsizetype kMaxCodeDigits = 5;

bool isElementType(quint16 type)
{
    return (type >= VT_I2 && type <= VT_BSTR) || type == VT_BOOL || type == VT_VARIANT || type == VT_UI1;
}

// The value text of a number, currency value, date or Boolean, into a kMaxNumberText buffer.
char *writeNumber(char *to, const MivVariant &value)
{
    switch (value.type()) {
    case VT_I2:
        return writeInteger(to, value.i2());
    case VT_I4:
        return writeInteger(to, value.i4());
    case VT_UI1:
        return writeInteger(to, value.ui1());
    case VT_R4:
        return writeReal(to, value.r4());
    case VT_R8:
        return writeReal(to, value.r8());
    case VT_CY:
        return writeCurrency(to, value.cy());
    case VT_DATE:
        return writeDate(to, value.date());
    case VT_BOOL:
        return writeBool(to, value.boolean());
    }
    throw mismatchAbout(QStringLiteral("%1 has no value text").arg(MivTypeName(value.type())));
}

// Appends ASCII from a char buffer, then tail: one resize, and for texts this short a plain
// loop is quicker than the general Latin-1 conversion.
void appendAscii(QString &text, const char *from, const char *to, QStringView tail = {})
{
    const qsizetype old = text.size();
    text.resize(old + (to - from) + tail.size());
    char16_t *const w = std::copy(from, to, reinterpret_cast<char16_t *>(text.data()) + old);
    std::copy(tail.utf16(), tail.utf16() + tail.size(), w);
}

QString scalarText(const MivVariant &value)
{
    if (value.type() == VT_BSTR)
        return value.bstr();
    char buffer[kMaxNumberText];
    return QString::fromLatin1(buffer, writeNumber(buffer, value) - buffer);
}

MivVariant readScalar(quint16 type, QStringView text)
{
    switch (type) {
    case VT_I2:
        return MivVariant(qint16(readInteger(text, type, std::numeric_limits<qint16>::min(),
                                             std::numeric_limits<qint16>::max())));
    case VT_I4:
        return MivVariant(qint32(readInteger(text, type, std::numeric_limits<qint32>::min(),
                                             std::numeric_limits<qint32>::max())));
    case VT_UI1:
        return MivVariant(quint8(readInteger(text, type, 0, 255)));
    case VT_R4:
        return MivVariant(readR4(text));
    case VT_R8:
        return MivVariant(readR8(text));
    case VT_CY:
        return MivVariant(readCurrency(text));
    case VT_DATE:
        return MivVariant(readDate(text));
    case VT_BSTR:
        return MivVariant(text.toString());
    case VT_BOOL:
        return MivVariant(readBool(text));
    }
    throw mismatch(text, type);
}

// Element faults keep the element's own description and say where in the array it sits.
MivError atElement(const MivError &error, qsizetype index, quint16 arrayType)
{
    return MivError(error.code(), QStringLiteral("%1 (element %2 of %3)")
                                      .arg(error.description())
                                      .arg(index + 1)
                                      .arg(MivTypeName(arrayType)));
}

// The type code before the first comma: decimal digits with blanks around, or -1.
qint32 readCode(QStringView codeText)
{
    const QStringView t = withoutBlanks(codeText);
    if (t.isEmpty() || t.size() > kMaxCodeDigits)
        return -1;
    qint32 code = 0;
    for (QChar c : t) {
        if (c < u'0' || c > u'9')
            return -1;
        code = code * 10 + (c.unicode() - u'0');
    }
    return code <= 0xFFFF ? code : -1;
}

} // namespace

QString MivConverter::ValueToText(const MivVariant &value, qint32 flags) const
{
    QString text;
    if (value.type() == VT_BSTR)
        text.reserve(kMaxCodeText + value.bstr().size());
    AppendValueText(text, value, flags);
    return text;
}

void MivConverter::AppendValueText(QString &text, const MivVariant &value, qint32) const
{
    const quint16 type = value.type();
    // The code, a comma and a number's text are written into one buffer and copied once.
    char buffer[kMaxNumberText + kMaxCodeText];
    char *const afterCode = writeInteger(buffer, type);
    if (type == VT_EMPTY || type == VT_NULL) {
        appendAscii(text, buffer, afterCode);
        return;
    }
    *afterCode = ',';
    if (!value.isArray()) {
        if (type == VT_BSTR)
            appendAscii(text, buffer, afterCode + 1, value.bstr());
        else
            appendAscii(text, buffer, writeNumber(afterCode + 1, value));
        return;
    }
    const qsizetype before = text.size();
    try {
        text.append(QLatin1StringView(buffer, afterCode));
        const MivArray &array = value.array();
        for (const MivVariant &element : array.elements) {
            text += u',';
            text += quoteElement(array.elementType == VT_VARIANT ? ValueToText(element) : scalarText(element));
        }
    } catch (...) {
        text.truncate(before);
        throw;
    }
}

MivVariant MivConverter::TextToValue(const QString &text) const
{
    const QStringView all(text);
    // The code is short: a plain scan finds its comma sooner than a vectorised search, and
    // reads a code of plain digits on the way; anything else is read again with blanks allowed.
    qsizetype comma = 0;
    quint32 digits = 0;
    bool plain = true;
    for (; comma < all.size() && all[comma] != u','; ++comma) {
        const char16_t c = all[comma].unicode();
        plain = plain && c >= u'0' && c <= u'9';
        digits = digits * 10 + (c - u'0');
    }
    plain = plain && comma > 0 && comma <= kMaxCodeDigits && digits <= 0xFFFF;
    const qint32 code = plain ? qint32(digits) : readCode(all.first(comma));
    if (comma == all.size())
        comma = -1;
    const QStringView valuePart = comma < 0 ? QStringView() : all.sliced(comma + 1);
    if (code < 0)
        throw mismatchAbout(QStringLiteral("'%1' does not start with a type code").arg(shown(text)));
    const auto type = quint16(code);
    if (type == VT_EMPTY || type == VT_NULL) {
        if (!withoutBlanks(valuePart).isEmpty())
            throw mismatch(valuePart, type, QStringLiteral("it takes no value"));
        return type == VT_NULL ? MivVariant::null() : MivVariant();
    }
    if (type == VT_VARIANT)
        throw mismatchAbout(QStringLiteral("VT_VARIANT is only an array element type, in '%1'").arg(shown(text)));
    if (isElementType(type))
        return readScalar(type, valuePart);
    const quint16 elementType = type & ~quint16(VT_ARRAY);
    if (!(type & VT_ARRAY) || !isElementType(elementType))
        throw mismatchAbout(QStringLiteral("unknown type %1 in '%2'").arg(MivTypeName(type), shown(text)));

    MivArray array{elementType, {}};
    const QStringList elements = splitElements(valuePart, type);
    array.elements.reserve(elements.size());
    for (qsizetype i = 0; i < elements.size(); ++i) {
        try {
            array.elements.append(elementType == VT_VARIANT ? TextToValue(elements[i])
                                                            : readScalar(elementType, elements[i]));
        } catch (const MivError &error) {
            throw atElement(error, i, type);
        }
    }
    return MivVariant(std::move(array));
}
