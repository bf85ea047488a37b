#pragma once

#include "KelLoadTally.h"
#include "KelPeerConfig.h"
#include "MivEngine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>
#include <vector>

class MivController;
class MivMessage;

// kelpeer's load generator: several connections, each sending the texts in turn with up to
// `pipeline` requests in flight, paced to a rate in all or as fast as answers come, for a
// count or a duration; then a summary.
//
// Requests are sent without waiting, so that one thread drives every connection; the answers
// come as messages and answer a connection's requests oldest first, as the protocol carries no
// request numbers. The engine's rules for a request that timed out hold here too: the next
// frame within another Timeout is its late answer (counted as stray), never the answer to a
// later request.
//
// A connection that the device closes, or that cannot be made, is made again after a back-off
// that starts at kFirstRetryMs and doubles up to kMaxRetryMs; it is reset by a frame from the
// device. After kMaxTriesInARow tries without one the connection is given up. Failures go to
// standard error at the end, one line per connection and kind with how often it happened.
class KelLoad : public QObject
{
    Q_OBJECT
public:
    static constexpr int kFirstRetryMs = 10;
    static constexpr int kMaxRetryMs = 1000;
    static constexpr int kMaxTriesInARow = 10;

    explicit KelLoad(KelPeerConfig config, QObject *parent = nullptr);
    ~KelLoad() override;

    // Opens the connections and starts. Throws MivError with the reason.
    void start();
    const KelLoadTally &tally() const { return m_tally; }

signals:
    void output(const QString &line);
    void failure(const QString &line);
    void finished(int exitCode);

private:
    using Clock = std::chrono::steady_clock;
    struct InFlight
    {
        int operation;
        Clock::time_point sent;
    };
    struct Client
    {
        MivController *controller = nullptr;
        std::deque<InFlight> inFlight;
        int owedLate = 0;               // requests that timed out and may still be answered
        Clock::time_point lateUntil;    // until then
        std::unique_ptr<QTimer> timer;  // the oldest request's timeout
        bool open = false;
        bool reconnecting = false;
        int triesInARow = 0; // connections made or tried since the device last sent a frame
        int retryMs = 0;     // the next back-off
    };
    struct FailureKind
    {
        std::size_t client;
        QString description;
        qint64 count;
    };

    MivController *connectClient(std::size_t index);
    void onMessage(std::size_t index, MivMessage *message);
    void takeFrame(Client &client, const QString &text);
    void lineGone(std::size_t index);
    void reconnect(std::size_t index);
    void retry(std::size_t index);
    void fill(std::size_t index);
    void fillAll();
    bool mayIssue();
    void send(std::size_t index);
    void expire(std::size_t index);
    void armTimeout(Client &client);
    void maybeFinish();
    void finish();
    void verbose(const QString &line);
    void begin();
    void noteFailure(std::size_t index, const QString &description);
    void reportFailures();
    int exitCode() const;

    KelPeerConfig m_config;
    MivEngine m_engine;
    std::vector<Client> m_clients;
    KelLoadTally m_tally;
    std::chrono::milliseconds m_timeout{0};
    bool m_server = false;
    bool m_started = false;
    bool m_done = false;
    QElapsedTimer m_clock;
    QTimer m_rateTimer;
    QTimer m_durationTimer;
    QTimer m_clientTimer; // --wait-client
    bool m_sending = true;
    std::size_t m_nextClient = 0;
    std::vector<int> m_operationOfText; // --send index -> operation index
    std::vector<FailureKind> m_failures; // in the order first seen
    QFile m_json;                        // opened before the run, written at its end
};
