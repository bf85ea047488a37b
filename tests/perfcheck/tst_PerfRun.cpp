// Runs of the performance window against kelpeer as the device, end to end.

#include "MivError.h"
#include "MivVariable.h"
#include "PerfRig.h"
#include "VariantTypes.h"
#include "WindowTestMain.h"
#include "modAPI.h"

#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString kPutFailed = QStringLiteral("'IMivVariable->put_Value' is failed.");
const QString kGetFailed = QStringLiteral("'IMivVariable->get_Value' is failed.");
const QString kDifferent = QStringLiteral("Write data and read data are different.");

} // namespace

Q_DECLARE_METATYPE(Settings)

class tst_PerfRun : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void outcome_data();
    void outcome();
    void writeReadAlternates();
    void timeLimitZero();
    void stopInfiniteRun();
    void elapsed_data();
    void elapsed();
    void invalidValueAddsNoRows();
    void rowsOfTwoRuns();
    void boxBeforeEndTimes();
    void closeDuringRun_data();
    void closeDuringRun();
    void debugOutput_data();
    void debugOutput();
};

void tst_PerfRun::init()
{
    if (PeerProcess::program().isEmpty())
        QSKIP("KELPEER is not set");
}

void tst_PerfRun::outcome_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QString>("endAction");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("puts");
    QTest::addColumn<int>("gets");

    const QStringList none;
    const QStringList failPut = {QStringLiteral("--fail"), QStringLiteral("PUT")};
    const QStringList failGet = {QStringLiteral("--fail"), QStringLiteral("GET")};
    Settings s;
    QTest::newRow("read 3") << none << s << "END" << QStringList() << 0 << 3;
    s.mode = Write;
    QTest::newRow("write 3") << none << s << "END" << QStringList() << 3 << 0;
    s.mode = WriteRead;
    QTest::newRow("write&read 3") << none << s << "END" << QStringList() << 3 << 3;

    Settings check = s;
    check.dataCheck = true;
    check.typeIndex = I4;
    check.value = QStringLiteral("0042");
    QTest::newRow("data check equal") << none << check << "END" << QStringList() << 3 << 3;
    check.typeIndex = ArrayI4;
    check.value = QStringLiteral("1,2");
    QTest::newRow("array fails check") << none << check << "ERROR" << QStringList{kDifferent} << 1 << 1;
    check.ignore = true;
    QTest::newRow("array check ignored") << none << check << "ERROR" << QStringList{kDifferent} << 3 << 3;
    check.ignore = false;
    check.mode = Write;
    QTest::newRow("check off in write") << none << check << "END" << QStringList() << 3 << 0;

    Settings w;
    w.mode = Write;
    QTest::newRow("write refused") << failPut << w << "ERROR" << QStringList{kPutFailed} << 1 << 0;
    w.ignore = true;
    QTest::newRow("write refused, ignored") << failPut << w << "ERROR" << QStringList{kPutFailed} << 3 << 0;
    w.mode = WriteRead;
    QTest::newRow("write refused, read goes on") << failPut << w << "ERROR" << QStringList{kPutFailed} << 3 << 3;
    Settings r;
    QTest::newRow("read refused") << failGet << r << "ERROR" << QStringList{kGetFailed} << 0 << 1;
    r.mode = WriteRead;
    r.dataCheck = true;
    r.ignore = true;
    // The last failure names the run: the comparison after each refused read.
    QTest::newRow("read refused, compared") << failGet << r << "ERROR" << QStringList{kDifferent} << 3 << 3;
}

