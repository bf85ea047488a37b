#include "BoundedFile.h"
#include "DecidedRegex.h"
#include "SessionRecordReader.h"
#include "SessionRecorder.h"
#include "TomlNesting.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace std::chrono;

namespace {

// Every line of a record file, each checked to be one whole JSON object.
QList<QJsonObject> ReadRecords(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QJsonObject> records;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (!line.endsWith('\n') || !document.isObject()) {
            qWarning("not a whole JSON line: %s (%s)", line.constData(), qPrintable(error.errorString()));
            return {};
        }
        records << document.object();
    }
    return records;
}

RecordedFrame Frame(FrameDirection dir, const QString &peer, const QString &text, steady_clock::time_point at)
{
    RecordedFrame frame;
    frame.direction = dir;
    frame.peer = peer;
    frame.text = text;
    frame.wire = text.toUtf8() + '\r';
    frame.steady = at;
    return frame;
}

} // namespace

class tst_record : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void sessionRecord();
    void textsSurvive_data();
    void textsSurvive();
    void timeOrder_data();
    void timeOrder();
    void cannotStart_data();
    void cannotStart();
    void writeFailureStops();
    void readerPairs();
    void readerRefuses_data();
    void readerRefuses();
    void readerTakesClientLinks_data();
    void readerTakesClientLinks();
    void boundedRead_data();
    void boundedRead();
    void tomlNesting_data();
    void tomlNesting();
    void decidedMatch_data();
    void decidedMatch();

