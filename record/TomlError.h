#pragma once

#include <QString>

#include <toml++/toml.h>

#include <string_view>

// What the readers of TOML files a user hands us share: a fault found at one line, thrown while
// the file is read, and reported as "file:line: what", as the parser's own faults are.
struct TomlError
{
    int line;
    QString what;
};

// The line a node or key starts on, from 1.
inline int TomlLine(const toml::node &node)
{
    return int(node.source().begin.line);
}

inline int TomlLine(const toml::key &key)
{
    return int(key.source().begin.line);
}

// A key or a parser's message (UTF-8) as text.
inline QString TomlText(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

inline QString TomlErrorText(const QString &path, const TomlError &error)
{
    return QStringLiteral("%1:%2: %3").arg(path).arg(error.line).arg(error.what);
}

inline QString TomlErrorText(const QString &path, const toml::parse_error &error)
{
    return QStringLiteral("%1:%2: %3").arg(path).arg(error.source().begin.line).arg(TomlText(error.description()));
}
