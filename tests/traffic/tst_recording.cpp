// The Traffic pane and session recording of the main window, against kelpeer.

#include "LogModel.h"
#include "MivController.h"
#include "MivMessage.h"
#include "MainWindowFixture.h"
#include "PeerOptions.h"
#include "PeerProcess.h"
#include "TrafficModel.h"
#include "TrafficMonitor.h"
#include "TrafficText.h"
#include "WindowTestMain.h"

#include <QClipboard>
#include <QDockWidget>
#include <QGuiApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTableView>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <csignal>

using namespace UserActions;

namespace {

constexpr int kI4 = 4; // reply type list index
constexpr int kWaitMs = 10000;

// "TOP|field0|field1|field2|field3" into the Request panel, then Send.
void Send(const MainWindowFixture &ui, const QString &request)
{
    ui.fillRequest(request);
    ui->cmdSend_Click();
}

bool Connect(MainWindowFixture &ui, ConnType type, quint16 port, bool sync)
{
    ConnChoice settings;
    settings.type = type;
    settings.port = port;
    settings.sync = sync;
    return ui.connect(settings);
}

QList<QJsonObject> ReadRecord(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    QList<QJsonObject> records;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].isEmpty() && i == lines.size() - 1)
            break;
        QJsonParseError parse;
        const QJsonDocument document = QJsonDocument::fromJson(lines[i], &parse);
        if (!document.isObject()) {
            *error = QStringLiteral("line %1: %2: %3").arg(i + 1).arg(parse.errorString(), QString::fromUtf8(lines[i]));
            return {};
        }
        records << document.object();
    }
    return records;
}

// Which fields each record type must have.
QString MissingField(const QJsonObject &record)
{
    static const QHash<QString, QStringList> fields = {
        {QStringLiteral("session"), {"version", "program", "started"}},
        {QStringLiteral("log"), {"line"}},
        {QStringLiteral("frame"), {"us", "dir", "peer", "text", "hex"}},
        {QStringLiteral("event"), {"us", "kind", "peer", "text"}},
        {QStringLiteral("perf"), {"target", "pattern", "mode", "result", "elapsed_ms", "cycles", "errors", "write", "read"}},
        {QStringLiteral("end"), {}},
    };
    const QString type = record.value(QStringLiteral("t")).toString();
    if (!fields.contains(type))
        return QStringLiteral("t");
    if (!record.value(QStringLiteral("ms")).isDouble())
        return QStringLiteral("ms");
    for (const QString &field : fields[type]) {
        if (!record.contains(field))
            return field;
    }
    return {};
}

// The records' times never go back, and us is never negative.
QString TimeOrderFault(const QList<QJsonObject> &records)
{
    qint64 lastMs = 0;
    qint64 lastUs = 0;
    for (const QJsonObject &record : records) {
        const qint64 ms = record.value("ms").toInteger();
        if (ms < lastMs)
            return QStringLiteral("ms goes back at ") + QJsonDocument(record).toJson(QJsonDocument::Compact);
        lastMs = ms;
        if (!record.contains("us"))
            continue;
        const qint64 us = record.value("us").toInteger();
        if (us < lastUs)
            return QStringLiteral("us goes back at ") + QJsonDocument(record).toJson(QJsonDocument::Compact);
        lastUs = us;
    }
    return {};
}

QList<QJsonObject> Events(const QList<QJsonObject> &records)
{
    QList<QJsonObject> events;
    for (const QJsonObject &record : records) {
        if (record.value("t").toString() == QLatin1String("event"))
            events << record;
    }
    return events;
}

QStringList Column(const QAbstractItemModel *model, int column)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts;
}

} // namespace

class tst_Recording : public MainWindowTest
{
    Q_OBJECT
private slots:
    void recordedSession();
    void recordOpenLinks_data();
    void recordOpenLinks();
    void paneReopened_data();
    void paneReopened();
    void copyRows();
    void unwritable_data();
    void unwritable();
    void shownText_data();
    void shownText();
};

