#include "MivConverter.h"
#include "MivError.h"

#include <QRandomGenerator>
#include <QTest>

#include <bit>
#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(MivVariant)

namespace {

MivVariant arrayOf(quint16 elementType, QList<MivVariant> elements)
{
    return MivVariant(MivArray{elementType, std::move(elements)});
}

MivVariant cy(qint64 scaled)
{
    return MivVariant(MivCurrency{scaled});
}

// Milliseconds of a date and time, by Qt's calendar, so the converter's own arithmetic is checked
// against an independent one.
MivVariant date(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0)
{
    const qint64 days = QDate(1899, 12, 30).daysTo(QDate(y, m, d));
    return MivVariant(MivDate{days * 86'400'000 + ((h * 60 + min) * 60 + s) * 1000 + ms});
}

QString shownValue(const MivVariant &v)
{
    try {
        return MivConverter().ValueToText(v);
    } catch (const MivError &e) {
        return QStringLiteral("<%1>").arg(e.description());
    }
}

constexpr qint64 CyMax = std::numeric_limits<qint64>::max();
constexpr qint64 CyMin = std::numeric_limits<qint64>::min();

} // namespace

class tst_converter : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void writes_data();
    void writes();
    void refuses_data();
    void refuses();
    void refusesToWriteDateOutOfRange_data();
    void refusesToWriteDateOutOfRange();
    void roundTripsGeneratedValues();

private:
    MivConverter m_converter;
};

