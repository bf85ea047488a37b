#pragma once

#include "KelDevice.h"
#include "KelPeerConfig.h"
#include "KelReplay.h"
#include "KelRules.h"

#include <memory>
#include <optional>
#include <vector>

class MivReplyChannel;

// How the device answers one request.
struct KelReply
{
    std::optional<QString> text; // none: no answer
    int delayMs = 0;
    int splitParts = 1; // written in this many pieces,
    int splitGapMs = 0; // this far apart
    bool close = false; // then the connection is closed
    QStringList reports; // lines for standard error
};

// The device's answers: the first matching rule of the rules file, else the record of --replay,
// else the built-in device (with --fail). Stored values are the built-in device's.
class KelResponder
{
public:
    explicit KelResponder(const KelPeerConfig &config);

    // Reads the rules file and the record. Throws MivError naming the file and the line.
    // Returns lines for standard error saying what the record gave.
    QStringList load();
    // Reads the rules file again and keeps the stored values; on failure the old rules stay
    // and error says why.
    bool reload(QString *error);
    qsizetype ruleCount() const { return m_rules ? m_rules->rules.size() : 0; }

    KelReply reply(const QString &request, const std::shared_ptr<MivReplyChannel> &connection);

private:
    std::optional<QString> fallback(const QString &request, KelReply &reply);
    bool closeNow(qsizetype rule, const std::shared_ptr<MivReplyChannel> &connection, int after);

    struct Seen
    {
        std::weak_ptr<MivReplyChannel> connection;
        qsizetype rule;
        int count;
    };

    const KelPeerConfig &m_config;
    KelDevice m_device;
    std::optional<KelRuleSet> m_rules;
    std::optional<KelReplay> m_replay;
    std::vector<Seen> m_seen; // matches per rule and connection, for close_after
};
