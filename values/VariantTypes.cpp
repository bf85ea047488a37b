#include "VariantTypes.h"

#include "EngineObjects.h"
#include "LeadingNumber.h"
#include "MivConverter.h"
#include "MivError.h"

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

struct VTEntry
{
    const char *text;
    qint32 value;
};

constexpr std::array<VTEntry, 23> kVTTypeList { {
    { "(nothing)", 999 },
    { "VT_BOOL", 11 },
    { "VT_UI1", 17 },
    { "VT_I2", 2 },
    { "VT_I4", 3 },
    { "VT_R4", 4 },
    { "VT_R8", 5 },
    { "VT_BSTR", 8 },
    { "VT_DATE", 7 },
    { "VT_CY", 6 },
    { "VT_ARRAY | VT_BOOL", 8203 },
    { "VT_ARRAY | VT_UI1", 8209 },
    { "VT_ARRAY | VT_I2", 8194 },
    { "VT_ARRAY | VT_I4", 8195 },
    { "VT_ARRAY | VT_R4", 8196 },
    { "VT_ARRAY | VT_R8", 8197 },
    { "VT_ARRAY | VT_BSTR", 8200 },
    { "VT_ARRAY | VT_DATE", 8199 },
    { "VT_ARRAY | VT_CY", 8198 },
    { "VT_ARRAY | VT_VARIANT", 8204 },
    { "VT_EMPTY", 0 },
    { "VT_NULL", 1 },
    { "(unknown)", 998 },
} };

struct ShortEntry
{
    const char *text;
    qint16 code;
};

constexpr std::array<ShortEntry, 22> kShortTypeList { {
    { "EMPTY", 0 },
    { "NULL", 1 },
    { "BOOL", 11 },
    { "UI1", 17 },
    { "I2", 2 },
    { "I4", 3 },
    { "R4", 4 },
    { "R8", 5 },
    { "CY", 6 },
    { "DATE", 7 },
    { "BSTR", 8 },
    { "ARRAY | BOOL", 8203 },
    { "ARRAY | UI", 8209 },
    { "ARRAY | I2", 8194 },
    { "ARRAY | I4", 8195 },
    { "ARRAY | R4", 8196 },
    { "ARRAY | R8", 8197 },
    { "ARRAY | BSTR", 8200 },
    { "ARRAY | DATE", 8199 },
    { "ARRAY | CY", 8198 },
    { "ARRAY | VARIANT", 8204 },
    { "(Unkown)", -1 },
} };

} // namespace

QString VTName(const QString &typeCode)
{
    const qint32 code = LeadingLong(typeCode);
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

QList<TypeListEntry> VTTypeList()
{
    QList<TypeListEntry> list;
    for (const VTEntry &entry : kVTTypeList)
        list.append({QString::fromLatin1(entry.text), entry.value});
    return list;
}

QStringList ShortTypeList()
{
    QStringList list;
    for (const ShortEntry &entry : kShortTypeList)
        list.append(QString::fromLatin1(entry.text));
    return list;
}

qint16 TypeCodeOfIndex(qint16 index)
{
    if (index < 0 || index >= qint16(kShortTypeList.size()))
        return -1;
    return kShortTypeList[size_t(index)].code;
}

MivVariant MakeValue(const QString &valueText, qint32 typeIndex)
{
    if (typeIndex < std::numeric_limits<qint16>::min() || typeIndex > std::numeric_limits<qint16>::max())
        throw MivError(MivCode::BasicOverflow, QStringLiteral("Overflow"));
    const qint16 code = TypeCodeOfIndex(qint16(typeIndex));
    if (code == -1)
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