void tst_converter::reads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<MivVariant>("expected");

    QTest::newRow("empty") << "0" << MivVariant();
    QTest::newRow("empty with empty value") << "0," << MivVariant();
    QTest::newRow("null") << "1" << MivVariant::null();
    QTest::newRow("code with blanks") << " 3 ,7" << MivVariant(7);

    QTest::newRow("i2 min") << "2,-32768" << MivVariant(qint16(-32768));
    QTest::newRow("i2 max") << "2,32767" << MivVariant(qint16(32767));
    QTest::newRow("i2 blanks and plus") << "2,  +12 " << MivVariant(qint16(12));
    QTest::newRow("i2 leading zeros") << "2,-007" << MivVariant(qint16(-7));
    QTest::newRow("ui1 0") << "17,0" << MivVariant(quint8(0));
    QTest::newRow("ui1 255") << "17,255" << MivVariant(quint8(255));
    QTest::newRow("i4 min") << "3,-2147483648" << MivVariant(std::numeric_limits<qint32>::min());
    QTest::newRow("i4 max") << "3,2147483647" << MivVariant(std::numeric_limits<qint32>::max());

    QTest::newRow("r8 decimal") << "5,0.1" << MivVariant(0.1);
    QTest::newRow("r8 exponent") << "5,-1.5E+3" << MivVariant(-1500.0);
    QTest::newRow("r8 bare fraction") << "5,.25" << MivVariant(0.25);
    QTest::newRow("r8 negative zero") << "5,-0" << MivVariant(-0.0);
    QTest::newRow("r8 nan") << "5,NaN" << MivVariant(std::numeric_limits<double>::quiet_NaN());
    QTest::newRow("r8 inf any case") << "5,inf" << MivVariant(std::numeric_limits<double>::infinity());
    QTest::newRow("r8 minus inf") << "5,-Inf" << MivVariant(-std::numeric_limits<double>::infinity());
    QTest::newRow("r8 smallest subnormal") << "5,5e-324" << MivVariant(std::numeric_limits<double>::denorm_min());
    QTest::newRow("r8 underflow to zero") << "5,-1e-400" << MivVariant(-0.0);
    QTest::newRow("r4 max") << "4,3.4028235e38" << MivVariant(std::numeric_limits<float>::max());
    QTest::newRow("r4 blanks") << "4, 0.1 " << MivVariant(0.1f);
    QTest::newRow("r4 underflow to zero") << "4,1e-50" << MivVariant(0.0f);

    QTest::newRow("cy max") << "6,922337203685477.5807" << cy(CyMax);
    QTest::newRow("cy min") << "6,-922337203685477.5808" << cy(CyMin);
    QTest::newRow("cy fraction") << "6,1.5" << cy(15000);
    QTest::newRow("cy trailing zeros beyond four places") << "6,1.50000" << cy(15000);
    QTest::newRow("cy integer") << "6,-42" << cy(-420000);

    QTest::newRow("date first") << "7,0100-01-01" << date(100, 1, 1);
    QTest::newRow("date last") << "7,9999-12-31 23:59:59.999" << date(9999, 12, 31, 23, 59, 59, 999);
    QTest::newRow("date and time") << "7,2024-02-29 13:05:09" << date(2024, 2, 29, 13, 5, 9);
    QTest::newRow("time alone") << "7,06:30:00.5" << date(1899, 12, 30, 6, 30, 0, 500);
    QTest::newRow("epoch date alone") << "7,1899-12-30" << MivVariant(MivDate{0});
    QTest::newRow("before epoch") << "7,1899-12-29 18:00:00" << MivVariant(MivDate{-6 * 3'600'000});
    QTest::newRow("gregorian 1900 not leap") << "7,1900-03-01" << date(1900, 3, 1);

    QTest::newRow("bool true") << "11,True" << MivVariant(true);
    QTest::newRow("bool any case") << "11, fALSE " << MivVariant(false);
    QTest::newRow("bool zero") << "11,0" << MivVariant(false);
    QTest::newRow("bool number") << "11,-1" << MivVariant(true);
    QTest::newRow("bool fraction") << "11,0.5" << MivVariant(true);

    QTest::newRow("bstr commas") << "8,a,b,,c" << MivVariant("a,b,,c");
    QTest::newRow("bstr quotes and blanks kept") << "8, \"x\" " << MivVariant(" \"x\" ");
    QTest::newRow("bstr non-ascii") << QStringLiteral("8,Grüße 日本 😀") << MivVariant(QStringLiteral("Grüße 日本 😀"));
    QTest::newRow("bstr empty") << "8," << MivVariant("");
    QTest::newRow("bstr without value part") << "8" << MivVariant("");

    QTest::newRow("array empty") << "8195" << arrayOf(VT_I4, {});
    QTest::newRow("array empty value part") << "8195," << arrayOf(VT_I4, {});
    QTest::newRow("array i4") << "8195,1, -2 ,3" << arrayOf(VT_I4, {1, -2, 3});
    QTest::newRow("array bstr quoted")
        << "8200,plain,\"a,b\",\"say \"\"hi\"\"\",\" pad \",\"\""
        << arrayOf(VT_BSTR, {"plain", "a,b", "say \"hi\"", " pad ", ""});
    QTest::newRow("array bstr one empty element") << "8200,\"\"" << arrayOf(VT_BSTR, {""});
    QTest::newRow("array bstr unquoted empties") << "8200,a,,b," << arrayOf(VT_BSTR, {"a", "", "b", ""});
    QTest::newRow("array bstr blanks around quotes") << "8200, \"x\" ,y" << arrayOf(VT_BSTR, {"x", "y"});
    QTest::newRow("array date") << "8199,2000-01-01,12:00:00"
                                << arrayOf(VT_DATE, {date(2000, 1, 1), date(1899, 12, 30, 12)});
    QTest::newRow("array bool") << "8203,True,false,0" << arrayOf(VT_BOOL, {true, false, false});
    QTest::newRow("array variant")
        << "8204,0,1,\"3,5\",\"8,a\"\"b\",\"8195,1,2\",8200"
        << arrayOf(VT_VARIANT, {MivVariant(), MivVariant::null(), 5, "a\"b", arrayOf(VT_I4, {1, 2}),
                                arrayOf(VT_BSTR, {})});
    QTest::newRow("array variant nested quotes")
        << "8204,\"8204,\"\"8,x,y\"\"\""
        << arrayOf(VT_VARIANT, {arrayOf(VT_VARIANT, {"x,y"})});
}

void tst_converter::reads()
{
    QFETCH(QString, text);
    QFETCH(MivVariant, expected);
    const MivVariant actual = m_converter.TextToValue(text);
    QVERIFY2(actual == expected, qPrintable(shownValue(actual) + " != " + shownValue(expected)));
}

