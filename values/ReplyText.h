#pragma once

#include <QString>

#include <optional>

// The automatic reply that the Set button stores and the message handler sends.

// The reply text: the result code text alone without a type, else the result code text, the
// type code and the value text, joined by commas (the value text unchanged).
QString ReplyText(const QString &hresult, std::optional<qint32> typeCode, const QString &value);

// The delay as stored: the leading number of the field, not made whole, in decimal (whole
// numbers as plain digits up to 15 of them, anything else in its shortest form).
QString ReplyDelayText(const QString &delayField);

// The wait before a reply, in milliseconds, for a stored delay: its leading number rounded
// half to even. A delay of 0 or below waits not at all; one beyond 32 bits is MivError 6.
quint32 ReplyDelayMs(const QString &storedDelay);

// The value of the "Set" log line: AutoReply"<reply>", Delay=<delay>.
QString AutoReplyLogText(const QString &reply, const QString &storedDelay);
