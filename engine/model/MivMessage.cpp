#include "MivMessage.h"

#include "MivError.h"

MivMessage::MivMessage(MivMessageKind::Kind kind, MivVariant value, std::shared_ptr<MivReplyChannel> channel)
    : m_kind(kind), m_value(std::move(value)), m_channel(std::move(channel))
{
}

void MivMessage::Reply(const MivVariant &value) const
{
    if (value.type() != VT_BSTR)
        throw MivError(MivCode::TypeMismatch,
                       QStringLiteral("Reply takes a text (VT_BSTR), not %1").arg(MivTypeName(value.type())));
    if (!m_channel)
        throw MivError(MivCode::Fail, QStringLiteral("This message (Kind %1) cannot be answered").arg(m_kind));
    m_channel->reply(value.bstr());
}
