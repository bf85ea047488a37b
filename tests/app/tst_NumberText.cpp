#include "LeadingNumber.h"
#include "MivError.h"
#include "modMain.h"

#include <QTest>

#include <cmath>

class tst_NumberText : public QObject
{
    Q_OBJECT
private slots:
    void isAllDigits_data();
    void isAllDigits();
    void isNumberText_data();
    void isNumberText();
    void leadingLong_data();
    void leadingLong();
    void leadingNumberOutOfRange_data();
    void leadingNumberOutOfRange();
};

void tst_NumberText::isAllDigits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("zero") << "0" << true;
    QTest::newRow("leading zeros") << "007" << true;
    QTest::newRow("letter after") << "12a" << false;
    QTest::newRow("leading blank") << " 12" << false;
    QTest::newRow("plus") << "+1" << false;
    QTest::newRow("point") << "1.0" << false;
    QTest::newRow("minus") << "-5" << false;
    QTest::newRow("full-width digit") << QString::fromUtf8("1\xef\xbc\x92") << false;
    QTest::newRow("arabic-indic digit") << QString::fromUtf8("\xd9\xa3") << false;
}

void tst_NumberText::isAllDigits()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(IsAllDigits(text), expected);
}

void tst_NumberText::isNumberText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<QString>("after");
    QTest::newRow("blanks around") << " 007 " << true << "7";
    QTest::newRow("42 in blanks") << "  42  " << true << "42";
    QTest::newRow("minus zero") << "-0" << true << "0";
    QTest::newRow("exponent") << "1e3" << true << "1000";
    QTest::newRow("upper exponent signed") << "25E-1" << true << "2";
    QTest::newRow("half to even down") << "0.5" << true << "0";
    QTest::newRow("two and a half") << "2.5" << true << "2";
    QTest::newRow("one and a half") << "1.5" << true << "2";
    QTest::newRow("negative half") << "-2.5" << true << "-2";
    QTest::newRow("plus sign") << "+3" << true << "3";
    QTest::newRow("negative stays") << "-3" << true << "-3";
    QTest::newRow("trailing point") << "5." << true << "5";
    QTest::newRow("leading point") << ".7" << true << "1";
    QTest::newRow("largest") << "2147483647" << true << "2147483647";
    QTest::newRow("smallest") << "-2147483648" << true << "-2147483648";
    QTest::newRow("letters after") << "12abc" << false << "12abc";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("lone minus") << "-" << false << "-";
    QTest::newRow("lone point") << "." << false << ".";
    QTest::newRow("letters") << "abc" << false << "abc";
    QTest::newRow("blanks only") << "   " << false << "   ";
    QTest::newRow("exponent without digits") << "1e" << false << "1e";
    QTest::newRow("inner blank") << "1 2" << false << "1 2";
    QTest::newRow("full-width digit") << QString::fromUtf8("\xef\xbc\x91") << false
                                      << QString::fromUtf8("\xef\xbc\x91");
    QTest::newRow("hexadecimal") << "&H10" << false << "&H10";
    QTest::newRow("thousands separator") << "1,000" << false << "1,000";
    QTest::newRow("above 32 bits") << "2147483648" << false << "2147483648";
    QTest::newRow("rounds above 32 bits") << "2147483647.5" << false << "2147483647.5";
    QTest::newRow("below 32 bits") << "-2147483649" << false << "-2147483649";
    QTest::newRow("huge exponent") << "1e400" << false << "1e400";
    QTest::newRow("tiny exponent") << "1e-400" << true << "0";
}

void tst_NumberText::isNumberText()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QFETCH(QString, after);
    QCOMPARE(IsNumberText(text), expected);
    QCOMPARE(text, after);
}

void tst_NumberText::leadingLong_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("expected");
    QTest::newRow("hex failure code") << "&H80004005" << qint32(-2147467259);
    QTest::newRow("hex lower case") << "&hffff" << qint32(65535);
    QTest::newRow("hex all ones") << "&HFFFFFFFF" << qint32(-1);
    QTest::newRow("hex leading zeros") << "&H0000000000FF" << qint32(255);
    QTest::newRow("hex stops at non-digit") << "&H1G" << qint32(1);
    QTest::newRow("hex without digits") << "&H" << qint32(0);
    QTest::newRow("octal") << "&O17" << qint32(15);
    QTest::newRow("octal stops at 8") << "&o178" << qint32(15);
    QTest::newRow("half down to even") << "12.5" << qint32(12);
    QTest::newRow("half up to even") << "13.5" << qint32(14);
    QTest::newRow("negative half") << "-0.5" << qint32(0);
    QTest::newRow("letters") << "abc" << qint32(0);
    QTest::newRow("blanks sign exponent tail") << "  -3.7e1x" << qint32(-37);
    QTest::newRow("D exponent") << "2d2" << qint32(200);
    QTest::newRow("dangling exponent") << "7e+" << qint32(7);
    QTest::newRow("comma ends it") << "8,abc" << qint32(8);
    QTest::newRow("empty") << "" << qint32(0);
    QTest::newRow("sign only") << "-x" << qint32(0);
    QTest::newRow("tab first") << "\t42" << qint32(42);
    QTest::newRow("smallest") << "-2147483648" << qint32(-2147483648);
    QTest::newRow("tiny") << "1e-999" << qint32(0);
}

void tst_NumberText::leadingLong()
{
    QFETCH(QString, text);
    QFETCH(qint32, expected);
    QCOMPARE(LeadingInt32(text), expected);
}

void tst_NumberText::leadingNumberOutOfRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("three thousand million") << "3000000000";
    QTest::newRow("just above") << "2147483647.5";
    QTest::newRow("just below") << "-2147483648.6";
    QTest::newRow("hex beyond 32 bits") << "&H100000000";
    QTest::newRow("very long hex") << "&HFFFFFFFFFFFFFFFFFFFFFFFF";
    QTest::newRow("huge exponent") << "1e999";
    QTest::newRow("huge negative exponent") << "-1e99999999999999999999";
}

void tst_NumberText::leadingNumberOutOfRange()
{
    QFETCH(QString, text);
    try {
        LeadingInt32(text);
        QFAIL("no overflow");
    } catch (const MivError &error) {
        QCOMPARE(error.code(), MivCode::BasicOverflow);
        QCOMPARE(error.description(), QStringLiteral("Overflow"));
    }
}

QTEST_APPLESS_MAIN(tst_NumberText)
#include "tst_NumberText.moc"
