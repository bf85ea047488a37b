#include "MivError.h"
#include "MivVariant.h"

#include <QTest>

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

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();

} // namespace

class tst_variant : public QObject
{
    Q_OBJECT

private slots:
    void differ_data();
    void differ();
    void identity_data();
    void identity();
    void typeName_data();
    void typeName();
    void arrayElementsMustMatch_data();
    void arrayElementsMustMatch();
};

void tst_variant::differ_data()
{
    QTest::addColumn<MivVariant>("a");
    QTest::addColumn<MivVariant>("b");
    QTest::addColumn<bool>("differ");

    QTest::newRow("5 vs 5.0") << MivVariant(5) << MivVariant(5.0) << false;
    QTest::newRow("i2 vs ui1") << MivVariant(qint16(200)) << MivVariant(quint8(200)) << false;
    QTest::newRow("i4 vs r4 fraction") << MivVariant(5) << MivVariant(5.5f) << true;
    QTest::newRow("cy vs r8") << cy(15000) << MivVariant(1.5) << false;
    QTest::newRow("cy vs i4") << cy(50000) << MivVariant(5) << false;
    QTest::newRow("cy max vs cy max") << cy(std::numeric_limits<qint64>::max())
                                      << cy(std::numeric_limits<qint64>::max()) << false;
    QTest::newRow("cy max vs one less") << cy(std::numeric_limits<qint64>::max())
                                        << cy(std::numeric_limits<qint64>::max() - 1) << true;
    QTest::newRow("true vs -1") << MivVariant(true) << MivVariant(-1) << false;
    QTest::newRow("true vs 1") << MivVariant(true) << MivVariant(1) << true;
    QTest::newRow("false vs 0.0") << MivVariant(false) << MivVariant(0.0) << false;
    QTest::newRow("date vs days") << MivVariant(MivDate{36 * 3'600'000}) << MivVariant(1.5) << false;
    QTest::newRow("r4 vs r8 of 0.1") << MivVariant(0.1f) << MivVariant(0.1) << true;
    QTest::newRow("nan vs nan") << MivVariant(Nan) << MivVariant(Nan) << false;
    QTest::newRow("nan vs 0") << MivVariant(Nan) << MivVariant(0.0) << true;
    QTest::newRow("0 vs -0") << MivVariant(0.0) << MivVariant(-0.0) << false;

    QTest::newRow("same text") << MivVariant("abc") << MivVariant("abc") << false;
    QTest::newRow("text case") << MivVariant("abc") << MivVariant("ABC") << true;
    QTest::newRow("text trailing blank") << MivVariant("abc") << MivVariant("abc ") << true;
    QTest::newRow("numeric texts compare as text") << MivVariant("5") << MivVariant("5.0") << true;

    QTest::newRow("empty vs empty") << MivVariant() << MivVariant() << false;
    QTest::newRow("empty vs 0") << MivVariant() << MivVariant(0) << false;
    QTest::newRow("empty vs false") << MivVariant(false) << MivVariant() << false;
    QTest::newRow("empty vs 1") << MivVariant() << MivVariant(1) << true;
    QTest::newRow("empty vs empty text") << MivVariant() << MivVariant("") << false;
    QTest::newRow("empty vs text") << MivVariant() << MivVariant("0") << true;

    QTest::newRow("null vs number") << MivVariant::null() << MivVariant(7) << false;
    QTest::newRow("text vs null") << MivVariant("x") << MivVariant::null() << false;
    QTest::newRow("null vs empty") << MivVariant::null() << MivVariant() << false;

    QTest::newRow("equal arrays") << arrayOf(VT_I4, {1}) << arrayOf(VT_I4, {1}) << true;
    QTest::newRow("empty arrays") << arrayOf(VT_BSTR, {}) << arrayOf(VT_BSTR, {}) << true;
    QTest::newRow("array vs empty") << arrayOf(VT_I4, {}) << MivVariant() << true;

    QTest::newRow("abc vs 1") << MivVariant("abc") << MivVariant(1) << true;
    QTest::newRow("empty text vs 0") << MivVariant("") << MivVariant(0) << true;
    QTest::newRow("5 vs \"5\"") << MivVariant(5) << MivVariant("5") << false;
    QTest::newRow("\" 5.0 \" vs 5") << MivVariant(" 5.0 ") << MivVariant(5) << false;
    QTest::newRow("\"5\" vs 6") << MivVariant("5") << MivVariant(6) << true;
    QTest::newRow("\"1e2\" vs 100") << MivVariant("1e2") << MivVariant(qint16(100)) << false;
    QTest::newRow("\"0.1\" vs r4 0.1") << MivVariant("0.1") << MivVariant(0.1f) << false;
    QTest::newRow("\"0.1\" vs r8 0.1") << MivVariant("0.1") << MivVariant(0.1) << false;
    QTest::newRow("cy max text") << MivVariant("922337203685477.5807") << cy(std::numeric_limits<qint64>::max())
                                 << false;
    QTest::newRow("cy max text vs one less") << MivVariant("922337203685477.5806")
                                             << cy(std::numeric_limits<qint64>::max()) << true;
    QTest::newRow("\"True\" vs true") << MivVariant("True") << MivVariant(true) << true;
    QTest::newRow("\"-1\" vs true") << MivVariant("-1") << MivVariant(true) << false;
}