void tst_converter::writes_data()
{
    QTest::addColumn<MivVariant>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << MivVariant() << "0";
    QTest::newRow("null") << MivVariant::null() << "1";
    QTest::newRow("i2") << MivVariant(qint16(-32768)) << "2,-32768";
    QTest::newRow("ui1") << MivVariant(quint8(255)) << "17,255";
    QTest::newRow("r8 shortest") << MivVariant(0.1) << "5,0.1";
    QTest::newRow("r8 large") << MivVariant(1e300) << "5,1e+300";
    QTest::newRow("r8 nan") << MivVariant(std::nan("")) << "5,NaN";
    QTest::newRow("r8 negative nan") << MivVariant(-std::nan("")) << "5,NaN";
    QTest::newRow("r8 minus inf") << MivVariant(-std::numeric_limits<double>::infinity()) << "5,-Inf";
    QTest::newRow("r4 shortest") << MivVariant(0.1f) << "4,0.1";
    QTest::newRow("r4 inf") << MivVariant(std::numeric_limits<float>::infinity()) << "4,Inf";
    QTest::newRow("cy no trailing zeros") << cy(15000) << "6,1.5";
    QTest::newRow("cy whole") << cy(-420000) << "6,-42";
    QTest::newRow("cy small negative") << cy(-1) << "6,-0.0001";
    QTest::newRow("cy max") << cy(CyMax) << "6,922337203685477.5807";
    QTest::newRow("cy min") << cy(CyMin) << "6,-922337203685477.5808";
    QTest::newRow("date alone") << date(2024, 2, 29) << "7,2024-02-29";
    QTest::newRow("date and time") << date(100, 1, 1, 0, 0, 1) << "7,0100-01-01 00:00:01";
    QTest::newRow("milliseconds") << date(9999, 12, 31, 23, 59, 59, 999) << "7,9999-12-31 23:59:59.999";
    QTest::newRow("time alone") << date(1899, 12, 30, 6, 30, 0, 50) << "7,06:30:00.050";
    QTest::newRow("epoch") << MivVariant(MivDate{0}) << "7,00:00:00";
    QTest::newRow("day before epoch") << date(1899, 12, 29) << "7,1899-12-29";
    QTest::newRow("bool") << MivVariant(true) << "11,True";
    QTest::newRow("bstr as is") << MivVariant("a,\"b\" ") << "8,a,\"b\" ";
    QTest::newRow("array empty") << arrayOf(VT_R8, {}) << "8197";
    QTest::newRow("array bstr quoting")
        << arrayOf(VT_BSTR, {"a", "b,c", "q\"", "", " x", "y\t", "in side"})
        << "8200,a,\"b,c\",\"q\"\"\",\"\",\" x\",\"y\t\",in side";
    QTest::newRow("array of one empty text") << arrayOf(VT_BSTR, {""}) << "8200,\"\"";
    QTest::newRow("array cy") << arrayOf(VT_CY, {cy(1), cy(-20000)}) << "8198,0.0001,-2";
    QTest::newRow("array variant")
        << arrayOf(VT_VARIANT, {MivVariant(), 5, "x", arrayOf(VT_I2, {}), arrayOf(VT_I2, {qint16(1), qint16(2)})})
        << "8204,0,\"3,5\",\"8,x\",8194,\"8194,1,2\"";
}

void tst_converter::writes()
{
    QFETCH(MivVariant, value);
    QFETCH(QString, expected);
    QCOMPARE(m_converter.ValueToText(value), expected);
    QString appended = QStringLiteral("PUT:X:");
    m_converter.AppendValueText(appended, value);
    QCOMPARE(appended, QStringLiteral("PUT:X:") + expected);
}

