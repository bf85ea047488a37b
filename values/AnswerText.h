#pragma once

#include <QString>

// The texts the main window logs for what comes back from the peer.

// A type code field read strictly: the whole field, blanks around it aside, is a plain decimal
// number ("3", " -1.5e2 "). Anything else ("x", "3x", "&H3", "") is MivError 13 "Type mismatch";
// a number beyond a double is MivError 6 "Overflow".
double StrictNumber(const QString &text);

// A received answer "hresult[,type,value]" taken apart: "HRESULT=h", and when the type is a
// nonzero number ", Type=name, Value=v" (the value keeps its commas). An empty answer, or a
// nonzero type without a value part, is MivError 9 "Subscript out of range".
QString InterpretedAnswer(const QString &text);

// The result of a synchronous command from its value text "code[,value]":
// "Type=name" and, when there is a value part, ", Value=value" (commas kept).
QString ResultText(const QString &valueText);
