#include "PlanReportFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamWriter>

namespace {

constexpr double kUsPerSecond = 1e6;

bool XmlCanHold(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
           || (c >= 0x10000 && c <= 0x10FFFF);
}

QString XmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        qsizetype len = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            len = 2;
        }
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (XmlCanHold(c))
            out += QStringView(text).sliced(i, len);
        else
            out += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
        i += len - 1;
    }
    return out;
}

QString Seconds(qint64 us)
{
    return QString::number(double(us) / kUsPerSecond, 'f', 6);
}

} // namespace

QByteArray PlanJUnitXml(const PlanReport &report)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), XmlText(report.name));
    xml.writeAttribute(QStringLiteral("tests"), QString::number(report.steps.size()));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(report.failed));
    xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("time"), Seconds(report.elapsedMs * 1000));
    for (const PlanStepResult &step : report.steps) {
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("name"), XmlText(step.name));
        xml.writeAttribute(QStringLiteral("classname"), XmlText(report.name));
        xml.writeAttribute(QStringLiteral("time"), Seconds(step.us));
        if (!step.passed) {
            xml.writeStartElement(QStringLiteral("failure"));
            xml.writeAttribute(QStringLiteral("message"), XmlText(step.reason));
            xml.writeCharacters(XmlText(step.reason));
            xml.writeEndElement();
        }
        if (!step.answer.isEmpty())
            xml.writeTextElement(QStringLiteral("system-out"), XmlText(step.answer));
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return out;
}

QByteArray PlanJson(const PlanReport &report)
{
    QJsonArray steps;
    for (const PlanStepResult &step : report.steps) {
        QJsonObject object{{"name", step.name},
                           {"send", step.send},
                           {"expected", step.expected},
                           {"result", step.passed ? "pass" : "fail"},
                           {"answer", step.answer},
                           {"reason", step.reason},
                           {"us", step.us}};
        if (step.p99Ms) {
            object.insert("requests", step.repetitions);
            object.insert("p50_ms", *step.p50Ms);
            object.insert("p99_ms", *step.p99Ms);
        }
        steps.append(object);
    }
    const QJsonObject root{{"name", report.name},
                           {"passed", report.passed},
                           {"failed", report.failed},
                           {"elapsed_ms", report.elapsedMs},
                           {"steps", steps}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

RecordedPlan PlanRecordEntry(const PlanReport &report)
{
    RecordedPlan entry;
    entry.name = report.name;
    entry.passed = report.passed;
    entry.failed = report.failed;
    entry.elapsedMs = report.elapsedMs;
    for (const PlanStepResult &step : report.steps)
        entry.steps.append({step.name, step.send, step.passed, step.answer, step.reason, step.us});
    return entry;
}