void tst_converter::refuses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QString>("description");

    const qint32 mismatch = MivCode::TypeMismatch;
    const qint32 overflow = MivCode::Overflow;

    QTest::newRow("i2 above") << "2,32768" << overflow << "Overflow: 32768 does not fit VT_I2";
    QTest::newRow("i2 below") << "2,-32769" << overflow << "Overflow: -32769 does not fit VT_I2";
    QTest::newRow("i2 far above") << "2, 70000 " << overflow << "Overflow: 70000 does not fit VT_I2";
    QTest::newRow("ui1 256") << "17,256" << overflow << "Overflow: 256 does not fit VT_UI1";
    QTest::newRow("ui1 negative") << "17,-1" << overflow << "Overflow: -1 does not fit VT_UI1";
    QTest::newRow("i4 above") << "3,2147483648" << overflow << "Overflow: 2147483648 does not fit VT_I4";
    QTest::newRow("i4 many digits") << "3,-99999999999999999999999" << overflow
                                    << "Overflow: -99999999999999999999999 does not fit VT_I4";
    QTest::newRow("i4 letters") << "3,abc" << mismatch << "Type mismatch: 'abc' is not a VT_I4 value";
    QTest::newRow("i4 fraction") << "3,1.5" << mismatch << "Type mismatch: '1.5' is not a VT_I4 value";
    QTest::newRow("i4 empty") << "3," << mismatch << "Type mismatch: '' is not a VT_I4 value";
    QTest::newRow("i4 inner blank") << "3,1 2" << mismatch << "Type mismatch: '1 2' is not a VT_I4 value";
    QTest::newRow("i2 sign alone") << "2,-" << mismatch << "Type mismatch: '-' is not a VT_I2 value";

    QTest::newRow("r4 overflow") << "4,3.5e38" << overflow << "Overflow: 3.5e38 does not fit VT_R4";
    QTest::newRow("r4 overflow negative") << "4,-1e39" << overflow << "Overflow: -1e39 does not fit VT_R4";
    QTest::newRow("r8 overflow") << "5,1e309" << overflow << "Overflow: 1e309 does not fit VT_R8";
    QTest::newRow("r8 comma decimal") << "5,1,5" << mismatch << "Type mismatch: '1,5' is not a VT_R8 value";
    QTest::newRow("r8 hex") << "5,0x10" << mismatch << "Type mismatch: '0x10' is not a VT_R8 value";
    QTest::newRow("r8 infinity spelled out") << "5,infinity" << mismatch
                                             << "Type mismatch: 'infinity' is not a VT_R8 value";
    QTest::newRow("r8 bare exponent") << "5,1e" << mismatch << "Type mismatch: '1e' is not a VT_R8 value";

    QTest::newRow("cy above") << "6,922337203685477.5808" << overflow
                              << "Overflow: 922337203685477.5808 does not fit VT_CY";
    QTest::newRow("cy below") << "6,-922337203685477.5809" << overflow
                              << "Overflow: -922337203685477.5809 does not fit VT_CY";
    QTest::newRow("cy huge") << "6,99999999999999999999" << overflow
                             << "Overflow: 99999999999999999999 does not fit VT_CY";
    QTest::newRow("cy five places") << "6,1.23456" << mismatch
                                    << "Type mismatch: '1.23456' is not a VT_CY value (at most 4 decimal places)";
    QTest::newRow("cy exponent") << "6,1e3" << mismatch << "Type mismatch: '1e3' is not a VT_CY value";

    QTest::newRow("date year 99") << "7,0099-12-31" << overflow << "Overflow: 0099-12-31 does not fit VT_DATE";
    QTest::newRow("date feb 29 non-leap") << "7,2023-02-29" << mismatch
                                          << "Type mismatch: '2023-02-29' is not a VT_DATE value";
    QTest::newRow("date 1900 feb 29") << "7,1900-02-29" << mismatch
                                      << "Type mismatch: '1900-02-29' is not a VT_DATE value";
    QTest::newRow("date hour 24") << "7,24:00:00" << mismatch << "Type mismatch: '24:00:00' is not a VT_DATE value";
    QTest::newRow("date five-digit year") << "7,10000-01-01" << mismatch
                                          << "Type mismatch: '10000-01-01' is not a VT_DATE value";
    QTest::newRow("date four fraction digits") << "7,12:00:00.1234" << mismatch
                                               << "Type mismatch: '12:00:00.1234' is not a VT_DATE value";
    QTest::newRow("date no seconds") << "7,12:00" << mismatch << "Type mismatch: '12:00' is not a VT_DATE value";
    QTest::newRow("date trailing text") << "7,2024-01-01x" << mismatch
                                        << "Type mismatch: '2024-01-01x' is not a VT_DATE value";

    QTest::newRow("bool word") << "11,yes" << mismatch << "Type mismatch: 'yes' is not a VT_BOOL value";

    QTest::newRow("unknown code") << "9,1" << mismatch << "Type mismatch: unknown type 9 in '9,1'";
    QTest::newRow("array flag alone") << "8192" << mismatch << "Type mismatch: unknown type 8192 in '8192'";
    QTest::newRow("array of null") << "8193,1" << mismatch << "Type mismatch: unknown type 8193 in '8193,1'";
    QTest::newRow("nested array flag") << "16384,1" << mismatch << "Type mismatch: unknown type 16384 in '16384,1'";
    QTest::newRow("code beyond 16 bits") << "65539,1" << mismatch
                                         << "Type mismatch: '65539,1' does not start with a type code";
    QTest::newRow("variant alone") << "12,3,5" << mismatch
                                   << "Type mismatch: VT_VARIANT is only an array element type, in '12,3,5'";
    QTest::newRow("code not numeric") << "x3,5" << mismatch << "Type mismatch: 'x3,5' does not start with a type code";
    QTest::newRow("negative code") << "-3,5" << mismatch << "Type mismatch: '-3,5' does not start with a type code";
    QTest::newRow("empty text") << "" << mismatch << "Type mismatch: '' does not start with a type code";
    QTest::newRow("empty with value") << "0,abc" << mismatch
                                      << "Type mismatch: 'abc' is not a VT_EMPTY value (it takes no value)";

    QTest::newRow("array element") << "8195,1,x,3" << mismatch
                                   << "Type mismatch: 'x' is not a VT_I4 value (element 2 of VT_ARRAY | VT_I4)";
    QTest::newRow("array element overflow") << "8194,1,40000" << overflow
                                            << "Overflow: 40000 does not fit VT_I2 (element 2 of VT_ARRAY | VT_I2)";
    QTest::newRow("array open quote") << "8200,\"abc" << mismatch
                                      << "Type mismatch: '\"abc' is not a VT_ARRAY | VT_BSTR value (a quote is not closed)";
    QTest::newRow("array text after quote") << "8200,\"a\"b" << mismatch
                                            << "Type mismatch: '\"a\"b' is not a VT_ARRAY | VT_BSTR value (text after a closing quote)";
    QTest::newRow("array variant bad element")
        << "8204,\"3,x\"" << mismatch
        << "Type mismatch: 'x' is not a VT_I4 value (element 1 of VT_ARRAY | VT_VARIANT)";
    QTest::newRow("array variant bare variant element")
        << "8204,12" << mismatch
        << "Type mismatch: VT_VARIANT is only an array element type, in '12' (element 1 of VT_ARRAY | VT_VARIANT)";
    QTest::newRow("long text cut") << QString(100, u'z') << mismatch
                                   << "Type mismatch: '" + QString(80, u'z') + "...' does not start with a type code";
}