// Sync and async sends, a refused PUT and a server's replies, with the pane open and a
// session recorded.
void tst_Recording::recordedSession()
{
    MainWindowFixture &ui = fixture();
    PeerProcess device;
    QVERIFY(device.start({QStringLiteral("--option"), EtherServerOption(0)}));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("session.jsonl"));

    auto *pane = ui.control<QDockWidget>("dckTraffic");
    QVERIFY(pane->isHidden());
    Command(ui.window.get(), "mnuViewTraffic")->trigger();
    QVERIFY(!pane->isHidden());
    QVERIFY(Command(ui.window.get(), "mnuViewRecord")->isEnabled());
    QVERIFY(ui->traffic()->startRecording(path)); // what the menu's file dialog leads to
    QVERIFY(ui->traffic()->isRecording());
    QVERIFY(ui.control<QLabel>("lblRecording")->isVisible());
    const int from = ui.logCount();

    QVERIFY(Connect(ui, EtherClient, device.port(), true));
    Send(ui, QStringLiteral("GET|A|1|X|"));
    Send(ui, QStringLiteral("PUT|A|1|X|3,abc"));
    QCOMPARE(ui.boxes.texts().size(), 1);
    const QString refused = ui.boxes.texts().constFirst();
    QVERIFY2(refused.contains(QLatin1String("E_INVALIDARG")), qPrintable(refused));

    QVERIFY(Connect(ui, EtherClient, device.port(), false));
    const int beforeAsync = ui.logCount();
    Send(ui, QStringLiteral("GET|A|1|X|"));
    QVERIFY(WaitFor([&] { return ui.logCount() >= beforeAsync + 2; }, kWaitMs));

    QVERIFY(Connect(ui, EtherServer, 0, false));
    ui.setAutoReply(QStringLiteral("0"), kI4, QStringLiteral("42"), QStringLiteral("0"));
    PeerProcess host;
    QVERIFY(host.start(HostArgs(EtherClientOption(ui.serverPort()), QStringLiteral("GET:A:1:X:"), 2)));
    QVERIFY(host.waitForAnswers(2, kWaitMs));
    QVERIFY(host.waitForFinished(kWaitMs));
    Command(ui.window.get(), "mnuViewStopRecord")->trigger();
    QVERIFY(!ui->traffic()->isRecording());
    QVERIFY(!ui.control<QLabel>("lblRecording")->isVisible());

    QString error;
    const QList<QJsonObject> records = ReadRecord(path, &error);
    QVERIFY2(!records.isEmpty(), qPrintable(error));
    QCOMPARE(records.constFirst().value("t").toString(), QStringLiteral("session"));
    QCOMPARE(records.constLast().value("t").toString(), QStringLiteral("end"));
    QVERIFY2(TimeOrderFault(records).isEmpty(), qPrintable(TimeOrderFault(records)));
    QStringList logLines, frames, events;
    qint64 lastFrameUs = 0;
    for (const QJsonObject &record : records) {
        const QString missing = MissingField(record);
        QVERIFY2(missing.isEmpty(), qPrintable(missing + QLatin1String(" missing in ") + QJsonDocument(record).toJson()));
        const QString type = record.value("t").toString();
        if (type == QLatin1String("log"))
            logLines << record.value("line").toString();
        if (type == QLatin1String("frame")) {
            frames << record.value("dir").toString() + u' ' + record.value("text").toString() + u' '
                          + record.value("hex").toString();
            QVERIFY(record.value("us").toInteger() >= lastFrameUs);
            lastFrameUs = record.value("us").toInteger();
        }
        if (type == QLatin1String("event"))
            events << record.value("kind").toString() + u' ' + record.value("text").toString();
        if (record.value("kind").toString() == QLatin1String("error"))
            QCOMPARE(record.value("peer").toString(), device.address());
    }
    QStringList listLines;
    for (int row = from; row < ui.logCount(); ++row)
        listLines << ui->logModel()->line(row);
    QCOMPARE(logLines, listLines);
    QCOMPARE(frames.filter(QStringLiteral("out GET:A:1:X: 47 45 54 3a 41 3a 31 3a 58 3a 0d")).size(), 2);
    QCOMPARE(frames.filter(QStringLiteral("in GET:A:1:X: 47 45 54 3a 41 3a 31 3a 58 3a 0d")).size(), 2);
    QCOMPARE(frames.filter(QStringLiteral("out 0,3,42 30 2c 33 2c 34 32 0d")).size(), 2);
    QVERIFY2(events.contains(QStringLiteral("error ") + refused), qPrintable(events.join(u'\n')));
    QVERIFY2(!events.filter(QRegularExpression(QStringLiteral("^disconnected "))).isEmpty(), qPrintable(events.join(u'\n')));
    QCOMPARE(events.filter(QRegularExpression(QStringLiteral("^opened "))).size(), 3);

    // The pane showed the same: the refusal in full, and the host's coming and going.
    const QAbstractItemModel *rows = ui.control<QTableView>("lvTraffic")->model();
    QVERIFY(WaitFor([&] { return Column(rows, 1).contains(QStringLiteral("disconnected")); }, kWaitMs));
    QVERIFY(Column(rows, 3).contains(refused));
}