private:
    QString fileIn(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_record::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_record::sessionRecord()
{
    const QString path = fileIn(QStringLiteral("session.jsonl"));
    SessionRecorder recorder;
    QSignalSpy changed(&recorder, &SessionRecorder::recordingChanged);
    QVERIFY2(recorder.start(path), qPrintable(recorder.errorString()));
    const steady_clock::time_point began = steady_clock::now();
    QVERIFY(!recorder.start(path)); // one at a time
    QVERIFY(recorder.errorString().contains(path));

    recorder.addLog(QStringLiteral("12:00:01\t[ Send ] START"));
    QTRY_COMPARE(ReadRecords(path).size(), 2); // flushed without a stop

    RecordedFrame out = Frame(FrameDirection::Out, QStringLiteral("127.0.0.1:5006"), QStringLiteral("START"), began);
    const qint64 outMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() + 123;
    out.wall = system_clock::time_point(milliseconds(outMs));
    out.wire = QByteArray("\x05START\r", 7);
    recorder.addFrame(out);
    recorder.addFrame(Frame(FrameDirection::In, out.peer, QStringLiteral("0"), began + microseconds(2500)));
    const char *kinds[] = {"opened", "connected", "disconnected", "closed", "error", "reconnecting"};
    for (LinkEventKind kind : {LinkEventKind::Opened, LinkEventKind::Connected, LinkEventKind::Disconnected,
                               LinkEventKind::Closed, LinkEventKind::Error, LinkEventKind::Reconnecting}) {
        RecordedEvent event{kind, out.peer, QStringLiteral("why"), began, out.wall};
        event.attempt = 3;
        recorder.addEvent(event);
    }
    RecordedPerf perf{QStringLiteral("A:1:X"), QStringLiteral("1"), QStringLiteral("Write && Read"),
                      PerfResult::Error, 1234, 1000, 2, {1000, 10, 20.25, 19, 30, 40, 99.5}, {}};
    recorder.addPerf(perf);
    recorder.stop();
    QVERIFY(!recorder.isRecording());
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed[0][0].toBool(), true);
    QCOMPARE(changed[1][0].toBool(), false);

    const QList<QJsonObject> records = ReadRecords(path);
    QCOMPARE(records.size(), 1 + 1 + 2 + 6 + 1 + 1);
    for (const QJsonObject &r : records)
        QVERIFY(r.value("ms").isDouble());
    const QJsonObject session = records.first();
    QCOMPARE(session.value("t").toString(), "session");
    QCOMPARE(session.value("version").toInt(), 1);
    QCOMPARE(session.value("program").toString(), QStringLiteral("KELTester " KEL_VERSION));
    const QString started = session.value("started").toString();
    QVERIFY2(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)").match(started).hasMatch(),
             qPrintable(started));
    QCOMPARE(QDateTime::fromString(started, Qt::ISODateWithMs).toMSecsSinceEpoch(), session.value("ms").toInteger());

    QCOMPARE(records[1].value("line").toString(), QStringLiteral("12:00:01\t[ Send ] START"));
    const QJsonObject frameOut = records[2];
    QCOMPARE(frameOut.value("t").toString(), "frame");
    QCOMPARE(frameOut.value("ms").toInteger(), outMs);
    QCOMPARE(frameOut.value("dir").toString(), "out");
    QCOMPARE(frameOut.value("peer").toString(), "127.0.0.1:5006");
    QCOMPARE(frameOut.value("text").toString(), "START");
    QCOMPARE(frameOut.value("hex").toString(), "05 53 54 41 52 54 0d");
    QCOMPARE(records[3].value("dir").toString(), "in");
    const qint64 delay = records[3].value("us").toInteger() - frameOut.value("us").toInteger();
    QVERIFY2(delay >= 2499 && delay <= 2501, qPrintable(QString::number(delay)));
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(records[4 + i].value("t").toString(), "event");
        QCOMPARE(records[4 + i].value("kind").toString(), kinds[i]);
        QCOMPARE(records[4 + i].value("text").toString(), "why");
        QVERIFY(records[4 + i].value("us").isDouble());
        // only a try says which one it is
        QCOMPARE(records[4 + i].value("attempt").toInt(), i == 5 ? 3 : 0);
    }
    const QJsonObject p = records[10];
    QCOMPARE(p.value("t").toString(), "perf");
    QCOMPARE(p.value("target").toString(), "A:1:X");
    QCOMPARE(p.value("mode").toString(), "Write && Read");
    QCOMPARE(p.value("result").toString(), "ERROR");
    QCOMPARE(p.value("elapsed_ms").toInteger(), 1234);
    QCOMPARE(p.value("cycles").toInteger(), 1000);
    QCOMPARE(p.value("errors").toInteger(), 2);
    const QJsonObject write = p.value("write").toObject();
    QCOMPARE(write.value("count").toInteger(), 1000);
    QCOMPARE(write.value("mean_us").toDouble(), 20.25);
    QCOMPARE(write.value("max_us").toDouble(), 99.5);
    QCOMPARE(p.value("read").toObject().keys(),
             (QStringList{"count", "max_us", "mean_us", "min_us", "p50_us", "p95_us", "p99_us"}));
    QCOMPARE(records.last().value("t").toString(), "end");
}

void tst_record::textsSurvive_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("quotes and backslashes") << R"(PUT:A:1:X:8,"a\b" \\ \")" << QString();
    QTest::newRow("control bytes") << QString::fromLatin1("\x01\x05\x1f\r\n\t\b\f\x7f") << QString();
    QTest::newRow("NUL") << QString(QChar(0)) + "a" + QChar(0) << QString();
    QTest::newRow("non-Latin") << QStringLiteral("Grüße Ωμέγα 日本語 😀") << QString();
    QTest::newRow("lone surrogate") << QString(QChar(0xd800)) + "x" << QStringLiteral("\uFFFDx");
    QTest::newRow("empty") << QString() << QString();
}

