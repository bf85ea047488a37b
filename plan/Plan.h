#pragma once

#include "DecidedRegex.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// How a step judges its answer: at most one of these.
enum class PlanJudgeKind { Any, Expect, Match, ExpectError };

// One step of a plan: a request sent `repeat` times and judged, or a pause.
struct PlanStep
{
    int line = 0;         // where its [[step]] starts in the file
    QString name;         // as written; empty: "step N: <send>"
    QString send;         // with {name} placeholders
    PlanJudgeKind judge = PlanJudgeKind::Any;
    QString expect;       // Expect: the answer text with placeholders; Match: the pattern
    std::optional<DecidedRegex> regex; // matched against the whole answer
    qint32 expectError = 0;
    QString expectErrorText; // as written: a name or a number
    std::optional<double> withinMs;
    int repeat = 1;
    std::optional<double> p99WithinMs;
    QString capture;      // a name that takes the first group (else the answer)
    int pauseMs = 0;      // with no send: a pause

    bool isPause() const { return send.isEmpty(); }
};

struct Plan
{
    QString name;
    std::optional<int> timeoutMs; // none: the connection's
    bool stopOnFailure = false;
    QList<QPair<QString, QString>> values; // the [values] table, in file order
    QList<PlanStep> steps;
};

// The name a step is reported by: its own, else "step N: <send>" (N from 1) or "step N: pause".
QString PlanStepName(const PlanStep &step, qsizetype index, const QString &send);

// Fills {name} placeholders from values; "{{" and "}}" stand for braces. An unknown name
// stays as it is written (the parser refuses those before a plan runs).
QString FillPlanText(const QString &text, const QHash<QString, QString> &values);

// The names of the placeholders a text uses, in order.
QStringList PlanPlaceholders(const QString &text);

// Milliseconds with up to two decimals and no trailing zeros: "0.41", "73", "7.2".
QString PlanMs(double ms);
