#pragma once

#include "DecidedRegex.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// A request taken apart: COMMAND:part:number:sub:param (missing fields are empty).
struct KelRequestFields
{
    QString command;
    QString part;
    QString number;
    QString sub;
    QString param;

    static KelRequestFields of(const QString &request);
    QString key() const { return part + u':' + number + u':' + sub; }
};

enum class KelFault { None, NoAnswer, Garble, Split };

// One rule of a rules file: what it matches and how it answers.
struct KelRule
{
    static constexpr qint32 kDefaultError = qint32(0x80004005u); // E_FAIL
    static constexpr int kDefaultSplitParts = 3;
    static constexpr int kDefaultSplitGapMs = 20;

    int line = 0; // where it starts in the file
    std::optional<QString> command, part, number, sub;
    std::optional<DecidedRegex> match;       // searched in the whole request text
    std::optional<QString> answer;           // none: the built-in device answers
    int delayMinMs = -1;                     // -1: no delay of its own
    int delayMaxMs = -1;
    double errorRate = 0;
    qint32 error = kDefaultError;
    KelFault fault = KelFault::None;
    int splitParts = kDefaultSplitParts;
    int splitGapMs = kDefaultSplitGapMs;
    int closeAfter = 0; // close the connection after this many matches on it; 0: never

    // Whether the rule matches; a match that cannot be decided (a regular expression out of
    // its limits) does not, and undecided then says why.
    bool matches(const QString &request, const KelRequestFields &fields, QString *undecided) const;
};

// The rules of a file, in order: the first that matches a request wins.
struct KelRuleSet
{
    QList<QPair<QString, QString>> values; // "part:number:sub" -> value text, the device's start
    QList<KelRule> rules;

    // The first rule that matches, or -1. A rule whose match cannot be decided is passed over
    // and adds a line to undecided naming it ("file:line: ...").
    qsizetype find(const QString &request, const KelRequestFields &fields, QStringList *undecided) const;
    QString path; // the file, for those lines
};

// Reads a rules file (TOML), bounded in size and nesting before it is parsed. On failure
// returns nothing and sets error to "<file>:<line>: <what is wrong>" (or "<file>: <why>" when
// it cannot be read).
std::optional<KelRuleSet> LoadKelRules(const QString &path, QString *error);

// The answer text of a rule with its placeholders filled: {value} (the stored value text of
// the request's part:number:sub), {request}, {command}, {part}, {number}, {sub}, {param}.
QString FillAnswer(const QString &answer, const QString &request, const KelRequestFields &fields,
                   const QString &storedValue);

// What a garbled answer looks like: "~" and the text backwards, which reads as no answer.
QString GarbleAnswer(const QString &answer);
