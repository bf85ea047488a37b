#pragma once

#include "KelLoadTally.h"
#include "KelPeerConfig.h"
#include "MivEngine.h"

#include <QElapsedTimer>
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
class KelLoad : public QObject
{
    Q_OBJECT
public:
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
    };

    MivController *connectClient(std::size_t index);
    void onMessage(std::size_t index, MivMessage *message);
    void takeFrame(Client &client, const QString &text);
    void lineGone(std::size_t index);
    void reconnect(std::size_t index);
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
};
