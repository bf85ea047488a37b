#include "CommandLine.h"
#include "MessageBox.h"
#include "MivError.h"
#include "ProcessEngine.h"
#include "ProfileFile.h"
#include "RuntimeFolder.h"
#include "frmKELTester.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = ReadCommandLine(arguments);
    if (command.action == CommandLine::Action::Answer) {
        std::fputs(command.text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (command.action == CommandLine::Action::Refuse) {
        std::fprintf(stderr, "KELTester: %s\nTry 'KELTester --help'.\n", qPrintable(command.text));
        return kUsageStatus;
    }
    // A refused profile changes nothing and opens nothing: the start ends before any window.
    std::optional<Profile> profile;
    if (!command.profile.isEmpty()) {
        QString error;
        profile = LoadProfile(command.profile, &error);
        if (!profile) {
            std::fprintf(stderr, "KELTester: %s\n", qPrintable(error));
            return 1;
        }
    }

    const RuntimeFolder runtime(u"keltester");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KELTester"));
    QApplication::setApplicationVersion(QStringLiteral(KEL_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/keltester.svg")));

    std::unique_ptr<ProcessEngine> engine;
    std::unique_ptr<frmKELTester> window;
    int status = 1;
    try {
        engine = std::make_unique<ProcessEngine>();
        window = std::make_unique<frmKELTester>();
        window->show();
        if (profile)
            window->applyProfile(*profile);
    } catch (const MivError &error) {
        ShowMessageBox(nullptr, error.description());
        window.reset();
    } catch (const std::exception &error) {
        ShowMessageBox(nullptr, QString::fromLocal8Bit(error.what()));
        window.reset();
    }
    if (window)
        status = QApplication::exec();

    // The window and its controller go before the engine, the engine before the application.
    window.reset();
    engine.reset();
    return status;
}
