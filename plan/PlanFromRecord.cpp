#include "PlanFromRecord.h"

#include "KelAnswer.h"
#include "MivError.h"
#include "SessionRecordReader.h"

#include <QFileInfo>

#include <cmath>

namespace {

constexpr double kUsPerMs = 1000.0;
constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kFirstPrintable = 0x20;
constexpr char16_t kDelete = 0x7F;

// Braces stand for themselves in a plan only when doubled.
QString Literal(const QString &text)
{
    QString out = text;
    out.replace(u'{', QLatin1String("{{")).replace(u'}', QLatin1String("}}"));
    return out;
}

QString Step(const RecordedExchange &exchange, std::optional<double> withinFactor)
{
    QString step = QStringLiteral("\n[[step]]\nsend = %1\n").arg(TomlString(Literal(exchange.request)));
    std::optional<qint32> error;
    try {
        const qint32 code = ParseKelAnswer(*exchange.answer).hresult;
        if (code < 0 && *exchange.answer == QString::number(code))
            error = code;
    } catch (const MivError &) {
    }
    if (error) {
        const QString name = KelHresultName(*error);
        step += QStringLiteral("expect_error = %1\n").arg(name.isEmpty() ? QString::number(*error) : TomlString(name));
    } else {
        step += QStringLiteral("expect = %1\n").arg(TomlString(Literal(*exchange.answer)));
    }
    if (withinFactor) {
        const double ms = std::ceil(*withinFactor * double(exchange.delayUs) / kUsPerMs);
        step += QStringLiteral("within = %1\n").arg(qMax(1.0, ms), 0, 'f', 0);
    }
    return step;
}

} // namespace

QString TomlString(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"' || c == u'\\')
            out += u'\\' + c;
        else if (c.unicode() < kFirstPrintable || c.unicode() == kDelete)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c.isSurrogate())
            out += QChar(kReplacement); // UTF-8 cannot carry it
        else
            out += c;
    }
    return out + u'"';
}

std::optional<QString> PlanFromRecord(const QString &recordPath, std::optional<double> withinFactor, QString *error)
{
    SessionRecordReader reader;
    if (!reader.read(recordPath)) {
        *error = reader.errorString();
        return std::nullopt;
    }
    const QString file = QFileInfo(recordPath).fileName();
    QString plan = QStringLiteral("# A plan from the session record %1: each request with the answer it got.\n"
                                  "\n[plan]\nname = %2\n")
                       .arg(file, TomlString(QStringLiteral("from ") + file));
    qsizetype steps = 0;
    for (const RecordedPeer &peer : reader.peers()) {
        for (const RecordedExchange &exchange : peer.exchanges) {
            if (!exchange.answer || exchange.request.isEmpty()) {
                plan += QStringLiteral("\n# left out: %1 %2\n")
                            .arg(TomlString(exchange.request),
                                 exchange.answer ? QStringLiteral("is empty") : QStringLiteral("got no answer in the record"));
                continue;
            }
            plan += Step(exchange, withinFactor);
            ++steps;
        }
    }
    if (steps == 0) {
        *error = QStringLiteral("%1 holds no request with its answer").arg(recordPath);
        return std::nullopt;
    }
    return plan;
}
