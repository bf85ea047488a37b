#include "PlanParser.h"
#include "DecidedRegex.h"
#include "PlanReport.h"

#include <QTemporaryDir>
#include <QTest>

class tst_PlanParse : public QObject
{
    Q_OBJECT
private slots:
    void badPlansAreRefused_data();
    void badPlansAreRefused();
    void badFilesAreRefused_data();
    void badFilesAreRefused();
    void matchesAreDecided_data();
    void matchesAreDecided();
    void resultLines_data();
    void resultLines();
};

void tst_PlanParse::badPlansAreRefused_data()
{
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<QString>("error");

    QTest::newRow("syntax error") << QByteArray("[[step]]\nsend = \"GET\nexpect = \"0\"\n") << "p.toml:2: ";
    QTest::newRow("unknown key") << QByteArray("[[step]]\nsend = \"A\"\n\ncolour = 1\n")
                                 << "p.toml:4: unknown key \"colour\" in a step";
    QTest::newRow("unknown key in [plan]") << QByteArray("[plan]\nretries = 2\n") << "p.toml:2: unknown key \"retries\" in [plan]";
    QTest::newRow("unknown table") << QByteArray("[steps]\n") << "p.toml:1: unknown key \"steps\"";
    QTest::newRow("two judges") << QByteArray("[[step]]\nsend = \"A\"\nexpect = \"0\"\nmatch = \"0\"\n")
                                << "p.toml:4: a step takes at most one of expect, match and expect_error";
    QTest::newRow("unknown placeholder") << QByteArray("[values]\nunit = \"A:1:X\"\n[[step]]\nsend = \"GET:{unti}:\"\n")
                                         << "p.toml:4: send has an unknown placeholder {unti}";
    QTest::newRow("a capture serves only later steps")
        << QByteArray("[[step]]\nsend = \"A\"\nexpect = \"{n}\"\n[[step]]\nsend = \"B\"\ncapture = \"n\"\n")
        << "p.toml:3: expect has an unknown placeholder {n}";
    QTest::newRow("bad regular expression") << QByteArray("[[step]]\nsend = \"A\"\nmatch = '^0,(8'\n")
                                            << "p.toml:3: match is not a valid regular expression: missing closing parenthesis";
    QTest::newRow("wrong type") << QByteArray("[[step]]\nsend = \"A\"\nwithin = \"fast\"\n")
                                << "p.toml:3: within must be milliseconds above 0";
    QTest::newRow("unknown error name") << QByteArray("[[step]]\nsend = \"A\"\nexpect_error = \"E_SOON\"\n")
                                        << "p.toml:3: expect_error \"E_SOON\" is not a known HRESULT name";
    QTest::newRow("a pause with a send") << QByteArray("[[step]]\npause = 5\nsend = \"A\"\n")
                                         << "p.toml:3: a pause sends nothing";
    QTest::newRow("a step without send") << QByteArray("[[step]]\nexpect = \"0\"\n") << "p.toml:1: a step needs send";
    QTest::newRow("a pause far past any whole number") << QByteArray("[[step]]\npause = 1e31\n")
                                                       << "p.toml:2: pause must be whole milliseconds";
    QTest::newRow("repeat 0") << QByteArray("[[step]]\nsend = \"A\"\nrepeat = 0\n") << "p.toml:3: repeat must be";
    QTest::newRow("a key of 100,000 parts")
        << QByteArray("[[step]]\nsend = \"a.b\"\n" + QByteArray("a") + QByteArray(".a").repeated(100000) + " = 1\n")
        << "p.toml:3: more than 32 dots on a line";
    QTest::newRow("arrays nested 10,000 deep")
        << QByteArray("x = " + QByteArray("[").repeated(10000) + QByteArray("]").repeated(10000) + "\n")
        << "p.toml:1: brackets nested deeper than 32";
    QTest::newRow("invalid UTF-8") << QByteArray("[plan]\nname = \"\xC3\x28\"\n") << "p.toml:2: ";
}

