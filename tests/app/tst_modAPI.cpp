#include "modAPI.h"

#include <QDateTime>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

using namespace modAPI;

class tst_modAPI : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void tickSourceAndWrap_data();
    void tickSourceAndWrap();
    void tickClockAdvances();
    void localTime();
    void debugSink();
    void debugStreamDefault();
    void priorityClass_data();
    void priorityClass();
};

void tst_modAPI::cleanup()
{
    SetTickSource({});
    SetDebugSink({});
}

void tst_modAPI::tickSourceAndWrap_data()
{
    QTest::addColumn<quint32>("start");
    QTest::addColumn<quint32>("end");
    QTest::addColumn<quint32>("elapsed");
    QTest::newRow("plain") << quint32(1000) << quint32(1500) << quint32(500);
    QTest::newRow("across the wrap") << quint32(0xFFFFFF00u) << quint32(0x100) << quint32(0x200);
    QTest::newRow("at the wrap") << quint32(0xFFFFFFFFu) << quint32(0) << quint32(1);
}

void tst_modAPI::tickSourceAndWrap()
{
    QFETCH(quint32, start);
    QFETCH(quint32, end);
    QFETCH(quint32, elapsed);
    QList<quint32> ticks { start, end };
    SetTickSource([&ticks] { return ticks.takeFirst(); });
    const quint32 first = GetTickCount();
    const quint32 second = GetTickCount();
    QCOMPARE(quint32(second - first), elapsed);
}

void tst_modAPI::tickClockAdvances()
{
    const quint32 first = GetTickCount();
    Sleep(30);
    const quint32 elapsed = GetTickCount() - first;
    QVERIFY2(elapsed >= 30 && elapsed < 10000, qPrintable(QString::number(elapsed)));
}

void tst_modAPI::localTime()
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const SYSTEMTIME st = GetLocalTime();
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    const QDateTime read(QDate(st.wYear, st.wMonth, st.wDay),
                         QTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds));
    QVERIFY(read >= before && read <= after);
    QCOMPARE(int(st.wDayOfWeek), read.date().dayOfWeek() % 7);
}

void tst_modAPI::debugSink()
{
    QList<QByteArray> records;
    SetDebugSink([&records](const QByteArray &text) { records << text; });
    const QByteArray withLineEnd("8,a\r\nb");
    OutputDebugStringA("3,42");
    OutputDebugStringA(withLineEnd);
    OutputDebugStringA(QByteArray());
    QCOMPARE(records, QList<QByteArray>({ "3,42", withLineEnd, QByteArray() }));
}

void tst_modAPI::debugStreamDefault()
{
    int fds[2];
    QCOMPARE(pipe(fds), 0);
    const int savedError = dup(STDERR_FILENO);
    dup2(fds[1], STDERR_FILENO);
    OutputDebugStringA("3,42");
    OutputDebugStringA(QByteArray("8,a\0b", 5));
    dup2(savedError, STDERR_FILENO);
    close(savedError);
    close(fds[1]);
    QByteArray written(64, '\0');
    const ssize_t n = read(fds[0], written.data(), size_t(written.size()));
    close(fds[0]);
    QCOMPARE(written.left(qsizetype(n)), QByteArray("3,42\n8,a\0b\n", 11));
}

void tst_modAPI::priorityClass_data()
{
    QTest::addColumn<quint32>("priorityClass");
    QTest::newRow("high") << HIGH_PRIORITY_CLASS;
    QTest::newRow("normal") << NORMAL_PRIORITY_CLASS;
}

void tst_modAPI::priorityClass()
{
    QFETCH(quint32, priorityClass);
    const int niceBefore = getpriority(PRIO_PROCESS, 0);
    if (!SetPriorityClass(GetCurrentProcess(), priorityClass)) {
        QCOMPARE(getpriority(PRIO_PROCESS, 0), niceBefore);
        QSKIP("raising the priority is refused to this user");
    }
    QCOMPARE(GetPriorityClass(GetCurrentProcess()), priorityClass);
}

QTEST_APPLESS_MAIN(tst_modAPI)
#include "tst_modAPI.moc"
