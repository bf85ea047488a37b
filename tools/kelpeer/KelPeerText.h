#pragma once

#include <QString>

// kelpeer writes every frame text on one line of its own, whatever the text holds:
//   \\  a backslash            \n \r \t  LF, CR, TAB
//   \xHH  any other control character (U+0000-U+001F, U+007F-U+009F), HH in hexadecimal
//   \u{H...}  a character that is not plain text: U+FFFD (the engine's stand-in for bytes that
//             are not valid UTF-8), an unpaired surrogate, a noncharacter, or the line and
//             paragraph separators U+2028 and U+2029
// Everything else is written as UTF-8.
QString EscapeLine(const QString &text);

// The text of an escaped line; an escape it does not know stays as it is.
QString UnescapeLine(const QString &line);

// A --verbose line: the local time of day as "HH:MM:SS.mmm", a blank, then the line.
QString StampedLine(const QString &line);

// The line without a leading time stamp, if it has one.
QString WithoutStamp(const QString &line);
