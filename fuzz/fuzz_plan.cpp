// Input: a test plan as bytes. A refusal names the file and a line; an accepted plan holds only
// steps that can run: a request or a pause, a compiled expression for each match, and no
// placeholder that nothing fills.
#include "FuzzCheck.h"

#include "PlanParser.h"

#include <QSet>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<Plan> plan = ParsePlan(bytes, QStringLiteral("f.toml"), &error);
    if (!plan) {
        FUZZ_CHECK(error.startsWith(u"f.toml:") && error.size() > 8, "a refusal names the file and says why", error);
        return 0;
    }
    QSet<QString> known;
    for (const auto &[name, value] : plan->values)
        known.insert(name);
    for (const PlanStep &step : plan->steps) {
        FUZZ_CHECK(step.repeat >= 1 && step.pauseMs >= 0, "a step runs at least once and pauses forward");
        FUZZ_CHECK((step.judge == PlanJudgeKind::Match) == step.regex.has_value(), "a match step, and only it, has an expression");
        for (const QString &name : PlanPlaceholders(step.send) + PlanPlaceholders(step.judge == PlanJudgeKind::Expect ? step.expect : QString()))
            FUZZ_CHECK(known.contains(name), "every placeholder is filled", name);
        if (step.regex) {
            const DecidedRegex::Result result = step.regex->match(step.send, DecidedRegex::Anchoring::Whole);
            FUZZ_CHECK((result.outcome == DecidedRegex::Outcome::Undecided) == !result.why.isEmpty(), "giving up says why");
        }
        if (!step.capture.isEmpty())
            known.insert(step.capture);
    }
    return 0;
}
