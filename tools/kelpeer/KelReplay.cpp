#include "KelReplay.h"

#include "SessionRecordReader.h"

#include <cmath>

namespace {
constexpr double kUsPerMs = 1000.0;
} // namespace

bool KelReplay::load(const QString &path)
{
    SessionRecordReader reader;
    if (!reader.read(path)) {
        m_error = reader.errorString();
        return false;
    }
    m_exchanges = reader.exchangeCount();
    m_leftOut = reader.framesLeftOut();
    for (const RecordedPeer &peer : reader.peers()) {
        for (const RecordedExchange &exchange : peer.exchanges)
            m_answers[exchange.request].answers.append({exchange.answer, int(std::lround(exchange.delayUs / kUsPerMs))});
    }
    return true;
}

std::optional<KelReplay::Answer> KelReplay::next(const QString &request)
{
    const auto it = m_answers.find(request);
    if (it == m_answers.end())
        return std::nullopt;
    Sequence &sequence = *it;
    const Answer answer = sequence.answers.at(sequence.next);
    if (sequence.next + 1 < sequence.answers.size())
        ++sequence.next;
    return answer;
}