void tst_record::textsSurvive()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    if (expected.isNull())
        expected = text;
    const QString path = fileIn(QStringLiteral("texts.jsonl"));
    {
        SessionRecorder recorder;
        QVERIFY(recorder.start(path));
        recorder.addLog(text);
        recorder.addFrame(Frame(FrameDirection::In, text, text, steady_clock::now()));
        recorder.addEvent(RecordedEvent{LinkEventKind::Error, text, text});
        RecordedPerf perf;
        perf.target = perf.pattern = perf.mode = text;
        recorder.addPerf(perf);
    } // the destructor ends the recording
    const QList<QJsonObject> records = ReadRecords(path);
    QCOMPARE(records.size(), 6);
    QCOMPARE(records[1].value("line").toString(), expected);
    QCOMPARE(records[2].value("text").toString(), expected);
    QCOMPARE(records[2].value("peer").toString(), expected);
    QCOMPARE(records[2].value("hex").toString(), text.toUtf8().append('\r').toHex(' '));
    QCOMPARE(records[3].value("text").toString(), expected);
    QCOMPARE(records[4].value("mode").toString(), expected);
    QCOMPARE(records[5].value("t").toString(), "end");
}

void tst_record::timeOrder_data()
{
    // Each event's wall-clock and steady time from the recording's start.
    QTest::addColumn<QList<qint64>>("wallMs");
    QTest::addColumn<QList<qint64>>("steadyUs");
    QTest::newRow("opened and connected before the start") << QList<qint64>{-3152, -61697}
                                                            << QList<qint64>{-3151779, -61696208};
    QTest::newRow("clocks stepping back") << QList<qint64>{40, 20, 60} << QList<qint64>{40000, 20000, 60000};
}

// Times never go back, nor before the start; the link's role and this end go with its events.
void tst_record::timeOrder()
{
    QFETCH(QList<qint64>, wallMs);
    QFETCH(QList<qint64>, steadyUs);
    const QString path = fileIn(QStringLiteral("order.jsonl"));
    const QString local = QStringLiteral("127.0.0.1:40000");
    {
        SessionRecorder recorder;
        QVERIFY(recorder.start(path));
        for (qsizetype i = 0; i < wallMs.size(); ++i) {
            RecordedEvent event{i == 0 ? LinkEventKind::Opened : LinkEventKind::Connected, QStringLiteral("127.0.0.1:5006"),
                                QString(), recorder.startedSteady() + microseconds(steadyUs[i]),
                                recorder.startedWall() + milliseconds(wallMs[i]), LinkRole::Client,
                                i == 0 ? local : QString()};
            recorder.addEvent(event);
        }
    }
    const QList<QJsonObject> records = ReadRecords(path);
    QCOMPARE(records.size(), wallMs.size() + 2);
    qint64 lastUs = 0;
    for (qsizetype i = 1; i < records.size(); ++i) {
        QVERIFY(records[i].value("ms").toInteger() >= records[i - 1].value("ms").toInteger());
        if (records[i].value("t").toString() != QLatin1String("event"))
            continue;
        QVERIFY(records[i].value("us").toInteger() >= lastUs);
        lastUs = records[i].value("us").toInteger();
        QCOMPARE(records[i].value("role").toString(), "client");
        QCOMPARE(records[i].value("local").toString(), i == 1 ? local : QString());
    }
}

void tst_record::cannotStart_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a full device") << "/dev/full" << "No space left on device";
    QTest::newRow("a missing directory") << "/nonexistent-kel/session.jsonl" << "No such file or directory";
    // Creating files in sysfs is refused even to root, so this holds wherever the tests run.
    QTest::newRow("a read-only directory") << "/sys/kel-session.jsonl" << "Permission denied";
    QTest::newRow("a directory") << "/tmp" << "Is a directory";
}

void tst_record::cannotStart()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    SessionRecorder recorder;
    QSignalSpy changed(&recorder, &SessionRecorder::recordingChanged);
    QVERIFY(!recorder.start(path));
    QVERIFY(!recorder.isRecording());
    QVERIFY2(recorder.errorString().startsWith(QStringLiteral("Cannot record the session to \"%1\": ").arg(path)),
             qPrintable(recorder.errorString()));
    QVERIFY2(recorder.errorString().endsWith(reason), qPrintable(recorder.errorString()));
    QCOMPARE(changed.size(), 0);
    recorder.addLog(QStringLiteral("ignored"));
    recorder.stop();
}

