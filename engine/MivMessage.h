#pragma once

#include "MivVariant.h"

#include <memory>

class MivReplyChannel;

// What a controller delivers through OnMessage. A light value: copy it to keep it past the
// signal. Kind: 0 request from a client (server role), 1 unsolicited frame from the peer,
// 2 error (Value: description), 3 peer connected, 4 peer disconnected (Value: address).
class MivMessage
{
public:
    MivMessage() = default;
    MivMessage(qint32 kind, MivVariant value, std::shared_ptr<MivReplyChannel> channel = {});

    qint32 Kind() const { return m_kind; }
    MivVariant Value() const { return m_value; }

    // Sends a text (VT_BSTR) back on the connection the message came from. Throws MivError
    // when that connection has gone or the message cannot be answered.
    void Reply(const MivVariant &value) const;

private:
    qint32 m_kind = 0;
    MivVariant m_value;
    std::shared_ptr<MivReplyChannel> m_channel;
};

// Implemented by the transport that received a message; lets a reply find its connection.
class MivReplyChannel
{
public:
    virtual ~MivReplyChannel() = default;
    virtual void reply(const QString &text) = 0; // throws MivError
};
