#pragma once

#include <QList>
#include <QString>

#include <optional>

// One request of a recorded session and the answer it got.
struct RecordedExchange
{
    QString request;
    std::optional<QString> answer; // none when the record ends before an answer came
    qint64 delayUs = 0;            // from the request to its answer
};

struct RecordedPeer
{
    QString peer;
    QList<RecordedExchange> exchanges; // in recorded order
};

// Reads a session record that the tester made as a client and pairs its frames per peer: an
// "out" frame is a request, and the "in" frames from the same peer answer the requests still
// waiting, oldest first (so requests sent before the first answer came pair up in order). An
// "in" frame with no request waiting is not an answer and is skipped. Other records and unknown
// fields are ignored; a malformed line refuses the whole file, naming the line.
class SessionRecordReader
{
public:
    static constexpr qint64 kMaxLineBytes = 8 * 1024 * 1024;

    bool read(const QString &path); // false: errorString() says why
    QString errorString() const { return m_error; }
    // In the order of their first request.
    const QList<RecordedPeer> &peers() const { return m_peers; }

private:
    QString m_error;
    QList<RecordedPeer> m_peers;
};
