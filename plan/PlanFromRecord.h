#pragma once

#include <QString>

#include <optional>

// A plan (TOML text) from a session record of a client: a step per request with the answer it
// got as expect (an error answer as expect_error), so that a good session becomes a regression
// test. With withinFactor, each step also has within = that many times the recorded latency
// (whole milliseconds, rounded up). A request whose answer the record lacks is left out with a
// comment. Nothing, with error saying why, when the record cannot be read.
std::optional<QString> PlanFromRecord(const QString &recordPath, std::optional<double> withinFactor, QString *error);

// A text as a TOML basic string, quotes included.
QString TomlString(const QString &text);