void tst_Recording::recordOpenLinks_data()
{
    QTest::addColumn<int>("type"); // ConnType
    QTest::addColumn<bool>("peerGone");
    QTest::addColumn<QStringList>("kinds");
    QTest::addColumn<QString>("role");
    QTest::newRow("a client") << int(EtherClient) << false << QStringList{"opened", "connected"} << "client";
    QTest::newRow("a client whose peer has gone") << int(EtherClient) << true << QStringList() << "";
    QTest::newRow("a server with a client") << int(EtherServer) << false << QStringList{"opened", "connected"} << "server";
}

// A recording started on a connection tells what is open now, at its start and in time order.
void tst_Recording::recordOpenLinks()
{
    QFETCH(int, type);
    QFETCH(bool, peerGone);
    QFETCH(QStringList, kinds);
    QFETCH(QString, role);
    MainWindowFixture &ui = fixture();
    PeerProcess device;
    QTcpSocket client;
    QString opened;
    if (type == EtherClient) {
        QVERIFY(device.start({QStringLiteral("--option"), EtherServerOption(0)}));
        QVERIFY(Connect(ui, EtherClient, device.port(), true));
        opened = device.address();
    } else {
        QVERIFY(Connect(ui, EtherServer, 0, false));
        client.connectToHost(QHostAddress::LocalHost, ui.serverPort());
        QVERIFY(client.waitForConnected(kWaitMs));
        opened = ui->mivCtrl()->localAddress();
    }
    bool gone = false;
    connect(ui->mivCtrl(), &MivController::OnMessage, ui.window.get(),
            [&gone](MivMessage *message) { gone = gone || message->Kind() == MivMessageKind::Disconnected; });
    if (peerGone)
        device.stop();
    QVERIFY(WaitFor([&] { return gone == peerGone && (type != EtherServer || ui->mivCtrl()->requestPeer() != ""); },
                    kWaitMs));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("open.jsonl"));
    QVERIFY(ui->traffic()->startRecording(path));
    ui->traffic()->stopRecording();

    QString error;
    const QList<QJsonObject> records = ReadRecord(path, &error);
    QVERIFY2(!records.isEmpty(), qPrintable(error));
    QVERIFY2(TimeOrderFault(records).isEmpty(), qPrintable(TimeOrderFault(records)));
    const QList<QJsonObject> events = Events(records);
    QStringList found;
    for (const QJsonObject &event : events) {
        found << event.value("kind").toString();
        QCOMPARE(event.value("ms").toInteger(), records.constFirst().value("ms").toInteger());
        QCOMPARE(event.value("us").toInteger(), 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^open since \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"))
                     .match(event.value("text").toString()).hasMatch(),
                 qPrintable(event.value("text").toString()));
        QCOMPARE(event.value("role").toString(), role);
    }
    QCOMPARE(found, kinds);
    if (!events.isEmpty()) {
        QCOMPARE(events[0].value("peer").toString(), opened);
        QCOMPARE(events[0].value("local").toString(), ui->mivCtrl()->localAddress());
    }
}

