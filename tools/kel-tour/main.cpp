// kel-tour: drives the tester's windows against kelpeer and saves a picture of each.

#include "EngineObjects.h"
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

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KELTester"));
    QApplication::setApplicationVersion(QStringLiteral(KEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Drives KEL Tester against kelpeer: connect, send synchronously and asynchronously, "
        "answer kelpeer's requests automatically, run a performance check. Saves a PNG of each stage."));
    parser.addHelpOption();
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Folder for the pictures (default: tour)."),
                                 QStringLiteral("folder"), QStringLiteral("tour"));
    const QCommandLineOption peer(QStringLiteral("peer"), QStringLiteral("The kelpeer program."), QStringLiteral("path"));
    parser.addOption(out);
    parser.addOption(peer);
    parser.process(app);

    QTextStream progress(stdout);
    const QString peerProgram = FindPeer(parser.value(peer));
    if (peerProgram.isEmpty()) {
        std::fprintf(stderr, "kel-tour: kelpeer not found; name it with --peer\n");
        return 2;
    }
    qputenv("KELPEER", peerProgram.toLocal8Bit());

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
        EngineObjects engine;
        Tour tour(QDir(parser.value(out)), progress);
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