// A disk that fills during a recording, played by a file size limit.
void tst_record::writeFailureStops()
{
    constexpr rlim_t kLimit = 8 * 1024;
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited{kLimit, saved.rlim_max};
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);

    const QString path = fileIn(QStringLiteral("filling.jsonl"));
    SessionRecorder recorder;
    QSignalSpy failed(&recorder, &SessionRecorder::failed);
    QSignalSpy changed(&recorder, &SessionRecorder::recordingChanged);
    const bool started = recorder.start(path);
    constexpr int kLinesPerFlush = 20;
    const QString line = QStringLiteral("a line of a session that outgrows its disk");
    int flushes = 0;
    while (started && recorder.isRecording() && flushes < 100) {
        for (int i = 0; i < kLinesPerFlush; ++i)
            recorder.addLog(line);
        QTest::qWait(2 * SessionRecorder::kFlushDelayMs); // written by the timer
        ++flushes;
    }
    recorder.stop();

    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY(started);
    // About 1.6 KB a flush: the first write past the limit stopped it.
    QVERIFY2(flushes <= int(kLimit) / 1500 + 1, qPrintable(QString::number(flushes)));
    QCOMPARE(failed.size(), 1);
    const QString description = failed[0][0].toString();
    QVERIFY2(description.startsWith(QStringLiteral("Recording stopped: cannot write to \"%1\": ").arg(path)),
             qPrintable(description));
    QVERIFY2(description.endsWith("File too large"), qPrintable(description));
    QCOMPARE(recorder.errorString(), description);
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed[1][0].toBool(), false);
    const QList<QJsonObject> records = ReadRecords(path); // whole lines only
    QVERIFY(records.size() > 1);
    QVERIFY(QFileInfo(path).size() <= qint64(kLimit));
}

