// The reply, answer and result texts of the main window's log, without a window.

#include "AnswerText.h"
#include "MivError.h"
#include "ReplyText.h"

#include <QTest>

#include <optional>

namespace {
constexpr qint32 kNoError = 0;
constexpr qint32 kSubscript = 9;
constexpr qint32 kMismatch = 13;
constexpr qint32 kNoType = -1;
constexpr qint64 kOverflows = -1;
} // namespace

class tst_ReplyText : public QObject
{
    Q_OBJECT
private slots:
    void interpretedAnswer_data();
    void interpretedAnswer();
    void resultText_data();
    void resultText();
    void replyText_data();
    void replyText();
    void replyDelay_data();
    void replyDelay();
};

void tst_ReplyText::interpretedAnswer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<qint32>("error");
    QTest::newRow("value keeps commas") << "0,8,abc,def" << "HRESULT=0, Type=VT_BSTR, Value=abc,def" << kNoError;
    QTest::newRow("code alone") << "0" << "HRESULT=0" << kNoError;
    QTest::newRow("type 0") << "0,0" << "HRESULT=0" << kNoError;
    QTest::newRow("type 0.0 in blanks") << "5, 0.0 ,zz" << "HRESULT=5" << kNoError;
    QTest::newRow("type in blanks") << "0, 3 ,7" << "HRESULT=0, Type=VT_I4, Value=7" << kNoError;
    QTest::newRow("unknown type") << "0,99,z" << "HRESULT=0, Type=(unknown), Value=z" << kNoError;
    QTest::newRow("empty value") << "1,8," << "HRESULT=1, Type=VT_BSTR, Value=" << kNoError;
    QTest::newRow("type without value") << "0,3" << "" << kSubscript;
    QTest::newRow("empty answer") << "" << "" << kSubscript;
    QTest::newRow("type not a number") << "0,x,1" << "" << kMismatch;
    QTest::newRow("type with a tail") << "0,3x,1" << "" << kMismatch;
    QTest::newRow("hexadecimal type") << "0,&H3,1" << "" << kMismatch;
    QTest::newRow("type beyond 32 bits") << "0,1e10,1" << "" << MivCode::BasicOverflow;
    QTest::newRow("type beyond a double") << "0,1e400,1" << "" << MivCode::BasicOverflow;
}

void tst_ReplyText::interpretedAnswer()
{
    QFETCH(QString, answer);
    QFETCH(QString, logged);
    QFETCH(qint32, error);
    try {
        QCOMPARE(InterpretedAnswer(answer), logged);
        QCOMPARE(error, kNoError);
    } catch (const MivError &e) {
        QCOMPARE(e.code(), error);
    }
}

void tst_ReplyText::resultText_data()
{
    QTest::addColumn<QString>("valueText");
    QTest::addColumn<QString>("logged");
    QTest::newRow("long") << "3,100" << "Type=VT_I4, Value=100";
    QTest::newRow("text with commas") << "8,a, b,,c" << "Type=VT_BSTR, Value=a, b,,c";
    QTest::newRow("array") << "8195,1,2,3" << "Type=VT_ARRAY | VT_I4, Value=1,2,3";
    QTest::newRow("null has no value part") << "1" << "Type=VT_NULL";
    QTest::newRow("empty") << "0" << "Type=VT_EMPTY";
}

void tst_ReplyText::resultText()
{
    QFETCH(QString, valueText);
    QFETCH(QString, logged);
    QCOMPARE(ResultText(valueText), logged);
}

void tst_ReplyText::replyText_data()
{
    QTest::addColumn<QString>("hresult");
    QTest::addColumn<qint32>("typeCode");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("reply");
    QTest::newRow("code alone") << "0" << kNoType << "ignored" << "0";
    QTest::newRow("long") << "0" << 3 << "100" << "0,3,100";
    QTest::newRow("text with commas") << "-5" << 8 << "a,b,,c" << "-5,8,a,b,,c";
    QTest::newRow("empty value") << "0" << 8 << "" << "0,8,";
}

void tst_ReplyText::replyText()
{
    QFETCH(QString, hresult);
    QFETCH(qint32, typeCode);
    QFETCH(QString, value);
    QFETCH(QString, reply);
    const auto type = typeCode == kNoType ? std::nullopt : std::optional<qint32>(typeCode);
    QCOMPARE(ReplyText(hresult, type, value), reply);
    QCOMPARE(AutoReplyLogText(reply, QStringLiteral("5")), QStringLiteral("AutoReply\"%1\", Delay=5").arg(reply));
}

void tst_ReplyText::replyDelay_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<qint64>("waitMs");
    QTest::newRow("zero") << "0" << "0" << qint64(0);
    QTest::newRow("kept unrounded, waits rounded") << "12.5" << "12.5" << qint64(12);
    QTest::newRow("half up to even") << "199.5" << "199.5" << qint64(200);
    QTest::newRow("leading number") << "  250ms" << "250" << qint64(250);
    QTest::newRow("hexadecimal") << "&H10" << "16" << qint64(16);
    QTest::newRow("no number") << "abc" << "0" << qint64(0);
    QTest::newRow("negative waits not at all") << "-100000" << "-100000" << qint64(0);
    QTest::newRow("beyond 32 bits") << "3000000000" << "3000000000" << kOverflows;
    QTest::newRow("exponent form") << "1e20" << "1e+20" << kOverflows;
}

void tst_ReplyText::replyDelay()
{
    QFETCH(QString, field);
    QFETCH(QString, stored);
    QFETCH(qint64, waitMs);
    QCOMPARE(ReplyDelayText(field), stored);
    if (waitMs == kOverflows)
        QVERIFY_THROWS_EXCEPTION(MivError, ReplyDelayMs(stored));
    else
        QCOMPARE(qint64(ReplyDelayMs(stored)), waitMs);
}

QTEST_APPLESS_MAIN(tst_ReplyText)
#include "tst_ReplyText.moc"
