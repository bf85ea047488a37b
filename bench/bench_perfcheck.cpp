// Performance check overhead: a "Write && Read" run of the performance window against a kelpeer
// device over loopback, against a baseline of two raw-socket round trips per cycle carrying
// the same frame bytes to the same device. Each side runs twice, interleaved; the faster
// pass of each counts. Prints microseconds per cycle and the ratio (target <= 1.15).
//
//   bench_perfcheck [cycles, 1..65535, default 20000]

#include "BenchRow.h"
#include "EngineObjects.h"
#include "KelFramer.h"
#include "KelOptions.h"
#include "MivController.h"
#include "MivEngine.h"
#include "MivError.h"
#include "MivWorkspace.h"
#include "WindowControls.h"
#include "frmPerfChk.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTcpSocket>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

namespace {

const QString kValueText = QStringLiteral("abc");
const int kBstrIndex = 10;

QString ClientOption(quint16 port)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=5000,Sync=True").arg(port);
}

// Nanoseconds for `cycles` PUT/GET round trips on a plain socket; -1 when the device fails.
qint64 RawRoundTrips(quint16 port, int cycles)
{
    const KelFramer framer(ParseKelOptions(ClientOption(port)).packet);
    const QByteArray put = framer.encode(QStringLiteral("PUT:A:1:X:8,") + kValueText);
    const QByteArray get = framer.encode(QStringLiteral("GET:A:1:X:"));
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return -1;
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QByteArray pending;
    const auto roundTrip = [&](const QByteArray &frame) {
        socket.write(frame);
        for (;;) {
            const qsizetype end = pending.indexOf('\r');
            if (end >= 0) {
                pending.remove(0, end + 1);
                return true;
            }
            if (!socket.waitForReadyRead(5000))
                return false;
            pending += socket.readAll();
        }
    };
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < cycles; ++i) {
        if (!roundTrip(put) || !roundTrip(get))
            return -1;
    }
    return timer.nsecsElapsed();
}

// Nanoseconds of one performance window run; -1 when it did not end with "END".
qint64 WindowRun(MivVariable *variable, int cycles, qint64 &shownMs)
{
    frmPerfChk window;
    window.m_mivVar = variable;
    Control<QRadioButton>(&window, Element("optReadWrite", ModeWriteRead))->setChecked(true);
    Control<QComboBox>(&window, "cmbValueType")->setCurrentIndex(kBstrIndex);
    Control<QLineEdit>(&window, "txtValue")->setText(kValueText);
    Control<QCheckBox>(&window, "chkDataCheck")->setChecked(true);
    Control<QLineEdit>(&window, "txtPatternCount")->setText(QString::number(cycles));
    window.show();
    QElapsedTimer timer;
    timer.start();
    window.cmdStart_Click();
    const qint64 elapsed = timer.nsecsElapsed();
    const QTreeWidgetItem *end = Control<QTreeWidget>(&window, "lvResult")->topLevelItem(1);
    if (!end || end->text(0) != QLatin1String("END"))
        return -1;
    shownMs = end->text(2).toLongLong();
    return elapsed;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int cycles = argc > 1 ? std::clamp(QString::fromLocal8Bit(argv[1]).toInt(), 1, 65535) : 20000;
    const QString kelpeer = qEnvironmentVariableIsEmpty("KELPEER") ? QStringLiteral(KELPEER_PATH)
                                                                    : qEnvironmentVariable("KELPEER");
    EngineObjects engine;

    QProcess device;
    device.start(kelpeer, {QStringLiteral("--option"),
                           QStringLiteral("Conn=eth::0,PacketOpt=4:0:0:0,EtherOpt=1:10:0,Timeout=500")});
    device.waitForReadyRead(5000);
    const QString ready = QString::fromUtf8(device.readLine()).trimmed();
    if (!ready.startsWith(QLatin1String("ready "))) {
        std::fprintf(stderr, "kelpeer did not start (%s)\n", qPrintable(kelpeer));
        return 1;
    }
    const quint16 port = ready.mid(ready.lastIndexOf(u':') + 1).toUShort();

    int status = 0;
    try {
        MivController *controller = g_mivEngine->Workspaces().Item(0)->AddController(
            QString(), QStringLiteral("MivProv.KEL"), QStringLiteral("localhost"), ClientOption(port));
        MivVariable *variable = controller->AddVariable(QStringLiteral("A:1:X"), QString());

        qint64 raw = -1, run = -1, shownMs = 0;
        for (int pass = 0; pass < 2; ++pass) {
            const qint64 r = RawRoundTrips(port, cycles);
            qint64 ms = 0;
            const qint64 w = WindowRun(variable, cycles, ms);
            if (r < 0 || w < 0) {
                std::fprintf(stderr, "a pass failed (raw %lld, window %lld)\n", static_cast<long long>(r),
                             static_cast<long long>(w));
                status = 1;
                break;
            }
            raw = raw < 0 ? r : std::min(raw, r);
            if (run < 0 || w < run) {
                run = w;
                shownMs = ms;
            }
        }
        if (status == 0) {
            const double perCycle = double(run) / cycles / 1000.0;
            const double baseline = double(raw) / cycles / 1000.0;
            std::printf("cycles                 %d (Write && Read, data check on, BSTR \"%s\")\n", cycles,
                        qPrintable(kValueText));
            std::printf("performance window     %8.2f us/cycle  (run shows %lld ms)\n", perCycle,
                        static_cast<long long>(shownMs));
            std::printf("raw socket baseline    %8.2f us/cycle  (two round trips)\n", baseline);
            std::printf("ratio                  %8.3f  (target <= 1.15)\n", perCycle / baseline);
            PrintRow("performance-check cycle vs two raw round trips", perCycle, baseline, "us/cycle",
                     perCycle / baseline);
        }
        g_mivEngine->Workspaces().Item(0)->Controllers().Remove(controller->Index());
    } catch (const MivError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        status = 1;
    }
    device.terminate();
    device.waitForFinished(3000);
    return status;
}
