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

// Reads a session record and pairs the frames of its client-role links per peer: an "out"
// frame is a request, and the "in" frames from the same peer answer the requests still
// waiting, oldest first (so requests sent before the first answer came pair up in order). An
// "in" frame with no request waiting is not an answer and is skipped.
//
// A link's role is the "role" of the last "opened" event before its first frame, else what
// that event's option string says (a TCP server or client); a serial line's option string
// does not tell, so a serial link whose first frame came in is taken for a server's. Frames
// before any "opened" event count as a client's. Frames of server-role links, whose "in"
// frames are requests, are left out and counted; a record with no frame of a client-role link
// is refused. Other records and unknown fields are ignored; a malformed line refuses the
// whole file, naming the line. The file is bounded as BoundedFile.h says.
class SessionRecordReader
{
public:
    static constexpr qint64 kMaxLineBytes = 8 * 1024 * 1024;

    bool read(const QString &path); // false: errorString() says why
    QString errorString() const { return m_error; }
    // In the order of their first request.
    const QList<RecordedPeer> &peers() const { return m_peers; }
    qsizetype exchangeCount() const;
    // Frames of server-role links that were left out.
    qsizetype framesLeftOut() const { return m_leftOut; }

private:
    QString m_error;
    QList<RecordedPeer> m_peers;
    qsizetype m_leftOut = 0;
};