void tst_Recording::paneReopened_data()
{
    QTest::addColumn<bool>("reconnect"); // while the pane is hidden
    QTest::addColumn<int>("openedRows");
    QTest::newRow("the same connection") << false << 1;
    QTest::newRow("connected anew while hidden") << true << 2;
}

// A pane shown again says when it took no rows, and shows nothing twice.
void tst_Recording::paneReopened()
{
    QFETCH(bool, reconnect);
    QFETCH(int, openedRows);
    MainWindowFixture &ui = fixture();
    PeerProcess device;
    QVERIFY(device.start({QStringLiteral("--option"), EtherServerOption(0)}));
    QAction *traffic = Command(ui.window.get(), "mnuViewTraffic");
    traffic->trigger();
    QVERIFY(Connect(ui, EtherClient, device.port(), true));
    Send(ui, QStringLiteral("GET|A|1|X|"));
    traffic->trigger();
    QVERIFY(ui.control<QDockWidget>("dckTraffic")->isHidden());
    Send(ui, QStringLiteral("GET|A|2|X|"));
    if (reconnect)
        QVERIFY(Connect(ui, EtherClient, device.port(), true));
    traffic->trigger();
    Send(ui, QStringLiteral("GET|A|3|X|"));
    TrafficModel *rows = ui->traffic()->model();
    rows->publish();

    const QStringList kinds = Column(rows, TrafficModel::Kind);
    QCOMPARE(kinds.count(QStringLiteral("opened")), openedRows);
    QCOMPARE(kinds.count(QStringLiteral("connected")), openedRows);
    QCOMPARE(kinds.count(QStringLiteral("gap")), 1);
    const QString gap = Column(rows, TrafficModel::Text).at(kinds.indexOf(QStringLiteral("gap")));
    QVERIFY2(QRegularExpression(QStringLiteral("^Rows were not taken while the pane was hidden, from "
                                               "\\d\\d:\\d\\d:\\d\\d\\.\\d{3} to \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"))
                 .match(gap).hasMatch(),
             qPrintable(gap));
    const QStringList texts = Column(rows, TrafficModel::Text);
    QCOMPARE(texts.filter(QStringLiteral("GET:A:1:X:")).size(), 1);
    QCOMPARE(texts.filter(QStringLiteral("GET:A:2:X:")), QStringList());
    QCOMPARE(texts.filter(QStringLiteral("GET:A:3:X:")).size(), 1);
    for (int row = 1; row < rows->rowCount(); ++row)
        QVERIFY2(rows->row(row).wall >= rows->row(row - 1).wall, qPrintable(kinds.join(u' ')));
}

