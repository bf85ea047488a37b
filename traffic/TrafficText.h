#pragma once

#include "TrafficRow.h"

#include <QByteArray>
#include <QString>

// How the Traffic pane writes its rows.

// Local time of day with milliseconds: "HH:MM:SS.mmm".
QString TrafficTimeText(std::chrono::system_clock::time_point wall);
// "in", "out", the event: "opened", "connected", "disconnected", "closed", "error", or "gap".
QString TrafficKindText(TrafficRow::Kind kind);
// The text of a gap row: "Rows were not taken while the pane was hidden, from HH:MM:SS.mmm to
// HH:MM:SS.mmm".
QString GapText(std::chrono::system_clock::time_point from, std::chrono::system_clock::time_point to);
// Where a transport opened to, and this end after it when that is another address:
// "127.0.0.1:5006 (local 127.0.0.1:40312)".
QString OpenedPeerText(const QString &target, const QString &local);
// The text with every control character written as an escape (\r, \n, \t, \\, \x05), so that
// nothing in it is invisible or moves the row.
QString EscapedText(const QString &text);
// Lowercase hex pairs separated by blanks: "05 47 0d".
QString HexText(const QByteArray &bytes);
// The row as one line for the clipboard: time, kind, peer, text and (with hex) the bytes,
// separated by tabs.
QString TrafficLine(const TrafficRow &row, bool withHex);
