#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// Answers requests as a recorded session did: each request text gets the answers that text got,
// in recorded order, the last one repeating. The exchanges of every peer in the record count,
// peer after peer.
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

    // The next answer for the request, or nothing when the record never saw it.
    std::optional<Answer> next(const QString &request);

private:
    struct Sequence
    {
        QList<Answer> answers;
        qsizetype next = 0;
    };
    QHash<QString, Sequence> m_answers;
    QString m_error;
};
