#include "PlanJudge.h"

#include "KelAnswer.h"
#include "MivError.h"

namespace {

constexpr qsizetype kQuoteChars = 200;

std::optional<KelAnswer> Readable(const QString &answer)
{
    try {
        return ParseKelAnswer(answer);
    } catch (const MivError &) {
        return std::nullopt;
    }
}

QString ErrorName(qint32 code)
{
    const QString name = KelHresultName(code);
    return name.isEmpty() ? QString::number(code) : name;
}

} // namespace

QString PlanQuote(const QString &text)
{
    if (text.size() <= kQuoteChars)
        return u'"' + text + u'"';
    return QStringLiteral("\"%1...\" (%2 characters)").arg(text.left(kQuoteChars)).arg(text.size());
}

PlanVerdict JudgePlanAnswer(const PlanStep &step, const QString &expected, const QString &answer, double ms)
{
    PlanVerdict verdict;
    switch (step.judge) {
    case PlanJudgeKind::Any:
        // Anything the peer could mean as an answer passes; a frame without a result code is
        // not an answer.
        if (!Readable(answer))
            verdict.reason = QStringLiteral("unreadable answer %1").arg(PlanQuote(answer));
        verdict.capture = answer;
        break;
    case PlanJudgeKind::Expect:
        if (answer != expected)
            verdict.reason = QStringLiteral("expected %1, got %2").arg(PlanQuote(expected), PlanQuote(answer));
        verdict.capture = answer;
        break;
    case PlanJudgeKind::Match: {
        const DecidedRegex::Result match = step.regex->match(answer, DecidedRegex::Anchoring::Whole);
        if (match.outcome == DecidedRegex::Outcome::Undecided)
            verdict.reason = QStringLiteral("the regular expression gave up on %1: %2").arg(PlanQuote(answer), match.why);
        else if (match.outcome == DecidedRegex::Outcome::NoMatch)
            verdict.reason = QStringLiteral("expected a match of '%1', got %2").arg(step.expect, PlanQuote(answer));
        // The first group when it took part (an unset one is null, an empty one is not).
        const QString group = match.captured.value(1);
        verdict.capture = group.isNull() ? answer : group;
        break;
    }
    case PlanJudgeKind::ExpectError: {
        const std::optional<KelAnswer> read = Readable(answer);
        if (!read || read->hresult != step.expectError)
            verdict.reason = QStringLiteral("expected %1, got %2").arg(ErrorName(step.expectError), PlanQuote(answer));
        verdict.capture = answer;
        break;
    }
    }
    if (verdict.reason.isEmpty() && step.withinMs && ms > *step.withinMs)
        verdict.reason = QStringLiteral("answered in %1 ms, more than %2").arg(PlanMs(ms), PlanMs(*step.withinMs));
    return verdict;
}
