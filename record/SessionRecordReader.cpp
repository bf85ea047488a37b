#include "SessionRecordReader.h"

#include "SessionRecorder.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQueue>

#include <cmath>

namespace {

struct Frame
{
    qint64 us = 0;
    bool out = false;
    QString peer;
    QString text;
};

// Each field reader returns the field, or nothing with `wrong` saying what is amiss.
std::optional<QString> Text(const QJsonObject &record, const char *name, QString &wrong)
{
    const QJsonValue value = record.value(QLatin1StringView(name));
    if (value.isString())
        return value.toString();
    wrong = QStringLiteral("\"%1\" is missing or not a text").arg(QLatin1StringView(name));
    return std::nullopt;
}

std::optional<qint64> Number(const QJsonObject &record, const char *name, QString &wrong)
{
    const QJsonValue value = record.value(QLatin1StringView(name));
    if (value.isDouble())
        return qint64(std::llround(value.toDouble()));
    wrong = QStringLiteral("\"%1\" is missing or not a number").arg(QLatin1StringView(name));
    return std::nullopt;
}

// A record has its type and wall-clock time.
std::optional<QJsonObject> ParseRecord(const QByteArray &line, QString &wrong)
{
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parse);
    if (parse.error != QJsonParseError::NoError) {
        wrong = QStringLiteral("%1 at column %2").arg(parse.errorString()).arg(parse.offset + 1);
        return std::nullopt;
    }
    if (!document.isObject()) {
        wrong = QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject record = document.object();
    if (!Text(record, "t", wrong) || !Number(record, "ms", wrong))
        return std::nullopt;
    return record;
}

void CheckSession(const QJsonObject &record, QString &wrong)
{
    const QString type = record.value(QLatin1StringView("t")).toString();
    if (type != u"session") {
        wrong = QStringLiteral("the first record is \"%1\", not \"session\"").arg(type);
        return;
    }
    const std::optional<qint64> version = Number(record, "version", wrong);
    if (version && *version != SessionRecorder::kVersion)
        wrong = QStringLiteral("version %1 is not supported (only %2)").arg(*version).arg(SessionRecorder::kVersion);
}

std::optional<Frame> ParseFrame(const QJsonObject &record, QString &wrong)
{
    const std::optional<qint64> us = Number(record, "us", wrong);
    const std::optional<QString> dir = us ? Text(record, "dir", wrong) : std::nullopt;
    const std::optional<QString> peer = dir ? Text(record, "peer", wrong) : std::nullopt;
    const std::optional<QString> text = peer ? Text(record, "text", wrong) : std::nullopt;
    if (!text)
        return std::nullopt;
    if (*dir != u"in" && *dir != u"out") {
        wrong = QStringLiteral("\"dir\" is \"%1\", not \"in\" or \"out\"").arg(*dir);
        return std::nullopt;
    }
    return Frame{*us, *dir == u"out", *peer, *text};
}

// Pairs requests with answers per peer, oldest waiting request first.
class Pairing
{
public:
    explicit Pairing(QList<RecordedPeer> &peers) : m_peers(peers) {}

    void add(const Frame &frame)
    {
        auto state = m_states.find(frame.peer);
        if (frame.out) {
            if (state == m_states.end()) {
                state = m_states.insert(frame.peer, State{m_peers.size(), {}});
                m_peers.append(RecordedPeer{frame.peer, {}});
            }
            QList<RecordedExchange> &exchanges = m_peers[state->peer].exchanges;
            state->waiting.enqueue(Waiting{exchanges.size(), frame.us});
            exchanges.append(RecordedExchange{frame.text, std::nullopt, 0});
        } else if (state != m_states.end() && !state->waiting.isEmpty()) {
            const Waiting request = state->waiting.dequeue();
            RecordedExchange &exchange = m_peers[state->peer].exchanges[request.exchange];
            exchange.answer = frame.text;
            exchange.delayUs = frame.us - request.us;
        }
    }

private:
    struct Waiting
    {
        qsizetype exchange = 0;
        qint64 us = 0;
    };
    struct State
    {
        qsizetype peer = 0;
        QQueue<Waiting> waiting;
    };
    QList<RecordedPeer> &m_peers;
    QHash<QString, State> m_states;
};

} // namespace

bool SessionRecordReader::read(const QString &path)
{
    m_peers.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    Pairing pairing(m_peers);
    bool sawSession = false;
    QString wrong;
    qint64 lineNumber = 0;
    while (wrong.isEmpty() && !file.atEnd()) {
        ++lineNumber;
        const QByteArray line = file.readLine(kMaxLineBytes + 1); // at most kMaxLineBytes
        if (!line.endsWith('\n') && !file.atEnd()) {
            wrong = QStringLiteral("longer than %1 bytes").arg(kMaxLineBytes);
            break;
        }
        if (line.trimmed().isEmpty())
            continue;
        const std::optional<QJsonObject> record = ParseRecord(line, wrong);
        if (!record)
            break;
        if (!sawSession) {
            CheckSession(*record, wrong);
            sawSession = true;
        } else if (record->value(QLatin1StringView("t")).toString() == u"frame") {
            if (const std::optional<Frame> frame = ParseFrame(*record, wrong))
                pairing.add(*frame);
        }
    }
    if (wrong.isEmpty() && !sawSession) {
        m_error = QStringLiteral("\"%1\" holds no session record").arg(path);
        return false;
    }
    if (!wrong.isEmpty()) {
        m_error = QStringLiteral("\"%1\" line %2: %3").arg(path).arg(lineNumber).arg(wrong);
        m_peers.clear();
        return false;
    }
    m_error.clear();
    return true;
}
