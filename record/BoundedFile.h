#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Files that users hand us (rules, records, plans, profiles) are read whole, and only when
// they are regular files of a bounded size: /dev/zero or a runaway file must not eat memory.
constexpr qint64 kMaxUserFileBytes = 16 * 1024 * 1024;

// The file's bytes, or nothing with why set to the reason without the path ("not a regular
// file", "larger than 16 MiB", or the system's reason for a file that cannot be read).
std::optional<QByteArray> ReadBoundedFile(const QString &path, QString *why, qint64 maxBytes = kMaxUserFileBytes);
