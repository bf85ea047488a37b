#include "VariantTypes.h"

#include "LeadingNumber.h"
#include "MivConverter.h"
#include "MivError.h"
#include "ProcessEngine.h"

#include <array>
#include <limits>

namespace {

const QString kUnknown = QStringLiteral("(unknown)");

QString elementName(qint32 code)
{
    switch (code) {
    case VT_EMPTY: return QStringLiteral("VT_EMPTY");
    case VT_NULL: return QStringLiteral("VT_NULL");
    case VT_I2: return QStringLiteral("VT_I2");
    case VT_I4: return QStringLiteral("VT_I4");
    case VT_R4: return QStringLiteral("VT_R4");
    case VT_R8: return QStringLiteral("VT_R8");
    case VT_CY: return QStringLiteral("VT_CY");
    case VT_DATE: return QStringLiteral("VT_DATE");
    case VT_BSTR: return QStringLiteral("VT_BSTR");
    case VT_BOOL: return QStringLiteral("VT_BOOL");
    case VT_VARIANT: return QStringLiteral("VT_VARIANT");
    case VT_UI1: return QStringLiteral("VT_UI1");
    default: return kUnknown;
    }
}

// The reply type list by type code. An entry reads as the name of its code, but for the two
// entries that stand for no type.
constexpr qint32 kNothing = 999;
constexpr qint32 kUnknownType = 998;
constexpr std::array<qint32, 23> kVTTypeCodes{
    kNothing,           VT_BOOL,
    VT_UI1,             VT_I2,
    VT_I4,              VT_R4,
    VT_R8,              VT_BSTR,
    VT_DATE,            VT_CY,
    VT_ARRAY | VT_BOOL, VT_ARRAY | VT_UI1,
    VT_ARRAY | VT_I2,   VT_ARRAY | VT_I4,
    VT_ARRAY | VT_R4,   VT_ARRAY | VT_R8,
    VT_ARRAY | VT_BSTR, VT_ARRAY | VT_DATE,
    VT_ARRAY | VT_CY,   VT_ARRAY | VT_VARIANT,
    VT_EMPTY,           VT_NULL,
    kUnknownType};

// The short type list: its texts, and the type code of each ("(Unkown)" has none).
constexpr qint16 kNoType = -1;
constexpr std::array<const char *, 22> kShortTypeTexts{
    "EMPTY",        "NULL",         "BOOL",         "UI1",          "I2",           "I4",
    "R4",           "R8",           "CY",           "DATE",         "BSTR",         "ARRAY | BOOL",
    "ARRAY | UI",   "ARRAY | I2",   "ARRAY | I4",   "ARRAY | R4",   "ARRAY | R8",   "ARRAY | BSTR",
    "ARRAY | DATE", "ARRAY | CY",   "ARRAY | VARIANT", "(Unkown)"};
constexpr std::array<qint16, 22> kShortTypeCodes{
    VT_EMPTY,           VT_NULL,            VT_BOOL,            VT_UI1,
    VT_I2,              VT_I4,              VT_R4,              VT_R8,
    VT_CY,              VT_DATE,            VT_BSTR,            VT_ARRAY | VT_BOOL,
    VT_ARRAY | VT_UI1,  VT_ARRAY | VT_I2,   VT_ARRAY | VT_I4,   VT_ARRAY | VT_R4,
    VT_ARRAY | VT_R8,   VT_ARRAY | VT_BSTR, VT_ARRAY | VT_DATE, VT_ARRAY | VT_CY,
    VT_ARRAY | VT_VARIANT, kNoType};

QString typeName(qint32 code)
{
    if (code > VT_ARRAY) {
        const qint32 element = code - VT_ARRAY;
        // There are no arrays of Null.
        if (element == VT_NULL)
            return kUnknown;
        const QString name = elementName(element);
        return name == kUnknown ? kUnknown : QStringLiteral("VT_ARRAY | ") + name;
    }
    return elementName(code);
}

} // namespace

QString VTName(const QString &typeCode)
{
    return typeName(LeadingInt32(typeCode));
}

QList<TypeListEntry> VTTypeList()
{
    QList<TypeListEntry> list;
    for (const qint32 code : kVTTypeCodes) {
        const QString text = code == kNothing       ? QStringLiteral("(nothing)")
                             : code == kUnknownType ? kUnknown
                                                    : typeName(code);
        list.append({text, code});
    }
    return list;
}

QStringList ShortTypeList()
{
    QStringList list;
    for (const char *text : kShortTypeTexts)
        list.append(QString::fromLatin1(text));
    return list;
}

qint16 TypeCodeOfIndex(qint16 index)
{
    if (index < 0 || index >= qint16(kShortTypeCodes.size()))
        return kNoType;
    return kShortTypeCodes[size_t(index)];
}

MivVariant MakeValue(const QString &valueText, qint32 typeIndex)
{
    if (typeIndex < std::numeric_limits<qint16>::min() || typeIndex > std::numeric_limits<qint16>::max())
        throw MivError(MivCode::BasicOverflow, QStringLiteral("Overflow"));
    const qint16 code = TypeCodeOfIndex(qint16(typeIndex));
    if (code == kNoType)
        return MivVariant();
    QString text = QString::number(code);
    if (code != VT_EMPTY && code != VT_NULL)
        text += u',' + valueText;
    if (!g_mivConverter)
        throw MivError(MivCode::Fail, QStringLiteral("The value converter has not been created."));
    return g_mivConverter->TextToValue(text);
}

QString ScalarText(const MivVariant &value)
{
    constexpr qint32 kTypeMismatch = 13; // the runtime's code for a value without a text form
    if (value.isEmpty())
        return QString();
    if (value.type() == VT_BSTR)
        return value.bstr();
    if (value.isNull() || value.isArray())
        throw MivError(kTypeMismatch, QStringLiteral("Type mismatch"));
    const QString text = g_mivConverter->ValueToText(value, 0);
    return text.mid(text.indexOf(u',') + 1);
}
