#include "MivConverter.h"
#include "MivError.h"
#include "ProcessEngine.h"
#include "TypeLists.h"
#include "VariantTypes.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTest>

class tst_VariantTypes : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void vtName_data();
    void vtName();
    void vtNameOverflow();
    void typeCodeOfIndex_data();
    void typeCodeOfIndex();
    void fillShortTypeList();
    void fillVTTypeList();
    void makeValue_data();
    void makeValue();
    void makeValueWithoutType();
    void makeValueErrors();
};

void tst_VariantTypes::cleanup()
{
    g_mivConverter = nullptr;
}

void tst_VariantTypes::vtName_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("empty text") << "" << "VT_EMPTY";
    QTest::newRow("0") << "0" << "VT_EMPTY";
    QTest::newRow("1") << "1" << "VT_NULL";
    QTest::newRow("2") << "2" << "VT_I2";
    QTest::newRow("3") << "3" << "VT_I4";
    QTest::newRow("4") << "4" << "VT_R4";
    QTest::newRow("5") << "5" << "VT_R8";
    QTest::newRow("6") << "6" << "VT_CY";
    QTest::newRow("7") << "7" << "VT_DATE";
    QTest::newRow("8") << "8" << "VT_BSTR";
    QTest::newRow("11") << "11" << "VT_BOOL";
    QTest::newRow("12") << "12" << "VT_VARIANT";
    QTest::newRow("17") << "17" << "VT_UI1";
    QTest::newRow("11.5 rounds to 12") << "11.5" << "VT_VARIANT";
    QTest::newRow("10.5 rounds to 10") << "10.5" << "(unknown)";
    QTest::newRow("9") << "9" << "(unknown)";
    QTest::newRow("10") << "10" << "(unknown)";
    QTest::newRow("13") << "13" << "(unknown)";
    QTest::newRow("14") << "14" << "(unknown)";
    QTest::newRow("15") << "15" << "(unknown)";
    QTest::newRow("16") << "16" << "(unknown)";
    QTest::newRow("18") << "18" << "(unknown)";
    QTest::newRow("-1") << "-1" << "(unknown)";
    QTest::newRow("negative array-like") << "-8200" << "(unknown)";
    QTest::newRow("8192") << "8192" << "(unknown)";
    QTest::newRow("8193") << "8193" << "(unknown)";
    QTest::newRow("8194") << "8194" << "VT_ARRAY | VT_I2";
    QTest::newRow("8200") << "8200" << "VT_ARRAY | VT_BSTR";
    QTest::newRow("8203") << "8203" << "VT_ARRAY | VT_BOOL";
    QTest::newRow("8204") << "8204" << "VT_ARRAY | VT_VARIANT";
    QTest::newRow("8209") << "8209" << "VT_ARRAY | VT_UI1";
    QTest::newRow("8201") << "8201" << "(unknown)";
    QTest::newRow("double array flag") << "16392" << "(unknown)";
    QTest::newRow("value text") << "8,abc" << "VT_BSTR";
    QTest::newRow("blanks first") << "  3" << "VT_I4";
    QTest::newRow("hexadecimal") << "&H2008" << "VT_ARRAY | VT_BSTR";
    QTest::newRow("letters") << "abc" << "VT_EMPTY";
}

void tst_VariantTypes::vtName()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QCOMPARE(VTName(code), name);
}

void tst_VariantTypes::vtNameOverflow()
{
    try {
        VTName(QStringLiteral("3000000000,1"));
        QFAIL("no overflow");
    } catch (const MivError &error) {
        QCOMPARE(error.code(), MivCode::BasicOverflow);
        QCOMPARE(error.description(), QStringLiteral("Overflow"));
    }
}

void tst_VariantTypes::typeCodeOfIndex_data()
{
    QTest::addColumn<qint16>("index");
    QTest::addColumn<qint16>("code");
    const qint16 codes[] = { 0, 1, 11, 17, 2, 3, 4, 5, 6, 7, 8,
                             8203, 8209, 8194, 8195, 8196, 8197, 8200, 8199, 8198, 8204, -1 };
    for (qint16 i = 0; i < qint16(std::size(codes)); ++i)
        QTest::addRow("%d", i) << i << codes[i];
    QTest::newRow("22") << qint16(22) << qint16(-1);
    QTest::newRow("no selection") << qint16(-1) << qint16(-1);
    QTest::newRow("most negative") << qint16(-32768) << qint16(-1);
}

void tst_VariantTypes::typeCodeOfIndex()
{
    QFETCH(qint16, index);
    QFETCH(qint16, code);
    QCOMPARE(TypeCodeOfIndex(index), code);
}

