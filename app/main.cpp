#include "MessageBox.h"
#include "MivConverter.h"
#include "MivEngine.h"
#include "MivError.h"
#include "frmKELTester.h"
#include "modMain.h"

#include <QApplication>

#include <exception>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KELTester"));
    QApplication::setApplicationVersion(QStringLiteral(KEL_VERSION));

    std::unique_ptr<frmKELTester> window;
    int status = 1;
    try {
        g_mivEngine = new MivEngine;
        g_mivConverter = new MivConverter;
        window = std::make_unique<frmKELTester>();
        window->show();
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
    delete g_mivEngine;
    g_mivEngine = nullptr;
    delete g_mivConverter;
    g_mivConverter = nullptr;
    return status;
}
