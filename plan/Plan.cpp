#include "Plan.h"

#include <QHash>
#include <QStringBuilder>
#include <QStringList>

namespace {

bool IsNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool IsNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'-';
}

// Walks a text: calls literal(piece) for plain text and name(placeholder) for each {name}.
template<typename Literal, typename Name>
void Walk(const QString &text, Literal literal, Name name)
{
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if ((c == u'{' || c == u'}') && i + 1 < text.size() && text.at(i + 1) == c) {
            literal(QStringView(text).sliced(i, 1));
            i += 2;
            continue;
        }
        if (c == u'{' && i + 1 < text.size() && IsNameStart(text.at(i + 1))) {
            qsizetype end = i + 2;
            while (end < text.size() && IsNameChar(text.at(end)))
                ++end;
            if (end < text.size() && text.at(end) == u'}') {
                name(text.mid(i + 1, end - i - 1));
                i = end + 1;
                continue;
            }
        }
        literal(QStringView(text).sliced(i, 1));
        ++i;
    }
}

} // namespace

QString PlanStepName(const PlanStep &step, qsizetype index, const QString &send)
{
    if (!step.name.isEmpty())
        return step.name;
    // In one piece, not by arg(): a name for every step.
    return QLatin1StringView("step ") % QString::number(index + 1) % QLatin1StringView(": ")
           % (step.isPause() ? QStringLiteral("pause") : send);
}

QString FillPlanText(const QString &text, const QHash<QString, QString> &values)
{
    if (!text.contains(u'{') && !text.contains(u'}'))
        return text;
    QString out;
    out.reserve(text.size());
    Walk(
        text, [&out](QStringView piece) { out += piece; },
        [&out, &values](const QString &name) {
            const auto it = values.find(name);
            out += it == values.end() ? u'{' + name + u'}' : *it;
        });
    return out;
}

QStringList PlanPlaceholders(const QString &text)
{
    QStringList names;
    Walk(text, [](QStringView) {}, [&names](const QString &name) { names << name; });
    return names;
}

QString PlanMs(double ms)
{
    QString text = QString::number(ms, 'f', 2);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}
