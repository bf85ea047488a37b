#pragma once

#include "Plan.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Reads a test plan (TOML). A bad one is refused as a whole, with error set to
// "<path>:<line>: <what is wrong>" (or "<path>: <why>" for a file that cannot be read), before
// anything could be sent.
namespace PlanLimits {
constexpr int kMaxNesting = 32;     // brackets and braces open at once
constexpr int kMaxKeyDots = 32;     // dots outside quotes on one line (a dotted key's parts)
constexpr int kMaxMs = 3600 * 1000; // timeouts, pauses and bounds: an hour
constexpr int kMaxRepeat = 10'000'000;
} // namespace PlanLimits

std::optional<Plan> LoadPlan(const QString &path, QString *error);
// The same from bytes in hand; path names the file in errors and gives the default name.
std::optional<Plan> ParsePlan(const QByteArray &bytes, const QString &path, QString *error);
