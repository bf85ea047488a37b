#include "SessionRecordReader.h"

#include "BoundedFile.h"
#include "SessionRecorder.h"

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

// The role an "opened" event gives the links that follow it.
enum class OpenedRole { Client, Server, FirstFrameTells };

OpenedRole RoleOfOpened(const QJsonObject &event)
{
    const QString role = event.value(QLatin1StringView("role")).toString();
    if (role == u"client")
        return OpenedRole::Client;
    if (role == u"server")
        return OpenedRole::Server;
    // The option string: keys in any case, EtherOpt=1:... a server, Conn=com:... a serial line.
    bool server = false;
    bool serial = false;
    for (const QString &piece : event.value(QLatin1StringView("text")).toString().split(u',')) {
        const qsizetype eq = piece.indexOf(u'=');
        const QString key = piece.left(eq).trimmed();
        const QString value = piece.mid(eq + 1).trimmed();
        if (key.compare(u"EtherOpt", Qt::CaseInsensitive) == 0)
            server = value.startsWith(u'1');
        else if (key.compare(u"Conn", Qt::CaseInsensitive) == 0)
            serial = value.startsWith(u"com:", Qt::CaseInsensitive);
    }
    return serial ? OpenedRole::FirstFrameTells : server ? OpenedRole::Server : OpenedRole::Client;
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

// Which links are clients: decided per peer at its first frame after each "opened" event.
class Roles
{
public:
    void opened(const QJsonObject &event)
    {
        m_role = RoleOfOpened(event);
        m_client.clear();
    }

    bool isClient(const Frame &frame)
    {
        const auto it = m_client.constFind(frame.peer);
        if (it != m_client.constEnd())
            return *it;
        const bool client = m_role == OpenedRole::Client || (m_role == OpenedRole::FirstFrameTells && frame.out);
        m_client.insert(frame.peer, client);
        return client;
    }

private:
    OpenedRole m_role = OpenedRole::Client; // before any "opened" event
    QHash<QString, bool> m_client;
};

} // namespace

qsizetype SessionRecordReader::exchangeCount() const
{
    qsizetype n = 0;
    for (const RecordedPeer &peer : m_peers)
        n += peer.exchanges.size();
    return n;
}

bool SessionRecordReader::read(const QString &path)
{
    m_peers.clear();
    m_leftOut = 0;
    QString why;
    const std::optional<QByteArray> bytes = ReadBoundedFile(path, &why);
    if (!bytes) {
        m_error = QStringLiteral("Cannot read \"%1\": %2").arg(path, why);
        return false;
    }
    Pairing pairing(m_peers);
    Roles roles;
    bool sawSession = false;
    qsizetype clientFrames = 0;
    QString wrong;
    qint64 lineNumber = 0;
    for (qsizetype at = 0; wrong.isEmpty() && at < bytes->size();) {
        ++lineNumber;
        qsizetype end = bytes->indexOf('\n', at);
        end = end < 0 ? bytes->size() : end + 1;
        const QByteArrayView line = QByteArrayView(*bytes).sliced(at, end - at);
        at = end;
        if (line.size() > kMaxLineBytes) {
            wrong = QStringLiteral("longer than %1 bytes").arg(kMaxLineBytes);
            break;
        }
        if (line.trimmed().isEmpty())
            continue;
        const std::optional<QJsonObject> record = ParseRecord(line.toByteArray(), wrong);
        if (!record)
            break;
        const QString type = record->value(QLatin1StringView("t")).toString();
        if (!sawSession) {
            CheckSession(*record, wrong);
            sawSession = true;
        } else if (type == u"event" && record->value(QLatin1StringView("kind")).toString() == u"opened") {
            roles.opened(*record);
        } else if (type == u"frame") {
            if (const std::optional<Frame> frame = ParseFrame(*record, wrong)) {
                if (roles.isClient(*frame)) {
                    ++clientFrames;
                    pairing.add(*frame);
                } else {
                    ++m_leftOut;
                }
            }
        }
    }
    if (wrong.isEmpty() && !sawSession) {
        m_error = QStringLiteral("%1: holds no session record").arg(path);
        return false;
    }
    if (!wrong.isEmpty()) {
        m_error = QStringLiteral("%1:%2: %3").arg(path).arg(lineNumber).arg(wrong);
        m_peers.clear();
        return false;
    }
    if (clientFrames == 0) {
        m_error = m_leftOut > 0
                      ? QStringLiteral("%1: holds no frame of a client-role link: all %2 frames are of a server, "
                                       "whose \"in\" frames are requests, not answers")
                            .arg(path)
                            .arg(m_leftOut)
                      : QStringLiteral("%1: holds no frame of a client-role link to answer from").arg(path);
        m_peers.clear();
        return false;
    }
    m_error.clear();
    return true;
}
