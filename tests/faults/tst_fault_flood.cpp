#include "EngineTestUtil.h"
#include "MessageLog.h"
#include "MivEngine.h"

#include <QFile>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace {

constexpr qsizetype kEmptyFrames = 4 << 20;    // bytes of bare CRs
constexpr qsizetype kRequestBytes = 1 << 20;   // bytes of requests after them
constexpr qsizetype kUnderWay = 512 << 10;      // the second client asks once this much is sent
constexpr qint64 kMaxGrowthKb = 32 << 10;
constexpr int kPollMs = 20;
const QByteArray kRequest = "GET:A:1:X:\r";
const QString kReply = QStringLiteral("0,8,") + QString(56, u'x');

MivController *Connect(MivEngine &engine, const QString &option)
{
    return engine.Workspaces().Item(0)->AddController(QString(), QStringLiteral("MivProv.KEL"),
                                                      QStringLiteral("localhost"), option);
}

// The process's peak resident memory since the last reset, in kB.
qint64 PeakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

bool ResetPeakResident()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// A client on its own thread with a plain socket: sends its bytes as fast as the engine takes
// them and, when asked, reads and counts the answers (CR-terminated) meanwhile. Every wait is
// a short poll, so that stop() ends it.
class RawClient
{
public:
    ~RawClient() { stop(); }

    bool connectTo(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    void start(const QByteArray &bytes, bool reads)
    {
        m_thread = std::thread([this, &bytes, reads] { run(bytes, reads); });
    }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    std::atomic<qint64> written{0};
    std::atomic<qint64> answers{0};

private:
    void run(const QByteArray &bytes, bool reads)
    {
        char buffer[65536];
        while (!m_stop && (written < bytes.size() || reads)) {
            pollfd p = {m_fd, short((reads ? POLLIN : 0) | (written < bytes.size() ? POLLOUT : 0)), 0};
            if (::poll(&p, 1, kPollMs) <= 0)
                continue;
            if (p.revents & POLLIN) {
                const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n <= 0)
                    return;
                answers += std::count(buffer, buffer + n, '\r');
            }
            if (p.revents & POLLOUT) {
                const ssize_t n = ::send(m_fd, bytes.constData() + written, size_t(bytes.size() - written),
                                         MSG_DONTWAIT | MSG_NOSIGNAL);
                if (n > 0)
                    written += n;
            }
        }
    }

    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

// A client that floods a server with frames must neither grow the engine's memory with what it
// sends nor hold up another client.
class tst_FaultFlood : public QObject
{
    Q_OBJECT
private slots:
    void secondClientIsServed_data();
    void secondClientIsServed();
};

void tst_FaultFlood::secondClientIsServed_data()
{
    QTest::addColumn<bool>("floodReads");
    QTest::newRow("the flood reads its answers") << true;
    QTest::newRow("the flood never reads") << false;
}

void tst_FaultFlood::secondClientIsServed()
{
    QFETCH(bool, floodReads);
    const QByteArray flood = QByteArray(kEmptyFrames, '\r') + kRequest.repeated(kRequestBytes / kRequest.size());
    const qint64 floodRequests = flood.count('\r');

    MivEngine engine;
    MivController *ctrl = Connect(engine, ServerOption());
    qint64 requests = 0;
    qint64 refused = 0;
    connect(ctrl, &MivController::OnMessage, this, [&](MivMessage *m) {
        if (m->Kind() != MivMessageKind::Request)
            return;
        ++requests;
        try {
            m->Reply(kReply);
        } catch (const MivError &) {
            ++refused;
        }
    });
    const quint16 port = ctrl->localAddress().section(u':', -1).toUShort();
    QVERIFY(ResetPeakResident());
    const qint64 residentBefore = PeakResidentKb();

    RawClient flooder;
    QVERIFY(flooder.connectTo(port));
    flooder.start(flood, floodReads);
    RawClient second;
    QVERIFY(second.connectTo(port));
    QDeadlineTimer deadline(120000);
    while (flooder.written < kUnderWay && !deadline.hasExpired())
        Pump(kPollMs);
    QVERIFY(flooder.written >= kUnderWay);
    second.start(kRequest, true);
    while (second.answers == 0 && !deadline.hasExpired())
        Pump(kPollMs);
    const qint64 floodAnsweredFirst = flooder.answers;
    const qint64 floodWrittenFirst = flooder.written;
    QCOMPARE(second.answers.load(), 1);
    if (floodReads) {
        while (flooder.answers < floodRequests && !deadline.hasExpired())
            Pump(kPollMs);
        QCOMPARE(flooder.answers.load(), floodRequests);
        QCOMPARE(requests, floodRequests + 1);
        // Served in turn with the flood, not after it.
        QVERIFY2(floodAnsweredFirst < floodRequests / 2,
                 qPrintable(QStringLiteral("%1 of %2 flood answers came first").arg(floodAnsweredFirst).arg(floodRequests)));
    } else {
        // The engine stopped reading the flood instead of taking it all in.
        QVERIFY2(floodWrittenFirst < flood.size(), qPrintable(QString::number(floodWrittenFirst)));
    }
    QCOMPARE(refused, 0);
    const qint64 growth = PeakResidentKb() - residentBefore;
    QVERIFY2(growth < kMaxGrowthKb, qPrintable(QStringLiteral("resident memory grew by %1 kB").arg(growth)));
    qInfo("flood %s: answered %lld of %lld before the second client; memory grew %lld kB",
          floodReads ? "reading" : "not reading", floodAnsweredFirst, floodRequests, growth);
}

QTEST_GUILESS_MAIN(tst_FaultFlood)
#include "tst_fault_flood.moc"