void tst_converter::refuses()
{
    QFETCH(QString, text);
    QFETCH(qint32, code);
    QFETCH(QString, description);
    try {
        const MivVariant value = m_converter.TextToValue(text);
        QFAIL(qPrintable("accepted as " + shownValue(value)));
    } catch (const MivError &error) {
        QCOMPARE(error.description(), description);
        QCOMPARE(error.code(), code);
    }
}

void tst_converter::refusesToWriteDateOutOfRange_data()
{
    QTest::addColumn<qint64>("msecs");
    const qint64 first = date(100, 1, 1).date().msecs;
    const qint64 last = date(9999, 12, 31, 23, 59, 59, 999).date().msecs;
    QTest::newRow("before 0100-01-01") << first - 1;
    QTest::newRow("after 9999-12-31") << last + 1;
    QTest::newRow("int64 min") << std::numeric_limits<qint64>::min();
    QTest::newRow("int64 max") << std::numeric_limits<qint64>::max();
}

void tst_converter::refusesToWriteDateOutOfRange()
{
    QFETCH(qint64, msecs);
    QVERIFY_THROWS_EXCEPTION(MivError, m_converter.ValueToText(MivVariant(MivDate{msecs})));
    try {
        m_converter.ValueToText(arrayOf(VT_DATE, {MivVariant(MivDate{msecs})}));
        QFAIL("an array holding the date was written");
    } catch (const MivError &error) {
        QCOMPARE(error.code(), MivCode::Overflow);
    }
    // A refused array leaves the text it was to be appended to as it was.
    QString appended = QStringLiteral("PUT:X:");
    QVERIFY_THROWS_EXCEPTION(MivError, m_converter.AppendValueText(appended, arrayOf(VT_DATE, {MivVariant(MivDate{0}),
                                                                                       MivVariant(MivDate{msecs})})));
    QCOMPARE(appended, QStringLiteral("PUT:X:"));
}

namespace {

// Values drawn to hit the awkward spots of each text form as well as ordinary ones.
class ValueGenerator
{
public:
    explicit ValueGenerator(quint32 seed) : m_random(seed) {}

    MivVariant scalar(quint16 type)
    {
        switch (type) {
        case VT_I2: return MivVariant(qint16(m_random.generate()));
        case VT_I4: return MivVariant(qint32(m_random.generate()));
        case VT_UI1: return MivVariant(quint8(m_random.generate()));
        case VT_R4: return MivVariant(real<float>());
        case VT_R8: return MivVariant(real<double>());
        case VT_CY: return cy(pick(4) == 0 ? qint64(m_random.generate64()) : qint64(m_random.bounded(2'000'000)) - 1'000'000);
        case VT_DATE: return dateValue();
        case VT_BSTR: return MivVariant(text());
        case VT_BOOL: return MivVariant(m_random.bounded(2) == 1);
        case VT_EMPTY: return MivVariant();
        case VT_NULL: return MivVariant::null();
        }
        return {};
    }

