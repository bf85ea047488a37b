#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reads a file a user handed over, refusing one past maxBytes or one that is not a regular file
// (a device, a pipe, a directory) before reading it. Nothing, with error saying why, on refusal.
//
// Kept tiny so that a shared bounded reader can take its place.
std::optional<QByteArray> ReadBoundedFile(const QString &path, qint64 maxBytes, QString *error);
