#pragma once

#include <QByteArrayView>

#include <optional>

// A TOML parser builds one table per part of a dotted key and per nested array or inline
// table, recursively: a file of 40,000 "a." parts overflows the stack. Such files are refused
// before they are parsed.
constexpr int kMaxTomlNesting = 64;

// The first line on which table headers, dotted keys, arrays and inline tables together nest
// deeper than maxDepth, or nothing. Reads strings and comments as TOML does; anything it does
// not understand is left for the parser to refuse.
// Lines count from 1.
std::optional<int> FindDeepTomlNesting(QByteArrayView text, int maxDepth = kMaxTomlNesting);