    MivVariant array(quint16 elementType, int depth)
    {
        MivArray a{elementType, {}};
        const int count = int(pick(6));
        for (int i = 0; i < count; ++i)
            a.elements.append(elementType == VT_VARIANT ? variantElement(depth) : scalar(elementType));
        return MivVariant(std::move(a));
    }

private:
    quint32 pick(quint32 n) { return m_random.bounded(n); }

    template <typename F>
    F real()
    {
        using Bits = std::conditional_t<sizeof(F) == 4, quint32, quint64>;
        switch (pick(5)) {
        case 0: {
            static const F specials[] = {F(0), -F(0), std::numeric_limits<F>::infinity(),
                                         -std::numeric_limits<F>::infinity(), std::numeric_limits<F>::quiet_NaN(),
                                         std::numeric_limits<F>::max(), std::numeric_limits<F>::lowest(),
                                         std::numeric_limits<F>::denorm_min(), std::numeric_limits<F>::min()};
            return specials[pick(std::size(specials))];
        }
        case 1: return F(qint32(m_random.generate()) % 100000) / F(100);
        default: {
            // Any finite bit pattern: subnormals and extreme exponents included.
            F value;
            do
                value = std::bit_cast<F>(Bits(m_random.generate64()));
            while (!std::isfinite(value));
            return value;
        }
        }
    }

    MivVariant dateValue()
    {
        const qint64 first = date(100, 1, 1).date().msecs;
        const qint64 last = date(9999, 12, 31, 23, 59, 59, 999).date().msecs;
        qint64 msecs = 0;
        switch (pick(5)) {
        case 0: msecs = qint64(pick(86'400'000)); break;                         // time alone
        case 1: msecs = (qint64(m_random.bounded(3'650'000)) - 690'000) * 86'400'000; break; // date alone
        case 2: msecs = pick(2) ? first : last; break;
        default: msecs = first + qint64(m_random.bounded(quint64(last - first + 1))); break;
        }
        return MivVariant(MivDate{qBound(first, msecs, last)});
    }

    QString text()
    {
        static const QString pieces[] = {QStringLiteral(","), QStringLiteral("\""), QStringLiteral(" "),
                                         QStringLiteral("\t"), QStringLiteral("abc"), QStringLiteral("ü"),
                                         QStringLiteral("日本"), QStringLiteral("😀"), QStringLiteral("8204,")};
        QString s;
        const int n = int(pick(6));
        for (int i = 0; i < n; ++i)
            s += pieces[pick(std::size(pieces))];
        return s;
    }

    MivVariant variantElement(int depth)
    {
        static const quint16 scalars[] = {VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8, VT_CY,
                                          VT_DATE, VT_BSTR, VT_BOOL, VT_UI1};
        if (depth > 0 && pick(4) == 0)
            return array(arrayElementType(), depth - 1);
        return scalar(scalars[pick(std::size(scalars))]);
    }

public:
    quint16 arrayElementType()
    {
        static const quint16 types[] = {VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_DATE,
                                        VT_BSTR, VT_BOOL, VT_VARIANT, VT_UI1};
        return types[pick(std::size(types))];
    }

private:
    QRandomGenerator m_random;
};

} // namespace

void tst_converter::roundTripsGeneratedValues()
{
    ValueGenerator generator(20240416);
    static const quint16 scalarTypes[] = {VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8,
                                          VT_CY, VT_DATE, VT_BSTR, VT_BOOL, VT_UI1};
    QList<MivVariant> values;
    for (quint16 type : scalarTypes)
        for (int i = 0; i < 400; ++i)
            values.append(generator.scalar(type));
    for (int i = 0; i < 1500; ++i)
        values.append(generator.array(generator.arrayElementType(), 3));

    for (const MivVariant &value : values) {
        const QString text = m_converter.ValueToText(value);
        const MivVariant back = m_converter.TextToValue(text);
        QVERIFY2(back == value, qPrintable(text + " read back as " + shownValue(back)));
        QCOMPARE(m_converter.ValueToText(back), text);
    }
}

QTEST_APPLESS_MAIN(tst_converter)
#include "tst_converter.moc"