void tst_PlanParse::badPlansAreRefused()
{
    QFETCH(QByteArray, plan);
    QFETCH(QString, error);
    QString got;
    QVERIFY(!ParsePlan(plan, QStringLiteral("p.toml"), &got));
    QVERIFY2(got.startsWith(error), qPrintable(got));
}

void tst_PlanParse::badFilesAreRefused_data()
{
    QTest::addColumn<QString>("path"); // "big": a sparse file of 1 GB made here
    QTest::addColumn<QString>("error");

    QTest::newRow("1 GB") << "big" << "larger than 16777216 bytes";
    QTest::newRow("a device") << "/dev/zero" << "/dev/zero: not a regular file";
    QTest::newRow("a directory") << "/" << "/: not a regular file";
    QTest::newRow("missing") << "/nonexistent/p.toml" << "/nonexistent/p.toml: no such file";
}

void tst_PlanParse::badFilesAreRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, error);
    QTemporaryDir dir;
    if (path == u"big") {
        path = dir.filePath("big.toml");
        QFile big(path);
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(1) << 30));
    }
    QString got;
    QVERIFY(!LoadPlan(path, &got));
    QVERIFY2(got.endsWith(error), qPrintable(got));
}

void tst_PlanParse::matchesAreDecided_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("outcome"); // DecidedRegex::Outcome
    QTest::addColumn<QString>("group");

    const int match = int(DecidedRegex::Outcome::Match);
    QTest::newRow("the whole answer") << "0,8,(.+)" << "0,8,oven" << match << "oven";
    QTest::newRow("not a part of it") << "0,8" << "0,8,oven" << int(DecidedRegex::Outcome::NoMatch) << "";
    QTest::newRow("catastrophic backtracking gives up")
        << "(a+)+$" << QString(40, u'a') + u'!' << int(DecidedRegex::Outcome::Undecided) << "";
    QTest::newRow("a long answer and a deep pattern") << "0,8,((?:a|b)*)" << "0,8," + QString(65536, u'a') << match
                                                      << QString(65536, u'a');
}

void tst_PlanParse::matchesAreDecided()
{
    QFETCH(QString, pattern);
    QFETCH(QString, answer);
    QFETCH(int, outcome);
    QFETCH(QString, group);
    const DecidedRegex regex(pattern);
    QVERIFY2(regex.isValid(), qPrintable(regex.errorString()));
    const DecidedRegex::Result result = regex.match(answer, DecidedRegex::Anchoring::Whole);
    QCOMPARE(int(result.outcome), outcome);
    QCOMPARE(result.captured.value(1), group);
    QCOMPARE(result.why.isEmpty(), result.outcome != DecidedRegex::Outcome::Undecided);
}

void tst_PlanParse::resultLines_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("passed");
    QTest::addColumn<int>("repetitions"); // above 1: a repeat, with its percentiles
    QTest::addColumn<QString>("line");

    QTest::newRow("a default name ends in the request's colon") << "step 2: GET:A:1:X:" << true << 1
                                                                << "PASS step 2: GET:A:1:X: 0.41 ms";
    QTest::newRow("a name of its own") << "store 100" << true << 1 << "PASS store 100: 0.41 ms";
    QTest::newRow("a failure") << "store 100" << false << 1 << "FAIL store 100: expected \"0\", got \"1\"";
    QTest::newRow("a repeat whose name holds %2") << "at 100%2" << true << 50
                                                  << "PASS at 100%2: 50 requests, p50 0.4 ms, p99 1.25 ms";
}

void tst_PlanParse::resultLines()
{
    QFETCH(QString, name);
    QFETCH(bool, passed);
    QFETCH(int, repetitions);
    QFETCH(QString, line);
    PlanStepResult result;
    result.name = name;
    result.passed = passed;
    result.reason = QStringLiteral("expected \"0\", got \"1\"");
    result.us = 410;
    result.repetitions = repetitions;
    if (repetitions > 1) {
        result.p50Ms = 0.4;
        result.p99Ms = 1.25;
    }
    QCOMPARE(PlanResultLine(result), line);
}

QTEST_GUILESS_MAIN(tst_PlanParse)
#include "tst_plan_parse.moc"