// Ctrl+C and Copy give whole rows of the selection, tab-separated; Ctrl+A selects them all.
void tst_Recording::copyRows()
{
    MainWindowFixture &ui = fixture();
    TrafficModel *rows = ui->traffic()->model();
    for (const QString &text : {QStringLiteral("GET:A:1:X:"), QStringLiteral("0,3,1"), QStringLiteral("GET:A:2:X:")})
        rows->add(TrafficRow{TrafficRow::Out, std::chrono::system_clock::now(), QStringLiteral("127.0.0.1:5006"), text, {}});
    Command(ui.window.get(), "mnuViewTraffic")->trigger();
    rows->publish();
    auto *view = ui.control<QTableView>("lvTraffic");
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    QStringList lines;
    for (int row = 0; row < rows->rowCount(); ++row)
        lines << TrafficLine(rows->row(row), false) + QLatin1String("\r\n");

    view->selectionModel()->select(rows->index(0, TrafficModel::Text), QItemSelectionModel::Select);
    view->selectionModel()->select(rows->index(2, TrafficModel::Peer), QItemSelectionModel::Select);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), lines[0] + lines[2]);
    QGuiApplication::clipboard()->clear();
    ui.click("cmdTrafficCopy");
    QCOMPARE(QGuiApplication::clipboard()->text(), lines[0] + lines[2]);

    view->setFocus();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), lines.join(QString()));
}

void tst_Recording::unwritable_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("sizeLimit"); // 0: none
    QTest::addColumn<QString>("message");
    QTest::newRow("a full device") << "/dev/full" << qint64(0) << "Cannot record the session";
    QTest::newRow("a missing folder") << "/nonexistent/folder/s.jsonl" << qint64(0) << "Cannot record the session";
    QTest::newRow("the file can grow no more") << "" << qint64(2048) << "Recording stopped: cannot write";
}

// A recording that cannot be written says so and stops; the connection goes on.
void tst_Recording::unwritable()
{
    QFETCH(QString, path);
    QFETCH(qint64, sizeLimit);
    QFETCH(QString, message);
    MainWindowFixture &ui = fixture();
    PeerProcess device;
    QVERIFY(device.start({QStringLiteral("--option"), EtherServerOption(0)}));
    QVERIFY(Connect(ui, EtherClient, device.port(), true));
    QTemporaryDir folder;
    if (path.isEmpty())
        path = folder.filePath(QStringLiteral("limited.jsonl"));

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    if (sizeLimit > 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the process
        rlimit limited = saved;
        limited.rlim_cur = rlim_t(sizeLimit);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
    }
    const bool started = ui->traffic()->startRecording(path);
    QCOMPARE(started, sizeLimit > 0);
    for (int i = 0; i < 200 && ui->traffic()->isRecording(); ++i) {
        Send(ui, QStringLiteral("GET|A|1|X|"));
        QTest::qWait(1);
    }
    QVERIFY(WaitFor([&] { return !ui.boxes.isEmpty(); }, kWaitMs));
    setrlimit(RLIMIT_FSIZE, &saved);

    QCOMPARE(ui.boxes.texts().size(), 1);
    QVERIFY2(ui.boxes.texts().constFirst().startsWith(message), qPrintable(ui.boxes.texts().constFirst()));
    QVERIFY(ui.boxes.texts().constFirst().contains(path));
    QVERIFY(!ui->traffic()->isRecording());
    QVERIFY(!ui.control<QLabel>("lblRecording")->isVisible());
    QVERIFY(Command(ui.window.get(), "mnuViewRecord")->isEnabled());
    const int from = ui.logCount();
    Send(ui, QStringLiteral("GET|A|1|X|"));
    QCOMPARE(ui.log(from).constLast().value, QStringLiteral("Type=VT_EMPTY"));
}

void tst_Recording::shownText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "GET:A:1:X:" << "GET:A:1:X:";
    QTest::newRow("line ends and tab") << "a\r\n\tb" << "a\\r\\n\\tb";
    QTest::newRow("header and escape") << "\x05x\\y" << "\\x05x\\\\y";
    QTest::newRow("delete and C1") << QString::fromUtf8("\x7f\xc2\x85\xc3\xa9") << QString::fromUtf8("\\x7f\\x85\xc3\xa9");
}

// Nothing in a row is invisible or breaks it.
void tst_Recording::shownText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(EscapedText(text), shown);
}

KEL_WINDOW_TEST_MAIN(tst_Recording)
#include "tst_recording.moc"
