// kel-tour: drives the tester's windows against kelpeer and saves a picture of each.

#include "ProcessEngine.h"
#include "RuntimeFolder.h"
#include "Tour.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kTourLimitMs = 180000;
constexpr int kUsageStatus = 2;

// --peer, then $KELPEER, then kelpeer in the build tree or beside this program, then $PATH.
QString FindPeer(const QString &given)
{
    if (!given.isEmpty())
        return QFileInfo(given).absoluteFilePath();
    if (qEnvironmentVariableIsSet("KELPEER"))
        return qEnvironmentVariable("KELPEER");
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {here + QStringLiteral("/../kelpeer/kelpeer"), here + QStringLiteral("/kelpeer")})
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    return QStandardPaths::findExecutable(QStringLiteral("kelpeer"));
}

[[noreturn]] void Refuse(const QString &reason)
{
    std::fprintf(stderr, "kel-tour: %s\n", qPrintable(reason));
    std::exit(kUsageStatus);
}

// Whether QApplication will find a platform to draw on, rather than abort.
bool HasDisplay(const QCommandLineParser &parser)
{
    return parser.isSet(QStringLiteral("platform")) || qEnvironmentVariableIsSet("QT_QPA_PLATFORM")
           || qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

struct TourArgs
{
    QString out;
    QString peer;
};

// Read before the windows' application exists, so that --help and a bad option need no display
// and are reported under this program's own name. Exits on --help, --version and bad usage,
// when no kelpeer can be found, and when there is nothing to draw on.
TourArgs ReadArgs(int argc, char *argv[])
{
    QCoreApplication cli(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kel-tour"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KEL_VERSION));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions); // -platform name
    parser.setApplicationDescription(QStringLiteral(
        "Drives KEL Tester against kelpeer: connect, send synchronously and asynchronously, "
        "answer kelpeer's requests automatically, watch kelpeer talk to kelpeer through the monitor, "
        "run a performance check. Saves a PNG of each stage."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Folder for the pictures (default: tour)."),
                                 QStringLiteral("folder"), QStringLiteral("tour"));
    const QCommandLineOption peer(QStringLiteral("peer"), QStringLiteral("The kelpeer program."), QStringLiteral("path"));
    parser.addOption(out);
    parser.addOption(peer);
    // QApplication's own option, taken here so that it is not refused as unknown.
    parser.addOption(QCommandLineOption(QStringLiteral("platform"), QStringLiteral("The Qt platform plugin."),
                                        QStringLiteral("name")));
    if (!parser.parse(QCoreApplication::arguments()))
        Refuse(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        Refuse(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().front()));

    const QString peerProgram = FindPeer(parser.value(peer));
    if (peerProgram.isEmpty())
        Refuse(QStringLiteral("kelpeer not found; name it with --peer"));
    if (!QFileInfo(peerProgram).isExecutable())
        Refuse(QStringLiteral("%1 is not an executable program").arg(peerProgram));
    if (!HasDisplay(parser))
        Refuse(QStringLiteral("no display; run it under xvfb-run -a, or with QT_QPA_PLATFORM=offscreen"));
    return {parser.value(out), peerProgram};
}

} // namespace

int main(int argc, char *argv[])
{
    const TourArgs args = ReadArgs(argc, argv);
    const RuntimeFolder runtime(u"kel-tour");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KELTester"));
    QApplication::setApplicationVersion(QStringLiteral(KEL_VERSION));

    QTextStream progress(stdout);
    qputenv("KELPEER", args.peer.toLocal8Bit());

    // A stage that never ends must not hold a newcomer's terminal: the peers die with us.
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &app, [] {
        std::fprintf(stderr, "kel-tour: gave up after %d s\n", kTourLimitMs / 1000);
        std::_Exit(3);
    });
    limit.start(kTourLimitMs);

    int status = 0;
    {
        ProcessEngine engine;
        Tour tour(QDir(args.out), progress);
        if (tour.run()) {
            progress << "kel-tour: done; pictures:" << Qt::endl;
            for (const QString &picture : tour.pictures())
                progress << "  " << picture << Qt::endl;
        } else {
            std::fprintf(stderr, "kel-tour: %s\n", qPrintable(tour.failure()));
            status = 1;
        }
    }
    return status;
}
