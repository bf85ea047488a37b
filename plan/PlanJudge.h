#pragma once

#include "Plan.h"

#include <QString>

#include <optional>

// What one answer to a step's request comes to.
struct PlanVerdict
{
    QString reason;                 // empty: it passed
    std::optional<QString> capture; // what the step's capture takes from it
};

// Judges an answer that came after ms: expected is the step's expect text with its
// placeholders filled. Answer texts in a reason are quoted and cut when long.
PlanVerdict JudgePlanAnswer(const PlanStep &step, const QString &expected, const QString &answer, double ms);

// A text as a reason shows it: in double quotes, cut to a readable length.
QString PlanQuote(const QString &text);