void tst_variant::differ()
{
    QFETCH(MivVariant, a);
    QFETCH(MivVariant, b);
    QFETCH(bool, differ);
    QCOMPARE(MivVariantsDiffer(a, b), differ);
    QCOMPARE(MivVariantsDiffer(b, a), differ);
}

void tst_variant::identity_data()
{
    QTest::addColumn<MivVariant>("a");
    QTest::addColumn<MivVariant>("b");
    QTest::addColumn<bool>("identical");

    QTest::newRow("same i4") << MivVariant(5) << MivVariant(5) << true;
    QTest::newRow("i4 vs i2") << MivVariant(5) << MivVariant(qint16(5)) << false;
    QTest::newRow("i4 vs r8") << MivVariant(5) << MivVariant(5.0) << false;
    QTest::newRow("nan vs nan") << MivVariant(Nan) << MivVariant(Nan) << true;
    QTest::newRow("nan vs negative nan") << MivVariant(Nan) << MivVariant(-Nan) << true;
    QTest::newRow("r4 nan vs r8 nan") << MivVariant(float(Nan)) << MivVariant(Nan) << false;
    QTest::newRow("0 vs -0") << MivVariant(0.0) << MivVariant(-0.0) << false;
    QTest::newRow("empty vs null") << MivVariant() << MivVariant::null() << false;
    QTest::newRow("empty text vs empty") << MivVariant("") << MivVariant() << false;
    QTest::newRow("arrays equal") << arrayOf(VT_VARIANT, {1, "a", arrayOf(VT_R8, {Nan})})
                                  << arrayOf(VT_VARIANT, {1, "a", arrayOf(VT_R8, {Nan})}) << true;
    QTest::newRow("arrays of other element types") << arrayOf(VT_I4, {}) << arrayOf(VT_VARIANT, {}) << false;
    QTest::newRow("arrays differ in one element") << arrayOf(VT_I4, {1, 2}) << arrayOf(VT_I4, {1, 3}) << false;
    QTest::newRow("arrays differ in length") << arrayOf(VT_I4, {1}) << arrayOf(VT_I4, {1, 1}) << false;
}

void tst_variant::identity()
{
    QFETCH(MivVariant, a);
    QFETCH(MivVariant, b);
    QFETCH(bool, identical);
    QCOMPARE(a == b, identical);
    QCOMPARE(b == a, identical);
}

void tst_variant::typeName_data()
{
    QTest::addColumn<quint16>("type");
    QTest::addColumn<QString>("name");

    QTest::newRow("empty") << quint16(0) << "VT_EMPTY";
    QTest::newRow("i4") << quint16(3) << "VT_I4";
    QTest::newRow("ui1") << quint16(17) << "VT_UI1";
    QTest::newRow("gap 9") << quint16(9) << "9";
    QTest::newRow("array bstr") << quint16(8200) << "VT_ARRAY | VT_BSTR";
    QTest::newRow("array variant") << quint16(8204) << "VT_ARRAY | VT_VARIANT";
    QTest::newRow("array flag alone") << quint16(8192) << "8192";
    QTest::newRow("array of null") << quint16(8193) << "8193";
    QTest::newRow("array of gap") << quint16(8201) << "8201";
}

void tst_variant::typeName()
{
    QFETCH(quint16, type);
    QFETCH(QString, name);
    QCOMPARE(MivTypeName(type), name);
}

void tst_variant::arrayElementsMustMatch_data()
{
    QTest::addColumn<quint16>("elementType");
    QTest::addColumn<MivVariant>("element");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("i4 in i4") << quint16(VT_I4) << MivVariant(1) << true;
    QTest::newRow("i2 in i4") << quint16(VT_I4) << MivVariant(qint16(1)) << false;
    QTest::newRow("empty in bstr") << quint16(VT_BSTR) << MivVariant() << false;
    QTest::newRow("null in variant") << quint16(VT_VARIANT) << MivVariant::null() << true;
    QTest::newRow("array in variant") << quint16(VT_VARIANT) << arrayOf(VT_I4, {1}) << true;
    QTest::newRow("element type empty") << quint16(VT_EMPTY) << MivVariant() << false;
    QTest::newRow("element type array") << quint16(VT_ARRAY | VT_I4) << arrayOf(VT_I4, {}) << false;
    QTest::newRow("element type gap") << quint16(9) << MivVariant(1) << false;
}

void tst_variant::arrayElementsMustMatch()
{
    QFETCH(quint16, elementType);
    QFETCH(MivVariant, element);
    QFETCH(bool, accepted);
    try {
        const MivVariant array(MivArray{elementType, {element}});
        QVERIFY(accepted);
        QCOMPARE(array.type(), quint16(VT_ARRAY | elementType));
    } catch (const MivError &error) {
        QVERIFY2(!accepted, qPrintable(error.description()));
        QCOMPARE(error.code(), MivCode::TypeMismatch);
    }
}

QTEST_APPLESS_MAIN(tst_variant)
#include "tst_variant.moc"
