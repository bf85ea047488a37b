#pragma once

#include "MivVariant.h"

// Turns values into value text ("code" or "code,value") and back. Stateless; every failure is
// a MivError whose description names the type and the offending text.
class MivConverter
{
public:
    QString ValueToText(const MivVariant &value, qint32 flags = 0) const;
    MivVariant TextToValue(const QString &text) const;
};
