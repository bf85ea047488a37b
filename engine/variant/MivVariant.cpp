#include "MivVariant.h"

#include "ValueTextError.h"
#include "ValueTextNumbers.h"

#include <bit>
#include <cmath>

namespace {

const char *elementName(quint16 type)
{
    switch (type) {
    case VT_EMPTY: return "VT_EMPTY";
    case VT_NULL: return "VT_NULL";
    case VT_I2: return "VT_I2";
    case VT_I4: return "VT_I4";
    case VT_R4: return "VT_R4";
    case VT_R8: return "VT_R8";
    case VT_CY: return "VT_CY";
    case VT_DATE: return "VT_DATE";
    case VT_BSTR: return "VT_BSTR";
    case VT_BOOL: return "VT_BOOL";
    case VT_VARIANT: return "VT_VARIANT";
    case VT_UI1: return "VT_UI1";
    }
    return nullptr;
}

bool isArrayElementType(quint16 type)
{
    return type != VT_EMPTY && type != VT_NULL && elementName(type) != nullptr;
}

// Floating values are identical when their bits are; every NaN is the same value here, since
// the value text has a single spelling for it.
template <typename F>
bool identical(F a, F b)
{
    if (std::isnan(a) && std::isnan(b))
        return true;
    return std::bit_cast<std::conditional_t<sizeof(F) == 4, quint32, quint64>>(a)
           == std::bit_cast<std::conditional_t<sizeof(F) == 4, quint32, quint64>>(b);
}

// Integers, Booleans and currency compare exactly as ten-thousandths; doubles would round
// large currency values.
bool isExactNumber(quint16 type)
{
    return type == VT_I2 || type == VT_I4 || type == VT_UI1 || type == VT_BOOL || type == VT_CY;
}

qint64 tenThousandths(const MivVariant &v)
{
    switch (v.type()) {
    case VT_I2: return qint64(v.i2()) * 10000;
    case VT_I4: return qint64(v.i4()) * 10000;
    case VT_UI1: return qint64(v.ui1()) * 10000;
    case VT_BOOL: return v.boolean() ? -10000 : 0;
    }
    return v.cy().scaled;
}

bool numbersDiffer(double a, double b)
{
    if (std::isnan(a) && std::isnan(b))
        return false;
    return a != b;
}

bool numbersDiffer(const MivVariant &a, const MivVariant &b)
{
    if (isExactNumber(a.type()) && isExactNumber(b.type()))
        return tenThousandths(a) != tenThousandths(b);
    return numbersDiffer(a.number(), b.number());
}

// A numeric string is taken as a value of the number's own type where that is exact.
bool stringDiffersFromNumber(const QString &text, const MivVariant &number)
{
    const std::optional<double> value = ValueText::numberOfText(text);
    if (!value)
        return true;
    if (number.type() == VT_R4)
        return numbersDiffer(double(float(*value)), double(number.r4()));
    if (isExactNumber(number.type())) {
        try {
            return ValueText::readCurrency(text).scaled != tenThousandths(number);
        } catch (const MivError &) {
            // Exponent forms and texts beyond the currency range compare as doubles.
        }
    }
    return numbersDiffer(*value, number.number());
}

} // namespace

MivVariant::MivVariant(MivArray v)
{
    if (!isArrayElementType(v.elementType))
        throw ValueText::mismatchAbout(
            QStringLiteral("%1 is not an array element type").arg(MivTypeName(v.elementType)));
    if (v.elementType != VT_VARIANT) {
        for (const MivVariant &element : v.elements) {
            if (element.type() != v.elementType)
                throw ValueText::mismatchAbout(QStringLiteral("a %1 element in a %2")
                                                   .arg(MivTypeName(element.type()),
                                                        MivTypeName(VT_ARRAY | v.elementType)));
        }
    }
    m_data = std::move(v);
}

double MivVariant::number() const
{
    switch (type()) {
    case VT_EMPTY: return 0;
    case VT_I2: return i2();
    case VT_I4: return i4();
    case VT_R4: return r4();
    case VT_R8: return r8();
    case VT_CY: return double(cy().scaled) / 10000.0;
    case VT_DATE: return double(date().msecs) / 86'400'000.0;
    case VT_BOOL: return boolean() ? -1 : 0;
    case VT_UI1: return ui1();
    }
    return std::nan("");
}

bool operator==(const MivArray &a, const MivArray &b)
{
    return a.elementType == b.elementType && a.elements == b.elements;
}

bool operator==(const MivVariant &a, const MivVariant &b)
{
    if (a.m_data.index() != b.m_data.index())
        return false;
    if (std::holds_alternative<float>(a.m_data))
        return identical(a.r4(), b.r4());
    if (std::holds_alternative<double>(a.m_data))
        return identical(a.r8(), b.r8());
    return a.m_data == b.m_data;
}

bool MivVariantsDiffer(const MivVariant &a, const MivVariant &b)
{
    if (a.isNull() || b.isNull())
        return false;
    if (a.isArray() || b.isArray())
        return true;
    const bool aText = a.type() == VT_BSTR;
    const bool bText = b.type() == VT_BSTR;
    if (a.isEmpty() || b.isEmpty()) {
        const MivVariant &other = a.isEmpty() ? b : a;
        if (other.isEmpty())
            return false;
        return other.type() == VT_BSTR ? !other.bstr().isEmpty() : numbersDiffer(other.number(), 0.0);
    }
    if (aText && bText)
        return a.bstr() != b.bstr();
    if (aText)
        return stringDiffersFromNumber(a.bstr(), b);
    if (bText)
        return stringDiffersFromNumber(b.bstr(), a);
    return numbersDiffer(a, b);
}

QString MivTypeName(quint16 type)
{
    if (const char *name = elementName(type))
        return QString::fromLatin1(name);
    const quint16 element = type & ~quint16(VT_ARRAY);
    if ((type & VT_ARRAY) && isArrayElementType(element))
        return QStringLiteral("VT_ARRAY | ") + QString::fromLatin1(elementName(element));
    return QString::number(type);
}