void tst_record::readerPairs()
{
    const QString path = fileIn(QStringLiteral("replay.jsonl"));
    const QString a = QStringLiteral("127.0.0.1:5006");
    const QString b = QStringLiteral("/dev/pts/7");
    // After the recording's start, which is still to come: no time is held back to it.
    const steady_clock::time_point t0 = steady_clock::now() + seconds(1);
    {
        SessionRecorder recorder;
        QVERIFY(recorder.start(path));
        recorder.addFrame(Frame(FrameDirection::In, a, "before any request", t0));
        recorder.addFrame(Frame(FrameDirection::Out, a, "GET:A:1:X:", t0 + microseconds(100)));
        recorder.addFrame(Frame(FrameDirection::Out, b, "START", t0 + microseconds(150)));
        recorder.addFrame(Frame(FrameDirection::Out, a, "GET:A:2:X:", t0 + microseconds(200)));
        recorder.addLog("12:00:00\tnot a frame");
        recorder.addFrame(Frame(FrameDirection::In, a, "0,3,1", t0 + microseconds(1100)));
        recorder.addFrame(Frame(FrameDirection::In, b, "0", t0 + microseconds(1150)));
        recorder.addFrame(Frame(FrameDirection::In, a, "0,3,2", t0 + microseconds(1300)));
        recorder.addFrame(Frame(FrameDirection::Out, a, "STOP", t0 + microseconds(1400)));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write(R"({"t":"future","ms":1,"x":[1]})" "\n\n"
               R"({"t":"frame","ms":2,"us":1900,"dir":"in","peer":"/dev/pts/7","text":"late","extra":{}})" "\n");
    file.close();

    SessionRecordReader reader;
    QVERIFY2(reader.read(path), qPrintable(reader.errorString()));
    QCOMPARE(reader.peers().size(), 2);
    const RecordedPeer &first = reader.peers()[0];
    QCOMPARE(first.peer, a);
    QCOMPARE(first.exchanges.size(), 3);
    QCOMPARE(first.exchanges[0].request, "GET:A:1:X:");
    QCOMPARE(first.exchanges[0].answer, "0,3,1");
    QVERIFY(qAbs(first.exchanges[0].delayUs - 1000) <= 1);
    QCOMPARE(first.exchanges[1].request, "GET:A:2:X:");
    QCOMPARE(first.exchanges[1].answer, "0,3,2");
    QVERIFY(qAbs(first.exchanges[1].delayUs - 1100) <= 1);
    QCOMPARE(first.exchanges[2].request, "STOP");
    QVERIFY(!first.exchanges[2].answer);
    const RecordedPeer &second = reader.peers()[1];
    QCOMPARE(second.peer, b);
    QCOMPARE(second.exchanges.size(), 1);
    QCOMPARE(second.exchanges[0].answer, "0");
}

void tst_record::readerRefuses_data()
{
    const QByteArray session = R"({"t":"session","ms":1,"version":1,"program":"x","started":"y"})" "\n";
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");
    QTest::newRow("not JSON") << session + "{\"t\":\"log\",\n" << ".jsonl:2: unterminated object at column";
    QTest::newRow("not an object") << session + "[1,2]\n" << ".jsonl:2: not a JSON object";
    QTest::newRow("no type") << session + "\n{\"ms\":1}\n" << ".jsonl:3: \"t\" is missing or not a text";
    QTest::newRow("frame without us") << session + R"({"t":"frame","ms":1,"dir":"in","peer":"p","text":""})"
                                      << ".jsonl:2: \"us\" is missing or not a number";
    QTest::newRow("bad direction") << session + R"({"t":"frame","ms":1,"us":1,"dir":"up","peer":"p","text":""})"
                                   << ".jsonl:2: \"dir\" is \"up\", not \"in\" or \"out\"";
    QTest::newRow("no session first") << QByteArray(R"({"t":"log","ms":1,"line":""})")
                                      << ".jsonl:1: the first record is \"log\", not \"session\"";
    QTest::newRow("later version") << QByteArray(R"({"t":"session","ms":1,"version":2})")
                                   << ".jsonl:1: version 2 is not supported (only 1)";
    QTest::newRow("overlong line") << session + QByteArray(SessionRecordReader::kMaxLineBytes + 1, ' ')
                                   << ".jsonl:2: longer than 8388608 bytes";
    QTest::newRow("empty") << QByteArray() << "holds no session record";
}

void tst_record::readerRefuses()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    const QString path = fileIn(QStringLiteral("bad.jsonl"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    SessionRecordReader reader;
    QVERIFY(!reader.read(path));
    QVERIFY2(reader.errorString().startsWith(path + ':'), qPrintable(reader.errorString()));
    QVERIFY2(reader.errorString().contains(error), qPrintable(reader.errorString()));
    QVERIFY(reader.peers().isEmpty());
    QVERIFY(!reader.read(fileIn(QStringLiteral("missing.jsonl"))));
    QVERIFY(reader.errorString().startsWith("Cannot read"));
}

void tst_record::readerTakesClientLinks_data()
{
    const QByteArray session = R"({"t":"session","ms":1,"version":1,"program":"x","started":"y"})" "\n";
    auto opened = [](const char *option, const char *role = nullptr) {
        const QByteArray extra = role ? QByteArray(",\"role\":\"") + role + '"' : QByteArray();
        return QByteArray(R"({"t":"event","ms":1,"us":1,"kind":"opened","peer":"0.0.0.0:5206","text":")") + option + '"'
               + extra + "}\n";
    };
    // A tester in Ether(Server) answered kelpeer's GET with 0,3,42: its "in" frames are requests.
    const QByteArray served = QByteArray(R"({"t":"frame","ms":1,"us":2,"dir":"in","peer":"127.0.0.1:40000","text":"GET:A:1:X:"})" "\n"
                                         R"({"t":"frame","ms":1,"us":3,"dir":"out","peer":"127.0.0.1:40000","text":"0,3,42"})" "\n");
    const QByteArray asked = QByteArray(R"({"t":"frame","ms":1,"us":4,"dir":"out","peer":"127.0.0.1:5006","text":"GET:A:1:X:"})" "\n"
                                        R"({"t":"frame","ms":1,"us":5,"dir":"in","peer":"127.0.0.1:5006","text":"0,3,1"})" "\n");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qsizetype>("exchanges"); // -1: refused
    QTest::addColumn<qsizetype>("leftOut");

    QTest::newRow("no opened event: a client") << session + asked << qsizetype(1) << qsizetype(0);
    QTest::newRow("TCP server, then client")
        << session + opened("Conn=eth::5206,EtherOpt=1:10:900") + served + opened("conn=eth:127.0.0.1:5006,etheropt=0") + asked
        << qsizetype(1) << qsizetype(2);
    QTest::newRow("server only: refused") << session + opened("Conn=eth::5206,EtherOpt=1:10:900") + served << qsizetype(-1)
                                          << qsizetype(2);
    QTest::newRow("the role field wins") << session + opened("Conn=eth::5206,EtherOpt=1:10:900", "client") + asked
                                         << qsizetype(1) << qsizetype(0);
    QTest::newRow("serial: the first frame tells")
        << session + opened("Conn=com:3:38400:N:8:1:0") + served + asked << qsizetype(1) << qsizetype(2);
}

void tst_record::readerTakesClientLinks()
{
    QFETCH(QByteArray, content);
    QFETCH(qsizetype, exchanges);
    QFETCH(qsizetype, leftOut);
    const QString path = fileIn(QStringLiteral("roles.jsonl"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    SessionRecordReader reader;
    QCOMPARE(reader.read(path), exchanges >= 0);
    if (exchanges < 0) {
        QVERIFY2(reader.errorString().contains("holds no frame of a client-role link"), qPrintable(reader.errorString()));
        return;
    }
    QCOMPARE(reader.exchangeCount(), exchanges);
    QCOMPARE(reader.framesLeftOut(), leftOut);
    QCOMPARE(reader.peers().constFirst().exchanges.constFirst().answer, "0,3,1");
}

void tst_record::boundedRead_data()
{
    QTest::addColumn<QString>("name"); // in the test folder, or an absolute path
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("why"); // empty: read whole

    QTest::newRow("within the bound") << "a.toml" << QByteArray(16, 'x') << "";
    QTest::newRow("above the bound") << "b.toml" << QByteArray(17, 'x') << "larger than 16 bytes";
    QTest::newRow("no end") << "/dev/zero" << QByteArray() << "not a regular file";
    QTest::newRow("missing") << "missing.toml" << QByteArray() << "No such file";
}

void tst_record::boundedRead()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, why);
    constexpr qint64 bound = 16;
    const QString path = name.startsWith(u'/') ? name : fileIn(name);
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QString reason;
    const std::optional<QByteArray> bytes = ReadBoundedFile(path, &reason, bound);
    QCOMPARE(bytes.has_value(), why.isEmpty());
    if (bytes)
        QCOMPARE(*bytes, content);
    else
        QVERIFY2(reason.contains(why), qPrintable(reason));
}

void tst_record::tomlNesting_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line"); // 0: within the bound

    const QByteArray deepKey = QByteArray("a.").repeated(kMaxTomlNesting) + "b = 1\n";
    QTest::newRow("a rules file") << QByteArray("[values]\n\"A:1:X\" = \"3,1\"\n[[rule]]\nmatch = \"^GET:a.b.c.d\" # a.b.c.d\n"
                                                "delay = [1, 2]\nx = {a.b = [[1.5, 2.5]]}\n")
                                  << 0;
    QTest::newRow("a dotted key 40,000 deep") << "x = 1\n" + QByteArray("a.").repeated(40000) + "a = 1\n" << 2;
    QTest::newRow("one part too many") << "\n\n" + deepKey << 3;
    QTest::newRow("a deep table header") << "[" + QByteArray("t.").repeated(kMaxTomlNesting) + "t]\n" << 1;
    QTest::newRow("a header, then its keys")
        << "[" + QByteArray("t.").repeated(40) + "t]\n" + QByteArray("k.").repeated(40) + "k = 1\n" << 2;
    QTest::newRow("arrays over lines") << "a = [\n" + QByteArray("[\n").repeated(kMaxTomlNesting) << kMaxTomlNesting;
    QTest::newRow("inline tables") << "a = " + QByteArray("{b = ").repeated(kMaxTomlNesting) << 1;
    QTest::newRow("dots in strings and comments")
        << "s = \"" + QByteArray("a.").repeated(200) + "\" # " + QByteArray("[{.").repeated(200) + "\nm = '''\n"
               + QByteArray("[").repeated(200) + "\n'''\nn = \"\"\"\n" + QByteArray("{").repeated(200) + "\n\"\"\"\n"
        << 0;
}

void tst_record::tomlNesting()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QCOMPARE(FindDeepTomlNesting(text).value_or(0), line);
}

