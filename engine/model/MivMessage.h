#pragma once

#include "MivVariant.h"

#include <memory>

class MivReplyChannel;

// What a message is: its Kind.
namespace MivMessageKind {
enum Kind : qint32 {
    Request = 0,      // a request from a client (server role); Reply answers it
    Unsolicited = 1,  // a frame that no synchronous call waits for
    Error = 2,        // a receive or transport error; Value is its description
    Connected = 3,    // a client or the peer connected; Value is its address
    Disconnected = 4, // it disconnected; Value is its address
};
} // namespace MivMessageKind

// What a controller delivers through OnMessage. A light value: copy it to keep it past the
// signal.
class MivMessage
{
public:
    MivMessage() = default;
    MivMessage(MivMessageKind::Kind kind, MivVariant value, std::shared_ptr<MivReplyChannel> channel = {});

    qint32 Kind() const { return m_kind; }
    MivVariant Value() const { return m_value; }

    // Sends a text (VT_BSTR) back on the connection the message came from. Throws MivError
    // when that connection has gone or the message cannot be answered.
    void Reply(const MivVariant &value) const;
    // The connection the message came from, for a simulated peer that answers with faults;
    // null for a message that cannot be answered.
    const std::shared_ptr<MivReplyChannel> &replyChannel() const { return m_channel; }

private:
    MivMessageKind::Kind m_kind = MivMessageKind::Request;
    MivVariant m_value;
    std::shared_ptr<MivReplyChannel> m_channel;
};

// Implemented by the provider that received a message; lets a reply find its connection.
class MivReplyChannel
{
public:
    virtual ~MivReplyChannel() = default;
    virtual void reply(const QString &text) = 0; // throws MivError
    // The bytes that reply() writes for the text (header, escapes, terminator).
    virtual QByteArray frame(const QString &text) const = 0;
    // Writes bytes as they are. Throws MivError when the connection has closed.
    virtual void writeRaw(const QByteArray &bytes) = 0;
    // Closes the connection from this end; nothing when it has closed already.
    virtual void close() = 0;
};