void tst_PerfRun::outcome()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(Settings, settings);
    QFETCH(QString, endAction);
    QFETCH(QStringList, messages);
    QFETCH(int, puts);
    QFETCH(int, gets);

    Rig rig(peerArgs);
    QVERIFY(rig.ok());
    rig.apply(settings);
    rig.start();

    const QStringList frames = rig.frames(puts + gets);
    QCOMPARE(countPrefix(frames, QStringLiteral("PUT:A:1:X:")), puts);
    QCOMPARE(countPrefix(frames, QStringLiteral("GET:A:1:X:")), gets);
    QCOMPARE(frames.size(), puts + gets);
    QCOMPARE(rig.ui.boxes.texts(), messages);
    QCOMPARE(rig.list()->topLevelItemCount(), 2);
    QCOMPARE(rig.row(0).at(0), QStringLiteral("START"));
    QCOMPARE(rig.row(1).at(0), endAction);
    QVERIFY(rig.ui.control(QStringLiteral("cmdStart"))->isEnabled());
    QVERIFY(!rig.ui.control(QStringLiteral("cmdStop"))->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

void tst_PerfRun::writeReadAlternates()
{
    Rig rig;
    QVERIFY(rig.ok());
    Settings s;
    s.mode = WriteRead;
    s.typeIndex = I4;
    s.value = QStringLiteral("7");
    rig.apply(s);
    rig.start();
    const QString put = QStringLiteral("PUT:A:1:X:3,7");
    const QString get = QStringLiteral("GET:A:1:X:");
    QCOMPARE(rig.frames(6), (QStringList{put, get, put, get, put, get}));
    QCOMPARE(rig.variable->Value(), MivVariant(qint32(7)));
}

void tst_PerfRun::timeLimitZero()
{
    Rig rig;
    QVERIFY(rig.ok());
    Settings s;
    s.pattern = 0;
    rig.apply(s);
    rig.type(QStringLiteral("txtMinute"), QStringLiteral("0"));
    stopAfter(rig.ui.window.get(), 10000);
    rig.start();
    QVERIFY(rig.frames().isEmpty());
    QCOMPARE(rig.row(1).at(0), QStringLiteral("END"));
    QVERIFY(rig.row(1).at(2).toInt() < 1000);
}

void tst_PerfRun::stopInfiniteRun()
{
    Rig rig;
    QVERIFY(rig.ok());
    Settings s;
    s.pattern = 2;
    rig.apply(s);
    frmPerfChk *window = rig.ui.window.get();
    bool stopWasEnabled = false;
    QTimer::singleShot(100, window, [&] {
        stopWasEnabled = rig.ui.control(QStringLiteral("cmdStop"))->isEnabled();
        rig.ui.click(QStringLiteral("cmdStop"));
    });
    QTimer::singleShot(10000, window, [&] { window->close(); }); // only if the stop was lost
    rig.start();
    QVERIFY(stopWasEnabled);
    QVERIFY(window->isVisible());
    QCOMPARE(rig.row(1).at(0), QStringLiteral("END"));
    const int reads = rig.frames().size();
    QVERIFY(reads >= 1);
    QTest::qWait(100);
    QCOMPARE(rig.frames().size(), reads);
}

void tst_PerfRun::elapsed_data()
{
    QTest::addColumn<quint32>("startTick");
    QTest::addColumn<quint32>("endTick");
    QTest::addColumn<QString>("shown");
    QTest::newRow("wraps") << 0xFFFFFFF0u << 0x10u << "32";
    QTest::newRow("plain") << 1000u << 2234u << "1234";
    QTest::newRow("zero") << 5u << 5u << "0";
}

void tst_PerfRun::elapsed()
{
    QFETCH(quint32, startTick);
    QFETCH(quint32, endTick);
    QFETCH(QString, shown);
    Rig rig;
    QVERIFY(rig.ok());
    rig.apply(Settings());
    int calls = 0;
    modAPI::SetTickSource([&] { return calls++ == 0 ? startTick : endTick; });
    rig.start();
    modAPI::SetTickSource({});
    QCOMPARE(calls, 2);
    QCOMPARE(rig.row(1).at(2), shown);
}

void tst_PerfRun::invalidValueAddsNoRows()
{
    Rig rig;
    QVERIFY(rig.ok());
    Settings s;
    s.mode = Write;
    s.typeIndex = I4;
    s.value = QStringLiteral("abc");
    rig.apply(s);
    QString description;
    try {
        MakeValue(s.value, s.typeIndex);
    } catch (const MivError &e) {
        description = e.description();
    }
    QVERIFY(!description.isEmpty());
    rig.start();
    QCOMPARE(rig.ui.boxes.texts(), QStringList{description});
    QCOMPARE(rig.list()->topLevelItemCount(), 0);
    QVERIFY(rig.frames().isEmpty());
    QVERIFY(rig.ui.control(QStringLiteral("cmdStart"))->isEnabled());
    QVERIFY(rig.ui.control(QStringLiteral("txtValue"))->isEnabled());
    QVERIFY(!rig.ui.control(QStringLiteral("cmdStop"))->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

void tst_PerfRun::rowsOfTwoRuns()
{
    Rig rig;
    QVERIFY(rig.ok());
    rig.apply(Settings());
    rig.start();
    rig.start();
    QCOMPARE(rig.list()->topLevelItemCount(), 4);
    const QRegularExpression stamp(QStringLiteral("^\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"));
    for (int i : {0, 2}) {
        QCOMPARE(rig.row(i).at(0), QStringLiteral("START"));
        QVERIFY(stamp.match(rig.row(i).at(1)).hasMatch());
        QCOMPARE(rig.row(i).at(2), QStringLiteral(" "));
        QCOMPARE(rig.row(i + 1).at(0), QStringLiteral("END"));
        QVERIFY(stamp.match(rig.row(i + 1).at(1)).hasMatch());
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+$")).match(rig.row(i + 1).at(2)).hasMatch());
    }
    QVERIFY(rig.list()->topLevelItem(1)->textAlignment(2) & Qt::AlignRight);
    rig.ui.click(QStringLiteral("cmdClear"));
    QCOMPARE(rig.list()->topLevelItemCount(), 0);
}

void tst_PerfRun::boxBeforeEndTimes()
{
    Rig rig({QStringLiteral("--fail"), QStringLiteral("PUT")});
    QVERIFY(rig.ok());
    Settings s;
    s.mode = Write;
    rig.apply(s);
    QStringList rowDuringBox;
    rig.ui.boxes.onShow = [&](const QString &) { rowDuringBox = rig.row(1); };
    rig.start();
    QCOMPARE(rowDuringBox, (QStringList{QStringLiteral("ERROR"), QString(), QString()}));
    QCOMPARE(rig.row(1).at(0), QStringLiteral("ERROR"));
    QVERIFY(!rig.row(1).at(1).isEmpty());
    QVERIFY(!rig.row(1).at(2).isEmpty());
}

void tst_PerfRun::closeDuringRun_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<QString>("endAction");
    QTest::addColumn<bool>("modal");
    QTest::newRow("clean run") << QStringList() << "END" << false;
    QTest::newRow("ignored failures") << QStringList{QStringLiteral("--fail"), QStringLiteral("GET")} << "ERROR"
                                      << false;
    QTest::newRow("inside exec") << QStringList() << "END" << true;
}

void tst_PerfRun::closeDuringRun()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(QString, endAction);
    QFETCH(bool, modal);
    Rig rig(peerArgs);
    QVERIFY(rig.ok());
    Settings s;
    s.pattern = 2;
    s.ignore = true;
    rig.apply(s);
    const auto process = modAPI::GetCurrentProcess();
    const bool raised = modAPI::GetPriorityClass(process) == modAPI::HIGH_PRIORITY_CLASS;
    frmPerfChk *window = rig.ui.window.get();
    QTimer::singleShot(100, window, [window] { window->close(); });
    stopAfter(window, 10000);
    if (modal) {
        // As the main window has it: the run inside exec(), the window deleted after it.
        QTimer::singleShot(0, window, [&rig] { rig.start(); });
        window->exec();
    } else {
        rig.start();
    }

    QVERIFY(!window->isVisible());
    QVERIFY(!window->m_mivVar);
    if (raised)
        QCOMPARE(modAPI::GetPriorityClass(process), modAPI::NORMAL_PRIORITY_CLASS);
    QCOMPARE(rig.list()->topLevelItemCount(), 2);
    QCOMPARE(rig.row(1).at(0), endAction);
    QVERIFY(rig.ui.boxes.texts().isEmpty()); // no box for a window that has gone
    const int frames = rig.frames().size();
    QTest::qWait(100);
    QCOMPARE(rig.frames().size(), frames);
    QVERIFY(!QApplication::overrideCursor());
}

void tst_PerfRun::debugOutput_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("output");
    QTest::addColumn<QList<QByteArray>>("records");
    const QByteArray abc = "8,abc";
    QTest::newRow("write&read") << int(WriteRead) << true << QList<QByteArray>{abc, abc, abc};
    QTest::newRow("read of a fresh variable") << int(Read) << true << QList<QByteArray>{"0", "0", "0"};
    QTest::newRow("write only") << int(Write) << true << QList<QByteArray>();
    QTest::newRow("unticked") << int(WriteRead) << false << QList<QByteArray>();
}

void tst_PerfRun::debugOutput()
{
    QFETCH(int, mode);
    QFETCH(bool, output);
    QFETCH(QList<QByteArray>, records);
    Rig rig;
    QVERIFY(rig.ok());
    Settings s;
    s.mode = mode;
    s.output = output;
    rig.apply(s);
    QList<QByteArray> seen;
    modAPI::SetDebugSink([&](const QByteArray &text) { seen << text; });
    rig.start();
    modAPI::SetDebugSink({});
    QCOMPARE(seen, records);
}

KEL_WINDOW_TEST_MAIN(tst_PerfRun)

#include "tst_PerfRun.moc"