void tst_record::decidedMatch_data()
{
    using R = DecidedRegex;
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("group1");

    // The compiled matcher runs out of stack on these; "no match" would be wrong.
    const QString longPut = QStringLiteral("PUT:P1:1:X:8,") + QString(60001 - 13, u'a');
    QTest::newRow("60,001 characters") << "^PUT:P1:1:X:8,(a|b)*$" << longPut << false << int(R::Outcome::Match) << "a";
    QTest::newRow("65,536 characters, whole") << "PUT:P1:1:X:8,(a|b)*" << longPut + QString(65536 - 60001, u'b') << true
                                              << int(R::Outcome::Match) << "b";
    QTest::newRow("no match") << "^GET:" << "PUT:A:1:X:3,1" << false << int(R::Outcome::NoMatch) << "";
    QTest::newRow("search") << "0,8,(.+)" << "x0,8,oven" << false << int(R::Outcome::Match) << "oven";
    QTest::newRow("whole") << "0,8,(.+)" << "x0,8,oven" << true << int(R::Outcome::NoMatch) << "";
    QTest::newRow("catastrophic backtracking") << "^(a+)+$" << QString(40, u'a') + u'b' << false
                                               << int(R::Outcome::Undecided) << "";
    QTest::newRow("unpaired surrogate") << "^a.b$" << QStringLiteral("a") + QChar(0xD800) + u'b' << false
                                        << int(R::Outcome::Match) << "";
}

void tst_record::decidedMatch()
{
    QFETCH(QString, pattern);
    QFETCH(QString, subject);
    QFETCH(bool, whole);
    QFETCH(int, outcome);
    QFETCH(QString, group1);
    const DecidedRegex re(pattern);
    QVERIFY2(re.isValid(), qPrintable(re.errorString()));
    const DecidedRegex copy = re; // rules are copied on reload
    const DecidedRegex::Result result =
        copy.match(subject, whole ? DecidedRegex::Anchoring::Whole : DecidedRegex::Anchoring::Search);
    QCOMPARE(int(result.outcome), outcome);
    QCOMPARE(result.why.isEmpty(), result.outcome != DecidedRegex::Outcome::Undecided);
    if (!group1.isEmpty())
        QCOMPARE(result.captured.value(1), group1);
    const DecidedRegex bad(QStringLiteral("GET:(["));
    QVERIFY(!bad.isValid());
    QVERIFY(!bad.errorString().isEmpty() && bad.errorOffset() > 0);
}

QTEST_GUILESS_MAIN(tst_record)
#include "tst_record.moc"
