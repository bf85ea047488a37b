#pragma once

#include "MivVariant.h"

#include <QString>

#include <optional>

// An answer frame: "hresult" or "hresult,type,value".
struct KelAnswer
{
    qint32 hresult = 0;
    bool hasValue = false;
    QString valueText; // "type,value" when hasValue
};

// Throws MivError (E_FAIL) when the text does not start with a signed 32-bit decimal. A text
// handed over (moved) becomes the value text without a copy.
KelAnswer ParseKelAnswer(QString text);

// "E_FAIL" for the common codes, else empty.
QString KelHresultName(qint32 hresult);
// The code of a common name such as "E_FAIL".
std::optional<qint32> KelHresultOfName(const QString &name);

// "E_FAIL (0x80004005)" for the common codes, else "0x80001234".
QString KelHresultText(qint32 hresult);

// The answer's value: Empty when it has none. Throws MivError carrying the code when the
// hresult is negative, or the converter's error when the value text is unreadable.
MivVariant KelAnswerValue(const KelAnswer &answer, const QString &request);
