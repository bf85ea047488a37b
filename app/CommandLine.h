#pragma once

#include <QString>
#include <QStringList>

// What KELTester's command line asks for. Read before the application exists, so that --help,
// --version and a bad option need no display.
struct CommandLine
{
    enum class Action {
        OpenWindow, // the normal start; Qt's own options are left for QApplication
        Answer,     // print text on standard output and end with 0
        Refuse,     // print text on standard error and end with kUsageStatus
    };
    Action action = Action::OpenWindow;
    QString text;
    QString profile; // --profile FILE: the window starts with its settings
};

constexpr int kUsageStatus = 2;

// arguments as QCoreApplication::arguments() gives them, the program first.
CommandLine ReadCommandLine(const QStringList &arguments);
