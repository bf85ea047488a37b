#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <iterator>
#include <utility>
#include <variant>

// Variant type codes (the automation standard's numbers).
enum MivVarType : quint16 {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UI1 = 17,
    VT_ARRAY = 0x2000,
};

// Currency: a 64-bit count of ten-thousandths.
struct MivCurrency
{
    qint64 scaled = 0;
    friend bool operator==(MivCurrency, MivCurrency) = default;
};

// Date and time: whole milliseconds since 1899-12-30 00:00:00 (the automation epoch), kept as
// an integer so that every value round-trips through its text exactly.
struct MivDate
{
    qint64 msecs = 0;
    friend bool operator==(MivDate, MivDate) = default;
};

class MivVariant;

// An array: its element type (never VT_EMPTY/VT_NULL/VT_ARRAY) and elements. Elements of a
// VT_VARIANT array may be of any type; all others hold exactly the element type.
struct MivArray
{
    quint16 elementType = VT_VARIANT;
    QList<MivVariant> elements;
    // Defined out of line: MivVariant is still incomplete here.
    friend bool operator==(const MivArray &a, const MivArray &b);
};

class MivVariant
{
public:
    struct Null
    {
        friend bool operator==(Null, Null) = default;
    };

    MivVariant() = default; // VT_EMPTY
    MivVariant(Null) : m_data(Null{}) {}
    MivVariant(qint16 v) : m_data(v) {}
    MivVariant(qint32 v) : m_data(v) {}
    MivVariant(float v) : m_data(v) {}
    MivVariant(double v) : m_data(v) {}
    MivVariant(MivCurrency v) : m_data(v) {}
    MivVariant(MivDate v) : m_data(v) {}
    MivVariant(const QString &v) : m_data(v) {}
    MivVariant(QString &&v) : m_data(std::move(v)) {}
    MivVariant(const char *v) : m_data(QString::fromUtf8(v)) {}
    MivVariant(bool v) : m_data(v) {}
    MivVariant(quint8 v) : m_data(v) {}
    // Throws MivError (type mismatch) when elementType is no array element type or an element
    // does not match it.
    MivVariant(MivArray v);

    static MivVariant null() { return MivVariant(Null{}); }

    // Full code, VT_ARRAY included. Inline: every conversion and comparison asks it first.
    quint16 type() const
    {
        if (const MivArray *array = std::get_if<MivArray>(&m_data))
            return VT_ARRAY | array->elementType;
        return kCodes[m_data.index()];
    }
    bool isEmpty() const { return m_data.index() == 0; }
    bool isNull() const { return std::holds_alternative<Null>(m_data); }
    bool isArray() const { return std::holds_alternative<MivArray>(m_data); }

    // Accessors for the held type; calling one for another type is a programming error.
    qint16 i2() const { return std::get<qint16>(m_data); }
    qint32 i4() const { return std::get<qint32>(m_data); }
    float r4() const { return std::get<float>(m_data); }
    double r8() const { return std::get<double>(m_data); }
    MivCurrency cy() const { return std::get<MivCurrency>(m_data); }
    MivDate date() const { return std::get<MivDate>(m_data); }
    const QString &bstr() const { return std::get<QString>(m_data); }
    bool boolean() const { return std::get<bool>(m_data); }
    quint8 ui1() const { return std::get<quint8>(m_data); }
    const MivArray &array() const { return std::get<MivArray>(m_data); }

    // The numeric value of a numeric variant (a date as days since the epoch, True as -1);
    // 0 for Empty, NaN for the other types.
    double number() const;

    // Identity: same type and same value, floating values bit for bit except that every NaN
    // equals every NaN of its type (the value text has one NaN). Not the data-check rule.
    friend bool operator==(const MivVariant &a, const MivVariant &b);

private:
    // The type code of each alternative but the array, in the order of m_data's alternatives.
    static constexpr quint16 kCodes[] = {VT_EMPTY, VT_NULL, VT_I2,   VT_I4,   VT_R4, VT_R8,
                                         VT_CY,    VT_DATE, VT_BSTR, VT_BOOL, VT_UI1};

    std::variant<std::monostate, Null, qint16, qint32, float, double, MivCurrency, MivDate, QString,
                 bool, quint8, MivArray>
        m_data;
    static_assert(std::size(kCodes) + 1 == std::variant_size_v<decltype(m_data)>);
};

// The performance data check: true when the value read counts as different from the value
// written. Numbers compare by value across types; strings exactly; Empty equals 0 and "";
// Null never differs; arrays, and a non-numeric string against a number, always differ.
bool MivVariantsDiffer(const MivVariant &a, const MivVariant &b);

// The long name of a type code, for descriptions: "VT_I4", "VT_ARRAY | VT_BSTR", or the code.
QString MivTypeName(quint16 type);
