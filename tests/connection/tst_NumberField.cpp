// The rules of the dialog's numeric fields, without the dialog.

#include "NumberField.h"

#include <QTest>

class tst_NumberField : public QObject
{
    Q_OBJECT
private slots:
    void check_data();
    void check();
    void convertInto_data();
    void convertInto();
};

void tst_NumberField::check_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("trimmed");
    QTest::addColumn<QString>("shown"); // empty: the check fails
    QTest::newRow("blanks and zeros") << " 0042 " << "0042" << "42";
    QTest::newRow("zero") << "000" << "000" << "0";
    QTest::newRow("15 digits stay plain") << "999999999999999" << "999999999999999" << "999999999999999";
    QTest::newRow("16 digits: exponent") << "1234567890123456" << "1234567890123456" << "1.23456789012346E+15";
    QTest::newRow("10^15") << "1000000000000000" << "1000000000000000" << "1E+15";
    QTest::newRow("three-digit exponent") << QString(120, u'7') << QString(120, u'7') << "7.77777777777778E+119";
    QTest::newRow("tab is no blank") << "\t5" << "\t5" << "";
    QTest::newRow("letter") << " 12a " << "12a" << "";
    QTest::newRow("only blanks") << "   " << "" << "";
    QTest::newRow("negative") << "-5" << "-5" << "";
    QTest::newRow("fraction") << "1.5" << "1.5" << "";
    QTest::newRow("beyond a double") << QString(400, u'9') << QString(400, u'9') << "";
}

void tst_NumberField::check()
{
    QFETCH(QString, typed);
    QFETCH(QString, trimmed);
    QFETCH(QString, shown);
    QCOMPARE(TrimBlanks(typed), trimmed);
    QCOMPARE(NumberFieldText(trimmed).value_or(QString()), shown);
}

void tst_NumberField::convertInto_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("asShort"); // what a 16-bit setting holding 7 holds afterwards
    QTest::addColumn<qint64>("asLong");
    QTest::newRow("fits both") << "42" << 42 << qint64(42);
    QTest::newRow("above 16 bits") << "40000" << 7 << qint64(40000);
    QTest::newRow("largest long") << "2147483647" << 7 << qint64(2147483647);
    QTest::newRow("above 32 bits") << "2147483648" << 7 << qint64(7);
    QTest::newRow("exponent form") << "1.23456789012346E+16" << 7 << qint64(7);
    QTest::newRow("empty") << "" << 7 << qint64(7);
}

void tst_NumberField::convertInto()
{
    QFETCH(QString, text);
    QFETCH(int, asShort);
    QFETCH(qint64, asLong);
    qint16 shortSetting = 7;
    qint32 longSetting = 7;
    ConvertInto(text, shortSetting);
    ConvertInto(text, longSetting);
    QCOMPARE(int(shortSetting), asShort);
    QCOMPARE(qint64(longSetting), asLong);
}

QTEST_APPLESS_MAIN(tst_NumberField)
#include "tst_NumberField.moc"
