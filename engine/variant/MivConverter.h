#pragma once

#include "MivVariant.h"

// Turns values into value text ("code" or "code,value") and back. Stateless; every failure is
// a MivError whose description names the type and the offending text.
class MivConverter
{
public:
    // No flag is defined; callers pass 0. A date outside 0100..9999 is an overflow error.
    QString ValueToText(const MivVariant &value, qint32 flags = 0) const;
    // Appends the same text to text, for callers that build a longer text around the value or
    // reuse one buffer; on an error text is left as it was.
    void AppendValueText(QString &text, const MivVariant &value, qint32 flags = 0) const;
    // An empty value part reads as the empty value of its type where it has one: Empty, Null,
    // the empty text and the empty array ("8195" and "8195," alike).
    MivVariant TextToValue(const QString &text) const;
};