void tst_VariantTypes::fillShortTypeList()
{
    const QStringList texts { "EMPTY", "NULL", "BOOL", "UI1", "I2", "I4", "R4", "R8",
                              "CY", "DATE", "BSTR", "ARRAY | BOOL", "ARRAY | UI", "ARRAY | I2",
                              "ARRAY | I4", "ARRAY | R4", "ARRAY | R8", "ARRAY | BSTR",
                              "ARRAY | DATE", "ARRAY | CY", "ARRAY | VARIANT", "(Unkown)" };
    QComboBox combo;
    combo.addItems({ QStringLiteral("left over"), QStringLiteral("from before") });
    combo.setCurrentIndex(1);
    for (int fill = 0; fill < 2; ++fill) {
        FillShortTypeList(&combo);
        QStringList shown;
        for (int i = 0; i < combo.count(); ++i)
            shown << combo.itemText(i);
        QCOMPARE(shown, texts);
        QCOMPARE(combo.currentIndex(), 10);
        QCOMPARE(combo.currentText(), QStringLiteral("BSTR"));
    }
}

void tst_VariantTypes::fillVTTypeList()
{
    const QList<QPair<QString, qint32>> entries {
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
    };
    QComboBox combo;
    QSignalSpy changed(&combo, &QComboBox::currentIndexChanged);
    FillVTTypeList(&combo);
    QCOMPARE(combo.count(), entries.size());
    for (int i = 0; i < combo.count(); ++i) {
        QCOMPARE(combo.itemText(i), entries[i].first);
        QCOMPARE(combo.itemData(i, Qt::UserRole).toInt(), entries[i].second);
        // Every real entry names the type of its item value.
        if (entries[i].second < 998)
            QCOMPARE(VTName(QString::number(entries[i].second)), entries[i].first);
    }
    QCOMPARE(combo.currentIndex(), 0);
    // The selection's change handler runs for index 0.
    QVERIFY(!changed.isEmpty());
    QCOMPARE(changed.last().at(0).toInt(), 0);
}

void tst_VariantTypes::makeValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("index");
    QTest::addColumn<quint16>("type");
    QTest::newRow("NULL ignores the text") << "whatever" << 1 << quint16(VT_NULL);
    QTest::newRow("EMPTY ignores the text") << "5" << 0 << quint16(VT_EMPTY);
    QTest::newRow("BSTR") << "abc" << 10 << quint16(VT_BSTR);
    QTest::newRow("I4") << "42" << 5 << quint16(VT_I4);
    QTest::newRow("ARRAY | UI") << "1,2,3" << 12 << quint16(VT_ARRAY | VT_UI1);
    QTest::newRow("ARRAY | BSTR") << "a,b" << 17 << quint16(VT_ARRAY | VT_BSTR);
}

void tst_VariantTypes::makeValue()
{
    QFETCH(QString, text);
    QFETCH(qint32, index);
    QFETCH(quint16, type);
    MivConverter converter;
    g_mivConverter = &converter;
    const MivVariant value = MakeValue(text, index);
    QCOMPARE(value.type(), type);
    if (type == VT_BSTR)
        QCOMPARE(value.bstr(), text);
    if (type == VT_I4)
        QCOMPARE(value.i4(), text.toInt());
    if (type & VT_ARRAY)
        QCOMPARE(value.array().elements.size(), 3 - int(type == (VT_ARRAY | VT_BSTR)));
}

void tst_VariantTypes::makeValueWithoutType()
{
    // No converter at all: an index without a type must not need one.
    for (const qint32 index : { 21, 22, -1, 32767, -32768 })
        QVERIFY(MakeValue(QStringLiteral("abc"), index).isEmpty());
}

void tst_VariantTypes::makeValueErrors()
{
    MivConverter converter;
    g_mivConverter = &converter;
    for (const qint32 index : { 32768, -32769 }) {
        try {
            MakeValue(QStringLiteral("1"), index);
            QFAIL("no overflow");
        } catch (const MivError &error) {
            QCOMPARE(error.code(), MivCode::BasicOverflow);
        }
    }
    // The converter's refusal reaches the caller unchanged.
    QVERIFY_THROWS_EXCEPTION(MivError, MakeValue(QStringLiteral("abc"), 5));
    g_mivConverter = nullptr;
    QVERIFY_THROWS_EXCEPTION(MivError, MakeValue(QStringLiteral("abc"), 10));
}

QTEST_MAIN(tst_VariantTypes)
#include "tst_VariantTypes.moc"
