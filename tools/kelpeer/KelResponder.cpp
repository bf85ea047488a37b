#include "KelResponder.h"

#include "MivError.h"
#include "MivMessage.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {
const QString kNotImpl = QString::number(MivCode::NotImpl);
} // namespace

KelResponder::KelResponder(const KelPeerConfig &config) : m_config(config), m_device(config.failPrefixes) {}

QStringList KelResponder::load()
{
    QStringList notes;
    if (!m_config.rulesPath.isEmpty()) {
        QString error;
        m_rules = LoadKelRules(m_config.rulesPath, &error);
        if (!m_rules)
            throw MivError(MivCode::InvalidArg, error);
        for (const auto &[key, value] : std::as_const(m_rules->values))
            m_device.store(key, value);
    }
    if (!m_config.replayPath.isEmpty()) {
        m_replay.emplace();
        if (!m_replay->load(m_config.replayPath))
            throw MivError(MivCode::InvalidArg, m_replay->errorString());
        notes << QStringLiteral("kelpeer: %1: %2 exchanges loaded (%3 distinct requests)")
                     .arg(m_config.replayPath)
                     .arg(m_replay->exchangeCount())
                     .arg(m_replay->requestCount());
        if (m_replay->framesLeftOut() > 0)
            notes << QStringLiteral("kelpeer: %1: %2 frames of server-role links left out (their \"in\" frames "
                                    "are requests, not answers)")
                         .arg(m_config.replayPath)
                         .arg(m_replay->framesLeftOut());
    }
    return notes;
}

bool KelResponder::reload(QString *error)
{
    std::optional<KelRuleSet> rules = LoadKelRules(m_config.rulesPath, error);
    if (!rules)
        return false;
    m_rules = std::move(rules);
    m_seen.clear();
    return true;
}

KelReply KelResponder::reply(const QString &request, const std::shared_ptr<MivReplyChannel> &connection)
{
    KelReply reply;
    reply.delayMs = m_config.delayMs;
    const KelRequestFields fields = KelRequestFields::of(request);
    const qsizetype index = m_rules ? m_rules->find(request, fields, &reply.reports) : -1;
    if (index < 0) {
        reply.text = fallback(request, reply);
        return reply;
    }
    const KelRule &rule = m_rules->rules.at(index);
    if (rule.errorRate > 0 && QRandomGenerator::global()->generateDouble() < rule.errorRate)
        reply.text = QString::number(rule.error);
    else if (rule.answer)
        reply.text = FillAnswer(*rule.answer, request, fields, m_device.value(fields.key()));
    else
        reply.text = fallback(request, reply);
    if (rule.delayMinMs >= 0)
        reply.delayMs = rule.delayMinMs + int(QRandomGenerator::global()->bounded(rule.delayMaxMs - rule.delayMinMs + 1));
    if (rule.fault == KelFault::NoAnswer)
        reply.text.reset();
    else if (rule.fault == KelFault::Garble && reply.text)
        reply.text = GarbleAnswer(*reply.text);
    else if (rule.fault == KelFault::Split) {
        reply.splitParts = rule.splitParts;
        reply.splitGapMs = rule.splitGapMs;
    }
    reply.close = rule.closeAfter > 0 && closeNow(index, connection, rule.closeAfter);
    return reply;
}

std::optional<QString> KelResponder::fallback(const QString &request, KelReply &reply)
{
    if (!m_replay)
        return m_device.answer(request);
    const std::optional<KelReplay::Answer> recorded = m_replay->next(request);
    if (!recorded) {
        reply.reports << QStringLiteral("kelpeer: \"%1\" is not in the record: answered %2 E_NOTIMPL").arg(request, kNotImpl);
        return kNotImpl;
    }
    if (m_config.replayDelays)
        reply.delayMs = recorded->delayMs;
    if (!recorded->text)
        reply.reports << QStringLiteral("kelpeer: \"%1\" got no answer in the record: none sent").arg(request);
    return recorded->text;
}

// Counts a match of the rule on the connection: true at the close_after-th.
bool KelResponder::closeNow(qsizetype rule, const std::shared_ptr<MivReplyChannel> &connection, int after)
{
    std::erase_if(m_seen, [](const Seen &s) { return s.connection.expired(); });
    auto it = std::find_if(m_seen.begin(), m_seen.end(), [&](const Seen &s) {
        return s.rule == rule && s.connection.lock() == connection;
    });
    if (it == m_seen.end())
        it = m_seen.insert(m_seen.end(), Seen{connection, rule, 0});
    return ++it->count >= after;
}
