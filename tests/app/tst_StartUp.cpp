// KELTester's start: what its command line answers without a display, and the private runtime
// folder it makes where the environment names none.

#include "RuntimeFolder.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

constexpr int kWaitMs = 10000;
constexpr int kUsageStatus = 2; // a bad option; a refused profile ends with 1
constexpr char kVariable[] = "XDG_RUNTIME_DIR";

} // namespace

class tst_StartUp : public QObject
{
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
    void runtimeFolder_data();
    void runtimeFolder();
};

void tst_StartUp::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out"); // a line standard output holds
    QTest::addColumn<QString>("err"); // a text standard error holds

    QTest::newRow("--help") << QStringList{"--help"} << 0 << "  -h, --help      print this help and exit" << "";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << "Usage: KELTester [OPTION]..." << "";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "KELTester " KEL_VERSION << "";
    QTest::newRow("Qt's option beside --version") << QStringList{"-style", "Fusion", "--version"} << 0
                                                  << "KELTester " KEL_VERSION << "";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "" << "KELTester: Unknown option 'bogus'.";
    QTest::newRow("unknown after --help") << QStringList{"--help", "-x"} << 2 << "" << "Unknown option 'x'.";
    QTest::newRow("an argument") << QStringList{"file"} << 2 << "" << "unexpected argument 'file'";
    QTest::newRow("--profile without its file") << QStringList{"--profile"} << 2 << ""
                                                << "Missing value after '--profile'.";
    QTest::newRow("a profile that is no file") << QStringList{"--profile", "/dev/zero"} << 1 << ""
                                               << "KELTester: /dev/zero: not a regular file";
    QTest::newRow("Qt's option without its value") << QStringList{"-platform"} << 2 << ""
                                                   << "Missing value after '-platform'.";
}

// No display: the answer comes without one.
void tst_StartUp::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const QString program = qEnvironmentVariable("KELTESTER");
    QVERIFY2(QFileInfo(program).isExecutable(), "KELTESTER names no program");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    QProcess tester;
    tester.setProcessEnvironment(environment);
    tester.start(program, arguments);
    QVERIFY(tester.waitForFinished(kWaitMs));
    const QString stdOut = QString::fromLocal8Bit(tester.readAllStandardOutput());
    const QString stdErr = QString::fromLocal8Bit(tester.readAllStandardError());
    QCOMPARE(tester.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tester.exitCode(), status);
    if (out.isEmpty())
        QVERIFY2(stdOut.isEmpty(), qPrintable(stdOut));
    else
        QVERIFY2(stdOut.split(u'\n').contains(out), qPrintable(stdOut));
    if (err.isEmpty())
        QVERIFY2(stdErr.isEmpty(), qPrintable(stdErr));
    else
        QVERIFY2(stdErr.contains(err) && (status != kUsageStatus || stdErr.contains(QLatin1String("Try 'KELTester --help'."))),
                 qPrintable(stdErr));
}

void tst_StartUp::runtimeFolder_data()
{
    QTest::addColumn<QByteArray>("given"); // the variable before; null: unset
    QTest::newRow("unset") << QByteArray();
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("set") << QByteArray("/run/user/4242");
}

// Qt finds a private folder, and never warns about a missing one; the folder goes at the end.
void tst_StartUp::runtimeFolder()
{
    QFETCH(QByteArray, given);
    const QByteArray saved = qgetenv(kVariable);
    const bool wasSet = qEnvironmentVariableIsSet(kVariable);
    if (given.isNull())
        qunsetenv(kVariable);
    else
        qputenv(kVariable, given);

    QString made;
    {
        const RuntimeFolder runtime(u"tst_startup");
        made = runtime.path();
        if (given.isEmpty()) {
            QTest::failOnWarning(QRegularExpression(QStringLiteral("XDG_RUNTIME_DIR")));
            QVERIFY(QFileInfo(made).isDir());
            const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
            const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
                                              | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
            QCOMPARE(QFileInfo(made).permissions() & (owner | others), owner);
            QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation), made);
        } else {
            QVERIFY(made.isEmpty());
            QCOMPARE(qgetenv(kVariable), given);
        }
    }
    const bool restored = given.isEmpty() ? !qEnvironmentVariableIsSet(kVariable) : qgetenv(kVariable) == given;
    if (wasSet)
        qputenv(kVariable, saved);
    else
        qunsetenv(kVariable);
    QVERIFY(restored);
    QVERIFY(made.isEmpty() || !QFileInfo::exists(made));
}

QTEST_GUILESS_MAIN(tst_StartUp)
#include "tst_StartUp.moc"
