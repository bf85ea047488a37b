#pragma once

#include "ProcessEngine.h"

#include <QApplication>
#include <QTest>

// QTEST_MAIN for the tests that drive the windows: the application as the program has it
// (its version, the engine objects), except that closing a window does not end it.
template<typename TestObject>
int RunWindowTest(int argc, char *argv[])
{
    QApplication::setApplicationVersion(QStringLiteral(KEL_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    ProcessEngine engine;
    TestObject test;
    return QTest::qExec(&test, argc, argv);
}

#define KEL_WINDOW_TEST_MAIN(TestObject)                                                           \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return RunWindowTest<TestObject>(argc, argv);                                              \
    }
