#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What kelpeer was asked to do. Without send texts it plays the device; with them the host,
// and with any load option (clients, pipeline, rate, duration, json, maxP99Ms, maxErrors) the
// host is a load generator that prints a summary instead of each answer.
struct KelPeerConfig
{
    QString option;            // the connection option string
    bool verbose = false;      // a time-stamped line per frame, connect and disconnect
    bool reconnect = false;    // a client or serial line that goes is opened again
    // device
    int delayMs = 0;           // each answer waits this long (a rule's own delay wins)
    QStringList failPrefixes;  // requests starting with one answer E_FAIL
    QString rulesPath;         // a rules file (TOML)
    QString replayPath;        // a session record to answer from
    bool replayDelays = false; // with the record's delays
    // host
    QStringList sendTexts;     // taken in turn
    int count = 1;             // requests in all
    bool countGiven = false;
    int intervalMs = 0;
    bool noWait = false;
    std::optional<int> waitClientMs; // a server option: how long to wait for the first client
    // load
    bool load = false;
    int clients = 1;
    int pipeline = 1;
    double rate = 0; // requests per second in all; 0: as fast as possible
    std::optional<int> durationMs;
    QString jsonPath;
    std::optional<double> maxP99Ms;
    std::optional<qint64> maxErrors;
    // plan (--json above is also the plan report's)
    QString planPath;
    QString junitPath;
    QString planFromPath; // writes a plan from a record, opens no connection
    std::optional<double> withinFactor;

    // monitor: the option string is the host side, this the device side
    QString monitorOption;
    QString recordPath;

    bool isMonitor() const { return !monitorOption.isEmpty(); }
    bool isHost() const { return !sendTexts.isEmpty(); }
    bool isPlan() const { return !planPath.isEmpty(); }
};

struct KelPeerArgs
{
    enum Outcome { Run, Help, Version, Usage };
    Outcome outcome = Usage;
    KelPeerConfig config;
    QString error; // with Usage
};

// Reads the command line (without the program name).
KelPeerArgs ParseKelPeerArgs(const QStringList &args);

// The full help (--help) and the short reminder after a usage error.
QString KelPeerUsage();
QString KelPeerSynopsis();
QString KelPeerVersion();

// Exit statuses.
namespace KelPeerExit {
constexpr int Ok = 0;
constexpr int Failure = 1;
constexpr int Usage = 2;
constexpr int LimitExceeded = 3;
constexpr int PlanFailed = 1; // a plan ran and a step failed
constexpr int PlanBad = 2;    // the plan or the connection is refused: nothing ran
} // namespace KelPeerExit
