#pragma once

#include <QString>

#include <memory>
#include <optional>

// A plan's regular expression, matched against the whole answer with a bounded cost: the JIT
// first, the interpreter when the JIT runs out of stack, and a match limit on both. The outcome
// is always decided: a match, no match, or "gave up" with the reason, never a silent no-match.
//
// Kept tiny so that a shared decided-match helper can take its place.
class PlanRegex
{
public:
    enum class Outcome { Match, NoMatch, GaveUp };
    struct Result
    {
        Outcome outcome = Outcome::NoMatch;
        std::optional<QString> group; // the first group, when the pattern has one and it took part
        QString reason;               // with GaveUp
    };

    static constexpr quint32 kMatchLimit = 1'000'000; // backtracking steps per match
    static constexpr quint32 kHeapLimitKiB = 64 * 1024; // the interpreter's backtracking frames

    // Nothing, with error saying what is wrong and where, when the pattern does not compile.
    static std::optional<PlanRegex> compile(const QString &pattern, QString *error);

    Result match(const QString &subject) const;
    QString pattern() const { return m_pattern; }

private:
    struct Code;
    PlanRegex(QString pattern, std::shared_ptr<const Code> code);

    QString m_pattern;
    std::shared_ptr<const Code> m_code;
};
