#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What kelpeer was asked to do.
struct KelPeerConfig
{
    QString option;            // the connection option string
    int delayMs = 0;           // device role: each answer waits this long
    QStringList failPrefixes;  // device role: requests starting with one answer E_FAIL
    bool verbose = false;      // "< text" / "> text" per frame
    std::optional<QString> sendText; // host role when set
    int count = 1;
    int intervalMs = 0;
    bool noWait = false;
};

struct KelPeerArgs
{
    enum Outcome { Run, Help, Usage };
    Outcome outcome = Usage;
    KelPeerConfig config;
    QString error; // with Usage
};

// Reads the command line (without the program name).
KelPeerArgs ParseKelPeerArgs(const QStringList &args);

QString KelPeerUsage();
