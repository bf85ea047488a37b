#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// Answers requests as a recorded session did: each request text gets the answers that text got,
// in recorded order, the last one repeating. The exchanges of every client-role link in the
// record count, peer after peer (SessionRecordReader.h says which links those are).
class KelReplay
{
public:
    struct Answer
    {
        std::optional<QString> text; // none: the record ends before this one's answer came
        int delayMs = 0;             // as recorded, from the request to its answer
    };

    // Reads the record; false with errorString() naming the line when it cannot.
    bool load(const QString &path);
    QString errorString() const { return m_error; }
    qsizetype requestCount() const { return m_answers.size(); }
    qsizetype exchangeCount() const { return m_exchanges; }
    // Frames of server-role links in the record, which answer nothing.
    qsizetype framesLeftOut() const { return m_leftOut; }

    // The next answer for the request, or nothing when the record never saw it.
    std::optional<Answer> next(const QString &request);

private:
    struct Sequence
    {
        QList<Answer> answers;
        qsizetype next = 0;
    };
    QHash<QString, Sequence> m_answers;
    qsizetype m_exchanges = 0;
    qsizetype m_leftOut = 0;
    QString m_error;
};
