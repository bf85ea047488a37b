#pragma once

#include "Profile.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A profile is a few kilobytes; anything much larger is not one.
constexpr qint64 kMaxProfileBytes = 1024 * 1024;

// Reads a profile. A key left out keeps its default. Refused whole, with error set to
// "path:line: what" (or "path: what" for a file that cannot be read as one), for a syntax error,
// an unknown key, a value of the wrong type or out of its range, a file that is not a regular
// file, too large, or nested too deep.
std::optional<Profile> ParseProfile(const QByteArray &bytes, const QString &path, QString *error);
std::optional<Profile> LoadProfile(const QString &path, QString *error);

// The profile as TOML that a person can read and edit: grouped in tables, every key under a
// comment saying what it sets and what it takes. Nothing, with error set, for a value that no
// profile can hold (a number field whose text is not a whole number in its range, a list
// entry that is not in its list).
std::optional<QByteArray> ProfileText(const Profile &profile, QString *error);
// Writes the whole file or, with error set to "path: why", leaves what was there.
bool SaveProfile(const QString &path, const Profile &profile, QString *error);
